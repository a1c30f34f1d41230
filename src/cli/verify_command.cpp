// tolvane-cli verify: a rights file, and its filters file, compared with the live volumes they
// name.

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "capture/bindery.h"
#include "capture/filters.h"
#include "cli/rights_input.h"
#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "verify/rights_difference.h"

namespace cli {
namespace {

using formats::RightsRecord;

std::string DifferenceWord(verify::DifferenceKind kind) {
  switch (kind) {
    case verify::DifferenceKind::kChange:
      return "change";
    case verify::DifferenceKind::kMissing:
      return "missing";
    case verify::DifferenceKind::kExtra:
      return "extra";
    case verify::DifferenceKind::kFailed:
      break;
  }
  return "failed";
}

}  // namespace

int Verify(Context& context, const VerifyOptions& options) {
  const Spool spool(options.file);
  // Each record is compared under its own tree, on its own server and volume: one live
  // reading for each (tree, server, volume) the file names.
  struct Group {
    std::string tree, server, volume;  // as the first record names them
    std::vector<RightsRecord> records;
  };
  std::map<std::tuple<std::string, std::string, std::string>, Group> groups;
  const CheckedInput input = CheckInput(
      spool, FiltersFileFor(options.file, options.filters, options.noFilters), options.mapping,
      [&](const RightsRecord& record) {
        const std::string volume = VolumeOf(record.directory);
        Group& group = groups[{formats::FoldName(record.tree), formats::FoldName(record.server),
                               formats::FoldName(volume)}];
        if (group.records.empty()) group = {record.tree, record.server, volume, {}};
        group.records.push_back(record);
      },
      "");
  // With a filters file, the filters of every volume the file names: one reading each.
  struct Filters {
    std::string server, volume;  // as first named
    std::vector<formats::FilterRecord> filters;
  };
  std::map<std::pair<std::string, std::string>, Filters> filterVolumes;
  const auto filtersOf = [&](const std::string& server, const std::string& volume) -> Filters& {
    Filters& found = filterVolumes[{formats::FoldName(server), formats::FoldName(volume)}];
    if (found.server.empty()) found = {server, volume, {}};
    return found;
  };
  if (input.filtersRead) {
    for (const auto& [key, group] : groups) {
      if (!group.volume.empty()) filtersOf(group.server, group.volume);
    }
    for (const formats::FilterRecord& filter : input.filters) {
      filtersOf(filter.server, VolumeOf(filter.path)).filters.push_back(filter);
    }
  }

  std::vector<verify::Difference> differences;
  const auto add = [&](std::vector<verify::Difference> more) {
    differences.insert(differences.end(), std::make_move_iterator(more.begin()),
                       std::make_move_iterator(more.end()));
  };
  for (auto& [key, group] : groups) {
    // A record that names no volume cannot be on one.
    if (group.volume.empty()) {
      add(verify::CompareRecords(group.records, {}));
      continue;
    }
    // A version 3 server's objects are its bindery's, whatever tree it stands in; a server
    // that cannot be asked is told by the capture below.
    std::optional<capture::ServerFacts> facts;
    try {
      facts = capture::ReadServerFacts(context.platform.Client(), group.server);
    } catch (const std::runtime_error&) {
    }
    std::string tree;
    if (facts && facts->bindery) {
      tree = facts->tree;
    } else {
      try {
        tree = ConnectedTree(context, group.tree);
      } catch (const UsageError&) {
        add(verify::FailedRecords(group.records,
                                  "the workstation is not connected to the tree " + group.tree));
        continue;
      }
    }
    std::vector<RightsRecord> live;
    std::string failure;
    const bool read = CaptureVolume(
        context, tree, group.server, group.volume,
        [&](const RightsRecord& record) { live.push_back(record); }, &failure);
    // Without the live side nothing can be compared, which is no difference found.
    if (!read) {
      add(verify::FailedRecords(group.records, failure));
    } else {
      add(verify::CompareRecords(group.records, live));
    }
  }
  for (const auto& [key, volume] : filterVolumes) {
    try {
      add(verify::CompareFilters(
          volume.filters,
          capture::ReadFilters(context.platform.Client(), volume.server, volume.volume)));
    } catch (const std::runtime_error& e) {
      add(verify::FailedFilters(volume.filters, e.what()));
    }
  }
  verify::SortDifferences(differences);
  for (const verify::Difference& difference : differences) {
    const std::string word = DifferenceWord(difference.kind);
    std::optional<std::string> detail;
    if (!difference.detail.empty() || difference.kind == verify::DifferenceKind::kChange) {
      detail = difference.detail;
    }
    context.Line(difference.filter ? FilterLine(word, verify::FilterOf(difference), detail)
                                   : ResultLine(word, difference.record, detail));
  }
  const verify::DifferenceCount count = verify::CountDifferences(differences);
  context.Line(verify::CountLine(count));
  return count.Total() == 0 && count.failed == 0 ? kDone : kFailed;
}

}  // namespace cli
