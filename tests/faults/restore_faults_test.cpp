// Faults met by the write-trustees command and at start-up: a server going down part-way, a
// store locked by another process, a damaged store, rights files of random bytes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QComboBox>
#include <QLabel>
#include <algorithm>
#include <random>
#include <sstream>

#include "app/form1.h"
#include "capture/rights_file.h"
#include "capture/rights_text.h"
#include "capture/windows1252.h"
#include "faults/fault_harness.h"
#include "netware/sim/sim_network.h"
#include "restore/rights_mask.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing_support::FakeDesktop;
using testing_support::ReadFileBytes;
using testing_support::ShownMessage;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr const char* kNetwork = R"({
  "trees": [ { "name": "CORP", "objects": [
    { "name": "MAIN", "class": "Organization", "children": [
      { "name": "SALES", "class": "Organizational Unit", "children": [
        { "name": "JSmith", "class": "User" },
        { "name": "Staff", "class": "Group" } ] },
      { "name": "FS1_VOL1", "class": "Volume", "server": "FS1", "volume": "VOL1" },
      { "name": "FS2_DATA", "class": "Volume", "server": "FS2", "volume": "DATA" } ] } ] } ],
  "servers": [
    { "name": "FS1", "tree": "CORP", "major": 4, "minor": 11, "up": true,
      "volumes": [ { "name": "VOL1", "number": 1, "directories": [ "Apps", "Users" ] } ] },
    { "name": "FS2", "tree": "CORP", "major": 5, "minor": 0, "up": true,
      "volumes": [ { "name": "DATA", "number": 0, "directories": [ "Shared" ] } ] },
    { "name": "OLD3", "tree": "CORP", "major": 3, "minor": 12, "up": true,
      "bindery": [ { "name": "GUEST", "type": 256 } ],
      "volumes": [ { "name": "SYS", "number": 0, "directories": [ "PUBLIC" ] } ] } ],
  "assignments": [ { "server": "FS2", "volume": "DATA", "directory": "Shared",
      "object": "SALES.MAIN", "rights": "Read-FileScan" } ],
  "workstation": { "trees": [ "CORP" ] }
})";

ShownMessage Failure(const std::string& text) { return {text, app::MsgIcon::Critical, "Tolvane"}; }
ShownMessage AllAdded() { return {"All trustees have been added.", app::MsgIcon::None, "Tolvane"}; }
ShownMessage NotAll(int failed, int total) {
  return {"Not all trustees have been added: " + std::to_string(failed) + " of " +
              std::to_string(total) + " records failed.",
          app::MsgIcon::Exclamation, "Tolvane"};
}

std::string Lines(const std::vector<std::string>& records) {
  std::string bytes;
  for (const auto& record : records) bytes += record + "\r\n";
  return bytes;
}

// A temporary network with the window over it, opened when asked (a test that forks a
// locker must do so before this process opens the store).
class Scene {
 public:
  explicit Scene(const std::string& json = kNetwork) { sim::LoadNetworkJson(network.path(), json); }

  void OpenWindow() {
    platform = std::make_unique<faults::HookedPlatform>(sim::OpenNetwork(network.path()));
    desktop.programFolder = program.path().string();
    form = std::make_unique<app::Form1>(*platform, desktop);
    ASSERT_TRUE(form->Form_Load());
    desktop.messages.clear();
  }

  // Restores `bytes` as a rights file and returns the messages it showed.
  std::vector<ShownMessage> Restore(const std::string& bytes) {
    const fs::path file = program / "FAULT.RIGHTS";
    WriteFileBytes(file, bytes);
    desktop.openFileAnswers.push_back(file.string());
    desktop.messages.clear();
    form->Command4_Click();
    EXPECT_FALSE(desktop.Busy());
    EXPECT_EQ(form->Status(), "");
    return desktop.messages;
  }

  std::vector<std::string> Dump(const std::string& server = "", const std::string& volume = "") {
    return sim::DumpAssignments(network.path(), server, volume);
  }

  TempDir network;
  TempDir program;
  FakeDesktop desktop;
  std::unique_ptr<faults::HookedPlatform> platform;
  std::unique_ptr<app::Form1> form;
};

// ---- a server going down in the middle of a restore ----

