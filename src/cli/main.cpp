// tolvane-cli: the capture, restore and verify of trustee assignments from a shell, over the
// same network as the window.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "cli/commands.h"
#include "netware/sim/sim_network.h"
#include "verify/sorted_spool.h"

namespace {

namespace fs = std::filesystem;

// Why this user cannot work on the network in `folder`, or "": the store and the folder
// beside it (where the store keeps its journal) must both be writable.
std::string PermissionProblem(const fs::path& folder) {
  for (const fs::path& path : {folder / "network.db", folder}) {
    if (::access(path.c_str(), W_OK) != 0 &&
        (errno == EACCES || errno == EPERM || errno == EROFS)) {
      return path.string() + " cannot be written: " + std::generic_category().message(errno) + ".";
    }
  }
  return "";
}

// The message for a network that cannot be opened: the permission problem when there is
// one, as it is what the user can mend.
std::string Unusable(const fs::path& folder, const std::string& otherwise) {
  if (fs::exists(folder / "network.db")) {
    const std::string problem = PermissionProblem(folder);
    if (!problem.empty()) {
      return "NWCallsInit returns errors ! The network in " + folder.string() +
             " cannot be used: " + problem;
    }
  }
  return otherwise;
}

std::unique_ptr<nw::NetWarePlatform> OpenFolder(const fs::path& folder);

// The network the window would open: --network DIR, else TOLVANE_NETWORK, else the default
// folder, which alone is created (as the demo network) when it holds none yet.
std::unique_ptr<nw::NetWarePlatform> OpenNetwork(const std::string& option, bool quiet) {
  const fs::path folder = option.empty() ? sim::DefaultNetworkFolder() : fs::path(option);
  if (option.empty() && !sim::NetworkFolderFromEnvironment() &&
      !fs::exists(folder / "network.db")) {
    try {
      fs::create_directories(folder);
      sim::CreateDemoNetwork(folder);
    } catch (const std::exception& e) {
      throw cli::UsageError("The demo network could not be created in " + folder.string() + ": " +
                            e.what());
    }
    if (!quiet)
      std::cerr << "tolvane-cli: Created the demo network in " << folder.string() << ".\n";
  }
  return OpenFolder(folder);
}

// A platform on the network in `folder`, its client initialised.
std::unique_ptr<nw::NetWarePlatform> OpenFolder(const fs::path& folder) {
  std::unique_ptr<nw::NetWarePlatform> platform;
  try {
    platform = sim::OpenNetwork(folder);
  } catch (const sim::SimError& e) {
    throw cli::UsageError(Unusable(folder, e.what()));
  }
  std::uint8_t reserved1 = 0, reserved2 = 0;
  if (platform->Client().NWCallsInit(&reserved1, &reserved2) != 0) {
    throw cli::UsageError(Unusable(folder,
                                   "NWCallsInit returns errors ! There is no usable "
                                   "network in " +
                                       folder.string() + "."));
  }
  return platform;
}

// The mapping options as given, for whichever command takes them.
struct MappingArguments {
  std::vector<std::string> servers, volumes, trees, objects, contexts, files;
};

void AddMappingOptions(CLI::App* command, MappingArguments* into) {
  for (const auto& [name, values, what] :
       {std::tuple{"--map-server", &into->servers, "server"},
        {"--map-volume", &into->volumes, "volume at the head of the directory"},
        {"--map-tree", &into->trees, "tree"},
        {"--map-object", &into->objects, "whole object name (dotted)"},
        {"--map-context", &into->contexts,
         "containers at the end of an object's dotted name (the longest that matches; an "
         "object mapping goes first)"}}) {
    command
        ->add_option(name, *values,
                     std::string("Rewrite the ") + what +
                         " OLD as NEW in every record (repeatable); a mapping "
                         "that matches no record, or that makes two records one, is refused")
        ->type_name("OLD=NEW")
        ->take_all();
  }
  command
      ->add_option("--map-file", into->files,
                   "Read mappings one a line: server, volume, tree, object or context, a "
                   "blank, OLD=NEW (# begins a comment line; repeatable)")
      ->type_name("FILE")
      ->take_all();
}

// The mapping the options make: the files' mappings after those of the options.
void AddMappings(restore::RecordMapping& mapping, const MappingArguments& given) {
  for (const auto& [field, values] : {std::pair{restore::MappedField::kServer, &given.servers},
                                      {restore::MappedField::kVolume, &given.volumes},
                                      {restore::MappedField::kTree, &given.trees},
                                      {restore::MappedField::kObject, &given.objects},
                                      {restore::MappedField::kContext, &given.contexts}}) {
    for (const std::string& value : *values) mapping.Add(field, value);
  }
  for (const std::string& file : given.files) mapping.AddFile(file);
}

// --jobs N of capture, restore and verify.
void AddJobsOption(CLI::App* command, int* jobs) {
  command
      ->add_option("--jobs", *jobs,
                   "How many connections work side by side (default 8; 1 makes one call at a "
                   "time); the output is the same for every number")
      ->type_name("N");
}

// --filters FILE and --no-filters of restore and verify.
void AddFiltersOptions(CLI::App* command, std::string* file, bool* none) {
  CLI::Option* noFilters =
      command->add_flag("--no-filters", *none, "Read no filters file, not even the one beside");
  command
      ->add_option("--filters", *file,
                   "The filters file (default: the one beside the rights file, its name with "
                   "the extension .FILTERS, when there is one; none for standard input)")
      ->type_name("FILE")
      ->excludes(noFilters);
}

}  // namespace

