#include "platform/registry/registry.h"

#include "platform/bytes/little_endian.h"
#include "platform/errors/errors.h"
#include "platform/registry/hive_database.h"
#include "platform/text/text.h"

namespace platform {

using registry_detail::ErrorFromSqlite;
using registry_detail::HiveDatabase;
using registry_detail::Statement;
using Mode = HiveDatabase::Mode;

namespace {

constexpr int64_t kRootId = 0;

uint32_t Finish(uint32_t error) {
  SetLastError(error);
  return error;
}

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> levels;
  while (!path.empty()) {
    const size_t end = path.find_first_of("\\/");
    const std::string_view level = path.substr(0, end);
    if (!level.empty()) levels.push_back(level);
    path = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
  }
  return levels;
}

// The child `name` of `parent`: its id and the name as stored; 2 when there is none.
uint32_t FindChild(sqlite3* db, int64_t parent, std::string_view name, int64_t& id, std::string& storedName) {
  Statement find(db, "SELECT id, name FROM keys WHERE parent = ?1 AND name_fold = ?2");
  find.Bind(1, parent);
  find.Bind(2, ToLowerAscii(name));
  const int step = find.Step();
  if (step == SQLITE_DONE) return kErrorFileNotFound;
  if (step != SQLITE_ROW) return ErrorFromSqlite(step);
  id = find.ColumnInt(0);
  storedName = find.ColumnText(1);
  return kErrorSuccess;
}

uint32_t InsertChild(sqlite3* db, int64_t parent, std::string_view name, int64_t& id) {
  Statement insert(db, "INSERT INTO keys(parent, name, name_fold) VALUES(?1, ?2, ?3)");
  insert.Bind(1, parent);
  insert.Bind(2, name);
  insert.Bind(3, ToLowerAscii(name));
  const int step = insert.Step();
  if (step != SQLITE_DONE) return ErrorFromSqlite(step);
  id = sqlite3_last_insert_rowid(db);
  return kErrorSuccess;
}

// Walks `path` from the root. With `create`, missing levels are added and *created tells whether
// the last one was; without, a missing level gives 2.
uint32_t WalkPath(sqlite3* db, std::string_view path, bool create, int64_t& id, std::string& storedPath,
                  bool* created) {
  id = kRootId;
  storedPath.clear();
  bool lastNew = false;
  for (const std::string_view level : SplitKeyPath(path)) {
    std::string storedName;
    uint32_t error = FindChild(db, id, level, id, storedName);
    lastNew = error == kErrorFileNotFound && create;
    if (lastNew) {
      error = InsertChild(db, id, level, id);
      storedName = level;
    }
    if (error) return error;
    if (!storedPath.empty()) storedPath += '\\';
    storedPath += storedName;
  }
  if (created != nullptr) *created = lastNew;
  return kErrorSuccess;
}

// 1018 when the key an open RegistryKey stands for has been deleted meanwhile.
uint32_t CheckKeyAlive(sqlite3* db, int64_t id) {
  if (id == kRootId) return kErrorSuccess;
  Statement find(db, "SELECT 1 FROM keys WHERE id = ?1");
  find.Bind(1, id);
  const int step = find.Step();
  if (step == SQLITE_DONE) return kErrorKeyDeleted;
  return step == SQLITE_ROW ? kErrorSuccess : ErrorFromSqlite(step);
}

// The name (and type, for values) at `index` in case-blind order; 259 past the end.
uint32_t EnumByIndex(sqlite3* db, const char* sql, int64_t id, uint32_t index, std::string& name, ValueType* type) {
  Statement list(db, sql);
  list.Bind(1, id);
  list.Bind(2, static_cast<int64_t>(index));
  const int step = list.Step();
  if (step == SQLITE_DONE) return kErrorNoMoreItems;
  if (step != SQLITE_ROW) return ErrorFromSqlite(step);
  name = list.ColumnText(0);
  if (type != nullptr) *type = static_cast<ValueType>(static_cast<uint32_t>(list.ColumnInt(1)));
  return kErrorSuccess;
}

uint32_t DeleteSubtree(sqlite3* db, int64_t id) {
  constexpr const char* kSubtree =
      "WITH RECURSIVE subtree(id) AS (SELECT ?1 UNION ALL "
      "SELECT keys.id FROM keys JOIN subtree ON keys.parent = subtree.id) ";
  for (const char* removal : {"DELETE FROM vals WHERE key IN subtree", "DELETE FROM keys WHERE id IN subtree"}) {
    Statement remove(db, (std::string(kSubtree) + removal).c_str());
    remove.Bind(1, id);
    const int step = remove.Step();
    if (step != SQLITE_DONE) return ErrorFromSqlite(step);
  }
  return kErrorSuccess;
}

// What an open RegistryKey holds: its own connection and the key's id and stored path.
struct OpenKeyState {
  std::unique_ptr<HiveDatabase> db;
  int64_t id = kRootId;
  std::string path;
};

// Fills `slot` (a RegistryKey's state) with the key at `path`; leaves it empty on failure.
template <typename State>
uint32_t OpenInto(Hive hive, std::string_view path, bool create, bool* created, std::unique_ptr<State>& slot) {
  auto key = std::make_unique<State>();
  uint32_t error = HiveDatabase::Open(hive, key->db);
  if (!error) {
    error = key->db->Transaction(create ? Mode::kWrite : Mode::kRead, [&] {
      return WalkPath(key->db->Handle(), path, create, key->id, key->path, created);
    });
  }
  if (!error) slot = std::move(key);
  return Finish(error);
}

// Runs body(db, id) as one transaction on an open key that still exists.
template <typename Body>
uint32_t OnKey(const OpenKeyState* key, Mode mode, Body&& body) {
  if (key == nullptr) return Finish(kErrorInvalidHandle);
  sqlite3* db = key->db->Handle();
  return Finish(key->db->Transaction(mode, [&] {
    const uint32_t alive = CheckKeyAlive(db, key->id);
    return alive ? alive : body(db, key->id);
  }));
}

// A value of the wanted type (a DWORD also of the right size); 13 otherwise.
uint32_t QueryTyped(const RegistryKey& key, std::string_view name, ValueType wanted, RegistryValue& value,
                    ValueType* actualType) {
  if (const uint32_t error = key.QueryValue(name, value)) return error;
  if (actualType != nullptr) *actualType = value.type;
  const bool sizeFits = wanted != ValueType::kDword || value.data.size() == 4;
  return Finish(value.type == wanted && sizeFits ? kErrorSuccess : kErrorInvalidData);
}

bool IsKnownType(ValueType type) {
  return type == ValueType::kNone || type == ValueType::kString || type == ValueType::kBinary ||
         type == ValueType::kDword;
}

}  // namespace

