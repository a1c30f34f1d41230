#pragma once
// A window over a temporary simulated network, with a client that can be told to fail
// part-way.

#include <gtest/gtest.h>

#include <QComboBox>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "faults/fault_harness.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace capture_testing {

// The rights file's lines without their CR LF, sorted.
inline std::vector<std::string> SortedLines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0, end; pos < bytes.size(); pos = end + 2) {
    end = std::min(bytes.find("\r\n", pos), bytes.size());
    lines.push_back(bytes.substr(pos, end - pos));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class CaptureFixture : public ::testing::Test {
 protected:
  // Builds the window over the network already created in network_.
  void OpenWindow() {
    platform_ = std::make_unique<faults::HookedPlatform>(sim::OpenNetwork(network_.path()));
    desktop_.programFolder = program_.path().string();
    form_ = std::make_unique<app::Form1>(*platform_, desktop_);
    ASSERT_TRUE(form_->Form_Load());
    desktop_.messages.clear();
  }

  // Chooses the tree as a user does and takes `volume` as the selected volume object.
  void Select(const std::string& tree, const std::string& volume) {
    const int index = form_->Combo2->findText(QString::fromStdString(tree));
    ASSERT_GE(index, 0) << tree;
    form_->Combo2->setCurrentIndex(index);
    form_->Combo2_Click();
    ASSERT_NE(std::find(form_->List3.begin(), form_->List3.end(), volume), form_->List3.end())
        << volume;
    form_->SelectedVolume = volume;
    desktop_.messages.clear();
  }

  std::filesystem::path RightsFile(const std::string& base) const {
    return program_ / (base + ".RIGHTS");
  }
  std::string ClosingText(const std::string& base) const {
    return "All Done. File " + program_.path().string() + "/" + base + ".RIGHTS has been created.";
  }
  std::vector<std::string> Dump(const std::string& server, const std::string& volume) {
    return sim::DumpAssignments(network_.path(), server, volume);
  }
  std::vector<std::string> Drives() {
    std::vector<std::string> drives;
    for (const auto& mapping : platform_->Session().DriveMappings())
      drives.push_back(mapping.Drive);
    return drives;
  }
  std::vector<std::string> ProgramFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(program_.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing_support::TempDir network_;
  testing_support::TempDir program_;
  testing_support::FakeDesktop desktop_;
  std::unique_ptr<faults::HookedPlatform> platform_;
  std::unique_ptr<app::Form1> form_;
};

}  // namespace capture_testing
