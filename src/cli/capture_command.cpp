// tolvane-cli capture: one volume's assignments into a rights file or onto standard output.

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "capture/bindery.h"
#include "capture/drive_mapping.h"
#include "capture/filters.h"
#include "capture/object_search.h"
#include "capture/volume_name.h"
#include "capture/volume_scan.h"
#include "cli/capture_volume.h"
#include "cli/parallel.h"
#include "cli/volume_access.h"
#include "formats/filters_file.h"
#include "formats/name_fold.h"
#include "formats/rights_file_writer.h"
#include "formats/windows1252.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using formats::RightsRecord;

// Beyond this many, the assignments that could not be written are only counted.
constexpr std::size_t kUnwrittenTold = 20;

// Names of standard output itself: renaming a file over one would take the name from the
// terminal or pipe rather than write into it.
bool NamesStandardOutput(const std::string& output) {
  if (output == "-") return true;
  const fs::path name = fs::path(output).lexically_normal();
  return name == "/dev/stdout" || name == "/dev/fd/1" || name == "/proc/self/fd/1";
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool Within(const fs::path& path, const fs::path& folder) {
  const auto [inFolder, inPath] =
      std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return inFolder == folder.end();
}

// The store (with its journal files, which need not exist yet) and the volume folders of the
// network in use: a capture written over any of them would damage the network it reads. The
// output is compared as it will be reached (links followed, by device and inode when it
// exists) and by the name it stands at.
bool PartOfNetwork(const fs::path& output, const fs::path& network) {
  std::error_code error;
  const fs::path folder = fs::weakly_canonical(network, error);
  if (error) return false;
  const fs::path absolute = fs::absolute(output, error);
  if (error) return false;
  const fs::path reached = fs::weakly_canonical(absolute, error);
  if (error) return false;
  const fs::path named = fs::weakly_canonical(absolute.parent_path(), error) / absolute.filename();
  if (error) return false;

  const fs::path volumes = folder / "volumes";
  if (Within(reached, volumes) || Within(named, volumes)) return true;
  struct stat target {};
  const bool exists = ::stat(reached.c_str(), &target) == 0;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const fs::path store = folder / ("network.db" + std::string(suffix));
    if (reached == store || named == store) return true;
    struct stat own {};
    if (exists && ::stat(store.c_str(), &own) == 0 && SameFile(target, own)) return true;
  }
  // A folder reached by another way (a bind mount) is still the same folder.
  struct stat volumesStat {};
  if (::stat(volumes.c_str(), &volumesStat) != 0) return false;
  for (fs::path up = reached.parent_path();; up = up.parent_path()) {
    struct stat step {};
    if (::stat(up.c_str(), &step) == 0 && SameFile(step, volumesStat)) return true;
    if (up == up.root_path() || up.empty()) break;
  }
  return false;
}

}  // namespace

void TellUnwritten(Context& context, const std::vector<Unwritten>& unwritten) {
  const std::size_t told = std::min(unwritten.size(), kUnwrittenTold);
  for (std::size_t i = 0; i < told; ++i) {
    context.Problem("The assignment of " + formats::QuoteForMessage(unwritten[i].record.object) +
                    " on " + formats::QuoteForMessage(unwritten[i].record.directory) +
                    " could not be written. " + unwritten[i].why);
  }
  if (unwritten.size() > told) {
    context.Problem("... and " +
                    Count(unwritten.size() - told, "more assignment", "more assignments") +
                    " that could not be written.");
  }
}

std::string LeftOutProblem(const std::string& tree, const std::vector<std::string>& leftOut) {
  return Count(leftOut.size(), "search result", "search results") + " of the tree " + tree +
         " cannot be captured and " + (leftOut.size() == 1 ? "is" : "are") +
         " left out, the first " + formats::QuoteForMessage(leftOut.front()) + ".";
}

