#pragma once
// What the network tool needs beyond the network's public face.

#include <filesystem>
#include <string>

#include "netware/sim/sim_network.h"

namespace sim {

// True when `folder` holds a network.db (whatever is in it).
bool NetworkExists(const std::filesystem::path& folder);
// Removes the network in `folder` (network.db with its WAL files, and volumes/); refuses a
// network.db that is no network store, so that nothing else is ever deleted.
void RemoveNetwork(const std::filesystem::path& folder);
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
