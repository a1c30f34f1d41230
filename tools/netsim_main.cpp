// tolvane-netsim: creates, loads, inspects and changes a simulated NetWare network.

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
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
  std::vector<const char*> valued = {};  // options that take a value
  bool force = false;                    // takes --force
  std::size_t words = 0;                 // plain arguments it takes at most
};

const Command kCommands[] = {
    {.name = "create-demo",
     .synopsis = "create-demo [--force]",
     .help = "Creates the demo network: two trees, servers of version 3 and 4 or higher, users,\n"
             "groups, roles and units, assignments and drive mappings F: and G:.\n"
             "  --force   replace a network that is already in the folder\n",
     .force = true},
    {.name = "create-empty",
     .synopsis = "create-empty [--force]",
     .help = "Creates a network with nothing in it.\n"
             "  --force   replace a network that is already in the folder\n",
     .force = true},
    {.name = "load",
     .synopsis = "load <file.json> [--force]",
     .help =
         "Adds the JSON description in <file.json> (\"-\": standard input) to the network, which\n"
         "is created when absent. Everything is loaded or, on any error, nothing.\n"
         "  --force   replace a network that is already in the folder\n",
     .force = true,
     .words = 1},
    {.name = "export",
     .synopsis = "export [<file.json>]",
     .help =
         "Writes the whole network as a JSON description that load takes back (standard output\n"
         "when no file is named).\n",
     .words = 1},
    {.name = "dump",
     .synopsis = "dump [--server S [--volume V]]",
     .help = "Prints every assignment, one a line, sorted:\n"
             "  tree,dotted object name,server,VOLUME:\\Dir\\Sub,rights text\n"
             "  --server S   only the volumes of server S\n"
             "  --volume V   only volume V of that server\n",
     .valued = {"server", "volume"}},
    {.name = "clear",
     .synopsis = "clear --server S --volume V",
     .help = "Removes every assignment of volume V of server S.\n",
     .valued = {"server", "volume"}},
    {.name = "server-down",
     .synopsis = "server-down <server>",
     .help = "Takes a server down: connections, mappings and paths to it fail until it is up.\n",
     .words = 1},
    {.name = "server-up",
     .synopsis = "server-up <server>",
     .help = "Brings a server up again.\n",
     .words = 1},
    {.name = "map",
     .synopsis = "map <drive> <\\\\SERVER\\VOLUME\\>",
     .help = "Maps a drive letter (\"H:\") to a volume or a directory of it.\n",
     .words = 2},
    {.name = "unmap",
     .synopsis = "unmap <letter>",
     .help = "Removes the drive mapping of a letter (\"H\" or \"H:\").\n",
     .words = 1},
    {.name = "generate",
     .synopsis = "generate [--users N] [--groups N] [--roles N] [--units N] [--directories N]\n"
                 "         [--assignments N] [--depth N] [--crowded N] [--seed N]\n"
                 "         [--tree NAME] [--server NAME] [--volume NAME] [--force]",
     .help =
         "Generates a large network, the same for the same numbers and seed, and adds it to the\n"
         "network in the folder (created when absent).\n"
         "  --users N, --groups N, --roles N, --units N   objects (1000, 50, 10, 20)\n"
         "  --directories N   directories below the volume root (500)\n"
         "  --assignments N   trustee assignments in all (5000)\n"
         "  --depth N         deepest directory and unit level (5)\n"
         "  --crowded N       this many of the assignments on one directory, Shared (0)\n"
         "  --seed N          the seed (1)\n"
         "  --tree, --server, --volume   names (GEN_TREE, GENFS, DATA)\n"
         "  --force           replace a network that is already in the folder\n",
     .valued = {"users", "groups", "roles", "units", "directories", "assignments", "depth",
                "crowded", "seed", "tree", "server", "volume"},
     .force = true},
};