ScanObjects ObjectsToScan(nw::NetWarePlatform& platform, const ChosenVolume& chosen,
                          std::vector<std::string>* leftOut) {
  nw::NetWareClient& client = platform.Client();
  const capture::ServerFacts facts = capture::ReadServerFacts(client, chosen.server);
  ScanObjects scan;
  if (facts.bindery) {
    scan.tree = facts.tree;
    const nw::NWCONN_HANDLE conn = capture::VolumeConnection(client, chosen.server, chosen.volume);
    for (capture::BinderyObject& object : capture::BinderyObjects(client, conn)) {
      scan.names.push_back(std::move(object.name));
      scan.binderyIDs.push_back(object.id);
    }
    return scan;
  }
  std::unique_ptr<nw::NWDirectory> directory = platform.CreateDirectory();
  capture::ObjectNames objects = capture::CompileObjectNames(*directory, chosen.tree);
  *leftOut = std::move(objects.leftOut);
  scan.tree = chosen.tree;
  scan.names = std::move(objects.names);
  return scan;
}

namespace {

// The drive letters of every platform are the workstation's: two volumes captured side by
// side must not both take the same free letter.
std::mutex driveMutex;

// The drive mapped to the volume for the scan, and unmapped after it, as the window does.
// Without `mapDrive`, only the scan.
bool ScanOnDrive(nw::NetWarePlatform& platform, const ChosenVolume& chosen,
                 const std::function<void()>& scan, VolumeOutcome* outcome, bool mapDrive = true) {
  if (!mapDrive) {
    try {
      scan();
      return true;
    } catch (const std::exception& e) {
      outcome->failure = e.what();
      return false;
    }
  }
  nw::NWSession& session = platform.Session();
  capture::CaptureDrive drive;
  {
    const std::lock_guard lock(driveMutex);
    drive = capture::MapCaptureDrive(session, chosen.server, chosen.volume);
  }
  const std::string cannot =
      "Cannot add drive mapping to server " + chosen.server + ", volume " + chosen.volume;
  if (drive.candidates.empty()) {
    outcome->failure = cannot + ": " + capture::NoFreeDriveReason(drive) + ".";
    return false;
  }
  if (!drive.mapped) {
    outcome->failure = cannot + (drive.error.empty() ? " (" + drive.networkPath + " on " +
                                                           drive.candidates.front() + ")."
                                                     : ": " + drive.error);
    return false;
  }
  bool done = false;
  try {
    scan();
    done = true;
  } catch (const std::exception& e) {
    outcome->failure = e.what();
  }
  std::string error;
  const std::lock_guard lock(driveMutex);
  if (!capture::UnmapCaptureDrive(session, drive.candidates.front(), &error)) {
    outcome->problems.push_back("Cannot delete drive mapping " + drive.candidates.front() +
                                (error.empty() ? "." : ": " + error));
  }
  return done;
}

}  // namespace

VolumeOutcome CaptureOneVolume(nw::NetWarePlatform& platform,
                               const std::vector<nw::NetWarePlatform*>& workers,
                               const VolumeTarget& target) {
  VolumeOutcome outcome;
  std::vector<formats::FilterRecord> filters;
  const auto sink = [&](const RightsRecord& record) {
    // A value the format cannot carry costs its record, not the capture; it is told.
    try {
      if (target.writer) {
        target.writer->Write(record);
      } else {
        *target.bytes += formats::FormatRightsRecord(record);
      }
      ++outcome.written;
    } catch (const formats::UnwritableValue& e) {
      outcome.unwritten.push_back({record, e.what()});
    }
  };
  outcome.done = ScanOnDrive(
      platform, target.chosen,
      [&] {
        ScanObjects searched;
        if (!target.objects) {
          std::vector<std::string> leftOut;
          searched = ObjectsToScan(platform, target.chosen, &leftOut);
          outcome.leftOut = leftOut.size();
          if (!leftOut.empty()) {
            outcome.problems.push_back(LeftOutProblem(target.chosen.tree, leftOut));
          }
        }
        const ScanObjects& objects = target.objects ? *target.objects : searched;
        VolumeScan scan{target.chosen.server,
                        target.chosen.volume,
                        &objects,
                        target.byDirectory,
                        target.filtersWriter ? &filters : nullptr,
                        nullptr};
        if (target.progress) {
          scan.progress = [&](std::size_t done) { target.progress(done, objects.names.size()); };
        }
        ScanVolumeOn(workers, scan, sink);
      },
      &outcome, target.mapDrive);
  // The filters file first: a filter it cannot hold fails the capture before the rights file
  // is replaced.
  try {
    if (outcome.done && target.filtersWriter) {
      for (const formats::FilterRecord& filter : filters) target.filtersWriter->Write(filter);
      target.filtersWriter->Commit();
      outcome.filters = filters.size();
    }
    if (outcome.done && target.writer) target.writer->Commit();
  } catch (const std::exception& e) {
    outcome.done = false;
    outcome.failure = e.what();
  }
  return outcome;
}

