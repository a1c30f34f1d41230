#pragma once
// A window over a temporary simulated network, with a platform that counts the client's
// calls, records the drive mappings asked for and can be told to fail at chosen points.

#include <gtest/gtest.h>

#include <QComboBox>
#include <algorithm>
#include <functional>
#include <map>
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
  // Every trustee list batch repeats its first entry once more, where there is room.
  bool repeatFirstEntry = false;

  nw::NWRCODE NWGetVolumeNumber(nw::NWCONN_HANDLE conn, const char* vol,
                                nw::nuint32* num) override {
    const nw::NWRCODE rc = CountingClient::NWGetVolumeNumber(conn, vol, num);
    if (failVolumeNumberFrom && Count("NWGetVolumeNumber") >= *failVolumeNumberFrom) {
      return nw::kVolumeDoesNotExist;
    }
    return rc;
  }

  nw::NWRCODE NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                          const char* path, nw::nuint32* iter, char* dirName,
                                          std::size_t dirNameSize, nw::nuint32* dateTime,
                                          nw::nuint32* owner,
                                          nw::TrusteeEntry trustees[nw::kTrusteeBatch]) override {
    const nw::NWRCODE rc = CountingClient::NWScanDirectoryForTrustees2(
        conn, dirHandle, path, iter, dirName, dirNameSize, dateTime, owner, trustees);
    if (rc == 0 && repeatFirstEntry && trustees[0].ObjectID != 0) {
      for (int i = 1; i < nw::kTrusteeBatch; ++i) {
        if (trustees[i].ObjectID == 0) {
          trustees[i] = trustees[0];
          if (i + 1 < nw::kTrusteeBatch) trustees[i + 1] = {};
          break;
        }
      }
    }
    return rc;
  }
};

class ScriptedSession : public nw::NWSession {
 public:
  explicit ScriptedSession(nw::NWSession& inner) : inner_(inner) {}

  // When set, DriveMappings answers these instead of the network's.
  std::optional<std::vector<std::string>> drives;
  bool mapThrows = false;
  bool unmapFails = false;

  std::vector<std::pair<std::string, std::string>> mapRequests;  // drive, path
  std::vector<std::string> unmapRequests;

  std::vector<nw::NWTree> Trees() override { return inner_.Trees(); }
  std::vector<nw::NWDriveMapping> DriveMappings() override {
    if (!drives) return inner_.DriveMappings();
    std::vector<nw::NWDriveMapping> mappings;
    for (const auto& drive : *drives) mappings.push_back({drive, "\\\\FS1\\VOL1\\"});
    return mappings;
  }
  nw::NWDriveMapping MapDrive(std::string& drive, std::string& path, bool flag) override {
    mapRequests.emplace_back(drive, path);
    if (mapThrows) throw std::runtime_error("the session control is not available");
    return inner_.MapDrive(drive, path, flag);
  }
  bool UnmapDrive(const std::string& letter) override {
    unmapRequests.push_back(letter);
    if (unmapFails) return false;
    return inner_.UnmapDrive(letter);
  }

 private:
  nw::NWSession& inner_;
};

// The volume's listing, with chosen paths answering a chosen name.
class ScriptedFiles : public nw::FileListing {
 public:
  explicit ScriptedFiles(nw::FileListing& inner) : inner_(inner) {}

  std::map<std::string, std::string> names;  // path as the capture asks for it -> name

  std::string Dir(const std::string& path) override {
    auto it = names.find(path);
    return it != names.end() ? it->second : inner_.Dir(path);
  }

 private:
  nw::FileListing& inner_;
};

class ScriptedPlatform : public nw::NetWarePlatform {
 public:
  explicit ScriptedPlatform(std::unique_ptr<nw::NetWarePlatform> inner)
      : inner_(std::move(inner)),
        client_(inner_->Client()),
        session_(inner_->Session()),
        files_(inner_->Files()) {}

  ScriptedClient& Scripted() { return client_; }
  ScriptedSession& Sess() { return session_; }
  ScriptedFiles& Listing() { return files_; }
  nw::NetWareClient& Client() override { return client_; }
  nw::NWSession& Session() override { return session_; }
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override { return inner_->CreateDirectory(); }
  nw::FileListing& Files() override { return files_; }

 private:
  std::unique_ptr<nw::NetWarePlatform> inner_;
  ScriptedClient client_;
  ScriptedSession session_;
  ScriptedFiles files_;
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
  // Builds the window over `folder`, a network already created there.
  void OpenWindow() {
    platform_ = std::make_unique<ScriptedPlatform>(sim::OpenNetwork(network_.path()));
    desktop_.programFolder = program_.path().string();
    form_ = std::make_unique<app::Form1>(*platform_, desktop_);
    ASSERT_TRUE(form_->Form_Load());
    desktop_.messages.clear();
  }

  void Open(const std::string& json) {
    sim::LoadNetworkJson(network_.path(), json);
    OpenWindow();
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
    for (const auto& mapping : platform_->Sess().DriveMappings()) drives.push_back(mapping.Drive);
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
