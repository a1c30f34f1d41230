// tolvane-cli: the capture, restore and verify of trustee assignments from a shell, over the
// same network as the window.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/engines.h"
#include "netware/sim/sim_network.h"

namespace {

namespace fs = std::filesystem;

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
  std::unique_ptr<nw::NetWarePlatform> platform;
  try {
    platform = sim::OpenNetwork(folder);
  } catch (const sim::SimError& e) {
    throw cli::UsageError(e.what());
  }
  std::uint8_t reserved1 = 0, reserved2 = 0;
  if (platform->Client().NWCallsInit(&reserved1, &reserved2) != 0) {
    throw cli::UsageError("NWCallsInit returns errors ! There is no usable network in " +
                          folder.string() + ".");
  }
  return platform;
}

void AddMappingOption(CLI::App* command, const std::string& name, std::vector<std::string>* into,
                      const std::string& what) {
  command
      ->add_option(name, *into, "Rewrite the " + what + " OLD as NEW before granting (repeatable)")
      ->type_name("OLD=NEW")
      ->take_all();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Captures the trustee assignments of a volume into a rights file, grants them again, "
      "and compares a rights file with the live volumes.\n"
      "Results go to standard output, one a line: a word (add, change, same, missing, extra, "
      "failed) and the record in the rights file's field syntax; a change carries the rights "
      "the volume holds now, a failure its reason, as a sixth field. Messages go to standard "
      "error.\n"
      "Exit status: 0 done or no difference; 1 records failed or differences found; 2 bad "
      "usage or unreadable input.",
      "tolvane-cli"};
  app.require_subcommand(1, 1);
  app.fallthrough();
  std::string network;
  bool quiet = false;
  app.add_option("--network", network,
                 "The network folder (else $TOLVANE_NETWORK, else the default folder)")
      ->type_name("DIR");
  app.add_flag("-q,--quiet", quiet, "No progress bar and no messages but problems");

  CLI::App* trees = app.add_subcommand("trees", "List the trees the workstation is connected to");

  std::string volumesTree;
  CLI::App* volumes = app.add_subcommand("volumes", "List the volume objects of a tree");
  volumes->add_option("TREE", volumesTree, "The tree")->required();

  cli::CaptureOptions captureOptions;
  CLI::App* capture = app.add_subcommand(
      "capture", "Capture every trustee assignment of a volume into a rights file");
  capture->add_option("--tree", captureOptions.tree, "The tree")->required();
  capture->add_option("--volume", captureOptions.volume, "The volume object, SERVER_VOLUME")
      ->required()
      ->type_name("SERVER_VOLUME");
  capture
      ->add_option("-o,--output", captureOptions.output,
                   "The rights file (default SERVER_VOLUME.RIGHTS here; - is standard output); "
                   "replaced only when the capture completed")
      ->type_name("FILE|-");

  cli::RestoreOptions restoreOptions;
  std::vector<std::string> mapServers, mapVolumes, mapTrees;
  CLI::App* restore =
      app.add_subcommand("restore", "Grant every record of a rights file, going on past failures");
  restore->add_option("FILE", restoreOptions.file, "The rights file")->required();
  restore->add_flag("--dry-run", restoreOptions.dryRun,
                    "Grant nothing; say per record what a restore would do");
  AddMappingOption(restore, "--map-server", &mapServers, "server");
  AddMappingOption(restore, "--map-volume", &mapVolumes, "volume at the head of the directory");
  AddMappingOption(restore, "--map-tree", &mapTrees, "tree");

  std::string verifyFile;
  CLI::App* verify =
      app.add_subcommand("verify", "Compare a rights file with the live volumes it names");
  verify->add_option("FILE", verifyFile, "The rights file")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
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
  try {
    for (const auto& [field, values] : {std::pair{restore::MappedField::kServer, &mapServers},
                                        {restore::MappedField::kVolume, &mapVolumes},
                                        {restore::MappedField::kTree, &mapTrees}}) {
      for (const std::string& value : *values) restoreOptions.mapping.Add(field, value);
    }
    if (chosen == capture && captureOptions.output.empty() && capture->count("--output") > 0) {
      throw cli::UsageError("--output needs a file name, or - for standard output.");
    }

    std::unique_ptr<nw::NetWarePlatform> platform = OpenNetwork(network, quiet);
    cli::Context context(*platform, std::cout, std::cerr, quiet, cli::ProgressWanted(quiet));
    int status = cli::kDone;
    if (chosen == trees) status = cli::ListTrees(context);
    if (chosen == volumes) status = cli::ListVolumes(context, volumesTree);
    if (chosen == capture) status = cli::Capture(context, captureOptions);
    if (chosen == restore) status = cli::Restore(context, restoreOptions);
    if (chosen == verify) status = cli::Verify(context, verifyFile);
    std::cout.flush();
    return status;
  } catch (const restore::MappingError& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\nTry 'tolvane-cli restore --help'.\n";
    return cli::kUsage;
  } catch (const cli::UsageError& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kUsage;
  } catch (const std::exception& e) {
    std::cerr << "tolvane-cli: " << e.what() << "\n";
    return cli::kFailed;
  }
}