bool CaptureVolume(Context& context, const std::string& tree, const std::string& server,
                   const std::string& volume, const capture::RecordSink& sink, std::string* failure,
                   const std::set<std::string>* alsoRead,
                   std::vector<formats::FilterRecord>* filters) {
  const WorkerPlatforms platforms(context, context.jobs);
  std::vector<nw::NetWarePlatform*> workers;
  for (std::size_t i = 0; i < platforms.size(); ++i) workers.push_back(&platforms[i]);
  VolumeOutcome outcome;
  const ChosenVolume chosen{tree, server, volume};
  const bool done = ScanOnDrive(
      context.platform, chosen,
      [&] {
        std::vector<std::string> leftOut;
        const ScanObjects objects = ObjectsToScan(context.platform, chosen, &leftOut);
        if (!leftOut.empty()) context.Problem(LeftOutProblem(tree, leftOut));
        VolumeScan scan{server, volume, &objects, true, filters, nullptr};
        scan.alsoRead = alsoRead;
        scan.progress = [&](std::size_t done) { context.Progress(done, objects.names.size()); };
        ScanVolumeOn(workers, scan, sink);
      },
      &outcome);
  context.EndProgress();
  for (const std::string& problem : outcome.problems) context.Problem(problem);
  if (!done) *failure = outcome.failure;
  return done;
}

ChosenVolume VolumeObject(Context& context, const std::string& treeName,
                          const std::string& volumeObject) {
  const std::string tree = ConnectedTree(context, treeName);
  const std::string problem = capture::VolumeNameProblem(volumeObject);
  if (!problem.empty()) throw UsageError(problem);
  // The volume as the window's list names it, which names the rights file.
  std::string selected;
  for (const std::string& volume : capture::VolumeList(*context.platform.CreateDirectory(), tree)) {
    if (formats::SameName(volume, volumeObject)) {
      selected = volume;
      break;
    }
  }
  if (selected.empty()) {
    throw UsageError("The tree " + tree + " has no volume object " +
                     formats::QuoteForMessage(volumeObject) + " ('tolvane-cli volumes " + tree +
                     "' lists them).");
  }
  const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(selected);
  return {tree, parts.server, parts.volume};
}

namespace {

// A server's volume: from its bindery on a version 3 server, else the volume object
// SERVER_VOLUME of the tree it stands in.
ChosenVolume ServerVolume(Context& context, const std::string& server, const std::string& volume) {
  nw::NetWareClient& client = context.platform.Client();
  capture::ServerFacts facts;
  std::vector<std::string> volumes;
  try {
    facts = capture::ReadServerFacts(client, server);
    if (facts.bindery) volumes = capture::ServerVolumes(client, facts.name);
  } catch (const std::runtime_error& e) {
    throw UsageError(std::string("Cannot capture: ") + e.what());
  }
  if (!facts.bindery) {
    if (facts.tree.empty()) {
      throw UsageError("The server " + facts.name +
                       " stands in no tree; name the tree with --tree.");
    }
    return VolumeObject(context, facts.tree, facts.name + "_" + volume);
  }
  const std::string problem = capture::VolumeNameProblem(facts.name + "_" + volume);
  if (!problem.empty()) throw UsageError(problem);
  for (const std::string& known : volumes) {
    if (formats::SameName(known, volume)) return {facts.tree, facts.name, known};
  }
  throw UsageError("The server " + facts.name + " has no volume " +
                   formats::QuoteForMessage(volume) + " ('tolvane-cli volumes --server " +
                   facts.name + "' lists them).");
}

}  // namespace

void RefuseNetworkFile(const std::string& file, const CaptureOptions& options, const char* kind) {
  if (!options.network.empty() && PartOfNetwork(file, options.network)) {
    throw UsageError("The file " + file + " belongs to the network in " + options.network +
                     " (its store or a volume's folders); a " + kind + " is never written there.");
  }
}

