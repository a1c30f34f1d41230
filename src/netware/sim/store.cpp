#include "netware/sim/store.h"

#include <sys/stat.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <tuple>

namespace sim {
namespace {

// Writes to what a generation keys, by any connection of this process, so that every store
// of the process sees them at once. Other commits (a grant) leave the caches standing: many
// connections of one process granting side by side would otherwise reload them after
// every grant of the others.
std::atomic<std::uint64_t> processKeyedWrites{0};
constexpr auto kLookInterval = std::chrono::milliseconds(2);

constexpr int kLockWaitMs = 2000;

// Names keep their stored spelling in `name`; `name_key` is the folded form every lookup
// uses. Object IDs are the objects' own 32-bit IDs, shared by NDS and bindery objects.
constexpr const char* kSchema = R"sql(
CREATE TABLE trees(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, name_key TEXT NOT NULL UNIQUE);
CREATE TABLE servers(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, name_key TEXT NOT NULL UNIQUE,
  tree_id INTEGER REFERENCES trees(id), major INTEGER NOT NULL, minor INTEGER NOT NULL,
  up INTEGER NOT NULL DEFAULT 1);
CREATE TABLE volumes(
  id INTEGER PRIMARY KEY, server_id INTEGER NOT NULL REFERENCES servers(id),
  name TEXT NOT NULL, name_key TEXT NOT NULL, number INTEGER NOT NULL,
  UNIQUE(server_id, name_key), UNIQUE(server_id, number));
CREATE TABLE objects(
  id INTEGER PRIMARY KEY, tree_id INTEGER NOT NULL REFERENCES trees(id),
  parent_id INTEGER NOT NULL, name TEXT NOT NULL, name_key TEXT NOT NULL,
  class TEXT NOT NULL, volume_id INTEGER REFERENCES volumes(id),
  UNIQUE(tree_id, parent_id, name_key));
CREATE TABLE bindery(
  id INTEGER PRIMARY KEY, server_id INTEGER NOT NULL REFERENCES servers(id),
  name TEXT NOT NULL, name_key TEXT NOT NULL, type INTEGER NOT NULL,
  UNIQUE(server_id, name_key, type));
CREATE TABLE trustees(
  id INTEGER PRIMARY KEY, volume_id INTEGER NOT NULL REFERENCES volumes(id),
  dir_key TEXT NOT NULL, dir TEXT NOT NULL, object_id INTEGER NOT NULL,
  rights INTEGER NOT NULL, UNIQUE(volume_id, dir_key, object_id));
CREATE INDEX trustees_by_object ON trustees(object_id, volume_id, id);
CREATE TABLE workstation_trees(position INTEGER PRIMARY KEY, tree_id INTEGER NOT NULL UNIQUE);
CREATE TABLE drive_mappings(
  drive TEXT PRIMARY KEY, volume_id INTEGER NOT NULL REFERENCES volumes(id),
  path TEXT NOT NULL);
)sql";

// Inherited rights filters came after the first stores: a store made before them has no such
// table, and gets it when its first filter is written. Until then it has no filters.
// `path` is the "/"-joined stored path of a directory or file, never the volume root.
constexpr const char* kFiltersSchema = R"sql(
CREATE TABLE IF NOT EXISTS filters(
  id INTEGER PRIMARY KEY, volume_id INTEGER NOT NULL REFERENCES volumes(id),
  path_key TEXT NOT NULL, path TEXT NOT NULL, rights INTEGER NOT NULL,
  UNIQUE(volume_id, path_key));
)sql";

// A connection to the store `file`, or SimError saying why it cannot be `made`.
sqlite3* Connect(const std::filesystem::path& file, int flags, const char* made) {
  // SQLite's allocation statistics take one process-wide lock on every allocation, which the
  // connections of parallel jobs would queue on; nothing here reads them.
  static std::once_flag configured;
  std::call_once(configured, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string why = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    throw SimError("The network store " + file.string() + " cannot be " + made + ": " + why + ".");
  }
  sqlite3_busy_timeout(db, kLockWaitMs);
  return db;
}

}  // namespace

Query::Query(Store& store, sqlite3_stmt* stmt) : store_(store), stmt_(stmt) {}

Query::~Query() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Query& Query::Bind(int index, std::int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Query& Query::Bind(int index, std::string_view value) {
  sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  return *this;
}

Query& Query::Bind(int index, std::nullopt_t) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}

bool Query::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  store_.Fail(rc, sqlite3_sql(stmt_));  // the destructor resets the statement
}

int Query::Run() {
  while (Step()) {
  }
  int changed = sqlite3_changes(sqlite3_db_handle(stmt_));
  sqlite3_reset(stmt_);  // ready to be bound and run again
  return changed;
}

