// Faults met by the get-trustees command: a program folder that cannot be written, a write
// cut short by a file-size limit. Each capture runs in a child process, which may give up
// its privileges or take a limit that the test program must not keep.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QComboBox>
#include <QProgressBar>
#include <csignal>
#include <functional>
#include <memory>

#include "app/form1.h"
#include "faults/fault_harness.h"
#include "netware/sim/sim_network.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr const char* kEarlier = "GEN_TREE,Old.ORG,GENFS,DATA:\\Old,Read\r\n";

// A generated network, a program folder holding an earlier rights file of its volume, and a
// capture of that volume run in a child process.
class CaptureScene {
 public:
  CaptureScene(int users, int assignments) {
    options_.users = users;
    options_.groups = 3;
    options_.roles = 2;
    options_.units = 3;
    options_.directories = 40;
    options_.assignments = assignments;
    sim::GenerateNetwork(network.path(), options_);
    WriteFileBytes(RightsFile(), kEarlier);
  }

  std::string Base() const { return options_.server + "_" + options_.volume; }
  fs::path RightsFile() const { return program / (Base() + ".RIGHTS"); }

  // `arm` readies the child's platform; the report's extra line is the progress bar's
  // "value/maximum" when the command has ended.
  faults::Shown Capture(const std::function<void(faults::HookedPlatform&)>& arm,
                        bool dropPrivileges) {
    return faults::DecodeShown(faults::RunInChild([&]() -> std::string {
      if (dropPrivileges) faults::DropPrivileges();
      faults::HookedPlatform platform(sim::OpenNetwork(network.path()));
      if (arm) arm(platform);
      testing_support::FakeDesktop desktop;
      desktop.programFolder = program.path().string();
      app::Form1 form(platform, desktop);
      if (!form.Form_Load()) return "start-up failed";
      form.Combo2->setCurrentIndex(form.Combo2->findText(QString::fromStdString(options_.tree)));
      form.SelectedVolume = Base();
      desktop.messages.clear();
      form.Command1_Click();
      return faults::EncodeShown(desktop, std::to_string(form.ProgressBar1->value()) + "/" +
                                              std::to_string(form.ProgressBar1->maximum()));
    }));
  }

  std::vector<std::string> ProgramFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(program.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> Drives() {
    std::vector<std::string> drives;
    for (const auto& mapping : sim::OpenNetwork(network.path())->Session().DriveMappings()) {
      drives.push_back(mapping.Drive);
    }
    return drives;
  }

  TempDir network;
  TempDir program;

 private:
  sim::GenerateOptions options_;
};

// The command ended as a failed capture should: one message naming the failure, the
// earlier rights file as it was, the mapping removed and the pointer back to normal.
void ExpectFailedCapture(CaptureScene& scene, const faults::Shown& shown, const std::string& named,
                         const std::string& reason) {
  ASSERT_EQ(shown.failure, "");
  ASSERT_EQ(shown.messages.size(), 1u);
  EXPECT_THAT(shown.messages[0].text,
              AllOf(HasSubstr(named), HasSubstr(reason), Not(HasSubstr("drive mapping"))));
  EXPECT_EQ(shown.messages[0].icon, app::MsgIcon::Critical);
  EXPECT_EQ(shown.messages[0].title, "Tolvane");
  EXPECT_FALSE(shown.busy);
  EXPECT_EQ(ReadFileBytes(scene.RightsFile()), kEarlier);
  EXPECT_THAT(scene.Drives(), IsEmpty());
}

TEST(UnwritableProgramFolderTest, TheCaptureSaysSoAndTheEarlierRightsFileStays) {
  struct Case {
    const char* what;
    bool objectListWritable;  // users.txt exists and may be written, nothing may be created
    const char* named;
  } cases[] = {
      {"nothing can be written", false, "users.txt"},
      {"the rights file cannot be", true, ".RIGHTS.tmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureScene scene(20, 60);
    if (c.objectListWritable) {
      WriteFileBytes(scene.program / "users.txt", "");
      fs::permissions(scene.program / "users.txt", fs::perms::all);
    }
    const std::vector<std::string> before = scene.ProgramFiles();
    // Root writes through permission bits: the child becomes an ordinary user, who must
    // still be able to use the network.
    if (geteuid() == 0) faults::OpenToEveryone(scene.network.path());
    fs::permissions(scene.program.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                              fs::perms::group_read | fs::perms::group_exec |
                                              fs::perms::others_read | fs::perms::others_exec);

    const faults::Shown shown = scene.Capture(nullptr, /*dropPrivileges=*/true);

    fs::permissions(scene.program.path(), fs::perms::owner_all, fs::perm_options::add);
    ExpectFailedCapture(scene, shown, c.named, "Permission denied");
    EXPECT_EQ(scene.ProgramFiles(), before);
  }
}

TEST(FileSizeLimitTest, AWriteCutShortKeepsTheEarlierRightsFileAndLeavesNoTemporaryFile) {
  struct Case {
    const char* what;
    int users;
    int assignments;
    bool stopsBeforeTheLastObject;  // the write fails while the scan still runs
  } cases[] = {
      {"met part-way through the scan", 400, 2500, true},
      {"met when the file is completed", 10, 40, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureScene scene(c.users, c.assignments);
    // The limit holds from the scan's first question until the mapping is removed, so that
    // the object list file and the store's own writes are not stopped by it.
    const faults::Shown shown = scene.Capture(
        [](faults::HookedPlatform& platform) {
          std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
          auto saved = std::make_shared<rlimit>();
          getrlimit(RLIMIT_FSIZE, saved.get());
          platform.Hooked().after = [saved, limited = false](const std::string& call,
                                                             const std::string&) mutable {
            if (call != "NWScanObjectTrusteePaths" || limited) return;
            const rlimit small{1024, saved->rlim_max};
            limited = setrlimit(RLIMIT_FSIZE, &small) == 0;
          };
          platform.Sess().beforeUnmap = [saved] { setrlimit(RLIMIT_FSIZE, saved.get()); };
        },
        /*dropPrivileges=*/false);

    ExpectFailedCapture(scene, shown, scene.Base() + ".RIGHTS", "File too large");
    // The object list file stays behind, as after any failed scan; no temporary file does.
    EXPECT_THAT(scene.ProgramFiles(), ElementsAre(scene.Base() + ".RIGHTS", "users.txt"));
    const auto slash = shown.extra.find('/');
    ASSERT_NE(slash, std::string::npos) << shown.extra;
    const int value = std::stoi(shown.extra.substr(0, slash));
    const int maximum = std::stoi(shown.extra.substr(slash + 1));
    EXPECT_EQ(value < maximum - 1, c.stopsBeforeTheLastObject) << shown.extra;
  }
}

}  // namespace