// The help and version texts go to standard output; whether they arrived is the status.
int Answered(int status) {
  try {
    cli::CheckOutput(std::cout);
  } catch (const cli::OutputError& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kUsage;
  }
  return status;
}

int main(int argc, char** argv) {
  // A reader that goes away (| head) makes writes fail with EPIPE rather than end the
  // program mid-run, so that a restore can stop between records and say what it did.
  std::signal(SIGPIPE, SIG_IGN);
  CLI::App app{
      "Captures the trustee assignments and inherited rights filters of a volume into a rights "
      "file and a filters file, grants them again, and compares them with the live volumes or "
      "with another capture.\n"
      "Results go to standard output, one a line: a word (add, change, same, remove, missing, "
      "extra, failed), \"filter\" for a filter, and the record in its file's field syntax; a "
      "change carries the rights the volume holds now (diff: the newer capture's), a failure "
      "its reason, as one more field. Messages go to standard error.\n"
      "Exit status: 0 done or no difference; 1 records failed or differences found; 2 bad "
      "usage, unreadable input or unwritable output.",
      "tolvane-cli"};
  app.require_subcommand(1, 1);
  app.fallthrough();
  std::string network;
  bool quiet = false;
  app.add_option("--network", network,
                 "The network folder (else $TOLVANE_NETWORK, else the default folder)")
      ->type_name("DIR");
  app.add_flag("-q,--quiet", quiet, "No progress bar and no messages but problems");
  app.set_version_flag("--version", "tolvane-cli " TOLVANE_VERSION, "Show the version and exit");

  int jobs = 8;
  std::string helpTopic;
  CLI::App* help = app.add_subcommand("help", "Show the help of tolvane-cli or of one command");
  help->add_option("COMMAND", helpTopic, "The command");

  CLI::App* trees = app.add_subcommand("trees", "List the trees the workstation is connected to");

  std::string volumesTree, volumesServer;
  CLI::App* volumes =
      app.add_subcommand("volumes", "List the volume objects of a tree, or a server's volumes");
  CLI::Option* volumesTreeOption = volumes->add_option("TREE", volumesTree, "The tree");
  volumes->add_option("--server", volumesServer, "The server whose volumes to list")
      ->excludes(volumesTreeOption);

  cli::CaptureOptions captureOptions;
  CLI::App* capture = app.add_subcommand(
      "capture",
      "Capture every trustee assignment of a volume (or of every volume of a tree or a server) "
      "into a rights file");
  CLI::Option* captureTree = capture->add_option("--tree", captureOptions.tree, "The tree");
  capture
      ->add_option("--server", captureOptions.server,
                   "Instead of --tree: the server whose volume --volume names (a version 3 "
                   "server's from its bindery)")
      ->excludes(captureTree);
  capture
      ->add_option("--volume", captureOptions.volume,
                   "The volume object, SERVER_VOLUME; with --server the volume's name (none: "
                   "every volume of the server)")
      ->type_name("SERVER_VOLUME|VOLUME");
  capture->add_flag("--all", captureOptions.all, "With --tree: every volume object of the tree");
  capture
      ->add_option("--output-dir", captureOptions.outputDir,
                   "With --all or --server without --volume: the folder the files go into, as "
                   "SERVER_VOLUME.RIGHTS and .FILTERS (default: here; made when missing)")
      ->type_name("DIR");
  capture->add_flag("--dated", captureOptions.dated,
                    "Put the run into a new folder under --output-dir named by its start time");
  capture
      ->add_option("-o,--output", captureOptions.output,
                   "The rights file (default SERVER_VOLUME.RIGHTS here; - is standard output); "
                   "replaced only when the capture completed")
      ->type_name("FILE|-");
  CLI::Option* noFilters =
      capture->add_flag("--no-filters", captureOptions.noFilters, "Write no filters file");
  capture
      ->add_option("--filters", captureOptions.filters,
                   "The filters file (default: the rights file's name with the extension "
                   ".FILTERS; none with --output - or a device)")
      ->type_name("FILE")
      ->excludes(noFilters);
  bool byObject = false;
  capture->add_flag(
      "--by-object", byObject,
      "Ask each object for its trustee paths, as the window does, rather than read every "
      "directory's and file's trustee list in batches: a round trip a path, but an assignment "
      "on a path the volume no longer shows is found too");
  // The batched reading, now the default, was once asked for by name.
  capture->add_flag("--by-directory")->group("");
  AddJobsOption(capture, &jobs);

  cli::RestoreOptions restoreOptions;
  MappingArguments mappings;
  CLI::App* restore =
      app.add_subcommand("restore", "Grant every record of a rights file, going on past failures");
  restore->add_option("FILE", restoreOptions.file, "The rights file (- is standard input)")
      ->required();
  restore->add_flag("--dry-run", restoreOptions.dryRun,
                    "Grant nothing; say per record what a restore would do");
  AddMappingOptions(restore, &mappings);
  AddFiltersOptions(restore, &restoreOptions.filters, &restoreOptions.noFilters);
  AddJobsOption(restore, &jobs);
  restore->add_flag("--exact", restoreOptions.exact,
                    "Also remove every assignment of the volumes the file covers that it does "
                    "not hold (and every filter, when a filters file is read); with --dry-run "
                    "only say so");

  cli::VerifyOptions verifyOptions;
  CLI::App* verify =
      app.add_subcommand("verify", "Compare a rights file with the live volumes it names");
  verify->add_option("FILE", verifyOptions.file, "The rights file (- is standard input)")
      ->required();
  AddMappingOptions(verify, &mappings);
  AddFiltersOptions(verify, &verifyOptions.filters, &verifyOptions.noFilters);
  AddJobsOption(verify, &jobs);

  cli::DiffOptions diffOptions;
  CLI::App* diff = app.add_subcommand(
      "diff", "Compare two captures: two rights files, or two folders of them (no network)");
  diff->add_option("OLD", diffOptions.oldCapture, "The older capture: a rights file or a folder")
      ->required();
  diff->add_option("NEW", diffOptions.newCapture, "The newer capture, of the same kind")
      ->required();
  AddMappingOptions(diff, &mappings);
  diff->add_flag("--no-filters", diffOptions.noFilters, "Compare no filters files");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return Answered(app.exit(e));  // --help, --version
    CLI::App* failing = app.get_subcommands().empty() ? &app : app.get_subcommands().front();
    const std::vector<std::string> left = app.remaining();
    const std::string what = failing == &app && !left.empty() && left.front().rfind('-', 0) != 0
                                 ? "unknown command \"" + left.front() + "\""
                                 : std::string(e.what());
    std::cerr << "tolvane-cli: " << what << "\nTry 'tolvane-cli "
              << (failing == &app ? "" : failing->get_name() + " ") << "--help'.\n";
    return cli::kUsage;
  }

  CLI::App* chosen = app.get_subcommands().front();
  if (chosen == help) {
    if (helpTopic.empty()) {
      std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
      return Answered(cli::kDone);
    }
    for (CLI::App* command : {trees, volumes, capture, restore, verify, diff, help}) {
      if (command->get_name() == helpTopic) {
        std::cout << command->help(app.get_name());
        return Answered(cli::kDone);
      }
    }
    std::cerr << "tolvane-cli: help: unknown command \"" << helpTopic
              << "\"\nTry 'tolvane-cli --help'.\n";
    return cli::kUsage;
  }
  try {
    restore::RecordMapping& mapping = chosen == verify ? verifyOptions.mapping
                                      : chosen == diff ? diffOptions.mapping
                                                       : restoreOptions.mapping;
    AddMappings(mapping, mappings);
    // Two files compared: no network opened, none created.
    if (chosen == diff) {
      const int status = cli::Diff(std::cout, diffOptions);
      cli::CheckOutput(std::cout);
      return status;
    }
    if (chosen == capture && captureOptions.output.empty() && capture->count("--output") > 0) {
      throw cli::UsageError("--output needs a file name, or - for standard output.");
    }
    if (chosen == capture && captureOptions.tree.empty() && captureOptions.server.empty()) {
      throw cli::UsageError(
          "capture needs --tree (a volume object) or --server (a server's "
          "volume).\nTry 'tolvane-cli capture --help'.");
    }
    if (chosen == capture && byObject && capture->count("--by-directory") > 0) {
      throw cli::UsageError(
          "--by-object excludes --by-directory\nTry 'tolvane-cli capture --help'.");
    }
    if (chosen == capture && captureOptions.filters.empty() && capture->count("--filters") > 0) {
      throw cli::UsageError("--filters needs a file name.");
    }
    if (chosen == capture) cli::CheckCaptureOptions(captureOptions, capture->count("--output") > 0);
    if (chosen == volumes && volumesTree.empty() && volumesServer.empty()) {
      throw cli::UsageError("volumes needs a TREE or --server.\nTry 'tolvane-cli volumes --help'.");
    }

    if (jobs < 1) throw cli::UsageError("--jobs needs a number of 1 or more.");

    std::unique_ptr<nw::NetWarePlatform> platform = OpenNetwork(network, quiet);
    cli::Context context(*platform, std::cout, std::cerr, quiet, cli::ProgressWanted(quiet));
    context.jobs = static_cast<std::size_t>(jobs);
    context.SetPlatformOpener([folder = network.empty()
                                            ? sim::DefaultNetworkFolder()
                                            : fs::path(network)] { return OpenFolder(folder); });
    int status = cli::kDone;
    if (chosen == trees) status = cli::ListTrees(context);
    if (chosen == volumes) {
      status = volumesServer.empty() ? cli::ListVolumes(context, volumesTree)
                                     : cli::ListServerVolumes(context, volumesServer);
    }
    captureOptions.byDirectory = !byObject;
    captureOptions.network = network.empty() ? sim::DefaultNetworkFolder().string() : network;
    if (chosen == capture) status = cli::Capture(context, captureOptions);
    if (chosen == restore) status = cli::Restore(context, restoreOptions);
    if (chosen == verify) status = cli::Verify(context, verifyOptions);
    cli::CheckOutput(std::cout);
    return status;
  } catch (const restore::MappingError& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\nTry 'tolvane-cli " << chosen->get_name()
              << " --help'.\n";
    return cli::kUsage;
  } catch (const cli::OutputError& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kUsage;
  } catch (const cli::UsageError& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kUsage;
  } catch (const verify::SpoolError& e) {  // nothing compared
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kUsage;
  } catch (const std::exception& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kFailed;
  }
}
