// tolvane-cli verify: a rights file, and its filters file, compared with the live volumes they
// name.

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "capture/bindery.h"
#include "capture/filters.h"
#include "cli/difference_report.h"
#include "cli/rights_input.h"
#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/windows1252.h"
#include "verify/rights_difference.h"

namespace cli {

using formats::RightsRecord;

int Verify(Context& context, const VerifyOptions& options) {
  const Spool spool(options.file);
  // Each record is compared under its own tree, on its own server and volume: one live
  // reading for each (tree, server, volume) the file names. The file's records are sorted
  // by that first, so that each group is one stretch of them, compared as the live side is
  // read without holding either side.
  struct Group {
    std::string tree, server, volume;  // as the first record names them
    // The entries its records name, read besides the walk of the volume where it does not
    // meet them: a path the volume no longer shows may still hold the record's trustee.
    std::set<std::string> paths;  // in the client's code page
  };
  std::map<std::string, Group> groups;  // by the head of their records' keys
  verify::SortedSpool fileSide;
  const CheckedInput input = CheckInput(
      spool, FiltersFileFor(options.file, options.filters, options.noFilters), options.mapping,
      [&](const RightsRecord& record) {
        const std::string volume = VolumeOf(record.directory);
        std::string head;
        for (const std::string& part : {record.tree, record.server, volume}) {
          verify::AppendKeyPart(head, formats::FoldName(part));
        }
        Group& group =
            groups.try_emplace(head, Group{record.tree, record.server, volume, {}}).first->second;
        try {
          group.paths.insert(formats::Utf8ToCp1252(record.directory));
        } catch (const formats::FormatError&) {
          // No entry of the volume can bear the name: the record is missing, as compared.
        }
        fileSide.Add({head + verify::CompareKey(record), record, "", 0});
      },
      "");
  fileSide.Finish();
  // With a filters file, the filters of every volume the file names: one reading each.
  struct Filters {
    std::string server, volume;  // as first named
    std::vector<formats::FilterRecord> filters;
    std::optional<std::vector<formats::FilterRecord>> live;  // as the walk of records read them
  };
  std::map<std::pair<std::string, std::string>, Filters> filterVolumes;
  const auto filtersOf = [&](const std::string& server, const std::string& volume) -> Filters& {
    Filters& found = filterVolumes[{formats::FoldName(server), formats::FoldName(volume)}];
    if (found.server.empty()) found = {server, volume, {}, std::nullopt};
    return found;
  };
  if (input.filtersRead) {
    for (const auto& [head, group] : groups) {
      if (!group.volume.empty()) filtersOf(group.server, group.volume);
    }
    for (const formats::FilterRecord& filter : input.filters) {
      filtersOf(filter.server, VolumeOf(filter.path)).filters.push_back(filter);
    }
  }

  DifferenceReport report;
  const auto add = [&](verify::Difference difference) { report.Add(std::move(difference)); };
  for (const auto& [head, group] : groups) {
    verify::PrefixedSource records(fileSide, head);
    verify::SortedSpool live;
    // A record that names no volume cannot be on one.
    if (group.volume.empty()) {
      live.Finish();
      verify::CompareSorted(records, live, add);
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
        verify::FailSorted(records, "the workstation is not connected to the tree " + group.tree,
                           add);
        continue;
      }
    }
    std::string failure;
    // The walk that reads the records reads the volume's filters too.
    std::vector<formats::FilterRecord> liveFilters;
    const bool read = CaptureVolume(
        context, tree, group.server, group.volume,
        [&](const RightsRecord& record) {
          live.Add({verify::CompareKey(record), record, "", 0});
        },
        &failure, &group.paths, input.filtersRead ? &liveFilters : nullptr);
    if (read && input.filtersRead) filtersOf(group.server, group.volume).live = liveFilters;
    // Without the live side nothing can be compared, which is no difference found.
    if (!read) {
      verify::FailSorted(records, failure, add);
    } else {
      live.Finish();
      verify::CompareSorted(records, live, add);
    }
  }
  for (const auto& [key, volume] : filterVolumes) {
    std::vector<verify::Difference> found;
    try {
      found = verify::CompareFilters(
          volume.filters, volume.live ? *volume.live
                                      : capture::ReadFilters(context.platform.Client(),
                                                             volume.server, volume.volume));
    } catch (const std::runtime_error& e) {
      found = verify::FailedFilters(volume.filters, e.what());
    }
    for (verify::Difference& difference : found) add(std::move(difference));
  }
  return report.Tell([&](const std::string& line) { context.Line(line); });
}

}  // namespace cli
