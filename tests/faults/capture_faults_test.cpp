// Capture faults, each in a child process: a program folder that cannot be written, a write
// cut short by a file-size limit.

#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QProgressBar>
#include <csignal>

#include "faults/fault_harness.h"
#include "netware/sim/sim_network.h"
#include "support/window_scene.h"

namespace {

namespace fs = std::filesystem;
using namespace ::testing;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr const char* kEarlier = "GEN_TREE,Old.ORG,GENFS,DATA:\\Old,Read\r\n";

// A generated network, an earlier rights file, and a capture in a child process.
class CaptureScene : public testing_support::WindowScene {
 public:
  CaptureScene(int users, int assignments)
      : options_{.users = users,
                 .groups = 3,
                 .roles = 2,
                 .units = 3,
                 .directories = 40,
                 .assignments = assignments} {
    Generate(options_);
    WriteFileBytes(RightsFile(), kEarlier);
  }

  std::string Base() const { return options_.server + "_" + options_.volume; }
  fs::path RightsFile() const { return WindowScene::RightsFile(Base()); }

  // `arm` readies the child; the report is a line on its pointer and whether the scan stopped
  // before the last object, then one line per message: its icon, title and text.
  std::string Capture(const std::function<void(testing_support::CountingPlatform&,
                                               testing_support::FakeDesktop&)>& arm,
                      bool dropPrivileges) {
    return faults::RunInChild([&]() -> std::string {
      constexpr uid_t kNobody = 65534;  // root would write through permission bits
      if (dropPrivileges && ::geteuid() == 0 &&
          (::setgroups(0, nullptr) || ::setgid(kNobody) || ::setuid(kNobody))) {
        return "cannot drop privileges";
      }
      if (!Open()) return "start-up failed";
      Show();
      SelectVolume(options_.tree, Base());
      if (::testing::Test::HasFailure()) return "the volume could not be selected";
      if (arm) arm(*platform, desktop);
      GetTrustees();
      const bool early = form->ProgressBar1->value() < form->ProgressBar1->maximum() - 1;
      std::string report = std::string(desktop.Busy() ? "busy" : "idle") + (early ? " early" : "");
      for (const auto& m : desktop.messages) {
        report += "\n" + std::to_string(static_cast<int>(m.icon)) + " " + m.title + ": " + m.text;
      }
      return report;
    });
  }

  // A failed capture: one message naming the failure, the earlier rights file as it was, the
  // mapping removed, and in the program folder just `files`.
  void ExpectFailed(const std::string& report, const std::string& named, const std::string& reason,
                    const std::vector<std::string>& files) {
    const std::string critical = std::to_string(static_cast<int>(app::MsgIcon::Critical));
    EXPECT_THAT(report.substr(report.find('\n') + 1),
                AllOf(StartsWith(critical + " Tolvane: "), HasSubstr(named), HasSubstr(reason),
                      Not(HasSubstr("\n")), Not(HasSubstr("drive mapping"))));
    EXPECT_EQ(ReadFileBytes(RightsFile()), kEarlier);
    EXPECT_THAT(sim::OpenNetwork(network.path())->Session().DriveMappings(), IsEmpty());
    EXPECT_EQ(ProgramFiles(), files);
  }

 private:
  sim::GenerateOptions options_;
};

TEST(UnwritableProgramFolderTest, TheCaptureSaysSoAndTheEarlierRightsFileStays) {
  struct Case {
    const char* what;
    bool objectListWritable;  // users.txt exists and may be written, nothing may be created
    const char* named;
  } cases[] = {{"nothing can be written", false, "users.txt"},
               {"the rights file cannot be", true, ".RIGHTS: Permission denied"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureScene scene(20, 60);
    if (c.objectListWritable) {
      WriteFileBytes(scene.program / "users.txt", "");
      fs::permissions(scene.program / "users.txt", fs::perms::all);
    }
    const std::vector<std::string> before = scene.ProgramFiles();
    // The child, an ordinary user, must still be able to use the network.
    fs::permissions(scene.network.path(), fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(scene.network.path())) {
      fs::permissions(entry.path(), fs::perms::all);
    }
    fs::permissions(scene.program.path(),
                    fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                       fs::perms::others_write));
    const std::string report = scene.Capture(nullptr, /*dropPrivileges=*/true);
    fs::permissions(scene.program.path(), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_THAT(report, StartsWith("idle"));
    scene.ExpectFailed(report, c.named, "Permission denied", before);
  }
}

TEST(FileSizeLimitTest, AWriteCutShortKeepsTheEarlierRightsFileAndLeavesNoTemporaryFile) {
  struct Case {
    const char* what;
    int users;
    int assignments;
    bool stopsBeforeTheLastObject;  // the write fails while the scan still runs
  } cases[] = {{"met part-way through the scan", 400, 2500, true},
               {"met when the file is completed", 10, 40, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureScene scene(c.users, c.assignments);
    // The limit holds from the scan's first question until the failure is told, so that
    // the object list file and the store's own writes are not stopped by it.
    const std::string report = scene.Capture(
        [](testing_support::CountingPlatform& platform, testing_support::FakeDesktop& desktop) {
          std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
          auto saved = std::make_shared<rlimit>();
          getrlimit(RLIMIT_FSIZE, saved.get());
          platform.Counter().after = [saved](const std::string& call, nw::NWRCODE rc) {
            const rlimit small{1024, saved->rlim_max};
            if (call == "NWScanObjectTrusteePaths") setrlimit(RLIMIT_FSIZE, &small);
            return rc;
          };
          desktop.beforeMessage = [&platform, saved] {
            platform.Counter().after = nullptr;
            setrlimit(RLIMIT_FSIZE, saved.get());
          };
        },
        /*dropPrivileges=*/false);

    EXPECT_THAT(report, StartsWith(c.stopsBeforeTheLastObject ? "idle early\n" : "idle\n"));
    // The object list file stays behind, as after any failed scan; no temporary file does.
    scene.ExpectFailed(report, scene.Base() + ".RIGHTS", "File too large",
                       {scene.Base() + ".RIGHTS", "users.txt"});
  }
}

}  // namespace
