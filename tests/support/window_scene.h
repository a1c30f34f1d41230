#pragma once
// The window as the tests meet it: Form1 over a temporary simulated network and program
// folder, with the fake desktop and a platform that counts (and can hook) client calls;
// helpers do what a user does with the mouse and read what lands on disk and in the store.

#include <gtest/gtest.h>

#include <QtGlobal>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "support/counting_platform.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace sim {
struct GenerateOptions;
}

namespace testing_support {

// The rights file's lines without their CR LF, sorted.
std::vector<std::string> SortedLines(const std::string& bytes);

class WindowScene {
 public:
  // An empty network folder: fill it with Load, Generate or Demo before Open.
  WindowScene() = default;
  // The network of a JSON description.
  explicit WindowScene(const std::string& json) { Load(json); }
  virtual ~WindowScene();

  void Load(const std::string& json);
  void Generate(const sim::GenerateOptions& options);
  void Demo();

  // The platform (unless one was set) and the window, without start-up.
  app::Form1& Build();
  // Build and Form_Load; false when start-up ended the program. Clears the messages.
  bool Open();
  // Shows the window offscreen, as clicks need it.
  void Show();

  // ---- what the user does ----
  // Opens the tree list with a click and clicks the tree in it.
  void ChooseTree(const std::string& tree);
  // Clicks the entry of a full NDS name, opening its containers by their expand arrows first.
  void ClickEntry(const std::string& fullName, Qt::MouseButton button = Qt::LeftButton);
  // Chooses the tree and clicks the volume object of that name wherever it stands; then
  // GetTrustees must be enabled. Clears the messages.
  void SelectVolume(const std::string& tree, const std::string& volume);
  // Clicks GetTrustees (it must be enabled).
  void GetTrustees();
  // Clicks "Select File To Write Trustees From"; the Open dialog answers `file` (nothing:
  // cancel). Clears the messages first.
  void WriteTrustees(const std::optional<std::string>& file);
  // Writes `bytes` as a rights file in the program folder and restores it.
  void WriteTrusteesFrom(const std::string& bytes, const std::string& name = "FS1_VOL1.RIGHTS");

  // ---- what can be seen ----
  std::filesystem::path RightsFile(const std::string& base) const;
  std::string Rights(const std::string& base) const;
  // The closing message of a capture of `base`.
  std::string ClosingText(const std::string& base) const;
  std::vector<std::string> Dump(const std::string& server = "",
                                const std::string& volume = "") const;
  // Each assignment's raw mask, by "directory as stored,object ID".
  std::map<std::string, std::uint16_t> Masks(const std::string& server,
                                             const std::string& volume) const;
  std::vector<std::string> ProgramFiles() const;
  std::vector<std::string> Drives();  // the workstation's mapped drive letters

  TempDir network;
  TempDir program;
  FakeDesktop desktop;
  std::unique_ptr<CountingPlatform> platform;
  std::unique_ptr<app::Form1> form;
};

// A test of the window, over the network of a description in tests/data.
class WindowSceneTest : public ::testing::Test, protected WindowScene {
 protected:
  explicit WindowSceneTest(const std::string& data) : WindowScene(TestData(data)) {}
};

}  // namespace testing_support
