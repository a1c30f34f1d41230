#include "cli/commands.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "capture/drive_mapping.h"
#include "capture/object_search.h"
#include "capture/volume_name.h"
#include "cli/engines.h"
#include "formats/name_fold.h"
#include "formats/windows1252.h"
#include "verify/rights_difference.h"

namespace cli {
namespace {

using formats::RightsRecord;

std::string Count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The tree as the session stores it; the workstation must be connected to it, as the
// window's tree list holds only those.
std::string ConnectedTree(Context& context, const std::string& name) {
  std::string known;
  for (const nw::NWTree& tree : context.platform.Session().Trees()) {
    if (formats::SameName(tree.ShortName, name)) return tree.ShortName;
    known += (known.empty() ? "" : ", ") + tree.ShortName;
  }
  throw UsageError("The workstation is not connected to the tree " +
                   formats::QuoteForMessage(name) +
                   (known.empty() ? std::string(" (it is connected to none).")
                                  : " (it is connected to " + known + ")."));
}

// What the window's volume list holds after the tree was chosen: the last component of
// every volume object found, in the search's order.
std::vector<std::string> VolumeList(nw::NetWarePlatform& platform, const std::string& tree) {
  std::unique_ptr<nw::NWDirectory> directory = platform.CreateDirectory();
  std::vector<std::string> volumes;
  directory->SearchResults = [&](const std::vector<std::string>& results) {
    for (const std::string& result : results) {
      if (result.empty()) continue;  // nothing found
      const std::size_t slash = result.rfind('\\');
      volumes.push_back(slash == std::string::npos ? result : result.substr(slash + 1));
    }
  };
  directory->SearchObjects("*", "Volume", 2, "NDS:\\\\" + tree + "\\[Root]", 0);
  return volumes;
}

// Calls `each` with every record of a rights file; `each` null only reads. Throws
// UsageError for a file that cannot be read.
std::size_t ForEachRecord(const std::string& file,
                          const std::function<void(std::size_t, const RightsRecord&)>& each) {
  try {
    formats::RightsFileReader reader{std::filesystem::path(file)};
    std::size_t count = 0;
    while (!reader.AtEnd()) {
      const RightsRecord record = reader.ReadRecord();
      if (each) each(count, record);
      ++count;
    }
    return count;
  } catch (const formats::FormatError& e) {
    throw UsageError(e.what());
  }
}

// Every record of a rights file, read before anything is done with them, so that a file
// that turns out unreadable half-way has changed nothing.
std::vector<RightsRecord> ReadRightsFile(const std::string& file) {
  std::vector<RightsRecord> records;
  ForEachRecord(file, [&](std::size_t, const RightsRecord& record) { records.push_back(record); });
  return records;
}

// One volume's live assignments, as a capture of it finds them: the drive mapped, the
// tree's objects searched, the scan run, the drive unmapped. False with `failure` set when
// the scan did not complete.
bool CaptureVolume(Context& context, const std::string& tree, const std::string& server,
                   const std::string& volume, const RecordSink& sink, std::string* failure) {
  nw::NWSession& session = context.platform.Session();
  const capture::CaptureDrive drive = capture::MapCaptureDrive(session, server, volume);
  if (drive.drive.empty()) {
    *failure = drive.failure;
    return false;
  }
  struct Unmap {
    Context& context;
    nw::NWSession& session;
    const std::string& drive;
    ~Unmap() {
      const std::string problem = capture::UnmapCaptureDrive(session, drive);
      if (!problem.empty()) context.Problem(problem);
    }
  } unmap{context, session, drive.drive};

  std::unique_ptr<nw::NWDirectory> directory = context.platform.CreateDirectory();
  const capture::ObjectNames objects = capture::CompileObjectNames(*directory, tree);
  if (!objects.leftOut.empty()) {
    context.Problem(Count(objects.leftOut.size(), "search result", "search results") +
                    " of the tree " + tree + " cannot be captured and " +
                    (objects.leftOut.size() == 1 ? "is" : "are") + " left out, the first " +
                    formats::QuoteForMessage(objects.leftOut.front()) + ".");
  }
  const bool done = ScanVolume(
      context.platform, tree, server, volume, objects.names, sink,
      [&](std::size_t scanned, std::size_t total) { context.Progress(scanned, total); }, failure);
  context.EndProgress();
  return done;
}

}  // namespace

void Context::Line(const std::string& line) {
  progress_.Hide();
  out_ << line << '\n';
}

void Context::Problem(const std::string& text) {
  progress_.Hide();
  out_.flush();
  err_ << "tolvane-cli: " << text << '\n';
}

void Context::Note(const std::string& text) {
  if (!quiet_) Problem(text);
}

int ListTrees(Context& context) {
  for (const nw::NWTree& tree : context.platform.Session().Trees()) context.Line(tree.ShortName);
  return kDone;
}

int ListVolumes(Context& context, const std::string& tree) {
  const std::string stored = ConnectedTree(context, tree);
  const std::vector<std::string> volumes = VolumeList(context.platform, stored);
  for (const std::string& volume : volumes) context.Line(volume);
  if (volumes.empty()) context.Note("No volume objects found in the tree " + stored + ".");
  return kDone;
}

int Capture(Context& context, const CaptureOptions& options) {
  const std::string tree = ConnectedTree(context, options.tree);
  const std::string problem = capture::VolumeNameProblem(options.volume);
  if (!problem.empty()) throw UsageError(problem);
  // The volume as the window's list names it, which names the rights file.
  std::string selected;
  for (const std::string& volume : VolumeList(context.platform, tree)) {
    if (formats::SameName(volume, options.volume)) {
      selected = volume;
      break;
    }
  }
  if (selected.empty()) {
    throw UsageError("The tree " + tree + " has no volume object " +
                     formats::QuoteForMessage(options.volume) + " ('tolvane-cli volumes " + tree +
                     "' lists them).");
  }
  const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(selected);
  const bool toStandardOutput = options.output == "-";
  std::string file;
  std::unique_ptr<formats::RightsFileWriter> writer;
  std::string bytes;  // standard output gets the whole file or nothing
  try {
    if (!toStandardOutput) {
      file = options.output.empty() ? formats::RightsFileName(parts.server, parts.volume)
                                    : options.output;
      writer = std::make_unique<formats::RightsFileWriter>(std::filesystem::path(file));
    }
  } catch (const formats::FormatError& e) {
    throw UsageError(e.what());
  }

  std::size_t written = 0, skipped = 0;
  std::string failure;
  bool done = false;
  try {
    done = CaptureVolume(
        context, tree, parts.server, parts.volume,
        [&](const RightsRecord& record) {
          // A value the format cannot carry costs its record, as in the window.
          try {
            if (writer) {
              writer->Write(record);
            } else {
              bytes += formats::FormatRightsRecord(record);
            }
            ++written;
          } catch (const formats::UnwritableValue&) {
            ++skipped;
          }
        },
        &failure);
    if (done && writer) writer->Commit();
  } catch (const std::exception& e) {
    done = false;
    failure = e.what();
  }
  if (!done) {
    context.Problem("The trustees of server " + parts.server + ", volume " + parts.volume +
                    " could not be obtained: " + failure +
                    (toStandardOutput ? "" : " An earlier rights file has been left as it was."));
    return kFailed;
  }
  if (toStandardOutput) {
    context.Out() << bytes;
    context.Out().flush();
  }
  if (skipped > 0) {
    context.Problem(Count(skipped, "record", "records") +
                    " could not be written, because a name holds a character the file cannot "
                    "carry, and " +
                    (skipped == 1 ? "was" : "were") + " skipped.");
  }
  context.Note((toStandardOutput ? std::string("Wrote ") : "File " + file + ": ") +
               Count(written, "record", "records") + ".");
  return kDone;
}

int Restore(Context& context, const RestoreOptions& options) {
  // The file is read through once before anything is granted, so that a file that turns
  // out unreadable half-way has changed nothing, and once to grant: a large file need not
  // be held whole.
  const std::size_t total = ForEachRecord(options.file, nullptr);
  RecordGranter granter(context.platform, options.dryRun);
  std::size_t added = 0, changed = 0, same = 0, failed = 0;
  ForEachRecord(options.file, [&](std::size_t i, const RightsRecord& read) {
    context.Progress(i, total);
    const RightsRecord record = options.mapping.Apply(read);
    const GrantResult result = granter.Grant(record);
    switch (result.kind) {
      case GrantKind::kAdd:
        ++added;
        context.Line(ResultLine("add", record));
        break;
      case GrantKind::kChange:
        ++changed;
        context.Line(ResultLine("change", record, result.oldRights));
        break;
      case GrantKind::kSame:
        ++same;
        context.Line(ResultLine("same", record));
        break;
      case GrantKind::kFailed:
        ++failed;
        context.Line(ResultLine("failed", record, result.failure));
        break;
    }
  });
  context.EndProgress();
  context.Note(options.dryRun ? Count(total, "record", "records") + " looked at: " +
                                    std::to_string(added) + " to add, " + std::to_string(changed) +
                                    " to change, " + std::to_string(same) + " already there, " +
                                    std::to_string(failed) + " failed."
                              : Count(total, "record", "records") + ": " + std::to_string(added) +
                                    " added, " + std::to_string(failed) + " failed.");
  return failed == 0 ? kDone : kFailed;
}

int Verify(Context& context, const std::string& file) {
  const std::vector<RightsRecord> records = ReadRightsFile(file);
  // Each volume the file names, once, with the tree of its first record.
  struct Volume {
    std::string tree, server, volume;
  };
  std::map<std::pair<std::string, std::string>, Volume> volumes;
  for (const RightsRecord& record : records) {
    const std::size_t colon = record.directory.find(':');
    if (colon == std::string::npos) continue;  // names no volume: it can only be missing
    const std::string volume = record.directory.substr(0, colon);
    volumes.try_emplace({formats::FoldName(record.server), formats::FoldName(volume)},
                        Volume{record.tree, record.server, volume});
  }
  std::vector<RightsRecord> live;
  for (const auto& [key, volume] : volumes) {
    std::string failure;
    bool read = false;
    try {
      read = CaptureVolume(
          context, volume.tree, volume.server, volume.volume,
          [&](const RightsRecord& record) { live.push_back(record); }, &failure);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    // Without the live side there is nothing to compare: that is no difference found.
    if (!read) {
      throw UsageError("The assignments of server " + volume.server + ", volume " + volume.volume +
                       " cannot be read: " + failure);
    }
  }
  const std::vector<verify::Difference> differences = verify::CompareRecords(records, live);
  for (const verify::Difference& difference : differences) {
    switch (difference.kind) {
      case verify::DifferenceKind::kChange:
        context.Line(ResultLine("change", difference.record, difference.liveRights));
        break;
      case verify::DifferenceKind::kMissing:
        context.Line(ResultLine("missing", difference.record));
        break;
      case verify::DifferenceKind::kExtra:
        context.Line(ResultLine("extra", difference.record));
        break;
    }
  }
  const verify::DifferenceCount count = verify::CountDifferences(differences);
  context.Line(verify::CountLine(count));
  return count.Total() == 0 ? kDone : kFailed;
}

}  // namespace cli
