// tolvane-cli capture of many volumes: every volume of a tree or of a server, each into its
// own files in one folder, volumes of different servers side by side.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "capture/bindery.h"
#include "capture/object_search.h"
#include "capture/volume_name.h"
#include "cli/capture_volume.h"
#include "cli/parallel.h"
#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/windows1252.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

struct Planned {
  ChosenVolume chosen;
  std::string name;      // SERVER_VOLUME, as its line and its files name it
  std::string problem;   // why it cannot be captured at all
  bool bindery = false;  // a version 3 server's: its objects are its own
};

Planned Plan(ChosenVolume chosen) {
  Planned planned{std::move(chosen), "", ""};
  planned.name = planned.chosen.server + "_" + planned.chosen.volume;
  planned.problem = capture::VolumeNameProblem(planned.name);
  return planned;
}

// The volumes of the run, in the order of their lines.
std::vector<Planned> VolumesToCapture(Context& context, const CaptureOptions& options) {
  std::vector<Planned> volumes;
  if (options.all) {
    const std::string tree = ConnectedTree(context, options.tree);
    for (const std::string& name : capture::VolumeList(*context.platform.CreateDirectory(), tree)) {
      const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(name);
      Planned planned = Plan({tree, parts.server, parts.volume});
      planned.name = name;
      volumes.push_back(std::move(planned));
    }
    return volumes;
  }
  nw::NetWareClient& client = context.platform.Client();
  capture::ServerFacts facts;
  std::vector<std::string> names;
  try {
    facts = capture::ReadServerFacts(client, options.server);
    if (facts.bindery) names = capture::ServerVolumes(client, facts.name);
  } catch (const std::runtime_error& e) {
    throw UsageError(std::string("Cannot capture: ") + e.what());
  }
  if (facts.bindery) {
    for (const std::string& volume : names) {
      volumes.push_back(Plan({facts.tree, facts.name, volume}));
      volumes.back().bindery = true;
    }
    return volumes;
  }
  if (facts.tree.empty()) {
    throw UsageError("The server " + facts.name + " stands in no tree; name the tree with --tree.");
  }
  const std::string tree = ConnectedTree(context, facts.tree);
  for (const std::string& name : capture::VolumeList(*context.platform.CreateDirectory(), tree)) {
    const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(name);
    if (!formats::SameName(parts.server, facts.name)) continue;
    Planned planned = Plan({tree, parts.server, parts.volume});
    planned.name = name;
    volumes.push_back(std::move(planned));
  }
  return volumes;
}

// The folder the files go into: made when missing; with --dated, a new one under it named by
// the start of the run, never one that is there already.
fs::path OutputFolder(const CaptureOptions& options) {
  fs::path folder = options.outputDir.empty() ? fs::path(".") : fs::path(options.outputDir);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error || !fs::is_directory(folder)) {
    throw UsageError("Cannot make the folder " + folder.string() +
                     (error ? ": " + error.message() + "." : ": something else stands there."));
  }
  if (!options.dated) return folder;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H-%M-%S", &local);
  folder /= stamp;
  if (!fs::create_directory(folder, error)) {
    throw UsageError("The folder " + folder.string() +
                     (error ? " cannot be made: " + error.message() + "."
                            : " is there already; a dated run never writes into an earlier one."));
  }
  return folder;
}

struct VolumeLine {
  VolumeOutcome outcome;
  double seconds = 0;
  bool earlier = false;  // an earlier rights file was left as it was
};

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace

void CheckCaptureOptions(const CaptureOptions& options, bool outputGiven) {
  const bool many = options.all || (!options.server.empty() && options.volume.empty());
  if (options.all && options.tree.empty()) {
    throw UsageError(
        "--all captures every volume object of a tree named with --tree; --server without "
        "--volume captures every volume of a server.");
  }
  if (options.all && !options.volume.empty()) {
    throw UsageError("--all captures every volume of the tree; --volume names one.");
  }
  if (!options.tree.empty() && !options.all && options.volume.empty()) {
    throw UsageError(
        "capture --tree needs --volume (one volume) or --all (every volume of the tree).");
  }
  if (many && outputGiven) {
    throw UsageError(
        "--output names the file of one volume; the files of many volumes go into "
        "--output-dir.");
  }
  if (many && !options.filters.empty()) {
    throw UsageError(
        "--filters names the filters file of one volume; with many volumes each stands beside "
        "its rights file.");
  }
  if (!many && (!options.outputDir.empty() || options.dated)) {
    throw UsageError(std::string(options.dated ? "--dated" : "--output-dir") +
                     " goes with --all or with --server without --volume (many volumes); one "
                     "volume's file is named with --output.");
  }
}