std::int64_t Query::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Query::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return text == nullptr ? std::string() : std::string(text, sqlite3_column_bytes(stmt_, column));
}

std::filesystem::path Store::DatabaseFile(const std::filesystem::path& folder) {
  return folder / "network.db";
}

namespace {

// One write lock per store file for the whole process, kept for the process's life.
std::timed_mutex* WriteLockOf(const std::filesystem::path& file) {
  static std::mutex guard;
  static std::map<std::string, std::unique_ptr<std::timed_mutex>> locks;
  std::lock_guard lock(guard);
  std::unique_ptr<std::timed_mutex>& found = locks[file.lexically_normal().string()];
  if (!found) found = std::make_unique<std::timed_mutex>();
  return found.get();
}

}  // namespace

Store::Store(std::filesystem::path folder, sqlite3* db)
    : folder_(std::move(folder)), db_(db), writeLock_(WriteLockOf(DatabaseFile(folder_))) {}

Store::~Store() {
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_finalize(dataVersion_);
  sqlite3_close(db_);
}

std::unique_ptr<Store> Store::Open(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    throw SimError("There is no network folder " + folder.string() + ".");
  }
  auto file = DatabaseFile(folder);
  if (!std::filesystem::exists(file, error)) {
    throw SimError("The network folder " + folder.string() +
                   " holds no network store (network.db is missing).");
  }
  if (!std::filesystem::is_regular_file(file, error)) {
    throw SimError(file.string() + " is not a network store.");
  }
  std::unique_ptr<Store> store(new Store(folder, Connect(file, SQLITE_OPEN_READWRITE, "opened")));
  sqlite3_int64 appId = 0, version = 0;
  try {
    auto q = store->Prepare(
        "SELECT application_id, user_version FROM pragma_application_id, pragma_user_version");
    if (q.Step()) std::tie(appId, version) = std::pair(q.Int(0), q.Int(1));
  } catch (const StoreBusy&) {
    throw;
  } catch (const SimError&) {
    throw SimError(file.string() + " is not a network store (it cannot be read as one).");
  }
  if (appId != kApplicationId) {
    throw SimError(file.string() + " is not a network store.");
  }
  if (version != kSchemaVersion) {
    throw SimError(file.string() + " is a network store of another version (" +
                   std::to_string(version) + ").");
  }
  store->Configure();
  return store;
}

void Store::Verify() {
  // Once a process: the workers of a command open the store side by side, and each check
  // reads the whole of it.
  static std::mutex guard;
  static std::set<std::string> sound;
  // By path and inode: a store swapped in at the same path is checked again.
  struct stat info {};
  const std::string path = DatabaseFile(folder_).string();
  const std::string file =
      path + '\n' + (::stat(path.c_str(), &info) == 0 ? std::to_string(info.st_ino) : "");
  {
    const std::lock_guard lock(guard);
    if (sound.count(file) > 0) return;
  }
  std::string verdict;
  try {
    auto q = Prepare("PRAGMA quick_check(1)");
    if (q.Step()) verdict = q.Text(0);
  } catch (const StoreBusy&) {
    throw;
  } catch (const SimError& error) {
    verdict = error.what();
  }
  if (verdict != "ok") {
    throw SimError(DatabaseFile(folder_).string() + " is damaged: " + verdict);
  }
  const std::lock_guard lock(guard);
  sound.insert(file);
}

std::unique_ptr<Store> Store::Create(const std::filesystem::path& folder) {
  auto file = DatabaseFile(folder);
  std::error_code error;
  if (std::filesystem::exists(file, error)) {
    throw SimError("A network already exists in " + folder.string() + ".");
  }
  std::filesystem::create_directories(folder / "volumes", error);
  if (error) {
    throw SimError("The network folder " + folder.string() +
                   " cannot be created: " + error.message() + ".");
  }
  std::unique_ptr<Store> store(
      new Store(folder, Connect(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "created")));
  store->Exec("PRAGMA journal_mode=WAL");
  store->Configure();
  {
    Transaction transaction(*store);
    store->Exec(kSchema);
    store->Exec(kFiltersSchema);
    store->Exec(("PRAGMA application_id=" + std::to_string(kApplicationId)).c_str());
    store->Exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
    transaction.Commit();
  }
  return store;
}

bool Store::HasFilters() {
  // Once made the table stays; only its absence is asked again.
  if (!hasFilters_) {
    hasFilters_ = Execute("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'filters'");
  }
  return hasFilters_;
}

void Store::MakeFilters() {
  if (HasFilters()) return;
  Exec(kFiltersSchema);
  hasFilters_ = true;
}