TEST(ServerDownTest, AServerGoingDownLosesOnlyItsLaterRecords) {
  const std::vector<std::string> fs1 = {"CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read",
                                        "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write",
                                        "CORP,SALES.MAIN,FS1,VOL1:,Read-FileScan"};
  const std::vector<std::string> fs2 = {"CORP,JSmith.SALES.MAIN,FS2,DATA:\\Shared,Read-Write",
                                        "CORP,SALES.MAIN,FS2,DATA:,Supervisor",
                                        "CORP,Staff.SALES.MAIN,FS2,DATA:\\Shared,FileScan"};
  const std::string file = Lines({fs1[0], fs2[0], fs1[1], fs2[1], fs1[2], fs2[2]});
  const std::string down = "Cannot open connection to the given server (E= 34826)";
  struct Case {
    const char* call;  // FS1 goes down once this call has answered for it the n-th time
    int n;
    std::vector<std::string> failures;
  } cases[] = {
      // Between two records: the later ones cannot connect.
      {"NWAddTrustee", 1, {down, down}},
      // Between the lookup and the addition of the second record.
      {"NWDSMapNameToID", 2, {"NWAddTrustee failed (E= 34826)", down}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    Scene scene;
    scene.OpenWindow();
    int seen = 0;
    scene.platform->Hooked().after = [&](const std::string& call, const std::string& server) {
      if (call == c.call && server == "FS1" && ++seen == c.n) {
        sim::SetServerUp(scene.network.path(), "FS1", false);
      }
    };
    std::vector<ShownMessage> expected;
    for (const auto& text : c.failures) expected.push_back(Failure(text));
    expected.push_back(NotAll(2, 6));

    EXPECT_THAT(scene.Restore(file), ElementsAreArray(expected));
    EXPECT_THAT(scene.Dump("FS1", "VOL1"), ElementsAre(fs1[0]));
    // The other server's records are all added, beside what it already held.
    EXPECT_THAT(
        scene.Dump("FS2", "DATA"),
        ElementsAre(fs2[0], fs2[1], "CORP,SALES.MAIN,FS2,DATA:\\Shared,Read-FileScan", fs2[2]));
  }
}

// ---- a store locked by another process ----

TEST(LockedStoreTest, ALockForAMomentIsWaitedForAndOneTooLongFailsTheRecordAlone) {
  Scene scene;
  faults::StoreLocker locker(scene.network.path());  // before this process opens the store
  scene.OpenWindow();
  const std::string first = "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read";
  const std::string second = "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Users,Write";

  // Released by the other process while the addition waits for it.
  locker.Lock(400);
  EXPECT_THAT(scene.Restore(Lines({first})), ElementsAre(AllAdded()));
  EXPECT_TRUE(locker.LettingGo()) << "the restore did not wait for the lock";
  locker.WaitReleased();
  const std::vector<std::string> before = scene.Dump();
  ASSERT_THAT(before, ::testing::Contains(first));

  // Held past the wait: the record fails with its code and nothing is written.
  locker.Lock(0);
  EXPECT_THAT(scene.Restore(Lines({second})),
              ElementsAre(Failure("NWAddTrustee failed (E= 35327)"), NotAll(1, 1)));
  locker.Release();
  locker.WaitReleased();
  EXPECT_EQ(scene.Dump(), before);

  // Nothing is damaged: the store is whole, opens, and takes the record now.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((scene.network / "network.db").c_str(), &db), SQLITE_OK);
  std::string integrity;
  sqlite3_exec(
      db, "PRAGMA integrity_check",
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) += values[0];
        return 0;
      },
      &integrity, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(integrity, "ok");
  EXPECT_EQ(sim::OpenNetwork(scene.network.path())->Client().NWCallsInit(nullptr, nullptr), 0);
  EXPECT_THAT(scene.Restore(Lines({second})), ElementsAre(AllAdded()));
  EXPECT_THAT(scene.Dump("FS1", "VOL1"), ElementsAre(first, second));
}

// ---- a damaged store ----

