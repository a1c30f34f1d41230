// The store: what NWCallsInit accepts, persistence, several users at once, a locked store.

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "netware/sim/sim_client.h"
#include "sim/sim_fixture.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// The bytes of a file; "" for a folder or nothing.
std::string ReadFileBytes(const fs::path& file) {
  return fs::is_regular_file(file) ? testing_support::ReadFileBytes(file) : "";
}

void MakeForeignDatabase(const fs::path& file) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('x');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
}

TEST(CallsInitTest, RefusesWhatIsNoNetworkAndTouchesNothing) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> prepare;  // makes the folder's content
  } cases[] = {
      {"a missing folder", [](const fs::path&) {}},
      {"a folder without network.db", [](const fs::path& f) { fs::create_directories(f); }},
      {"garbage in network.db",
       [](const fs::path& f) {
         fs::create_directories(f);
         WriteFileBytes(f / "network.db", std::string(5000, 'g'));
       }},
      {"an empty network.db",
       [](const fs::path& f) {
         fs::create_directories(f);
         WriteFileBytes(f / "network.db", "");
       }},
      {"another program's database",
       [](const fs::path& f) {
         fs::create_directories(f);
         MakeForeignDatabase(f / "network.db");
       }},
      {"a folder named network.db",
       [](const fs::path& f) { fs::create_directories(f / "network.db"); }},
  };
  for (const auto& c : cases) {
    TempDir temp;
    fs::path folder = temp.path() / "net";
    c.prepare(folder);
    std::string before = ReadFileBytes(folder / "network.db");
    bool existed = fs::exists(folder);
    auto platform = sim::OpenNetwork(folder);
    EXPECT_EQ(platform->Client().NWCallsInit(nullptr, nullptr), nw::kCallsInitFailed) << c.what;
    EXPECT_THROW(platform->Session().Trees(), sim::SimError) << c.what;
    EXPECT_EQ(fs::exists(folder), existed) << c.what;
    EXPECT_EQ(ReadFileBytes(folder / "network.db"), before) << c.what;
    EXPECT_FALSE(fs::exists(folder / "volumes")) << c.what;
  }
}

TEST(CallsInitTest, SucceedsOnANetworkAndOpensLazilyWithoutIt) {
  TempDir temp;
  sim::CreateEmptyNetwork(temp.path() / "net");
  auto platform = sim::OpenNetwork(temp.path() / "net");
  EXPECT_TRUE(platform->Session().Trees().empty());  // no NWCallsInit first
  EXPECT_EQ(platform->Client().NWCallsInit(nullptr, nullptr), 0);
  EXPECT_THROW(sim::CreateEmptyNetwork(temp.path() / "net"), sim::SimError);
  EXPECT_THROW(sim::CreateDemoNetwork(temp.path() / "net"), sim::SimError);
}

using StoreTest = SimTest;

TEST_F(StoreTest, AssignmentsLastAcrossReopening) {
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  ASSERT_EQ(client().NWAddTrustee(Connect("FS1"), 0, "SYS:PUBLIC", mbrown, 0x41), 0);
  platform_.reset();
  auto again = Reopen();
  ASSERT_EQ(again->Client().NWCallsInit(nullptr, nullptr), 0);
  nw::NWCONN_HANDLE conn = 0;
  ASSERT_EQ(again->Client().NWCCOpenConnByName(0, "FS1", 2, 1, nw::NWCC_TRAN_TYPE_WILD, &conn), 0);
  EXPECT_EQ(ScanPaths(again->Client(), conn, mbrown, 0).first,
            std::vector<std::string>{"SYS:PUBLIC"});
}

TEST_F(StoreTest, TwoPlatformsOnOneStoreSeeEachOthersChanges) {
  auto other = Reopen();
  nw::NWCONN_HANDLE mine = Connect("FS1");
  nw::NWCONN_HANDLE theirs = 0;
  ASSERT_EQ(other->Client().NWCCOpenConnByName(0, "FS1", 2, 1, nw::NWCC_TRAN_TYPE_WILD, &theirs),
            0);
  // The other platform has read the list, then this one grants.
  ASSERT_EQ(Trustees(ScanDirectory(other->Client(), theirs, "SYS:PUBLIC")).size(), 1u);
  ASSERT_EQ(client().NWAddTrustee(mine, 0, "SYS:PUBLIC", IdOf("MBrown.Sales.ACME"), 0x41), 0);
  EXPECT_EQ(Trustees(ScanDirectory(other->Client(), theirs, "SYS:PUBLIC")).size(), 2u);

  std::string drive = "K:", path = "\\\\FS1\\SYS\\";
  ASSERT_NE(other->Session().MapDrive(drive, path, true).FullName, "");
  EXPECT_EQ(session().DriveMappings().size(), 3u);
  sim::SetServerUp(folder(), "FS1", false);
  nw::nuint32 number = 0;
  EXPECT_EQ(client().NWGetVolumeNumber(mine, "SYS", &number), nw::kServerDown);
}

// Holds the store's write lock from another connection until released.
class WriteLock {
 public:
  explicit WriteLock(const fs::path& folder) {
    sqlite3_open((folder / "network.db").c_str(), &db_);
    sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  }
  ~WriteLock() {
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
  }
  void Release() { sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); }

 private:
  sqlite3* db_ = nullptr;
};

TEST_F(StoreTest, AStoreLockedTooLongAnswersAFailureAndChangesNothing) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  auto before = sim::DumpAssignments(folder());
  {
    WriteLock lock(folder());
    EXPECT_EQ(client().NWAddTrustee(conn, 0, "SYS:PUBLIC", mbrown, 0x41), sim::kStoreFailure);
    std::string drive = "K:", path = "\\\\FS1\\SYS\\";
    EXPECT_THROW(session().MapDrive(drive, path, true), sim::SimError);
    // Reading goes on while another writes.
    EXPECT_EQ(Trustees(ScanDirectory(client(), conn, "SYS:PUBLIC")).size(), 1u);
  }
  EXPECT_EQ(sim::DumpAssignments(folder()), before);
  EXPECT_EQ(client().NWAddTrustee(conn, 0, "SYS:PUBLIC", mbrown, 0x41), 0);
}

TEST_F(StoreTest, AStoreLockedForAMomentIsWaitedFor) {
  nw::NWCONN_HANDLE conn = Connect("FS1");
  std::uint32_t mbrown = IdOf("MBrown.Sales.ACME");
  WriteLock lock(folder());
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.Release();
  });
  EXPECT_EQ(client().NWAddTrustee(conn, 0, "SYS:PUBLIC", mbrown, 0x41), 0);
  releaser.join();
}

TEST_F(StoreTest, ADamagedStoreThrowsFromEveryKindOfCall) {
  platform_.reset();
  WriteFileBytes(folder() / "network.db", std::string(8192, 'z'));
  fs::remove(folder() / "network.db-wal");
  fs::remove(folder() / "network.db-shm");
  auto broken = Reopen();
  nw::NWCONN_HANDLE conn = 0;
  EXPECT_THROW(broken->Client().NWCCOpenConnByName(0, "FS1", 2, 1, 0, &conn), sim::SimError);
  EXPECT_THROW(broken->Session().DriveMappings(), sim::SimError);
  EXPECT_THROW(broken->Files().Dir("\\\\FS1\\SYS\\Public"), sim::SimError);
  EXPECT_THROW(sim::DumpAssignments(folder()), sim::SimError);
}

}  // namespace
}  // namespace simtest