void Store::Configure() {
  // WAL with synchronous=NORMAL: a commit survives the crash of any process; only a power
  // loss may take back the last commits, never corrupt the store.
  Exec("PRAGMA synchronous=NORMAL");
  Exec("PRAGMA foreign_keys=ON");
  // A small bounded cache (and no memory-mapped file) keeps the program's memory flat however
  // large the network is, and a run holds one connection per job: the system's file cache
  // keeps the hot pages for all of them (16 MiB each cost 12 MiB a job and no speed).
  Exec("PRAGMA cache_size=-2048");
  // Each checkpoint waits for the disk twice; a restore commits once per assignment, so
  // checkpoints come seldom and gather many commits.
  Exec("PRAGMA wal_autocheckpoint=20000");
}

std::filesystem::path Store::VolumeFolder(const std::string& server,
                                          const std::string& volume) const {
  return folder_ / "volumes" / server / volume;
}

Query Store::Prepare(std::string_view sql) {
  std::string key(sql);
  auto found = statements_.find(key);
  if (found == statements_.end()) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, key.c_str(), static_cast<int>(key.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) Fail(rc, key);
    found = statements_.emplace(std::move(key), stmt).first;
  }
  return Query(*this, found->second);
}

void Store::Exec(const char* sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) Fail(rc, sql);
}

void Store::NoteWrite() {
  ++generation_;
  processKeyedWrites.fetch_add(1, std::memory_order_release);
}

std::uint64_t Store::Generation() {
  const auto now = std::chrono::steady_clock::now();
  const std::uint64_t commits = processKeyedWrites.load(std::memory_order_acquire);
  if (dataVersion_ != nullptr && commits == lastCommits_ && now - lastLook_ < kLookInterval) {
    return generation_;
  }
  lastCommits_ = commits;
  lastLook_ = now;
  if (dataVersion_ == nullptr) {
    int rc = sqlite3_prepare_v3(db_, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT,
                                &dataVersion_, nullptr);
    if (rc != SQLITE_OK) Fail(rc, "PRAGMA data_version");
  }
  int rc = sqlite3_step(dataVersion_);
  std::int64_t version = rc == SQLITE_ROW ? sqlite3_column_int64(dataVersion_, 0) : -1;
  sqlite3_reset(dataVersion_);
  if (rc != SQLITE_ROW) Fail(rc, "PRAGMA data_version");
  if (version != lastDataVersion_) {
    lastDataVersion_ = version;
    ++generation_;
  }
  return generation_;
}

void Store::Fail(int code, std::string_view what) {
  const std::string file = DatabaseFile(folder_).string();
  // The statement names what was being done, so a failure can be traced to its query.
  std::string statement(what.substr(0, 200));
  if (what.size() > statement.size()) statement += "...";
  const std::string during = " (while running \"" + statement + "\")";
  const int primary = code & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    throw StoreBusy("The network store " + file +
                    " is locked by another program; nothing was changed. Try again." + during);
  }
  if (primary == SQLITE_READONLY) {
    throw SimError("The network store " + file + " cannot be written (it is read-only)" + during +
                   ".");
  }
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
    throw SimError("The network store " + file + " is damaged: " + sqlite3_errstr(code) + during +
                   ".");
  }
  throw SimError("The network store " + file + " failed: " + sqlite3_errmsg(db_) + during + ".");
}

CallScope::CallScope(Store& store, bool writes) : store_(store) {
  if (store_.InTransaction()) return;
  if (writes) {
    if (!store_.WriteLock().try_lock_for(std::chrono::milliseconds(kLockWaitMs))) {
      store_.Fail(SQLITE_BUSY, "BEGIN IMMEDIATE");
    }
    locked_ = true;
  }
  try {
    // Prepared once: a call's scope is the hottest statement there is.
    store_.Prepare(writes ? "BEGIN IMMEDIATE" : "BEGIN").Run();
  } catch (...) {
    if (locked_) store_.WriteLock().unlock();
    throw;
  }
  open_ = true;
}

CallScope::~CallScope() {
  if (open_) {
    try {
      store_.Exec("ROLLBACK");
    } catch (const SimError&) {
      // Nothing more to undo: SQLite rolls back by itself when it cannot.
    }
  }
  if (locked_) store_.WriteLock().unlock();
}

void CallScope::Commit() {
  if (!open_) return;
  store_.Prepare("COMMIT").Run();
  open_ = false;
}

Transaction::Transaction(Store& store) : store_(store) { store_.Exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction() {
  if (open_) {
    try {
      store_.Exec("ROLLBACK");
    } catch (const SimError&) {
      // Nothing more to undo: SQLite rolls back by itself when it cannot.
    }
  }
}

void Transaction::Commit() {
  store_.Exec("COMMIT");
  open_ = false;
}

}  // namespace sim
