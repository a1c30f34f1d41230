#pragma once
// What the network tool needs beyond the network's public face.

#include <filesystem>
#include <functional>
#include <string>

#include "netware/sim/sim_network.h"

namespace sim {

// True when `folder` holds a network.db (whatever is in it).
bool NetworkExists(const std::filesystem::path& folder);
// Removes the network in `folder` (network.db with its WAL files, and volumes/); refuses a
// network.db that is no network store, so that nothing else is ever deleted.
void RemoveNetwork(const std::filesystem::path& folder);
// Builds a network with `build`, called with the folder to build it in, and puts it in
// `folder`. A network already there is replaced only when `force`: the new one is built in
// a folder beside it and swapped in at once, then the old one is removed, so that on any
// error or kill the folder holds the old network as it was. Refuses (SimError, nothing
// changed) a network.db that is no network store, a folder that holds more than a network
// or is a mount point, and a parent folder that cannot be written. A missing folder appears
// only with the whole network in it; an existing folder without a network is built in as
// it stands. True when a network was replaced.
bool BuildNetwork(const std::filesystem::path& folder, bool force,
                  const std::function<void(const std::filesystem::path&)>& build);
// The whole network as a JSON description that LoadNetworkJson takes back unchanged,
// object IDs included.
std::string ExportNetworkJson(const std::filesystem::path& folder);
// "" when the mapping was made, else why not.
std::string MapDrive(const std::filesystem::path& folder, const std::string& drive,
                     const std::string& path);
bool UnmapDrive(const std::filesystem::path& folder, const std::string& letter);

// The classes an object may have, as they are spelled.
inline constexpr const char* kClasses[] = {
    "Country",       "Locality", "Organization",        "Organizational Unit",
    "User",          "Group",    "Organizational Role", "Volume",
    "NetWare Server"};

}  // namespace sim
