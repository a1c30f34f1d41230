#pragma once
// The network store: one SQLite connection to network.db in WAL mode, with its statements
// prepared once and reused. A store is either opened as it is (checked to be a network
// store, never created or changed by opening) or created new.

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "netware/sim/sim_network.h"

namespace sim {

// The store stayed locked by another program past the wait; nothing was changed.
class StoreBusy : public SimError {
 public:
  using SimError::SimError;
};

class Store;

// One use of a cached statement: bindings in, rows out, reset when it goes out of scope so
// that no read transaction outlives it.
class Query {
 public:
  Query(Store& store, sqlite3_stmt* stmt);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  Query& Bind(int index, std::int64_t value);
  Query& Bind(int index, std::string_view value);
  Query& Bind(int index, std::nullopt_t);  // NULL
  // True while there is a row.
  bool Step();
  // Runs to completion; the number of rows it changed.
  int Run();
  std::int64_t Int(int column) const;
  std::string Text(int column) const;

 private:
  Store& store_;
  sqlite3_stmt* stmt_;
};

class Store {
 public:
  static constexpr std::int32_t kApplicationId = 0x544C564E;  // "TLVN"
  static constexpr int kSchemaVersion = 1;

  // Opens the store of an existing network. Throws SimError saying what is wrong when the
  // folder or network.db is missing, unreadable or not a network store.
  static std::unique_ptr<Store> Open(const std::filesystem::path& folder);
  // Creates network.db (and the folder) with an empty network; refuses an existing one.
  static std::unique_ptr<Store> Create(const std::filesystem::path& folder);
  static std::filesystem::path DatabaseFile(const std::filesystem::path& folder);

  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::filesystem::path& Folder() const { return folder_; }
  std::filesystem::path VolumeFolder(const std::string& server, const std::string& volume) const;

  // Throws SimError when the store's pages do not hold together.
  void Verify();

  Query Prepare(std::string_view sql);
  // Runs `sql` with `values` bound to ?1, ?2...; true when it gives a row.
  template <typename... Values>
  bool Execute(std::string_view sql, const Values&... values) {
    Query query = Prepare(sql);
    int index = 0;
    (query.Bind(++index, values), ...);
    return query.Step();
  }
  void Exec(const char* sql);

  // Whether the store has its table of inherited rights filters (a store made by an earlier
  // version has none until MakeFilters makes it, on the first filter written).
  bool HasFilters();
  void MakeFilters();

  // Changes whenever the store changed since the last look: another connection committed
  // (PRAGMA data_version), or this one wrote through NoteWrite. Asking the store costs a
  // read transaction, so it is asked at once after a NoteWrite anywhere in this process and
  // otherwise at most every couple of milliseconds: another process's change shows that
  // much later.
  std::uint64_t Generation();
  // A write to what a generation keys (trees, servers, volumes, objects, the workstation),
  // noted once it is committed.
  void NoteWrite();
  std::int64_t LastRowId() const { return sqlite3_last_insert_rowid(db_); }
  bool InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
  // The lock the writers of this process take before the store's own, so that they wait
  // for each other without polling.
  std::timed_mutex& WriteLock() { return *writeLock_; }

  // Throws StoreBusy for a lock that outlasted the wait, SimError for anything else.
  [[noreturn]] void Fail(int code, std::string_view what);

 private:
  Store(std::filesystem::path folder, sqlite3* db);
  void Configure();

  std::filesystem::path folder_;
  sqlite3* db_;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
  sqlite3_stmt* dataVersion_ = nullptr;
  std::int64_t lastDataVersion_ = -1;
  std::uint64_t lastCommits_ = 0;
  std::chrono::steady_clock::time_point lastLook_;
  std::uint64_t generation_ = 0;
  bool hasFilters_ = false;
  std::timed_mutex* writeLock_;
};

// One client call's statements on one snapshot of the store: another connection's commit
// then costs this connection's page cache once a call rather than once a statement. A call
// that writes holds the write lock from its start, waited for on a lock this process shares
// among its connections to the store (another process's writer still through the store's
// own wait). Inside a transaction already it does nothing. Rolled back unless committed.
class CallScope {
 public:
  CallScope(Store& store, bool writes);
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
  void Commit();

 private:
  Store& store_;
  bool open_ = false;
  bool locked_ = false;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(Store& store);
  ~Transaction();
  void Commit();

 private:
  Store& store_;
  bool open_ = true;
};

}  // namespace sim