struct RegistryKey::State : OpenKeyState {};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

uint32_t RegistryKey::Open(Hive hive, std::string_view path, RegistryKey& key) {
  key.Close();
  return OpenInto(hive, path, false, nullptr, key.state_);
}

uint32_t RegistryKey::Create(Hive hive, std::string_view path, RegistryKey& key, bool* created) {
  key.Close();
  return OpenInto(hive, path, true, created, key.state_);
}

uint32_t RegistryKey::DeleteKey(Hive hive, std::string_view path) {
  if (SplitKeyPath(path).empty()) return Finish(kErrorAccessDenied);  // the root stays
  std::unique_ptr<HiveDatabase> db;
  uint32_t error = HiveDatabase::Open(hive, db);
  if (!error) {
    error = db->Transaction(Mode::kWrite, [&] {
      int64_t id = kRootId;
      std::string storedPath;
      const uint32_t walked = WalkPath(db->Handle(), path, false, id, storedPath, nullptr);
      return walked ? walked : DeleteSubtree(db->Handle(), id);
    });
  }
  return Finish(error);
}

bool RegistryKey::IsOpen() const { return state_ != nullptr; }

void RegistryKey::Close() { state_.reset(); }

const std::string& RegistryKey::Path() const {
  static const std::string kNone;
  return state_ ? state_->path : kNone;
}

uint32_t RegistryKey::EnumSubkey(uint32_t index, std::string& name) const {
  return OnKey(state_.get(), Mode::kRead, [&](sqlite3* db, int64_t id) -> uint32_t {
    return EnumByIndex(db, "SELECT name FROM keys WHERE parent = ?1 ORDER BY name_fold LIMIT 1 OFFSET ?2", id, index,
                       name, nullptr);
  });
}

