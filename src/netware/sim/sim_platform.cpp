#include <cstdlib>

#include "netware/data_folder.h"
#include "netware/sim/controls.h"
#include "netware/sim/round_trips.h"
#include "netware/sim/sim_client.h"
#include "netware/sim/sim_network.h"

namespace sim {

namespace {

class SimPlatform : public nw::NetWarePlatform {
 public:
  explicit SimPlatform(const std::filesystem::path& folder)
      : network_(folder), client_(network_), session_(network_), files_(network_) {}

  nw::NetWareClient& Client() override { return client_; }
  nw::NWSession& Session() override { return session_; }
  // A directory control works on this platform's network and must not outlive it.
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override {
    return std::make_unique<SimDirectory>(network_);
  }
  nw::FileListing& Files() override { return files_; }

 private:
  Network network_;
  SimClient client_;
  SimSession session_;
  SimFiles files_;
};

const char* NonEmpty(const char* value) {
  return value != nullptr && *value != '\0' ? value : nullptr;
}

}  // namespace

std::filesystem::path DefaultNetworkFolder() {
  if (const char* folder = NonEmpty(std::getenv("TOLVANE_NETWORK"))) return folder;
  const std::filesystem::path data = nw::UserDataFolder();
  if (data.empty()) {
    throw SimError("Cannot tell where the network lives: neither TOLVANE_NETWORK nor HOME is set.");
  }
  return data / "network";
}

bool NetworkFolderFromEnvironment() { return NonEmpty(std::getenv("TOLVANE_NETWORK")) != nullptr; }

std::unique_ptr<nw::NetWarePlatform> OpenNetwork(const std::filesystem::path& folder) {
  TakeLatencyFromEnvironment();
  return std::make_unique<SimPlatform>(folder);
}

void CreateEmptyNetwork(const std::filesystem::path& folder) { Store::Create(folder); }

}  // namespace sim