TEST(DamagedStoreTest, StartUpEndsWithTheClientLibraryMessageAndLeavesTheFileAlone) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> damage;
  } cases[] = {
      {"garbage over its first bytes",
       [](const fs::path& db) {
         std::string bytes = ReadFileBytes(db);
         bytes.replace(0, 64, std::string(64, '\x5a'));
         WriteFileBytes(db, bytes);
       }},
      {"emptied", [](const fs::path& db) { fs::resize_file(db, 0); }},
      {"cut to its first page", [](const fs::path& db) { fs::resize_file(db, 4096); }},
      {"cut in half", [](const fs::path& db) { fs::resize_file(db, fs::file_size(db) / 2); }},
      {"a later page overwritten",
       [](const fs::path& db) {
         std::string bytes = ReadFileBytes(db);
         bytes.replace(4096, 4096, std::string(4096, '\xff'));
         WriteFileBytes(db, bytes);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene scene;
    const fs::path db = scene.network / "network.db";
    ASSERT_FALSE(fs::exists(scene.network / "network.db-wal"));  // all of it is in the file
    c.damage(db);
    const std::string damaged = ReadFileBytes(db);

    auto platform = sim::OpenNetwork(scene.network.path());
    FakeDesktop desktop;
    desktop.programFolder = scene.program.path().string();
    app::Form1 form(*platform, desktop);
    bool loaded = true;
    form.RunGuarded([&] { loaded = form.Form_Load(); });

    EXPECT_FALSE(loaded);
    EXPECT_THAT(desktop.messages, ElementsAre(ShownMessage{"NWCallsInit returns errors !",
                                                           app::MsgIcon::None, "Tolvane"}));
    EXPECT_EQ(desktop.endedWith, 1);
    EXPECT_EQ(form.Combo2->count(), 0);
    EXPECT_EQ(ReadFileBytes(db), damaged);
  }
}

// ---- rights files of random bytes ----

// Values for each of a record's five fields, mostly of this network, some of them in the
// wrong field or the wrong case, so that random files hold records that can be granted.
const std::vector<std::string> kFieldValues[5] = {
    {"CORP", "corp", "MAIN", "OTHER"},
    {"JSmith.SALES.MAIN", "Staff.SALES.MAIN", "SALES.MAIN", "MAIN", "GUEST", "jsmith.sales", "FS1"},
    {"FS1", "FS2", "OLD3", "fs2", "CORP"},
    {"VOL1:\\Apps", "VOL1:", "vol1:/users", "DATA:\\Shared", "DATA:", "SYS:\\PUBLIC",
     "VOL1:\\Gone"},
    {"Read", "Supervisor", "Write-FileScan", "", "Modify-Read"}};
const std::vector<std::string> kSeparators = {",", ",", ",", ",", "\r\n", "\n", ",,", "\"", ""};

// Records of those values, their separators now and then replaced, doubled or dropped and
// random bytes thrown in, which puts the later fields out of step.
std::string RandomRecords(std::mt19937& random, int count) {
  std::string bytes;
  for (int r = 0; r < count; ++r) {
    for (int field = 0; field < 5; ++field) {
      const auto& values = kFieldValues[field];
      bytes += values[random() % values.size()];
      if (random() % 30 == 0) bytes += static_cast<char>(1 + random() % 255);
      const bool wellFormed = random() % 16 != 0;
      bytes += wellFormed ? (field < 4 ? "," : "\r\n") : kSeparators[random() % kSeparators.size()];
    }
  }
  return bytes;
}

std::string RandomBytes(std::mt19937& random, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// A field of random bytes that reads as one field: bare, without separators, or quoted,
// holding commas and line ends.
std::string GarbageField(std::mt19937& random) {
  const bool quoted = random() % 3 == 0;
  std::string field;
  for (int n = 1 + static_cast<int>(random() % 12); n > 0; --n) {
    char c = static_cast<char>(1 + random() % 255);
    if (c == '"' || (!quoted && (c == ',' || c == '\r' || c == '\n'))) c = '#';
    field += c;
  }
  return quoted ? "\"" + field + "\"" : field;
}

// What a file really holds, as the reader takes it: its whole records, and whether it ends
// in something that is not one (an incomplete record, a zero byte).
struct Held {
  std::vector<capture::RightsRecord> records;
  bool brokenEnd = false;
};
Held ReadHeld(const std::string& bytes) {
  Held held;
  capture::RightsFileReader reader(capture::FieldReader::FromBytes(bytes));
  try {
    while (!reader.AtEnd()) held.records.push_back(reader.ReadRecord());
  } catch (const capture::FormatError&) {
    held.brokenEnd = true;
  }
  return held;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

// True when the dump line is the assignment of a record the file held: same object (by its
// tree, unless the server is the bindery server), server, directory and rights.
bool HeldBy(const std::string& line, const Held& held) {
  std::vector<std::string> f;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) f.push_back(field);
  if (f.size() == 4) f.emplace_back();  // a mask with no word
  if (f.size() != 5) return false;
  return std::any_of(held.records.begin(), held.records.end(), [&](const auto& r) {
    return (Upper(r.server) == "OLD3" || Upper(r.tree) == Upper(f[0])) &&
           Upper(r.object) == Upper(f[1]) && Upper(r.server) == Upper(f[2]) &&
           Upper(r.directory) == Upper(f[3]) &&
           capture::BuildRightsText(restore::RightsMaskFromText(r.rights)) == f[4];
  });
}

// The restore ran to its end and told the truth about the file; the number of assignments
// it added or changed.
int ExpectTruthfulRun(Scene& scene, const std::string& bytes,
                      const std::vector<std::string>& before) {
  const Held held = ReadHeld(bytes);
  const std::vector<ShownMessage> shown = scene.Restore(bytes);
  if (shown.empty()) {
    ADD_FAILURE() << "no closing message";
    return 0;
  }
  const int total = static_cast<int>(held.records.size()) + (held.brokenEnd ? 1 : 0);
  const int failed = static_cast<int>(shown.size()) - 1;  // one message per failed record
  EXPECT_EQ(shown.back(), failed == 0 ? AllAdded() : NotAll(failed, total));
  int granted = 0;
  for (const auto& line : scene.Dump()) {
    if (std::find(before.begin(), before.end(), line) == before.end()) {
      ++granted;
      EXPECT_TRUE(HeldBy(line, held)) << "granted without a record: " << line;
    }
  }
  return granted;
}

TEST(RandomRightsFileTest, PureGarbageGrantsNothingAndEveryRecordIsCounted) {
  Scene scene;
  scene.OpenWindow();
  const std::vector<std::string> before = scene.Dump();
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    // Any byte at all, then bytes without the zero that ends a reading early.
    std::string bytes = RandomBytes(random, 3000);
    if (seed % 2 == 0) std::replace(bytes.begin(), bytes.end(), '\0', ',');
    ExpectTruthfulRun(scene, bytes, before);
    EXPECT_EQ(scene.Dump(), before);
    EXPECT_EQ(scene.desktop.messages.back().icon, app::MsgIcon::Exclamation);
  }
}

TEST(RandomRightsFileTest, RecordsOutOfStepGrantOnlyWhatARecordHeld) {
  int granted = 0;
  for (std::uint32_t seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(seed);
    Scene scene;
    scene.OpenWindow();
    std::mt19937 random(seed);
    granted += ExpectTruthfulRun(scene, RandomRecords(random, 100), scene.Dump());
  }
  EXPECT_GT(granted, 0) << "no record was ever granted: the files test nothing";
}

TEST(RandomRightsFileTest, GarbageLinesAmongRecords) {
  const std::vector<std::string> valid = {
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read", "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Users,Write",
      "CORP,GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan", "CORP,SALES.MAIN,FS2,DATA:,Supervisor"};
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    // Whole garbage records between the good ones: the good ones are all added.
    {
      Scene scene;
      scene.OpenWindow();
      std::vector<std::string> expected = scene.Dump();
      std::string bytes;
      int garbage = 0;
      for (const auto& record : valid) {
        for (int n = static_cast<int>(random() % 3); n > 0; --n, ++garbage) {
          for (int i = 0; i < 5; ++i) bytes += GarbageField(random) + (i < 4 ? "," : "\r\n");
        }
        bytes += record + "\r\n";
      }
      const std::vector<ShownMessage> shown = scene.Restore(bytes);
      ASSERT_EQ(static_cast<int>(shown.size()), garbage + 1);
      EXPECT_EQ(shown.back(), garbage == 0
                                  ? AllAdded()
                                  : NotAll(garbage, garbage + static_cast<int>(valid.size())));
      std::vector<std::string> dump = scene.Dump();
      expected.insert(expected.end(), valid.begin(), valid.end());
      std::sort(expected.begin(), expected.end());
      std::sort(dump.begin(), dump.end());
      EXPECT_EQ(dump, expected);
    }
    // Garbage lines of any shape, which put the records out of step.
    {
      Scene scene;
      scene.OpenWindow();
      std::string bytes;
      for (const auto& record : valid) {
        bytes += RandomBytes(random, 1 + random() % 40) + "\r\n" + record + "\r\n";
      }
      std::replace(bytes.begin(), bytes.end(), '\0', ' ');
      ExpectTruthfulRun(scene, bytes, scene.Dump());
    }
  }
}

}  // namespace
