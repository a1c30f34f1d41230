// Large networks for benchmarks: deterministic from the seed, written in one transaction.

#include <algorithm>
#include <random>
#include <unordered_set>

#include "netware/sim/network.h"
#include "netware/sim/sim_admin.h"
#include "netware/sim/text.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDepartments[] = {"Sales",   "Finance",  "Marketing",  "Support",
                                        "Legal",   "Research", "Logistics",  "Purchasing",
                                        "Quality", "Training", "Facilities", "Design"};
constexpr const char* kSurnames[] = {
    "Smith",  "Brown",   "Larsson", "Nguyen", "Berg",   "Okafor", "Rossi", "Patel",
    "Kim",    "Walsh",   "Sato",    "Garcia", "Dubois", "Holm",   "Lind",  "Ek",
    "Novak",  "Meyer",   "Silva",   "Khan",   "Jensen", "Moreau", "Costa", "Fischer",
    "Wright", "Tanaka",  "Lopez",   "Olsen",  "Becker", "Russo",  "Ahmed", "Keller",
    "Murphy", "Nielsen", "Bianchi", "Kowal",  "Hughes", "Varga",  "Weber", "Clarke"};
constexpr const char* kFolders[] = {"Reports", "Archive",  "Contracts", "Drafts",
                                    "Budget",  "Projects", "Invoices",  "Templates",
                                    "Minutes", "Scans",    "Orders",    "Manuals"};
constexpr std::uint16_t kMasks[] = {0x0041, 0x0041, 0x0041, 0x0043, 0x004B, 0x00DB,
                                    0x00DB, 0x0040, 0x0100, 0x01FB, 0x00FB, 0x0001};
// A filter holds back some rights: never all of them pass, which would be no filter.
constexpr std::uint16_t kFilterMasks[] = {0x0041, 0x0040, 0x0000, 0x0001, 0x00DB, 0x0100};

template <std::size_t N>
const char* Pick(const char* const (&list)[N], std::size_t i) {
  return list[i % N];
}

// The standard engines are the same everywhere; the distributions are not, so none is used.
struct Random {
  std::mt19937 engine;
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : engine() % n; }
};

struct Container {
  std::int64_t id;
  int level;
  std::vector<std::string> path;
};

struct Directory {
  std::string display;  // "Reports12/Drafts40"
  int level;
};

void Check(bool ok, const std::string& message) {
  if (!ok) throw SimError(message);
}

}  // namespace

