#pragma once
// A window over a temporary simulated network, with a client that counts its calls and can
// be told to fail part-way.

#include <gtest/gtest.h>

#include <QComboBox>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "netware/sim/sim_network.h"
#include "support/counting_platform.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace capture_testing {

class ScriptedClient : public testing_support::CountingClient {
 public:
  using CountingClient::CountingClient;

  // From this call of NWGetVolumeNumber on (counted from 1), it answers "unknown volume".
  std::optional<long> failVolumeNumberFrom;

  nw::NWRCODE NWGetVolumeNumber(nw::NWCONN_HANDLE conn, const char* vol,
                                nw::nuint32* num) override {
    const nw::NWRCODE rc = CountingClient::NWGetVolumeNumber(conn, vol, num);
    if (failVolumeNumberFrom && Count("NWGetVolumeNumber") >= *failVolumeNumberFrom) {
      return nw::kVolumeDoesNotExist;
    }
    return rc;
  }
};

class ScriptedPlatform : public nw::NetWarePlatform {
 public:
  explicit ScriptedPlatform(std::unique_ptr<nw::NetWarePlatform> inner)
      : inner_(std::move(inner)), client_(inner_->Client()) {}

  ScriptedClient& Scripted() { return client_; }
  nw::NetWareClient& Client() override { return client_; }
  nw::NWSession& Session() override { return inner_->Session(); }
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override { return inner_->CreateDirectory(); }
  nw::FileListing& Files() override { return inner_->Files(); }

 private:
  std::unique_ptr<nw::NetWarePlatform> inner_;
  ScriptedClient client_;
};

// The rights file's lines without their CR LF, sorted.
inline std::vector<std::string> SortedLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class CaptureFixture : public ::testing::Test {
 protected:
  // Builds the window over the network already created in network_.
  void OpenWindow() {
    platform_ = std::make_unique<ScriptedPlatform>(sim::OpenNetwork(network_.path()));
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
    return program_.path() / (base + ".RIGHTS");
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
  std::unique_ptr<ScriptedPlatform> platform_;
  std::unique_ptr<app::Form1> form_;
};

}  // namespace capture_testing
