// tolvane-netsim: creates, loads, inspects and changes a simulated NetWare network.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "netware/sim/sim_admin.h"
#include "netware/sim/sim_network.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsage = 2;
constexpr int kFailed = 1;

// What the command line says; the chosen command's callback acts on it.
struct Line {
  std::string network, file, server, volume, drive, path;
  bool force = false;
  bool filters = false;  // dump the filters rather than the assignments
  sim::GenerateOptions generate;
  bool wordBeforeCommand = false;  // a word that is no command stands before the command
};

// Standard output could not take what was written: a full disk, a closed pipe.
struct OutputFailed {
  int error;
};

// Writes to standard output, stopping at the first write that fails.
void Emit(const std::string& text) {
  if (!(std::cout << text)) throw OutputFailed{errno};
}

// A word of the command line that is no option.
bool Plain(const std::string& word) { return word.size() < 2 || word[0] != '-'; }

// The command named `name`, nullptr for none ("help" is none of its own).
const CLI::App* Command(const CLI::App& tool, const std::string& name) {
  auto found = tool.get_subcommands(
      [&](const CLI::App* command) { return command->get_name() == name && name != "help"; });
  return found.empty() ? nullptr : found.front();
}

// The usage of the tool, or of one command from its description: the synopsis, a blank line
// and what it does. "help" tells the usage of its topic.
std::string Help(const CLI::App* command) {
  const CLI::App* tool = command->get_parent() != nullptr ? command->get_parent() : command;
  if (command->get_name() == "help") {
    const CLI::Option* topic = command->get_option("command");
    command = topic->count() > 0 ? Command(*tool, topic->results().front()) : nullptr;
  }
  std::string text = "Usage: tolvane-netsim [--network DIR] ";
  if (command != nullptr && command != tool) return text + command->get_description();
  text += "<command> [options]\n\n" + tool->get_description() + "\nCommands:\n";
  for (const CLI::App* each :
       tool->get_subcommands([](const CLI::App* c) { return c->get_name() != "help"; })) {
    text += "  " + each->get_description().substr(0, each->get_description().find("\n\n")) + "\n";
  }
  return text + "\n'tolvane-netsim <command> --help' tells more about a command.\n";
}

