// tolvane-netsim: creates, loads, inspects and changes a simulated NetWare network.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "netware/sim/sim_admin.h"
#include "netware/sim/sim_network.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsage = 2;
constexpr int kFailed = 1;

// A mistake in the command line; the message goes out with a pointer to --help.
struct UsageError {
  std::string message;
};

struct Command {
  const char* name;
  const char* synopsis;
  const char* help;
};

const Command kCommands[] = {
    {"create-demo", "create-demo [--force]",
     "Creates the demo network: two trees, servers of version 3 and 4 or higher, users,\n"
     "groups, roles and units, assignments and drive mappings F: and G:.\n"
     "  --force   replace a network that is already in the folder\n"},
    {"create-empty", "create-empty [--force]",
     "Creates a network with nothing in it.\n"
     "  --force   replace a network that is already in the folder\n"},
    {"load", "load <file.json> [--force]",
     "Adds the JSON description in <file.json> (\"-\": standard input) to the network, which\n"
     "is created when absent. Everything is loaded or, on any error, nothing.\n"
     "  --force   replace a network that is already in the folder\n"},
    {"export", "export [<file.json>]",
     "Writes the whole network as a JSON description that load takes back (standard output\n"
     "when no file is named).\n"},
    {"dump", "dump [--server S [--volume V]]",
     "Prints every assignment, one a line, sorted:\n"
     "  tree,dotted object name,server,VOLUME:\\Dir\\Sub,rights text\n"
     "  --server S   only the volumes of server S\n"
     "  --volume V   only volume V of that server\n"},
    {"clear", "clear --server S --volume V", "Removes every assignment of volume V of server S.\n"},
    {"server-down", "server-down <server>",
     "Takes a server down: connections, mappings and paths to it fail until it is up.\n"},
    {"server-up", "server-up <server>", "Brings a server up again.\n"},
    {"map", "map <drive> <\\\\SERVER\\VOLUME\\>",
     "Maps a drive letter (\"H:\") to a volume or a directory of it.\n"},
    {"unmap", "unmap <letter>", "Removes the drive mapping of a letter (\"H\" or \"H:\").\n"},
    {"generate",
     "generate [--users N] [--groups N] [--roles N] [--units N] [--directories N]\n"
     "         [--assignments N] [--depth N] [--crowded N] [--seed N]\n"
     "         [--tree NAME] [--server NAME] [--volume NAME] [--force]",
     "Generates a large network, the same for the same numbers and seed, and adds it to the\n"
     "network in the folder (created when absent).\n"
     "  --users N, --groups N, --roles N, --units N   objects (1000, 50, 10, 20)\n"
     "  --directories N   directories below the volume root (500)\n"
     "  --assignments N   trustee assignments in all (5000)\n"
     "  --depth N         deepest directory and unit level (5)\n"
     "  --crowded N       this many of the assignments on one directory, Shared (0)\n"
     "  --seed N          the seed (1)\n"
     "  --tree, --server, --volume   names (GEN_TREE, GENFS, DATA)\n"
     "  --force           replace a network that is already in the folder\n"},
};

void PrintUsage(std::ostream& out) {
  out << "Usage: tolvane-netsim [--network DIR] <command> [options]\n\n"
         "The network folder is DIR, else $TOLVANE_NETWORK, else the default folder\n"
         "(created with the demo network when first needed).\n\nCommands:\n";
  for (const auto& command : kCommands) out << "  " << command.synopsis << "\n";
  out << "\n'tolvane-netsim <command> --help' tells more about a command.\n";
}

const Command* FindCommand(const std::string& name) {
  for (const auto& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

// The command's own arguments: options with values, flags, and plain words in order.
struct Arguments {
  std::map<std::string, std::string> values;
  std::vector<std::string> flags;
  std::vector<std::string> words;

  bool Flag(const std::string& name) const {
    return std::find(flags.begin(), flags.end(), name) != flags.end();
  }
  std::optional<std::string> Value(const std::string& name) const {
    auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  }
};

Arguments Parse(const std::vector<std::string>& args, const std::vector<std::string>& valued,
                const std::vector<std::string>& flags, std::size_t maxWords) {
  Arguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
      std::string name = arg.substr(2), value;
      auto equals = name.find('=');
      bool inlineValue = equals != std::string::npos;
      if (inlineValue) {
        value = name.substr(equals + 1);
        name.erase(equals);
      }
      if (std::find(valued.begin(), valued.end(), name) != valued.end()) {
        if (!inlineValue) {
          if (i + 1 >= args.size()) throw UsageError{"--" + name + " needs a value"};
          value = args[++i];
        }
        parsed.values[name] = value;
      } else if (std::find(flags.begin(), flags.end(), name) != flags.end() && !inlineValue) {
        parsed.flags.push_back(name);
      } else {
        throw UsageError{"unknown option " + arg};
      }
    } else {
      parsed.words.push_back(arg);
    }
  }
  if (parsed.words.size() > maxWords) {
    throw UsageError{"unexpected argument \"" + parsed.words[maxWords] + "\""};
  }
  return parsed;
}