namespace {

template <typename Writer>
std::unique_ptr<Writer> OpenWriter(const std::string& file) {
  try {
    return std::make_unique<Writer>(fs::path(file));
  } catch (const formats::FormatError& e) {
    throw UsageError(e.what());
  }
}

}  // namespace

int Capture(Context& context, const CaptureOptions& options) {
  if (options.all || (!options.server.empty() && options.volume.empty())) {
    return CaptureMany(context, options);
  }
  const ChosenVolume chosen = options.server.empty()
                                  ? VolumeObject(context, options.tree, options.volume)
                                  : ServerVolume(context, options.server, options.volume);
  const bool toStandardOutput = NamesStandardOutput(options.output);
  std::string file;
  std::unique_ptr<formats::RightsFileWriter> writer;
  std::string bytes;  // standard output gets the whole file or nothing
  // Everything about the output is settled before the drive is mapped and the scan begins.
  if (!toStandardOutput) {
    file = options.output.empty() ? formats::RightsFileName(chosen.server, chosen.volume)
                                  : options.output;
    RefuseNetworkFile(file, options, "rights file");
    writer = OpenWriter<formats::RightsFileWriter>(file);
  }
  // The filters go beside the rights file, or where --filters says; standard output, a
  // device or a pipe takes only the rights file.
  std::string filtersFile;
  if (!options.noFilters) {
    filtersFile = !options.filters.empty()               ? options.filters
                  : toStandardOutput || writer->Direct() ? ""
                                                         : formats::FiltersFileName(file).string();
  }
  std::unique_ptr<formats::FiltersFileWriter> filtersWriter;
  if (!filtersFile.empty()) {
    if (NamesStandardOutput(filtersFile)) {
      throw UsageError("--filters needs a file name; standard output takes only the rights file.");
    }
    std::error_code error;
    if (!toStandardOutput &&
        fs::weakly_canonical(filtersFile, error) == fs::weakly_canonical(file, error)) {
      throw UsageError("The filters file " + filtersFile + " cannot be the rights file too.");
    }
    RefuseNetworkFile(filtersFile, options, "filters file");
    filtersWriter = OpenWriter<formats::FiltersFileWriter>(filtersFile);
  }

  const WorkerPlatforms platforms(context, context.jobs);
  std::vector<nw::NetWarePlatform*> workers;
  for (std::size_t i = 0; i < platforms.size(); ++i) workers.push_back(&platforms[i]);
  VolumeTarget target{chosen,  writer.get(), &bytes, filtersWriter.get(), options.byDirectory,
                      nullptr, nullptr,      true};
  target.progress = [&](std::size_t done, std::size_t total) { context.Progress(done, total); };
  const VolumeOutcome outcome = CaptureOneVolume(context.platform, workers, target);
  context.EndProgress();
  for (const std::string& problem : outcome.problems) context.Problem(problem);
  const bool done = outcome.done;
  const std::string& failure = outcome.failure;
  const std::vector<Unwritten>& unwritten = outcome.unwritten;
  const std::size_t written = outcome.written;
  if (!done) {
    const bool earlier =
        writer && !writer->Direct() && formats::RightsFileWriter::EarlierFileExists(file);
    context.Problem("The trustees of server " + chosen.server + ", volume " + chosen.volume +
                    " could not be obtained: " + failure +
                    (earlier ? " An earlier rights file has been left as it was." : ""));
    return kFailed;
  }
  if (toStandardOutput) {
    context.Out() << bytes;
    context.Out().flush();
  }
  if (!unwritten.empty()) {
    TellUnwritten(context, unwritten);
    context.Problem(Count(unwritten.size(), "record", "records") +
                    " could not be written, because a name holds a character the file cannot "
                    "carry, and " +
                    (unwritten.size() == 1 ? "was" : "were") + " skipped; " +
                    (toStandardOutput ? std::string("standard output") : "the file " + file) +
                    " holds the other " + Count(written, "record", "records") + ".");
  }
  context.Note((toStandardOutput ? std::string("Wrote ") : "File " + file + ": ") +
               Count(written, "record", "records") + ".");
  if (filtersWriter) {
    context.Note("File " + filtersFile + ": " + Count(outcome.filters, "filter", "filters") + ".");
  }
  // A file without some of the volume's assignments is no complete capture.
  return unwritten.empty() && outcome.leftOut == 0 ? kDone : kFailed;
}

}  // namespace cli
