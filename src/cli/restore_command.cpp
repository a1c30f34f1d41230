// tolvane-cli restore and verify: a rights file granted again, or compared with the live
// volumes it names.

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/rights_file.h"
#include "formats/windows1252.h"
#include "verify/rights_difference.h"

namespace cli {
namespace {

using formats::RightsRecord;

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

}  // namespace

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