int Number(const Arguments& args, const std::string& name, int otherwise) {
  auto value = args.Value(name);
  if (!value) return otherwise;
  try {
    std::size_t used = 0;
    long long number = std::stoll(*value, &used);
    if (used != value->size() || number < 0 || number > 100000000) throw std::out_of_range("");
    return static_cast<int>(number);
  } catch (const std::exception&) {
    throw UsageError{"--" + name + " needs a whole number from 0 up, not \"" + *value + "\""};
  }
}

std::string Require(const std::optional<std::string>& value, const std::string& what) {
  if (!value || value->empty()) throw UsageError{what + " is missing"};
  return *value;
}

// Refuses to replace a network unless asked; with --force removes the old one first.
void MakeRoom(const fs::path& folder, bool force) {
  if (!sim::NetworkExists(folder)) return;
  if (!force) {
    throw sim::SimError("A network already exists in " + folder.string() +
                        "; add --force to replace it.");
  }
  sim::RemoveNetwork(folder);
  std::cerr << "Removed the network that was in " << folder << ".\n";
}

std::string ReadDescription(const std::string& file) {
  if (file == "-") {
    return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw sim::SimError("Cannot read the description " + file + ".");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Run(const std::string& name, const std::vector<std::string>& rest, const fs::path& folder) {
  if (name == "create-demo" || name == "create-empty") {
    auto args = Parse(rest, {}, {"force"}, 0);
    MakeRoom(folder, args.Flag("force"));
    if (name == "create-demo") {
      sim::CreateDemoNetwork(folder);
      std::cout << "Created the demo network in " << folder.string() << ".\n";
    } else {
      sim::CreateEmptyNetwork(folder);
      std::cout << "Created an empty network in " << folder.string() << ".\n";
    }
  } else if (name == "load") {
    auto args = Parse(rest, {}, {"force"}, 1);
    if (args.words.empty()) throw UsageError{"name the JSON description to load"};
    std::string description = ReadDescription(args.words[0]);
    if (args.Flag("force")) MakeRoom(folder, true);
    sim::LoadNetworkJson(folder, description);
    std::cout << "Loaded " << args.words[0] << " into " << folder.string() << ".\n";
  } else if (name == "export") {
    auto args = Parse(rest, {}, {}, 1);
    std::string json = sim::ExportNetworkJson(folder);
    if (args.words.empty()) {
      std::cout << json;
    } else {
      std::ofstream out(args.words[0], std::ios::binary | std::ios::trunc);
      out << json;
      if (!out.flush()) throw sim::SimError("Cannot write " + args.words[0] + ".");
    }
  } else if (name == "dump") {
    auto args = Parse(rest, {"server", "volume"}, {}, 0);
    auto server = args.Value("server").value_or("");
    auto volume = args.Value("volume").value_or("");
    if (!volume.empty() && server.empty()) throw UsageError{"--volume needs --server"};
    for (const auto& line : sim::DumpAssignments(folder, server, volume)) {
      std::cout << line << "\n";
    }
  } else if (name == "clear") {
    auto args = Parse(rest, {"server", "volume"}, {}, 0);
    auto server = Require(args.Value("server"), "--server");
    auto volume = Require(args.Value("volume"), "--volume");
    auto removed = sim::ClearAssignments(folder, server, volume);
    std::cout << "Removed " << removed << " assignments of " << server << "/" << volume << ".\n";
  } else if (name == "server-down" || name == "server-up") {
    auto args = Parse(rest, {}, {}, 1);
    if (args.words.empty()) throw UsageError{"name the server"};
    bool up = name == "server-up";
    sim::SetServerUp(folder, args.words[0], up);
    std::cout << "The server " << args.words[0] << " is " << (up ? "up" : "down") << ".\n";
  } else if (name == "map") {
    auto args = Parse(rest, {}, {}, 2);
    if (args.words.size() < 2) throw UsageError{"name the drive and the path to map"};
    std::string why = sim::MapDrive(folder, args.words[0], args.words[1]);
    if (!why.empty()) {
      std::cerr << "tolvane-netsim: cannot map " << args.words[0] << ": " << why << ".\n";
      return kFailed;
    }
    std::cout << "Mapped " << args.words[0] << " to " << args.words[1] << ".\n";
  } else if (name == "unmap") {
    auto args = Parse(rest, {}, {}, 1);
    if (args.words.empty()) throw UsageError{"name the drive letter"};
    if (!sim::UnmapDrive(folder, args.words[0])) {
      std::cerr << "tolvane-netsim: the drive " << args.words[0] << " is not mapped.\n";
      return kFailed;
    }
    std::cout << "Removed the mapping of " << args.words[0] << ".\n";
  } else if (name == "generate") {
    auto args = Parse(rest,
                      {"users", "groups", "roles", "units", "directories", "assignments", "depth",
                       "crowded", "seed", "tree", "server", "volume"},
                      {"force"}, 0);
    sim::GenerateOptions options;
    options.users = Number(args, "users", options.users);
    options.groups = Number(args, "groups", options.groups);
    options.roles = Number(args, "roles", options.roles);
    options.units = Number(args, "units", options.units);
    options.directories = Number(args, "directories", options.directories);
    options.assignments = Number(args, "assignments", options.assignments);
    options.depth = Number(args, "depth", options.depth);
    options.crowdedTrustees = Number(args, "crowded", options.crowdedTrustees);
    options.seed = static_cast<std::uint32_t>(Number(args, "seed", 1));
    options.tree = args.Value("tree").value_or(options.tree);
    options.server = args.Value("server").value_or(options.server);
    options.volume = args.Value("volume").value_or(options.volume);
    MakeRoom(folder, args.Flag("force"));
    auto start = std::chrono::steady_clock::now();
    auto summary = sim::GenerateNetwork(folder, options);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
    std::cout << "Generated " << summary.objects << " objects, " << summary.directories
              << " directories and " << summary.assignments << " assignments in " << folder.string()
              << " (" << elapsed << " s).\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::optional<fs::path> network;
  std::string commandName;
  std::vector<std::string> rest;
  bool help = false;
  try {
    for (std::size_t i = 0; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg == "--network") {
        if (i + 1 >= args.size()) throw UsageError{"--network needs a folder"};
        network = args[++i];
      } else if (arg.rfind("--network=", 0) == 0) {
        network = arg.substr(10);
      } else if (arg == "--help" || arg == "-h") {
        help = true;
      } else if (commandName.empty() && arg.rfind("-", 0) != 0) {
        commandName = arg;
      } else {
        rest.push_back(arg);
      }
    }
    if (commandName == "help") {
      help = true;
      commandName = rest.empty() ? "" : rest[0];
      rest.clear();
    }
    if (commandName.empty()) {
      PrintUsage(help ? std::cout : std::cerr);
      return help ? 0 : kUsage;
    }
    const Command* command = FindCommand(commandName);
    if (command == nullptr) throw UsageError{"unknown command \"" + commandName + "\""};
    if (help) {
      std::cout << "Usage: tolvane-netsim [--network DIR] " << command->synopsis << "\n\n"
                << command->help;
      return 0;
    }
    if (network && network->empty()) throw UsageError{"--network needs a folder"};
    fs::path folder = network ? *network : sim::DefaultNetworkFolder();
    bool chosen = network.has_value() || sim::NetworkFolderFromEnvironment();
    bool creates = commandName == "create-demo" || commandName == "create-empty" ||
                   commandName == "load" || commandName == "generate";
    if (!chosen && !creates && !sim::NetworkExists(folder)) {
      sim::CreateDemoNetwork(folder);
      std::cerr << "Created the demo network in " << folder.string() << ".\n";
    }
    return Run(commandName, rest, folder);
  } catch (const UsageError& error) {
    std::cerr << "tolvane-netsim: " << error.message << "\n"
              << "Try 'tolvane-netsim " << (commandName.empty() ? "" : commandName + " ")
              << "--help'.\n";
    return kUsage;
  } catch (const std::exception& error) {
    std::cerr << "tolvane-netsim: " << error.what() << "\n";
    return kFailed;
  }
}
