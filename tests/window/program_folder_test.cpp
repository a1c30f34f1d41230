// Where the program keeps its files and finds its help file.
#include "app/program_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "netware/data_folder.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

TEST(ProgramFolderTest, TheLayoutDecidesWhereFilesAndHelpLive) {
  struct Row {
    const char* what;
    const char* helpBeside;  // bin/Tolvane.HLP: "", "file" or "folder"
    const char* helpShared;  // share/tolvane/Tolvane.HLP
    bool userFolder;
    bool perUser;
    const char* help;  // relative to the prefix
  };
  const Row rows[] = {
      {"a build folder", "folder", "", true, false, "bin"},
      {"a build folder of a prefix that has a shared help file", "folder", "folder", true, false,
       "bin"},
      {"an installed copy with a help file of one file", "", "file", true, true, "share/tolvane"},
      {"an installed copy with nowhere for a per-user folder", "", "folder", false, false,
       "share/tolvane"},
      {"no help file anywhere", "", "", true, false, "bin"},
  };
  auto make = [](const std::filesystem::path& help, const std::string& kind) {
    if (kind == "folder") std::filesystem::create_directories(help);
    if (kind == "file") testing_support::WriteFileBytes(help, "");
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share/tolvane");
    make(prefix / "bin/Tolvane.HLP", row.helpBeside);
    make(prefix / "share/tolvane/Tolvane.HLP", row.helpShared);
    const std::filesystem::path user = row.userFolder ? prefix / "user" : "";
    const app::ProgramFolders folders = app::ChooseProgramFolders(prefix / "bin", user);
    EXPECT_EQ(folders.perUser, row.perUser);
    EXPECT_EQ(folders.files, row.perUser ? user : prefix / "bin");
    EXPECT_EQ(folders.help, prefix / row.help);
    EXPECT_FALSE(std::filesystem::exists(prefix / "user"));  // made on first use only
  }
}

TEST(ProgramFolderTest, AFolderThatCannotBeWrittenSendsTheFilesToThePerUserFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  TempDir prefix;
  std::filesystem::create_directories(prefix / "bin");
  std::filesystem::create_directories(prefix / "bin/Tolvane.HLP");
  std::filesystem::permissions(prefix / "bin", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  const app::ProgramFolders folders = app::ChooseProgramFolders(prefix / "bin", prefix / "user");
  std::filesystem::permissions(prefix / "bin", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_TRUE(folders.perUser);
  EXPECT_EQ(folders.files, prefix / "user");
  EXPECT_EQ(folders.help, prefix / "bin");
}

TEST(ProgramFolderTest, ThePerUserFolderFollowsXdgDataHomeElseHome) {
  struct Row {
    const char* data;  // nullptr: unset
    const char* home;
    const char* expected;
  };
  const Row rows[] = {
      {"relative/data", "/h", "/h/.local/share/tolvane"},
      {nullptr, "/h", "/h/.local/share/tolvane"},
      {nullptr, nullptr, ""},
  };
  const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.data ? row.data : "(unset)");
    row.data ? setenv("XDG_DATA_HOME", row.data, 1) : unsetenv("XDG_DATA_HOME");
    row.home ? setenv("HOME", row.home, 1) : unsetenv("HOME");
    EXPECT_EQ(nw::UserDataFolder(), std::filesystem::path(row.expected));
  }
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