int CaptureMany(Context& context, const CaptureOptions& options) {
  const std::vector<Planned> volumes = VolumesToCapture(context, options);
  if (volumes.empty()) {
    throw UsageError("There is no volume to capture (" +
                     (options.all ? "the tree " + options.tree : "the server " + options.server) +
                     " has none).");
  }
  const fs::path folder = OutputFolder(options);
  for (const Planned& planned : volumes) {
    if (planned.problem.empty()) {
      RefuseNetworkFile(
          (folder / formats::RightsFileName(planned.chosen.server, planned.chosen.volume)).string(),
          options, "rights file");
    }
  }

  // A tree's objects are searched once for all its volumes; a bindery's with each volume.
  std::map<std::string, ScanObjects> trees;
  std::size_t leftOut = 0;
  for (const Planned& planned : volumes) {
    if (planned.problem.empty() && !planned.bindery && !trees.contains(planned.chosen.tree)) {
      std::unique_ptr<nw::NWDirectory> directory = context.platform.CreateDirectory();
      capture::ObjectNames objects = capture::CompileObjectNames(*directory, planned.chosen.tree);
      if (!objects.leftOut.empty()) {
        context.Problem(LeftOutProblem(planned.chosen.tree, objects.leftOut));
      }
      leftOut += objects.leftOut.size();
      trees[planned.chosen.tree] = {planned.chosen.tree, std::move(objects.names), {}};
    }
  }

  // Volumes of different servers side by side, one a server at a time, the jobs shared out.
  std::vector<std::size_t> serverOf;
  std::vector<std::string> servers;
  for (const Planned& planned : volumes) {
    const std::string key = formats::FoldName(planned.chosen.server);
    const auto known = std::find(servers.begin(), servers.end(), key);
    serverOf.push_back(static_cast<std::size_t>(known - servers.begin()));
    if (known == servers.end()) servers.push_back(key);
  }
  const std::size_t lanes = std::max<std::size_t>(1, std::min(context.jobs, servers.size()));
  const std::size_t perLane = std::max<std::size_t>(1, context.jobs / lanes);
  std::vector<std::unique_ptr<nw::NetWarePlatform>> owned;
  std::vector<std::vector<nw::NetWarePlatform*>> lanePlatforms(lanes);
  for (std::vector<nw::NetWarePlatform*>& lane : lanePlatforms) {
    for (std::size_t i = 0; i < perLane; ++i) {
      if (context.jobs <= 1) {
        lane.push_back(&context.platform);
        continue;
      }
      owned.push_back(context.OpenPlatform());
      lane.push_back(owned.back().get());
    }
  }
  RunSettings settings;
  settings.jobs = lanes;
  settings.inFlight = std::max<std::size_t>(lanes * 2, 1);
  settings.affinity = [&](std::size_t unit) { return serverOf[unit]; };

  std::size_t failed = 0, captured = 0;
  RunOrdered<VolumeLine>(
      volumes.size(), settings,
      [&](std::size_t lane, std::size_t unit) {
        const Planned& planned = volumes[unit];
        VolumeLine line;
        const auto start = std::chrono::steady_clock::now();
        if (!planned.problem.empty()) {
          line.outcome.failure = planned.problem;
          return line;
        }
        const fs::path file =
            folder / formats::RightsFileName(planned.chosen.server, planned.chosen.volume);
        try {
          formats::RightsFileWriter writer(file);
          std::optional<formats::FiltersFileWriter> filtersWriter;
          if (!options.noFilters) filtersWriter.emplace(formats::FiltersFileName(file));
          const auto tree = trees.find(planned.chosen.tree);
          VolumeTarget target{planned.chosen,
                              &writer,
                              nullptr,
                              filtersWriter ? &*filtersWriter : nullptr,
                              options.byDirectory,
                              planned.bindery ? nullptr : &tree->second,
                              nullptr,
                              false};
          line.outcome =
              CaptureOneVolume(*lanePlatforms[lane].front(), lanePlatforms[lane], target);
          if (!line.outcome.done) {
            line.earlier = formats::RightsFileWriter::EarlierFileExists(file.string());
          }
        } catch (const std::exception& e) {
          line.outcome.failure = e.what();
        }
        line.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return line;
      },
      [&](std::size_t unit, VolumeLine line) {
        const Planned& planned = volumes[unit];
        const VolumeOutcome& outcome = line.outcome;
        for (const std::string& problem : outcome.problems) context.Problem(problem);
        if (!outcome.done) {
          ++failed;
          context.Line(planned.name + ": failed: " + outcome.failure +
                       (line.earlier ? " An earlier rights file has been left as it was." : ""));
          return;
        }
        ++captured;
        if (!outcome.unwritten.empty()) {
          ++failed;
          TellUnwritten(context, outcome.unwritten);
        }
        context.Line(planned.name + ": " + Count(outcome.written, "record", "records") +
                     (outcome.unwritten.empty() ? ""
                                                : " (" + std::to_string(outcome.unwritten.size()) +
                                                      " could not be written)") +
                     (options.noFilters ? "" : ", " + Count(outcome.filters, "filter", "filters")) +
                     ", " + Seconds(line.seconds));
      });
  context.Note(Count(captured, "volume", "volumes") + " captured into " + folder.string() +
               (failed > 0 ? ", " + std::to_string(failed) + " failed." : "."));
  return failed == 0 && leftOut == 0 ? kDone : kFailed;
}

}  // namespace cli
