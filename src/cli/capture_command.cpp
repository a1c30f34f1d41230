// tolvane-cli capture: one volume's assignments into a rights file or onto standard output.

#include <filesystem>
#include <memory>
#include <string>

#include "capture/drive_mapping.h"
#include "capture/object_search.h"
#include "capture/volume_name.h"
#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/rights_file_writer.h"
#include "formats/windows1252.h"

namespace cli {

using formats::RightsRecord;

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

}  // namespace cli