// An option that takes one value. That value may be no word at all, so that one left out is
// said as such rather than the next option or command taken for it.
template <typename T>
CLI::Option* Valued(CLI::App* command, const std::string& name, T& into) {
  return command->add_option(name, into)
      ->type_size(0, 1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->check([name](const std::string& value) {
        return value.empty() ? name + " needs a value" : std::string();
      });
}

// A count for generate, read as a decimal number (CLI11 alone takes "010" for 8).
template <typename T>
void Count(CLI::App* generate, const std::string& name, T& into) {
  Valued(generate, name, into)->transform([name](const std::string& value) {
    char* end = nullptr;
    const long long number = std::strtoll(value.c_str(), &end, 10);
    if (value.empty()) return value;  // said as a value left out
    if (*end != '\0' || number < 0 || number > 100000000) {
      throw CLI::ValidationError(name + " needs a whole number from 0 up, not \"" + value + "\"");
    }
    return std::to_string(number);
  });
}

// A flag, which takes no value: "--force=no" must not pass for it.
void AddFlag(CLI::App* command, const std::string& name, bool& flag) {
  command->add_flag(name, flag)->check([name](const std::string& value) {
    return value == "true" ? std::string() : "unknown option " + name + "=" + value;
  });
}
void AddForce(CLI::App* command, bool& force) { AddFlag(command, "--force", force); }

// The network folder: --network DIR, else $TOLVANE_NETWORK, else the default folder, which
// is made the demo network when a command that does not build one finds none there.
fs::path Folder(const Line& line, bool builds = false) {
  if (!line.network.empty()) return line.network;
  fs::path folder = sim::DefaultNetworkFolder();
  if (!builds && !sim::NetworkFolderFromEnvironment() && !sim::NetworkExists(folder)) {
    sim::CreateDemoNetwork(folder);
    std::cerr << "Created the demo network in " << folder.string() << ".\n";
  }
  return folder;
}

// Builds a network with `build`; one already there is replaced only with --force.
std::string Build(const Line& line, const std::function<void(const fs::path&)>& build) {
  fs::path folder = Folder(line, true);
  if (sim::BuildNetwork(folder, line.force, build)) {
    std::cerr << "Removed the network that was in " << folder << ".\n";
  }
  return folder.string();
}

void Load(const Line& line) {
  std::ifstream file;
  if (line.file != "-") file.open(line.file, std::ios::binary);
  std::istream& in = line.file == "-" ? std::cin : file;
  if (!in) throw sim::SimError("Cannot read the description " + line.file + ".");
  std::string description(std::istreambuf_iterator<char>(in), {});
  auto load = [&](const fs::path& into) { sim::LoadNetworkJson(into, description); };
  const fs::path folder = Folder(line, true);
  if (!line.force && sim::NetworkExists(folder)) {
    load(folder);  // added to the network, in one transaction
  } else {
    Build(line, load);
  }
  std::cout << "Loaded " << line.file << " into " << folder.string() << ".\n";
}

void Generate(const Line& line) {
  auto start = std::chrono::steady_clock::now();
  sim::GenerateSummary made;
  auto folder =
      Build(line, [&](const fs::path& in) { made = sim::GenerateNetwork(in, line.generate); });
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  std::cout << "Generated " << made.objects << " objects, " << made.directories
            << " directories and " << made.assignments << " assignments in " << folder << " ("
            << seconds << " s).\n";
}

void AddBuilders(CLI::App& tool, Line& line) {
  CLI::App* demo = tool.add_subcommand("create-demo", R"(create-demo [--force]

Creates the demo network: two trees, servers of version 3 and 4 or higher, users,
groups, roles and units, assignments and drive mappings F: and G:.
  --force   replace a network that is already in the folder
)");
  demo->callback([&line] {
    const std::string folder = Build(line, sim::CreateDemoNetwork);
    std::cout << "Created the demo network in " << folder << ".\n";
  });
  CLI::App* empty = tool.add_subcommand("create-empty", R"(create-empty [--force]

Creates a network with nothing in it.
  --force   replace a network that is already in the folder
)");
  empty->callback([&line] {
    const std::string folder = Build(line, sim::CreateEmptyNetwork);
    std::cout << "Created an empty network in " << folder << ".\n";
  });
  CLI::App* load = tool.add_subcommand("load", R"(load <file.json> [--force]

Adds the JSON description in <file.json> ("-": standard input) to the network, which
is created when absent. Everything is loaded or, on any error, nothing.
  --force   replace a network that is already in the folder
)");
  load->add_option("file.json", line.file, "the JSON description to load")->required();
  load->callback([&line] { Load(line); });
  for (CLI::App* command : {demo, empty, load}) AddForce(command, line.force);
}

void AddInspectors(CLI::App& tool, Line& line) {
  tool.add_subcommand("export", R"(export [<file.json>]

Writes the whole network as a JSON description that load takes back (standard output
when no file is named).
)")
      ->callback([&line] {
        std::string json = sim::ExportNetworkJson(Folder(line));
        if (line.file.empty()) return Emit(json);
        std::ofstream out(line.file, std::ios::binary | std::ios::trunc);
        if (!(out << json).flush()) throw sim::SimError("Cannot write " + line.file + ".");
      })
      ->add_option("file.json", line.file);
  CLI::App* dump = tool.add_subcommand("dump", R"(dump [--filters] [--server S [--volume V]]

Prints every assignment, one a line, sorted:
  tree,dotted object name,server,VOLUME:\Dir\Sub,rights text
  --filters    the inherited rights filters instead, one a line, sorted:
               server,VOLUME:\Dir\Sub,rights text
  --server S   only the volumes of server S
  --volume V   only volume V of that server
)");
  Valued(dump, "--volume", line.volume)->needs(Valued(dump, "--server", line.server));
  AddFlag(dump, "--filters", line.filters);
  dump->callback([&line] {
    const auto dump = line.filters ? sim::DumpFilters : sim::DumpAssignments;
    for (const auto& dumped : dump(Folder(line), line.server, line.volume)) Emit(dumped + "\n");
  });
  CLI::App* clear = tool.add_subcommand("clear", R"(clear --server S --volume V

Removes every assignment and every inherited rights filter of volume V of server S.
)");
  Valued(clear, "--server", line.server)->required();
  Valued(clear, "--volume", line.volume)->required();
  clear->callback([&line] {
    std::size_t filters = 0;
    auto removed = sim::ClearAssignments(Folder(line), line.server, line.volume, &filters);
    std::cout << "Removed " << removed << " assignments "
              << (filters > 0 ? "and " + std::to_string(filters) + " filters " : "") << "of "
              << line.server << "/" << line.volume << ".\n";
  });
}

void AddConnections(CLI::App& tool, Line& line) {
  CLI::App* down = tool.add_subcommand("server-down", R"(server-down <server>

Takes a server down: connections, mappings and paths to it fail until it is up.
)");
  CLI::App* up = tool.add_subcommand("server-up", R"(server-up <server>

Brings a server up again.
)");
  for (CLI::App* command : {down, up}) {
    command->add_option("server", line.server, "the server")->required();
    command->callback([&line, bringUp = command == up] {
      sim::SetServerUp(Folder(line), line.server, bringUp);
      std::cout << "The server " << line.server << " is " << (bringUp ? "up" : "down") << ".\n";
    });
  }
  CLI::App* map = tool.add_subcommand("map", R"(map <drive> <\\SERVER\VOLUME\>

Maps a drive letter ("H:") to a volume or a directory of it.
)");
  map->add_option("drive", line.drive, "the drive and the path to map")->required();
  map->add_option("path", line.path, "the drive and the path to map")->required();
  map->callback([&line] {
    std::string why = sim::MapDrive(Folder(line), line.drive, line.path);
    if (!why.empty()) throw std::runtime_error("cannot map " + line.drive + ": " + why + ".");
    std::cout << "Mapped " << line.drive << " to " << line.path << ".\n";
  });
  CLI::App* unmap = tool.add_subcommand("unmap", R"(unmap <letter>

Removes the drive mapping of a letter ("H" or "H:").
)");
  unmap->add_option("letter", line.drive, "the drive letter")->required();
  unmap->callback([&line] {
    if (!sim::UnmapDrive(Folder(line), line.drive)) {
      throw std::runtime_error("the drive " + line.drive + " is not mapped.");
    }
    std::cout << "Removed the mapping of " << line.drive << ".\n";
  });
}

void AddGenerate(CLI::App& tool, Line& line) {
  CLI::App* generate = tool.add_subcommand(
      "generate", R"(generate [--users N] [--groups N] [--roles N] [--units N] [--directories N]
         [--assignments N] [--file-trustees N] [--filters N] [--depth N]
         [--crowded N] [--seed N]
         [--tree NAME] [--server NAME] [--volume NAME] [--force]

Generates a large network, the same for the same numbers and seed, and adds it to the
network in the folder (created when absent).
  --users N, --groups N, --roles N, --units N   objects (1000, 50, 10, 20)
  --directories N   directories below the volume root (500)
  --assignments N   trustee assignments on directories (5000)
  --file-trustees N   more assignments, each on a file made for it (0)
  --filters N       inherited rights filters on directories and files (0)
  --depth N         deepest directory and unit level (5)
  --crowded N       this many of the assignments on one directory, Shared (0)
  --seed N          the seed (1)
  --tree, --server, --volume   names (GEN_TREE, GENFS, DATA)
  --force           replace a network that is already in the folder
)");
  sim::GenerateOptions& options = line.generate;
  Count(generate, "--users", options.users);
  Count(generate, "--groups", options.groups);
  Count(generate, "--roles", options.roles);
  Count(generate, "--units", options.units);
  Count(generate, "--directories", options.directories);
  Count(generate, "--assignments", options.assignments);
  Count(generate, "--file-trustees", options.fileTrustees);
  Count(generate, "--filters", options.filters);
  Count(generate, "--depth", options.depth);
  Count(generate, "--crowded", options.crowdedTrustees);
  Count(generate, "--seed", options.seed);
  Valued(generate, "--tree", options.tree);
  Valued(generate, "--server", options.server);
  Valued(generate, "--volume", options.volume);
  AddForce(generate, line.force);
  generate->callback([&line] { Generate(line); });
}

void Define(CLI::App& tool, Line& line) {
  tool.formatter_fn(
      [](const CLI::App* command, std::string, CLI::AppFormatMode) { return Help(command); });
  tool.set_version_flag("--version", "tolvane-netsim " TOLVANE_VERSION);
  tool.add_option("--network", line.network)->type_size(0, 1)->check([](const std::string& dir) {
    return dir.empty() ? "--network needs a folder" : std::string();
  });
  tool.require_subcommand(1, 1);
  tool.fallthrough();  // the tool's options may follow the command
  CLI::App* help = tool.add_subcommand("help");
  help->add_option("command")->check([&tool](const std::string& name) {
    return Command(tool, name) != nullptr ? std::string() : "unknown command \"" + name + "\"";
  });
  help->callback([help] { std::cout << Help(help); });
  AddBuilders(tool, line);
  AddInspectors(tool, line);
  AddConnections(tool, line);
  AddGenerate(tool, line);
  for (CLI::App* command : tool.get_subcommands([](CLI::App*) { return true; })) {
    command->preparse_callback([&](std::size_t) {
      const auto words = tool.remaining();
      line.wordBeforeCommand = std::any_of(words.begin(), words.end(), Plain);
    });
  }
}

// The failure message for a command line CLI11 did not take, in the tool's words: the mistake
// and where to read more, or the usage when no command was given.
std::string Failure(const CLI::App& tool, const CLI::Error& error, bool wordBeforeCommand) {
  const auto parsed = tool.get_subcommands();
  const CLI::App* command =
      parsed.empty() || wordBeforeCommand || parsed.front()->get_name() == "help" ? nullptr
                                                                                  : parsed.front();
  auto say = [command](const std::string& mistake) {
    return "tolvane-netsim: " + mistake + "\nTry 'tolvane-netsim " +
           (command == nullptr ? "" : command->get_name() + " ") + "--help'.\n";
  };
  std::string what = error.what();
  if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    return say(what.substr(what.find(": ") + 2));  // the checks here name the option themselves
  }
  if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
    return say(what.replace(what.find(" requires "), 10, " needs "));
  }
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && command != nullptr) {
    for (const CLI::Option* option : command->get_options()) {
      if (option->get_required() && option->count() == 0) {
        return say(option->get_positional() ? "name " + option->get_description()
                                            : option->get_name() + " is missing");
      }
    }
  }
  const std::vector<std::string> extras = tool.remaining();
  const auto word = std::find_if(extras.begin(), extras.end(), Plain);
  if (command == nullptr) {
    return word == extras.end() ? Help(&tool) : say("unknown command \"" + *word + "\"");
  }
  for (const std::string& extra : extras) {
    if (!Plain(extra)) return say("unknown option " + extra);
  }
  return say(word == extras.end() ? what : "unexpected argument \"" + *word + "\"");
}

// A write to standard output failed: said, unless the reader went away (a closed pipe).
int OutputFailure(int error) {
  if (error != EPIPE) {
    std::cerr << "tolvane-netsim: cannot write to standard output: " << std::strerror(error)
              << "\n";
  }
  return kFailed;
}

int Main(int argc, char** argv) {
  CLI::App tool{
      "The network folder is DIR, else $TOLVANE_NETWORK, else the default folder\n"
      "(created with the demo network when first needed).\n",
      "tolvane-netsim"};
  Line line;
  try {
    Define(tool, line);
    tool.failure_message([&line](const CLI::App* app, const CLI::Error& error) {
      return Failure(*app, error, line.wordBeforeCommand);
    });
    tool.parse(argc, argv);  // the chosen command's callback does the work
    return 0;
  } catch (const CLI::CallForVersion& version) {
    std::cout << version.what() << "\n";
    return 0;
  } catch (const CLI::ParseError& error) {
    const auto parsed = tool.get_subcommands();
    if (tool.get_help_ptr()->count() > 0 ||
        (!parsed.empty() && parsed.front()->get_help_ptr()->count() > 0)) {
      return tool.exit(CLI::CallForHelp());  // even when the rest of the line is wrong
    }
    tool.exit(error);
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
