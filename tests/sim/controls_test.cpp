// The session and directory controls and the directory listing over the simulated network.

#include <algorithm>
#include <functional>

#include "sim/sim_fixture.h"

namespace simtest {
namespace {

using SessionTest = SimTest;
using DirectoryTest = SimTest;
using ListingTest = SimTest;

std::vector<std::string> Drives(nw::NWSession& session) {
  std::vector<std::string> drives;
  for (const auto& mapping : session.DriveMappings()) drives.push_back(mapping.Drive);
  return drives;
}

// ---- session ----

TEST_F(SessionTest, TreesComeInStoredOrder) {
  auto trees = session().Trees();
  ASSERT_EQ(trees.size(), 2u);
  EXPECT_EQ(trees[0].ShortName, "OTHER");
  EXPECT_EQ(trees[1].ShortName, "ACME_TREE");
}

TEST_F(SessionTest, DriveMappingsComeByLetter) {
  auto mappings = session().DriveMappings();
  ASSERT_EQ(mappings.size(), 2u);
  EXPECT_EQ(mappings[0].Drive, "F:");
  EXPECT_EQ(mappings[0].FullName, "\\\\FS1\\SYS\\");
  EXPECT_EQ(mappings[1].Drive, "G:");
  EXPECT_EQ(mappings[1].FullName, "\\\\FS1\\Data\\");
}

TEST_F(SessionTest, MapDriveRecordsAMappingThatLasts) {
  std::string drive = "H:", path = "\\\\fs1\\data\\";
  auto mapping = session().MapDrive(drive, path, true);
  EXPECT_EQ(mapping.FullName, "\\\\FS1\\Data\\");
  EXPECT_EQ(Drives(session()), (std::vector<std::string>{"F:", "G:", "H:"}));
  EXPECT_EQ(Drives(Reopen()->Session()), (std::vector<std::string>{"F:", "G:", "H:"}));
  EXPECT_TRUE(session().UnmapDrive("H"));
  EXPECT_FALSE(session().UnmapDrive("H"));
  EXPECT_EQ(Drives(Reopen()->Session()), (std::vector<std::string>{"F:", "G:"}));
}

TEST_F(SessionTest, MapDriveAnswersEmptyWhenNothingWasMapped) {
  struct Case {
    const char* drive;
    const char* path;
  } cases[] = {
      {"F:", "\\\\FS1\\SYS\\"},  {"K:", "\\\\NOPE\\SYS\\"},       {"K:", "\\\\DOWN\\VOL1\\"},
      {"K:", "\\\\FS1\\VOL9\\"}, {"K:", "\\\\FS1\\SYS\\Nowhere"}, {"KK", "\\\\FS1\\SYS\\"},
      {"K:", "FS1\\SYS"}};
  for (const auto& c : cases) {
    std::string drive = c.drive, path = c.path;
    EXPECT_EQ(session().MapDrive(drive, path, true).FullName, "") << c.drive << " " << c.path;
  }
  EXPECT_EQ(Drives(session()), (std::vector<std::string>{"F:", "G:"}));
}

TEST_F(SessionTest, MapDriveToADirectoryUsesItsStoredName) {
  std::string drive = "k:", path = "\\\\FS1\\SYS\\users\\jsmith";
  auto mapping = session().MapDrive(drive, path, true);
  EXPECT_EQ(mapping.Drive, "K:");
  EXPECT_EQ(mapping.FullName, "\\\\FS1\\SYS\\Users\\JSmith\\");
}

// ---- directory control ----

struct Raisings {
  std::vector<std::vector<std::string>> batches;
  std::vector<std::string> All() const {
    std::vector<std::string> all;
    for (const auto& batch : batches) all.insert(all.end(), batch.begin(), batch.end());
    return all;
  }
};

Raisings Search(nw::NWDirectory& directory, const std::string& objectClass,
                const std::string& base) {
  Raisings raisings;
  directory.SearchResults = [&](const std::vector<std::string>& names) {
    raisings.batches.push_back(names);
  };
  directory.SearchObjects("*", objectClass, 2, base, 0);
  return raisings;
}

TEST_F(DirectoryTest, SearchFindsEveryObjectOfTheClassInPreOrder) {
  auto directory = platform_->CreateDirectory();
  auto all = Search(*directory, "user", "NDS:\\\\acme_tree\\[ROOT]").All();
  std::vector<std::string> expected;
  for (int i = 1; i <= 45; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "NDS:\\\\ACME_TREE\\ACME\\Crowd\\U%02d", i);
    expected.push_back(name);
  }
  expected.push_back("NDS:\\\\ACME_TREE\\ACME\\JSmith");
  expected.push_back("NDS:\\\\ACME_TREE\\ACME\\Sales\\MBrown");
  EXPECT_EQ(all, expected);
}

TEST_F(DirectoryTest, SearchOfEachClass) {
  auto directory = platform_->CreateDirectory();
  struct Case {
    const char* objectClass;
    const char* base;
    std::vector<std::string> found;
  } cases[] = {
      {"Group", "NDS:\\\\ACME_TREE\\[Root]", {"NDS:\\\\ACME_TREE\\ACME\\Staff"}},
      {"Organizational Role",
       "NDS:\\\\ACME_TREE\\[Root]",
       {"NDS:\\\\ACME_TREE\\ACME\\Sales\\Boss"}},
      {"Organizational Unit",
       "NDS:\\\\ACME_TREE\\[Root]",
       {"NDS:\\\\ACME_TREE\\ACME\\Crowd", "NDS:\\\\ACME_TREE\\ACME\\Sales"}},
      {"VOLUME",
       "NDS:\\\\ACME_TREE\\[Root]",
       {"NDS:\\\\ACME_TREE\\ACME\\FS1_Data", "NDS:\\\\ACME_TREE\\ACME\\FS1_SYS"}},
      {"User", "NDS:\\\\OTHER\\[Root]", {"NDS:\\\\OTHER\\ACME\\JSmith"}},
      {"User", "NDS:\\\\ACME_TREE\\ACME\\Sales", {"NDS:\\\\ACME_TREE\\ACME\\Sales\\MBrown"}},
      {"User", "NDS:\\\\NOTREE\\[Root]", {""}},
      {"Country", "NDS:\\\\ACME_TREE\\[Root]", {""}},
      {"Usr", "NDS:\\\\ACME_TREE\\[Root]", {""}},
  };
  for (const auto& c : cases) {
    auto raisings = Search(*directory, c.objectClass, c.base);
    EXPECT_EQ(raisings.batches.size(), 1u) << c.objectClass << " below " << c.base;
    EXPECT_EQ(raisings.All(), c.found) << c.objectClass << " below " << c.base;
  }
}

TEST(DirectoryLargeTest, ManyResultsComeInRaisingsOfAtMostFiveHundred) {
  testing_support::TempDir temp;
  sim::GenerateOptions options;
  options.users = 1234;
  options.groups = 0;
  options.roles = 0;
  options.units = 6;
  options.directories = 10;
  options.assignments = 0;
  sim::GenerateNetwork(temp.path() / "net", options);
  auto platform = sim::OpenNetwork(temp.path() / "net");
  auto directory = platform->CreateDirectory();
  auto raisings = Search(*directory, "User", "NDS:\\\\GEN_TREE\\[Root]");
  ASSERT_EQ(raisings.batches.size(), 3u);
  EXPECT_EQ(raisings.batches[0].size(), 500u);
  EXPECT_EQ(raisings.batches[1].size(), 500u);
  EXPECT_EQ(raisings.batches[2].size(), 234u);

  // The same order as walking the browse tree: pre-order, siblings by name.
  std::vector<std::string> walked;
  std::function<void(const std::string&)> walk = [&](const std::string& name) {
    for (const auto& entry : directory->Children(name)) {
      if (entry.Class == "User") walked.push_back(entry.FullName);
      walk(entry.FullName);
    }
  };
  walk("NDS:\\\\GEN_TREE\\[Root]");
  EXPECT_EQ(raisings.All(), walked);
}

TEST_F(DirectoryTest, SearchRaisesNothingWhenNoHandlerListens) {
  auto directory = platform_->CreateDirectory();
  directory->SearchObjects("*", "User", 2, "NDS:\\\\ACME_TREE\\[Root]", 0);  // must not throw
}

TEST_F(DirectoryTest, ChildrenHonourTheFilter) {
  auto directory = platform_->CreateDirectory();
  directory->Filter = "Organization, Organizational Unit,volume";
  auto top = directory->Children("NDS:\\\\ACME_TREE\\[Root]");
  ASSERT_EQ(top.size(), 1u);
  EXPECT_EQ(top[0].Name, "ACME");
  EXPECT_EQ(top[0].Class, "Organization");
  EXPECT_EQ(top[0].FullName, "NDS:\\\\ACME_TREE\\ACME");
  EXPECT_TRUE(top[0].HasChildren);
  auto below = directory->Children("NDS:\\\\acme_tree\\acme");
  std::vector<std::string> names;
  for (const auto& entry : below) {
    names.push_back(entry.Name);
    EXPECT_FALSE(entry.HasChildren) << entry.Name << ": only users below it";
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Crowd", "FS1_Data", "FS1_SYS", "Sales"}));

  directory->Filter = "";
  EXPECT_EQ(directory->Children("NDS:\\\\ACME_TREE\\ACME").size(), 6u);
  EXPECT_TRUE(directory->Children("NDS:\\\\ACME_TREE\\Nowhere").empty());
  EXPECT_TRUE(directory->Children("not a name").empty());
}

// ---- directory listing ----

TEST_F(ListingTest, DirAnswersTheStoredNameOfTheLastComponent) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {{"\\\\FS1\\SYS\\USERS", "Users"},
               {"\\\\fs1\\sys\\users\\JSMITH", "JSmith"},
               {"\\\\FS1\\SYS\\DEEP\\a\\B\\c\\D", "D"},
               {"\\\\FS1\\SYS\\Public\\LOGIN.EXE", "Login.exe"},
               {"\\\\FS1\\SYS", ""},
               {"\\\\FS1\\SYS\\", ""},
               {"\\\\FS1\\SYS\\Users\\", ""},
               {"\\\\FS1\\Data\\.hidden", ""},
               {"\\\\FS1\\SYS\\Nowhere", ""},
               {"\\\\FS1\\SYS\\Users\\..", ""},
               {"\\\\FS1\\VOL9\\Users", ""},
               {"\\\\NOPE\\SYS\\Users", ""},
               {"\\\\DOWN\\VOL1", ""},
               {"SYS:USERS", ""}};
  for (const auto& c : cases) EXPECT_EQ(platform_->Files().Dir(c.path), c.name) << c.path;
}

TEST_F(ListingTest, DirSeesFoldersThatChangeAfterwards) {
  auto& files = platform_->Files();
  ASSERT_EQ(files.Dir("\\\\FS1\\SYS\\Users\\JSmith"), "JSmith");
  std::filesystem::path users = folder() / "volumes" / "FS1" / "SYS" / "Users";
  std::filesystem::rename(users / "JSmith", users / "jsmith2");
  EXPECT_EQ(files.Dir("\\\\FS1\\SYS\\Users\\JSmith"), "");
  EXPECT_EQ(files.Dir("\\\\FS1\\SYS\\Users\\JSMITH2"), "jsmith2");
}

TEST_F(ListingTest, DirOfADownServerFindsNothing) {
  sim::SetServerUp(folder(), "FS1", false);
  EXPECT_EQ(platform_->Files().Dir("\\\\FS1\\SYS\\Users"), "");
}

}  // namespace
}  // namespace simtest
