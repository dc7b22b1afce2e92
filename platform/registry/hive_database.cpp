#include "platform/registry/hive_database.h"

#include <atomic>

#include "platform/errors/errors.h"
#include "platform/paths/paths.h"

namespace platform {

namespace {
std::atomic<uint32_t> gBusyTimeoutMs{kRegistryBusyTimeoutMs};

constexpr int64_t kSchemaVersion = 1;
constexpr const char* kSetSchemaVersion = "PRAGMA user_version=1";

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  name_fold TEXT NOT NULL,"
    "  UNIQUE(parent, name_fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  name_fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, name_fold)) WITHOUT ROWID;";
}  // namespace

void SetRegistryBusyTimeoutForTest(uint32_t milliseconds) { gBusyTimeoutMs = milliseconds; }

std::string HiveFilePath(Hive hive) {
  return JoinPath(SystemRoot(), hive == Hive::kLocalMachine ? "Registry/machine.db" : "Registry/user.db");
}

std::string DamagedHiveAdvice(Hive hive) {
  // A write-ahead log left beside a fresh file would be played into it.
  return "The registry file '" + HiveFilePath(hive) +
         "' is damaged or is no registry. Move it away, together with its '-wal' and '-shm' files if "
         "there are any, to start afresh with an empty one.";
}

namespace registry_detail {

uint32_t ErrorFromSqlite(int resultCode) {
  switch (resultCode & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return kErrorSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return kErrorSharingViolation;
    case SQLITE_NOMEM: return kErrorNotEnoughMemory;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return kErrorAccessDenied;
    case SQLITE_FULL: return kErrorDiskFull;
    case SQLITE_CANTOPEN: return kErrorPathNotFound;
    case SQLITE_TOOBIG: return kErrorInvalidParameter;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
    case SQLITE_ERROR: return kErrorRegistryCorrupt;
    default: return kErrorRegistryIoFailed;
  }
}

Statement::Statement(sqlite3* db, const char* sql) {
  prepareResult_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Statement::BindBlob(int index, const std::vector<uint8_t>& blob) {
  // An empty vector may have no storage; a zero-length blob still must not be NULL (the column
  // is NOT NULL), so it gets a valid pointer.
  static const uint8_t kEmpty = 0;
  sqlite3_bind_blob64(stmt_, index, blob.empty() ? &kEmpty : blob.data(), blob.size(), SQLITE_TRANSIENT);
}

int Statement::Step() { return stmt_ == nullptr ? prepareResult_ : sqlite3_step(stmt_); }

int64_t Statement::ColumnInt(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::ColumnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return text == nullptr ? std::string() : std::string(text, static_cast<size_t>(size));
}

std::vector<uint8_t> Statement::ColumnBlob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size);
}

uint32_t HiveDatabase::Open(Hive hive, std::unique_ptr<HiveDatabase>& database) {
  const std::string path = HiveFilePath(hive);
  if (!CreateFolders(FolderPart(path))) return GetLastError();
  sqlite3* db = nullptr;
  // Each connection is used under its own mutex, so SQLite's per-connection lock is not needed.
  const int opened =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<HiveDatabase> candidate(new HiveDatabase(db));
  if (opened != SQLITE_OK) return ErrorFromSqlite(opened);
  sqlite3_busy_timeout(db, static_cast<int>(gBusyTimeoutMs.load()));
  if (const uint32_t error = candidate->EnsureSchema()) return error;
  database = std::move(candidate);
  return kErrorSuccess;
}

HiveDatabase::~HiveDatabase() { sqlite3_close_v2(db_); }

uint32_t HiveDatabase::Exec(const char* sql) {
  return ErrorFromSqlite(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

uint32_t HiveDatabase::ReadSchemaVersion(int64_t& version) {
  Statement statement(db_, "PRAGMA user_version");
  const int step = statement.Step();
  if (step != SQLITE_ROW) return ErrorFromSqlite(step);
  version = statement.ColumnInt(0);
  return kErrorSuccess;
}

uint32_t HiveDatabase::EnsureSchema() {
  // A power cut may cost the last calls but never the file's consistency; without the per-commit
  // sync a registry write costs microseconds, not a disk flush.
  if (const uint32_t error = Exec("PRAGMA synchronous=NORMAL")) return error;
  int64_t version = 0;
  if (const uint32_t error = ReadSchemaVersion(version)) return error;
  if (version >= kSchemaVersion) return kErrorSuccess;
  // A new file. Write-ahead logging lets readers go on while another process writes; the mode is
  // kept in the file, so only its creator sets it.
  if (const uint32_t error = Exec("PRAGMA journal_mode=WAL")) return error;
  return Transaction(Mode::kWrite, [this]() -> uint32_t {
    int64_t current = 0;  // another process may have created the schema meanwhile
    if (const uint32_t error = ReadSchemaVersion(current)) return error;
    if (current >= kSchemaVersion) return kErrorSuccess;
    if (const uint32_t error = Exec(kSchema)) return error;
    return Exec(kSetSchemaVersion);
  });
}

uint32_t HiveDatabase::Begin(Mode mode) { return Exec(mode == Mode::kWrite ? "BEGIN IMMEDIATE" : "BEGIN"); }

uint32_t HiveDatabase::Commit() {
  const uint32_t error = Exec("COMMIT");
  return error ? Rollback(error) : kErrorSuccess;
}

uint32_t HiveDatabase::Rollback(uint32_t error) {
  if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
  return error;
}

}  // namespace registry_detail
}  // namespace platform
