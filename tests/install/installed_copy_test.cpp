// The copy that `cmake --install` put into a temporary prefix: it finds its help file in
// share/tolvane/, and keeps its files in the per-user folder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProcess>
#include <cstdlib>
#include <deque>
#include <optional>

#include "app/form1.h"
#include "app/qt_desktop.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace {

const std::filesystem::path kPrefix = TOLVANE_TEST_PREFIX;

// The real desktop, with messages recorded and the Open dialog answered instead of shown.
class InstalledDesktop : public app::QtDesktop {
 public:
  explicit InstalledDesktop(const std::filesystem::path& lock)
      : QtDesktop(QString::fromStdString(lock.string()), (kPrefix / "bin").string()) {}
  std::vector<std::string> messages;
  std::optional<std::string> openAnswer;
  std::string openInitialDir;

  void MsgBox(const std::string& text, app::MsgIcon, const std::string&) override {
    messages.push_back(text);
  }
  std::optional<std::string> OpenFile(const std::string&, const std::string&,
                                      const std::string& initialDir) override {
    openInitialDir = initialDir;
    return openAnswer;
  }
};

class InstalledCopy : public ::testing::Test {
 protected:
  InstalledCopy() { setenv("XDG_DATA_HOME", (home / "data").c_str(), 1); }
  ~InstalledCopy() override { unsetenv("XDG_DATA_HOME"); }

  // A window of the installed layout over the demo network, after start-up.
  app::Form1& Window() {
    sim::CreateDemoNetwork(home / "network");
    platform = sim::OpenNetwork(home / "network");
    desktop = std::make_unique<InstalledDesktop>(home / "run/tolvane.lock");
    form = std::make_unique<app::Form1>(*platform, *desktop);
    EXPECT_TRUE(form->Form_Load());
    return *form;
  }

  void Capture(const std::string& tree, const std::string& volume) {
    form->Combo2->setCurrentIndex(form->Combo2->findText(QString::fromStdString(tree)));
    form->Combo2_Click();
    form->SelectedVolume = volume;
    desktop->messages.clear();
    form->Command1_Click();
  }

  testing_support::TempDir home;
  std::unique_ptr<nw::NetWarePlatform> platform;
  std::unique_ptr<InstalledDesktop> desktop;
  std::unique_ptr<app::Form1> form;
};

TEST_F(InstalledCopy, StartsOffscreenOnAFreshNetworkAndFindsItsHelpFile) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("TOLVANE_NETWORK");
  env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString((home / "run").string()));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(QString::fromStdString((kPrefix / "bin/tolvane").string()), {"--quit-after-start"});
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.readAllStandardOutput().toStdString(),
            "Help file: " + (kPrefix / "share/tolvane/Tolvane.HLP").string() +
                "\nProgram folder: " + (home / "data/tolvane").string() + "\n");
  EXPECT_TRUE(std::filesystem::exists(home / "data/tolvane/network/network.db"));

  // The installed command-line programs answer --help.
  for (const char* tool : {"tolvane-netsim", "tolvane-cli"}) {
    QProcess help;
    help.start(QString::fromStdString((kPrefix / "bin" / tool).string()), {"--help"});
    ASSERT_TRUE(help.waitForFinished(30000)) << tool;
    EXPECT_EQ(help.exitCode(), 0) << tool;
  }
}

TEST_F(InstalledCopy, CapturesIntoThePerUserFolderAndRestoresFromIt) {
  app::Form1& f = Window();
  const std::filesystem::path folder = home / "data/tolvane";
  const auto before = sim::DumpAssignments(home / "network", "FS1", "SYS");
  ASSERT_FALSE(before.empty());
  Capture("QARN", "FS1_SYS");
  const std::filesystem::path rights = folder / "FS1_SYS.RIGHTS";
  EXPECT_EQ(desktop->messages,
            std::vector<std::string>{"All Done. File " + rights.string() + " has been created."});
  EXPECT_TRUE(std::filesystem::exists(rights));
  EXPECT_FALSE(std::filesystem::exists(folder / "users.txt"));
  EXPECT_FALSE(std::filesystem::exists(kPrefix / "bin/FS1_SYS.RIGHTS"));

  sim::ClearAssignments(home / "network", "FS1", "SYS");
  desktop->messages.clear();
  desktop->openAnswer = rights.string();
  f.Command4_Click();
  EXPECT_EQ(desktop->openInitialDir, folder.string());
  ASSERT_FALSE(desktop->messages.empty());
  EXPECT_EQ(desktop->messages.back(), "All trustees have been added.");
  EXPECT_EQ(sim::DumpAssignments(home / "network", "FS1", "SYS"), before);
}

TEST_F(InstalledCopy, APerUserFolderThatCannotBeMadeEndsTheCaptureNamingItAndWhy) {
  // A file stands where the per-user folder's parent should be.
  testing_support::WriteFileBytes(home / "blocked", "");
  setenv("XDG_DATA_HOME", (home / "blocked").c_str(), 1);
  app::Form1& f = Window();
  EXPECT_EQ(f.CommonDialog1.InitDir, "");  // start-up goes on regardless
  Capture("QARN", "FS1_SYS");
  EXPECT_EQ(desktop->messages,
            std::vector<std::string>{
                "The trustees of server FS1, volume SYS could not be obtained: the folder " +
                (home / "blocked/tolvane").string() + " cannot be created: Not a directory."});
  // The drive mapping of the capture is gone again.
  EXPECT_EQ(platform->Session().DriveMappings().size(), 2u);
}

}  // namespace