GenerateSummary GenerateNetwork(const fs::path& folder, const GenerateOptions& options) {
  Check(options.users >= 0 && options.groups >= 0 && options.roles >= 0 && options.units >= 0,
        "The numbers of users, groups, roles and units cannot be negative.");
  Check(options.directories >= 0 && options.assignments >= 0 && options.crowdedTrustees >= 0,
        "The numbers of directories, assignments and crowded trustees cannot be negative.");
  Check(options.depth >= 1 && options.depth <= 25, "The depth must be between 1 and 25.");
  const int objectCount = options.users + options.groups + options.roles + options.units;
  Check(options.crowdedTrustees <= objectCount,
        "There are fewer objects than crowded trustees asked for.");
  Check(options.crowdedTrustees <= options.assignments,
        "The crowded trustees are part of the assignments: ask for at least as many "
        "assignments.");
  Check(options.fileTrustees >= 0 && options.filters >= 0,
        "The numbers of trustees on files and of filters cannot be negative.");
  Check(options.fileTrustees == 0 || objectCount > 0, "Trustees on files need objects.");
  Check(options.filters <= options.directories + options.fileTrustees,
        "Too few directories and files for " + std::to_string(options.filters) +
            " filters: the volume root takes none.");
  const int spread = options.assignments - options.crowdedTrustees;
  Check(spread == 0 || objectCount > 0, "Assignments need objects to hold them.");
  const int perObject = objectCount > 0 ? (spread + objectCount - 1) / objectCount : 0;
  Check(perObject <= options.directories + 1,
        "Too few directories: each object would need " + std::to_string(perObject) +
            " distinct directories, and there are " + std::to_string(options.directories + 1) +
            " with the volume root.");

  GenerateSummary summary;
  WriteNetwork(folder, [&](Store& store, std::vector<fs::path>& created) {
    Catalog catalog;
    catalog.Load(store);
    Check(catalog.TreeByName(options.tree) == nullptr,
          "The tree " + options.tree + " exists already.");
    Check(catalog.ServerByName(options.server) == nullptr,
          "The server " + options.server + " exists already.");
    Random random{std::mt19937(options.seed)};
    IdAllocator ids(store);
    const std::int64_t treeId = AddTree(store, options.tree);
    const std::int64_t serverId = AddServer(store, options.server, treeId, 4, 11, true);
    const std::int64_t volumeId = AddVolume(store, serverId, options.volume, 0);
    ConnectTree(store, treeId);

    auto addObject = [&](const Container& parent, const std::string& name, const char* objectClass,
                         std::int64_t volume = 0) {
      std::vector<std::string> path = parent.path;
      path.push_back(name);
      std::uint32_t id = ids.Allocate(NdsIdentity(options.tree, path));
      AddObject(store, id, treeId, parent.id, name, objectClass, volume);
      return Container{id, parent.level + 1, std::move(path)};
    };

    // The organization, its server and volume, and units nested up to `depth` below it.
    Container root{0, -1, {}};
    Container organization = addObject(root, "GEN", "Organization");
    addObject(organization, options.server, "NetWare Server");
    addObject(organization, options.server + "_" + options.volume, "Volume", volumeId);
    std::vector<Container> containers{organization};
    std::vector<std::uint32_t> trustees;  // in the order they get assignments
    std::vector<std::uint32_t> unitIds;
    for (int i = 0; i < options.units; ++i) {
      std::size_t pick = random.Below(containers.size());
      if (containers[pick].level >= options.depth) pick = 0;
      std::string name = std::string(Pick(kDepartments, static_cast<std::size_t>(i)));
      if (i >= static_cast<int>(std::size(kDepartments))) {
        name += std::to_string(i / static_cast<int>(std::size(kDepartments)) + 1);
      }
      Container unit = addObject(containers[pick], name, "Organizational Unit");
      unitIds.push_back(static_cast<std::uint32_t>(unit.id));
      containers.push_back(std::move(unit));
    }
    auto placeIn = [&]() -> const Container& {
      return containers.size() == 1 ? containers[0]
                                    : containers[1 + random.Below(containers.size() - 1)];
    };
    const std::size_t combos = std::size(kSurnames) * 26;
    for (int i = 0; i < options.users; ++i) {
      auto n = static_cast<std::size_t>(i);
      std::string name = std::string(1, static_cast<char>('A' + n % 26)) + Pick(kSurnames, n / 26);
      if (n >= combos) name += std::to_string(n / combos + 1);
      trustees.push_back(static_cast<std::uint32_t>(addObject(placeIn(), name, "User").id));
    }
    for (int i = 0; i < options.groups; ++i) {
      std::string name = std::string(Pick(kDepartments, static_cast<std::size_t>(i))) + "Team" +
                         std::to_string(i + 1);
      trustees.push_back(static_cast<std::uint32_t>(addObject(placeIn(), name, "Group").id));
    }
    for (int i = 0; i < options.roles; ++i) {
      std::string name = std::string(Pick(kDepartments, static_cast<std::size_t>(i))) + "Manager" +
                         std::to_string(i + 1);
      trustees.push_back(
          static_cast<std::uint32_t>(addObject(placeIn(), name, "Organizational Role").id));
    }
    trustees.insert(trustees.end(), unitIds.begin(), unitIds.end());

    // Directories, each below the root or an earlier one, never past `depth`.
    fs::path volumeRoot = store.VolumeFolder(options.server, options.volume);
    FolderResolver().MakeDirectories(volumeRoot, {}, &created);
    // Each directory's parent was made or checked before it, so none is made through a link.
    auto make = [&](const std::string& display) {
      if (MakeRealFolder(volumeRoot / display)) created.push_back(volumeRoot / display);
    };
    std::vector<Directory> directories;
    for (int i = 0; i < options.directories; ++i) {
      std::size_t pick = random.Below(directories.size() + 1);
      std::string name =
          std::string(Pick(kFolders, random.Below(std::size(kFolders)))) + std::to_string(i + 1);
      Directory directory{name, 1};
      if (pick > 0 && directories[pick - 1].level < options.depth) {
        directory = {directories[pick - 1].display + "/" + name, directories[pick - 1].level + 1};
      }
      make(directory.display);
      directories.push_back(std::move(directory));
    }
    std::string shared;
    if (options.crowdedTrustees > 0) {
      shared = "Shared";
      make(shared);
    }

    auto assign = [&](const std::string& display, std::uint32_t object) {
      AddTrustee(store, volumeId, display, object, kMasks[random.Below(std::size(kMasks))]);
      ++summary.assignments;
    };
    // Each object's directories are distinct: a crowded trustee's share and its spread ones
    // never meet, since the shared directory is not among the spread ones.
    std::vector<int> chosen;
    std::unordered_set<int> taken;
    for (int k = 0; k < objectCount; ++k) {
      auto object = trustees[static_cast<std::size_t>(k)];
      if (k < options.crowdedTrustees) assign(shared, object);
      int count = spread / objectCount + (k < spread % objectCount ? 1 : 0);
      chosen.clear();
      taken.clear();
      while (static_cast<int>(chosen.size()) < count) {
        int candidate = static_cast<int>(random.Below(directories.size() + 1)) - 1;  // -1: root
        if (taken.insert(candidate).second) chosen.push_back(candidate);
      }
      for (int candidate : chosen) {
        assign(candidate < 0 ? std::string() : directories[candidate].display, object);
      }
    }

    // Files and filters draw after everything else: without them a seed makes the network it
    // always made.
    std::vector<std::string> entries;  // every directory and file below the root
    for (const Directory& directory : directories) entries.push_back(directory.display);
    for (int i = 0; i < options.fileTrustees; ++i) {
      int where = static_cast<int>(random.Below(directories.size() + 1)) - 1;  // -1: root
      std::string file = (where < 0 ? "" : directories[where].display + "/") + "File" +
                         std::to_string(i + 1) + ".dat";
      MakeRealFile(volumeRoot / file);
      created.push_back(volumeRoot / file);
      assign(file, trustees[random.Below(trustees.size())]);
      entries.push_back(std::move(file));
    }
    std::unordered_set<std::size_t> filtered;
    while (static_cast<int>(filtered.size()) < options.filters) {
      std::size_t pick = random.Below(entries.size());
      if (!filtered.insert(pick).second) continue;
      SetFilter(store, volumeId, entries[pick],
                kFilterMasks[random.Below(std::size(kFilterMasks))]);
    }
    summary.fileTrustees = options.fileTrustees;
    summary.filters = options.filters;
    summary.objects = objectCount;
    summary.directories = options.directories + (shared.empty() ? 0 : 1);
    if (!shared.empty()) summary.crowdedDirectory = options.volume + ":\\" + shared;
  });
  return summary;
}

}  // namespace sim