void PrintUsage(std::ostream& out) {
  out << "Usage: tolvane-netsim [--network DIR] <command> [options]\n\n"
         "The network folder is DIR, else $TOLVANE_NETWORK, else the default folder\n"
         "(created with the demo network when first needed).\n\nCommands:\n";
  for (const auto& command : kCommands) out << "  " << command.synopsis << "\n";
  out << "\n'tolvane-netsim <command> --help' tells more about a command.\n";
}

int Number(const std::optional<std::string>& value, const std::string& name, int otherwise) {
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

// Builds a network into `folder` with `build`; an existing one is replaced only with --force.
void Build(const fs::path& folder, bool force, const std::function<void(const fs::path&)>& build) {
  if (sim::BuildNetwork(folder, force, build)) {
    std::cerr << "Removed the network that was in " << folder << ".\n";
  }
}

// Standard output could not take what was written: a full disk, a closed pipe.
struct OutputFailed {
  int error;
};

// Writes to standard output, stopping at the first write that fails.
void Emit(std::string_view text) {
  std::cout << text;
  if (!std::cout) throw OutputFailed{errno};
}

std::string ReadDescription(const std::string& file) {
  if (file == "-") {
    return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw sim::SimError("Cannot read the description " + file + ".");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The command line as CLI11 reads it; the usage texts and the messages are the tool's own.
struct CommandLine {
  CLI::App app{"", "tolvane-netsim"};
  std::string network;
  bool help = false;
  bool version = false;
  bool force = false;
  std::string topic;                          // of "help <command>"
  std::vector<std::string> words;             // the command's plain arguments, in order
  std::map<std::string, std::string> values;  // of valued options, by name
  CLI::App* helpCommand = nullptr;
  CLI::App* chosen = nullptr;
  const Command* command = nullptr;

  // The chosen command's option `name`, when given.
  std::optional<std::string> Value(const std::string& name) const {
    if (chosen->get_option("--" + name)->count() == 0) return std::nullopt;
    return values.at(name);
  }
};

const Command* FindCommand(const std::string& name) {
  for (const auto& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

void Define(CommandLine& line) {
  CLI::App& app = line.app;
  app.set_help_flag();  // the tool prints its own help
  app.add_flag("-h,--help", line.help);
  app.add_flag("--version", line.version);
  app.allow_extras();
  app.fallthrough();
  app.require_subcommand(0, 1);
  app.add_option("--network", line.network)->expected(0, 1);
  line.helpCommand = app.add_subcommand("help");
  line.helpCommand->add_option("command", line.topic);
  line.helpCommand->allow_extras();
  for (const auto& command : kCommands) {
    CLI::App* sub = app.add_subcommand(command.name);
    sub->set_help_flag();
    sub->add_flag("-h,--help", line.help);
    sub->allow_extras();
    sub->fallthrough();
    if (command.force) sub->add_flag("--force", line.force);
    for (const char* name : command.valued) {
      // Taking no value here lets the tool say which option lacks one.
      sub->add_option(std::string("--") + name, line.values[name])
          ->expected(0, 1)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    // Every plain word lands here, so that one too many is named as such.
    sub->add_option("words", line.words);
  }
}

// Throws UsageError for anything the chosen command does not take.
void Check(const CommandLine& line) {
  std::vector<std::string> extras = line.app.remaining();
  for (const auto& extra : line.chosen->remaining()) extras.push_back(extra);
  if (line.command->force) {
    // A flag takes no value: "--force=no" must not pass for --force.
    for (const auto& given : line.chosen->get_option("--force")->results()) {
      if (given != "true") extras.insert(extras.begin(), "--force=" + given);
    }
  }
  for (const auto& extra : extras) {
    if (extra.size() > 1 && extra[0] == '-') throw UsageError{"unknown option " + extra};
  }
  if (!extras.empty()) throw UsageError{"unexpected argument \"" + extras.front() + "\""};
  if (line.words.size() > line.command->words) {
    throw UsageError{"unexpected argument \"" + line.words[line.command->words] + "\""};
  }
  for (const char* name : line.command->valued) {
    if (line.Value(name) == "") throw UsageError{"--" + std::string(name) + " needs a value"};
  }
  if (line.app.count("--network") > 0 && line.network.empty()) {
    throw UsageError{"--network needs a folder"};
  }
}

int Run(const CommandLine& line, const fs::path& folder) {
  const std::string name = line.command->name;
  const std::vector<std::string>& words = line.words;
  if (name == "create-demo" || name == "create-empty") {
    if (name == "create-demo") {
      Build(folder, line.force, [](const fs::path& into) { sim::CreateDemoNetwork(into); });
      std::cout << "Created the demo network in " << folder.string() << ".\n";
    } else {
      Build(folder, line.force, [](const fs::path& into) { sim::CreateEmptyNetwork(into); });
      std::cout << "Created an empty network in " << folder.string() << ".\n";
    }
  } else if (name == "load") {
    if (words.empty()) throw UsageError{"name the JSON description to load"};
    std::string description = ReadDescription(words[0]);
    auto load = [&](const fs::path& into) { sim::LoadNetworkJson(into, description); };
    if (!line.force && sim::NetworkExists(folder)) {
      load(folder);  // added to the network, in one transaction
    } else {
      Build(folder, line.force, load);
    }
    std::cout << "Loaded " << words[0] << " into " << folder.string() << ".\n";
  } else if (name == "export") {
    std::string json = sim::ExportNetworkJson(folder);
    if (words.empty()) {
      Emit(json);
    } else {
      std::ofstream out(words[0], std::ios::binary | std::ios::trunc);
      out << json;
      if (!out.flush()) throw sim::SimError("Cannot write " + words[0] + ".");
    }
  } else if (name == "dump") {
    auto server = line.Value("server").value_or("");
    auto volume = line.Value("volume").value_or("");
    if (!volume.empty() && server.empty()) throw UsageError{"--volume needs --server"};
    for (const auto& dumped : sim::DumpAssignments(folder, server, volume)) {
      Emit(dumped + "\n");
    }
  } else if (name == "clear") {
    auto server = Require(line.Value("server"), "--server");
    auto volume = Require(line.Value("volume"), "--volume");
    auto removed = sim::ClearAssignments(folder, server, volume);
    std::cout << "Removed " << removed << " assignments of " << server << "/" << volume << ".\n";
  } else if (name == "server-down" || name == "server-up") {
    if (words.empty()) throw UsageError{"name the server"};
    bool up = name == "server-up";
    sim::SetServerUp(folder, words[0], up);
    std::cout << "The server " << words[0] << " is " << (up ? "up" : "down") << ".\n";
  } else if (name == "map") {
    if (words.size() < 2) throw UsageError{"name the drive and the path to map"};
    std::string why = sim::MapDrive(folder, words[0], words[1]);
    if (!why.empty()) {
      std::cerr << "tolvane-netsim: cannot map " << words[0] << ": " << why << ".\n";
      return kFailed;
    }
    std::cout << "Mapped " << words[0] << " to " << words[1] << ".\n";
  } else if (name == "unmap") {
    if (words.empty()) throw UsageError{"name the drive letter"};
    if (!sim::UnmapDrive(folder, words[0])) {
      std::cerr << "tolvane-netsim: the drive " << words[0] << " is not mapped.\n";
      return kFailed;
    }
    std::cout << "Removed the mapping of " << words[0] << ".\n";
  } else if (name == "generate") {
    sim::GenerateOptions options;
    auto number = [&](const char* option, int otherwise) {
      return Number(line.Value(option), option, otherwise);
    };
    options.users = number("users", options.users);
    options.groups = number("groups", options.groups);
    options.roles = number("roles", options.roles);
    options.units = number("units", options.units);
    options.directories = number("directories", options.directories);
    options.assignments = number("assignments", options.assignments);
    options.depth = number("depth", options.depth);
    options.crowdedTrustees = number("crowded", options.crowdedTrustees);
    options.seed = static_cast<std::uint32_t>(number("seed", 1));
    options.tree = line.Value("tree").value_or(options.tree);
    options.server = line.Value("server").value_or(options.server);
    options.volume = line.Value("volume").value_or(options.volume);
    auto start = std::chrono::steady_clock::now();
    sim::GenerateSummary summary;
    Build(folder, line.force,
          [&](const fs::path& into) { summary = sim::GenerateNetwork(into, options); });
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

// The command asked for, nullptr for none; throws UsageError for an unknown one. "help" and
// its topic stand for the topic's --help.
const Command* Chosen(CommandLine& line) {
  const auto& parsed = line.app.get_subcommands();
  line.chosen = parsed.empty() ? nullptr : parsed.front();
  // A word before the command is taken for the command.
  std::string asked;
  for (const auto& extra : line.app.remaining()) {
    if (extra.empty() || extra[0] != '-') {
      asked = extra;
      break;
    }
  }
  if (line.chosen != nullptr && line.chosen == line.helpCommand) {
    line.help = true;
    line.chosen = nullptr;
    if (asked.empty()) asked = line.topic;
    if (asked.empty()) return nullptr;
    if (FindCommand(asked) != nullptr) line.chosen = line.app.get_subcommand(asked);
  }
  if (!asked.empty() && (line.chosen == nullptr || !line.help)) {
    throw UsageError{"unknown command \"" + asked + "\""};
  }
  return line.chosen == nullptr ? nullptr : FindCommand(line.chosen->get_name());
}

namespace {

// A write to standard output failed: said, unless the reader went away (a closed pipe).
int OutputFailure(int error) {
  if (error != EPIPE) {
    std::cerr << "tolvane-netsim: cannot write to standard output: " << std::strerror(error)
              << "\n";
  }
  return kFailed;
}

int Main(int argc, char** argv) {
  CommandLine line;
  try {
    Define(line);
    try {
      line.app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
      const auto& parsed = line.app.get_subcommands();
      if (!parsed.empty()) line.command = FindCommand(parsed.front()->get_name());
      throw UsageError{error.what()};
    }
    if (line.version) {
      std::cout << "tolvane-netsim " << TOLVANE_VERSION << "\n";
      return 0;
    }
    line.command = Chosen(line);
    if (line.command != nullptr && line.help) {
      std::cout << "Usage: tolvane-netsim [--network DIR] " << line.command->synopsis << "\n\n"
                << line.command->help;
      return 0;
    }
    if (line.command == nullptr) {
      if (!line.help && line.app.count("--network") > 0 && line.network.empty()) {
        throw UsageError{"--network needs a folder"};
      }
      PrintUsage(line.help ? std::cout : std::cerr);
      return line.help ? 0 : kUsage;
    }
    Check(line);
    bool chosen = !line.network.empty() || sim::NetworkFolderFromEnvironment();
    fs::path folder = !line.network.empty() ? fs::path(line.network) : sim::DefaultNetworkFolder();
    const std::string name = line.command->name;
    bool creates =
        name == "create-demo" || name == "create-empty" || name == "load" || name == "generate";
    if (!chosen && !creates && !sim::NetworkExists(folder)) {
      sim::CreateDemoNetwork(folder);
      std::cerr << "Created the demo network in " << folder.string() << ".\n";
    }
    return Run(line, folder);
  } catch (const UsageError& error) {
    std::cerr << "tolvane-netsim: " << error.message << "\n"
              << "Try 'tolvane-netsim "
              << (line.command == nullptr ? "" : std::string(line.command->name) + " ")
              << "--help'.\n";
    return kUsage;
  } catch (const OutputFailed& failed) {
    return OutputFailure(failed.error);
  } catch (const std::exception& error) {
    std::cerr << "tolvane-netsim: " << error.what() << "\n";
    return kFailed;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away shows as a failed write, not as a signal that ends the program.
  std::signal(SIGPIPE, SIG_IGN);
  int status = Main(argc, argv);
  errno = 0;
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int error = errno != 0 ? errno : EIO;
    return status != 0 && !std::cout ? status : OutputFailure(error);
  }
  return status;
}
