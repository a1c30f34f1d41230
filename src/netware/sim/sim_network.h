#pragma once
// The simulated NetWare network: a SQLite store (network.db, WAL mode) plus real volume
// folders (volumes/SERVER/VOLUME/...), in one network folder. Several processes may use
// one network at once.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "netware/platform.h"

namespace sim {

// Bad input or a damaged store; what() says what and where.
class SimError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// $TOLVANE_NETWORK, else $XDG_DATA_HOME/tolvane/network (~/.local/share/tolvane/network).
std::filesystem::path DefaultNetworkFolder();
// True when TOLVANE_NETWORK names the folder (then it is never created for the user).
bool NetworkFolderFromEnvironment();

// The client library and NDS controls over the network in `folder`. Opening never fails:
// NWCallsInit answers non-zero when the store is missing, unreadable or not a store, and
// creates nothing. Any other call opens the store when NWCallsInit has not; a call on a
// store that cannot be used throws SimError, and a store locked past a short wait makes a
// client call answer 0x89FF (a control throws SimError). Directory controls must not
// outlive their platform.
// The latency of TOLVANE_SIM_LATENCY_US (microseconds, default 0) is taken when the first
// network is opened; an invalid value throws SimError.
std::unique_ptr<nw::NetWarePlatform> OpenNetwork(const std::filesystem::path& folder);

// What would cross the network to a real server, counted since the start or the last
// reset, for every network of this process: each client call, each operation of the
// session and directory controls, each directory listing.
struct RoundTrips {
  std::uint64_t clientCalls = 0;
  std::uint64_t controlOperations = 0;
  std::uint64_t listings = 0;
  std::uint64_t Total() const;
};
RoundTrips CountedRoundTrips();
void ResetRoundTrips();
// Every round trip waits `latency` from now on, as against a distant server.
void SetLatency(std::chrono::microseconds latency);

// Creating refuses a folder that already holds a network.db.
void CreateEmptyNetwork(const std::filesystem::path& folder);
void CreateDemoNetwork(const std::filesystem::path& folder);

// Loads a JSON description into the network in `folder` (created empty when absent), in one
// transaction: on any error nothing of it stays. The format is documented in the README:
//
// {
//   "trees": [ { "name": "ACME_TREE", "objects": [
//       { "name": "ACME", "class": "Organization", "children": [
//           { "name": "JSMITH", "class": "User" },
//           { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" } ] } ] } ],
//   "servers": [ { "name": "FS1", "tree": "ACME_TREE", "major": 4, "minor": 11, "up": true,
//       "bindery": [ { "name": "GUEST", "type": 256 } ],
//       "volumes": [ { "name": "SYS", "number": 0,
//           "directories": [ "PUBLIC", "USERS/JSMITH" ], "files": [ "PUBLIC/LOGIN.EXE" ] } ] } ],
//   "assignments": [ { "server": "FS1", "volume": "SYS", "directory": "USERS/JSMITH",
//       "object": "JSMITH.ACME", "rights": "Read-Write-FileScan" } ],
//   "workstation": { "trees": [ "ACME_TREE" ],
//       "mappings": [ { "drive": "F:", "server": "FS1", "volume": "SYS" } ] }
// }
//
// Classes: Country, Locality, Organization, Organizational Unit, User, Group,
// Organizational Role, Volume, NetWare Server. An object may give its "id"; an entry of a
// tree's "objects" may name an existing "container" (dotted) instead of standing below
// [Root]. An assignment names its trustee either by
// "object" (dotted NDS name, leaf first, in the server's tree, or in "tree" when given) or
// by "bindery" (a bindery name on that server); "rights" is a rights text or a number; a
// "directory" of "" is the volume root; "/" and "\" separate alike; "missing": true stores
// the assignment without creating its folder; a "directory" may name a file of the volume.
// "filters": [ { "server", "volume", "path", "rights" } ] sets inherited rights filters on
// directories and files (never the volume root), "rights" and "missing" as for assignments.
void LoadNetworkJson(const std::filesystem::path& folder, const std::string& json);

// Every assignment of one volume (or of the whole network when server is empty), one line
// each in the rights file's own form, sorted:
//   tree,dotted object name,server,VOLUME:\Dir\Sub,rights text
// (names as stored; the volume root is "VOLUME:"; a bindery trustee's name is its bindery
// name and its tree the server's tree).
std::vector<std::string> DumpAssignments(const std::filesystem::path& folder,
                                         const std::string& server = "",
                                         const std::string& volume = "");

// Every inherited rights filter of one volume (or of a server's volumes, or of the whole
// network), one line each, sorted: server,VOLUME:\Dir\File,rights text.
std::vector<std::string> DumpFilters(const std::filesystem::path& folder,
                                     const std::string& server = "",
                                     const std::string& volume = "");

// Removes every assignment and filter of one volume, in one transaction; the number of
// assignments removed, and in `filters` the number of filters.
std::size_t ClearAssignments(const std::filesystem::path& folder, const std::string& server,
                             const std::string& volume, std::size_t* filters = nullptr);
void SetServerUp(const std::filesystem::path& folder, const std::string& server, bool up);

struct GenerateOptions {
  std::string tree = "GEN_TREE";
  std::string server = "GENFS";  // major version 4
  std::string volume = "DATA";
  int users = 1000;
  int groups = 50;
  int roles = 10;
  int units = 20;  // organizational units, nested up to `depth` below the organization
  int directories = 500;
  int assignments = 5000;
  int depth = 5;            // deepest directory level
  int crowdedTrustees = 0;  // when > 0, one directory with this many trustees
  int fileTrustees = 0;     // assignments beside `assignments`, each on a file made for it
  int filters = 0;          // inherited rights filters on distinct directories and files
  std::uint32_t seed = 1;
};
// What a generated network holds, for benchmarks to check against.
struct GenerateSummary {
  int objects = 0;       // users, groups, roles and units: the trustees
  int directories = 0;   // below the volume root
  int assignments = 0;   // those on files included
  int fileTrustees = 0;  // assignments on files
  int filters = 0;
  std::string crowdedDirectory;  // "DATA:\Shared", empty when none was asked for
};
// A large network, the same for the same options and seed, added to the network in
// `folder` (created when absent; the tree and server must not exist yet). Each object holds
// about assignments/objects assignments, on distinct directories; crowdedTrustees of them
// (counted in `assignments`) share one directory. No assignment points at a missing
// directory. fileTrustees more assignments stand on files of their own, each in a random
// directory, and `filters` filters on distinct random directories and files, never the
// root. The workstation is connected to the tree, with no drive mappings.
GenerateSummary GenerateNetwork(const std::filesystem::path& folder,
                                const GenerateOptions& options);

}  // namespace sim