uint32_t RegistryKey::EnumValue(uint32_t index, std::string& name, ValueType* type) const {
  return OnKey(state_.get(), Mode::kRead, [&](sqlite3* db, int64_t id) -> uint32_t {
    return EnumByIndex(db, "SELECT name, type FROM vals WHERE key = ?1 ORDER BY name_fold LIMIT 1 OFFSET ?2", id, index,
                       name, type);
  });
}

uint32_t RegistryKey::QueryValue(std::string_view name, RegistryValue& value) const {
  return OnKey(state_.get(), Mode::kRead, [&](sqlite3* db, int64_t id) -> uint32_t {
    Statement find(db, "SELECT type, data FROM vals WHERE key = ?1 AND name_fold = ?2");
    find.Bind(1, id);
    find.Bind(2, ToLowerAscii(name));
    const int step = find.Step();
    if (step == SQLITE_DONE) return kErrorFileNotFound;
    if (step != SQLITE_ROW) return ErrorFromSqlite(step);
    value.type = static_cast<ValueType>(static_cast<uint32_t>(find.ColumnInt(0)));
    value.data = find.ColumnBlob(1);
    return kErrorSuccess;
  });
}

uint32_t RegistryKey::QueryString(std::string_view name, std::string& value, ValueType* actualType) const {
  RegistryValue stored;
  const uint32_t error = QueryTyped(*this, name, ValueType::kString, stored, actualType);
  if (!error) value.assign(stored.data.begin(), stored.data.end());
  return error;
}

uint32_t RegistryKey::QueryDword(std::string_view name, uint32_t& value, ValueType* actualType) const {
  RegistryValue stored;
  const uint32_t error = QueryTyped(*this, name, ValueType::kDword, stored, actualType);
  if (!error) value = GetLe32(stored.data.data());
  return error;
}

uint32_t RegistryKey::SetValue(std::string_view name, const RegistryValue& value) {
  const bool valid = IsKnownType(value.type) && (value.type != ValueType::kDword || value.data.size() == 4);
  if (!valid) return Finish(kErrorInvalidParameter);
  return OnKey(state_.get(), Mode::kWrite, [&](sqlite3* db, int64_t id) -> uint32_t {
    // Overwriting keeps the name as first written, as the handheld does.
    Statement upsert(db,
                     "INSERT INTO vals(key, name, name_fold, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                     "ON CONFLICT(key, name_fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    upsert.Bind(1, id);
    upsert.Bind(2, name);
    upsert.Bind(3, ToLowerAscii(name));
    upsert.Bind(4, static_cast<int64_t>(value.type));
    upsert.BindBlob(5, value.data);
    const int step = upsert.Step();
    return step == SQLITE_DONE ? kErrorSuccess : ErrorFromSqlite(step);
  });
}

uint32_t RegistryKey::SetString(std::string_view name, std::string_view value) {
  return SetValue(name, RegistryValue{ValueType::kString, std::vector<uint8_t>(value.begin(), value.end())});
}

uint32_t RegistryKey::SetDword(std::string_view name, uint32_t value) {
  RegistryValue stored{ValueType::kDword, std::vector<uint8_t>(4)};
  PutLe32(stored.data.data(), value);
  return SetValue(name, stored);
}

uint32_t RegistryKey::SetBinary(std::string_view name, const std::vector<uint8_t>& value) {
  return SetValue(name, RegistryValue{ValueType::kBinary, value});
}

uint32_t RegistryKey::DeleteValue(std::string_view name) {
  return OnKey(state_.get(), Mode::kWrite, [&](sqlite3* db, int64_t id) -> uint32_t {
    Statement remove(db, "DELETE FROM vals WHERE key = ?1 AND name_fold = ?2");
    remove.Bind(1, id);
    remove.Bind(2, ToLowerAscii(name));
    const int step = remove.Step();
    if (step != SQLITE_DONE) return ErrorFromSqlite(step);
    return sqlite3_changes(db) == 0 ? kErrorFileNotFound : kErrorSuccess;
  });
}

}  // namespace platform
