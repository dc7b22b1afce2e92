#pragma once
// One connection to a hive's SQLite file, with the schema the registry keeps there:
//   keys(id, parent, name, name_fold)         -- parent 0 is the hive's root, which has no row;
//   vals(key, name, name_fold, type, data)    -- data always a blob.
// name_fold is the name with ASCII letters in lower case; the unique indexes on it make names
// case-blind, and ordering by it gives the case-blind enumeration order. Key ids are never reused
// (AUTOINCREMENT), so an id held by an open key names that key or none at all.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry/registry.h"

namespace platform::registry_detail {

// A system error number for an SQLite result code.
uint32_t ErrorFromSqlite(int resultCode);

// A prepared statement; the connection outlives it.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // 0 when the statement compiled; the SQLite result code otherwise.
  int PrepareResult() const { return prepareResult_; }

  void Bind(int index, int64_t value);
  void Bind(int index, std::string_view text);
  void BindBlob(int index, const std::vector<uint8_t>& blob);

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  int64_t ColumnInt(int column) const;
  std::string ColumnText(int column) const;
  std::vector<uint8_t> ColumnBlob(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int prepareResult_ = SQLITE_OK;
};

class HiveDatabase {
 public:
  // Opens (creating the file, its folders and the schema on first use) the hive's database.
  static uint32_t Open(Hive hive, std::unique_ptr<HiveDatabase>& database);
  ~HiveDatabase();
  HiveDatabase(const HiveDatabase&) = delete;
  HiveDatabase& operator=(const HiveDatabase&) = delete;

  enum class Mode { kRead, kWrite };
  // Runs `body` (returning a system error number) as one transaction: committed when it returns 0,
  // rolled back otherwise. A writing transaction takes the write lock at its start, so it waits
  // for other writers through the busy time-out instead of failing half way.
  template <typename Body>
  uint32_t Transaction(Mode mode, Body&& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const uint32_t error = Begin(mode)) return error;
    const uint32_t error = std::forward<Body>(body)();
    return error ? Rollback(error) : Commit();
  }

  sqlite3* Handle() const { return db_; }

 private:
  explicit HiveDatabase(sqlite3* db) : db_(db) {}
  uint32_t Exec(const char* sql);
  uint32_t ReadSchemaVersion(int64_t& version);
  uint32_t EnsureSchema();
  uint32_t Begin(Mode mode);
  uint32_t Commit();
  uint32_t Rollback(uint32_t error);

  sqlite3* db_;
  std::mutex mutex_;  // one transaction at a time when several threads share a key
};

}  // namespace platform::registry_detail
