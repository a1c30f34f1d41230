// tolvane-cli restore: a rights file, and its filters file, granted again; with --exact every
// other assignment and filter of the volumes they cover removed.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/parallel.h"
#include "cli/rights_input.h"
#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/rights_text.h"
#include "restore/exact_volume.h"
#include "restore/grant.h"

namespace cli {
namespace {

using formats::RightsRecord;

// Why a record was not granted, as a field of its result line.
std::string FailureText(const restore::GrantOutcome& outcome, const std::string& rights) {
  const std::string code = " (E=" + nw::CodeText(outcome.code) + ")";
  switch (outcome.failure) {
    case restore::GrantFailure::kBadRights:
      // Single quotes: double quotes delimit the fields of the result line.
      return "rights text '" + rights + "' holds a word that is no right";
    case restore::GrantFailure::kConnection:
      return "server unreachable" + code;
    case restore::GrantFailure::kObjectNameTooLong:
      return "object name longer than " + std::to_string(outcome.limit) + " characters";
    case restore::GrantFailure::kTreeNameTooLong:
      return "tree name longer than " + std::to_string(outcome.limit) + " characters";
    case restore::GrantFailure::kObjectNotFound:
      return "object not found" + code;
    case restore::GrantFailure::kDirectoryMissing:
      return "directory missing" + code;
    case restore::GrantFailure::kDirectoryUnread:
      return "directory unreadable" + code;
    case restore::GrantFailure::kVolumeRoot:
      return "the volume root takes no filter";
    case restore::GrantFailure::kSetFilter:
      return "NWSetNSEntryDOSInfo failed" + code;
    default:
      return "NWAddTrustee failed" + code;
  }
}

// The counts a restore's summary gives.
struct Tally {
  std::size_t added = 0, changed = 0, same = 0, removed = 0, failed = 0;
};

// What the file holds of each volume it names, in the order it first names them: what an
// exact restore keeps.
class Coverage {
 public:
  restore::ExactVolume* Of(const std::string& tree, const std::string& server,
                           const std::string& path) {
    const std::string volume = VolumeOf(path);
    if (volume.empty()) return nullptr;
    const auto [at, added] =
        index_.try_emplace({formats::FoldName(server), formats::FoldName(volume)}, volumes_.size());
    if (added) volumes_.push_back({tree, server, volume, {}, {}, {}, false});
    return &volumes_[at->second];
  }
  std::vector<restore::ExactVolume>& Volumes() { return volumes_; }

 private:
  std::map<std::pair<std::string, std::string>, std::size_t> index_;
  std::vector<restore::ExactVolume> volumes_;
};

// The word for what the volume held before, the same for a dry run and a restore, counted.
std::string Word(const restore::GrantOutcome& outcome, Tally& tally) {
  switch (outcome.status) {
    case restore::GrantStatus::kAdded:
    case restore::GrantStatus::kGranted:  // not met: this granter reuses
      ++tally.added;
      return "add";
    case restore::GrantStatus::kChanged:
      ++tally.changed;
      return "change";
    case restore::GrantStatus::kSame:
      ++tally.same;
      return "same";
    case restore::GrantStatus::kFailed:
      break;
  }
  ++tally.failed;
  return "failed";
}

// The sixth field of a result line: what a change replaced, why a failure failed.
std::optional<std::string> Extra(const restore::GrantOutcome& outcome, const std::string& rights) {
  if (outcome.status == restore::GrantStatus::kChanged) {
    return formats::BuildRightsText(outcome.oldMask);
  }
  if (outcome.status == restore::GrantStatus::kFailed) return FailureText(outcome, rights);
  return std::nullopt;
}

// Removes (or in a dry run only tells) what the volumes the file covers hold beyond it.
void MakeExact(Context& context, Coverage& coverage, bool filtersRead, bool dryRun, Tally& tally) {
  for (restore::ExactVolume& volume : coverage.Volumes()) {
    volume.exactFilters = filtersRead;
    const nw::NWRCODE rc = restore::MakeExact(
        context.platform.Client(), volume, dryRun, [&](const restore::Removal& removal) {
          const std::string rights = formats::BuildRightsText(removal.mask);
          std::string word = "remove";
          std::optional<std::string> why;
          if (removal.code != 0) {
            word = "failed";
            why =
                (removal.filter ? "NWSetNSEntryDOSInfo failed (E=" : "NWDeleteTrustee failed (E=") +
                nw::CodeText(removal.code) + ")";
            ++tally.failed;
          } else {
            ++tally.removed;
          }
          context.Line(removal.filter ? FilterLine(word, {volume.server, removal.path, rights}, why)
                                      : ResultLine(word,
                                                   {removal.tree, removal.object, volume.server,
                                                    removal.path, rights},
                                                   why));
        });
    if (rc != 0) {
      ++tally.failed;
      context.Problem(
          "The volume " + volume.server + "/" + volume.volume +
          " could not be made exact: it could not be read whole (E=" + nw::CodeText(rc) + ").");
    }
  }
}

// What a worker made of one record.
struct Granted {
  restore::GrantOutcome outcome;
  std::optional<std::string> refused;  // a mapped name the client cannot carry
};

// Records of one trustee at one path, and filters of one path, go to one worker in file
// order: a trustee's records at a path take effect in the file's order, and what a worker
// keeps of the path's trustee list stays true for the trustees it grants, as no other worker
// grants them there. A crowded directory's records so spread over all workers.
std::size_t Affinity(const std::string& server, const std::string& name,
                     const std::string& object = "") {
  // The object as NDS takes it: attribute types ("CN=") and a leading dot do not matter.
  std::string trustee;
  for (std::size_t start = object.starts_with('.') ? 1 : 0; start <= object.size();) {
    std::size_t end = object.find('.', start);
    if (end == std::string::npos) end = object.size();
    const std::string_view part(object.data() + start, end - start);
    const std::size_t equals = part.find('=');
    trustee += part.substr(equals == std::string_view::npos ? 0 : equals + 1);
    trustee += '.';
    start = end + 1;
  }
  return std::hash<std::string>{}(formats::FoldName(server) + '\n' + formats::FoldName(name) +
                                  '\n' + formats::FoldName(trustee));
}

}  // namespace

int Restore(Context& context, const RestoreOptions& options) {
  const Spool spool(options.file);
  const CheckedInput input =
      CheckInput(spool, FiltersFileFor(options.file, options.filters, options.noFilters),
                 options.mapping, nullptr, " Nothing has been granted.");
  const std::size_t records = input.records;
  const std::size_t total = records + input.filters.size();

  const WorkerPlatforms platforms(context, context.jobs);
  std::vector<std::unique_ptr<restore::Granter>> granters;
  restore::FoundObjects found;
  restore::SharedDirectories read;
  for (std::size_t worker = 0; worker < platforms.size(); ++worker) {
    granters.push_back(std::make_unique<restore::Granter>(
        platforms[worker].Client(),
        restore::GrantOptions{.dryRun = options.dryRun, .reuse = true, .groups = true}));
    granters.back()->ShareObjects(&found);
    granters.back()->ShareDirectories(&read);
  }
  const RunSettings settings{.jobs = platforms.size(), .inFlight = 0, .affinity = {}};
  Tally tally;
  Coverage coverage;
  const auto summary = [&](const std::string& head) {
    const auto n = [](std::size_t count) { return std::to_string(count); };
    const std::string removed = !options.exact   ? ""
                                : options.dryRun ? n(tally.removed) + " to remove, "
                                                 : n(tally.removed) + " removed, ";
    return options.dryRun
               ? head + " looked at: " + n(tally.added) + " to add, " + n(tally.changed) +
                     " to change, " + n(tally.same) + " already there, " + removed +
                     n(tally.failed) + " failed."
               : head + ": " + n(tally.added) + " added, " + n(tally.changed) + " changed, " +
                     n(tally.same) + " already there, " + removed + n(tally.failed) + " failed.";
  };
  std::string what = Count(records, "record", "records");
  if (input.filtersRead) what += " and " + Count(input.filters.size(), "filter", "filters");
  std::size_t done = 0;
  try {
    formats::RightsFileReader reader = spool.Reader();
    RunOrderedOver<RightsRecord, Granted>(
        records, settings, [&] { return options.mapping.Apply(reader.ReadRecord()); },
        [&](std::size_t worker, const RightsRecord& record) {
          Granted granted;
          try {
            granted.outcome = granters[worker]->Grant(record);
          } catch (const formats::FormatError& e) {
            granted.refused = e.what();
          }
          return granted;
        },
        [&](RightsRecord record, Granted granted) {
          context.Progress(done, total);
          // An exact restore keeps what the file names, granted or not.
          restore::ExactVolume* volume =
              options.exact ? coverage.Of(record.tree, record.server, record.directory) : nullptr;
          const std::string key = formats::DirectoryKey(record.directory);
          if (volume) volume->trusteeNames.insert({key, formats::FoldName(record.object)});
          ++done;
          if (granted.refused) {
            ++tally.failed;
            context.Line(ResultLine("failed", record, *granted.refused));
          } else {
            const restore::GrantOutcome& outcome = granted.outcome;
            if (volume && outcome.objectID != 0) volume->trusteeIDs.insert({key, outcome.objectID});
            const std::string word = Word(outcome, tally);
            context.Line(ResultLine(word, record, Extra(outcome, record.rights)));
          }
        },
        std::function<std::size_t(const RightsRecord&)>([](const RightsRecord& record) {
          return Affinity(record.server, formats::DirectoryKey(record.directory), record.object);
        }));
    RunOrdered<Granted>(
        input.filters.size(),
        {.jobs = settings.jobs,
         .inFlight = 0,
         .affinity =
             [&](std::size_t unit) {
               return Affinity(input.filters[unit].server,
                               formats::DirectoryKey(input.filters[unit].path));
             }},
        [&](std::size_t worker, std::size_t unit) {
          const formats::FilterRecord& filter = input.filters[unit];
          Granted granted;
          try {
            granted.outcome =
                granters[worker]->SetFilter(filter.server, filter.path, filter.rights);
          } catch (const formats::FormatError& e) {
            granted.refused = e.what();
          }
          return granted;
        },
        [&](std::size_t unit, Granted granted) {
          const formats::FilterRecord& filter = input.filters[unit];
          context.Progress(done++, total);
          if (granted.refused) {
            ++tally.failed;
            context.Line(FilterLine("failed", filter, *granted.refused));
          } else {
            if (options.exact) {
              if (restore::ExactVolume* volume = coverage.Of("", filter.server, filter.path)) {
                volume->filters.insert(formats::DirectoryKey(filter.path));
              }
            }
            const std::string word = Word(granted.outcome, tally);
            context.Line(FilterLine(word, filter, Extra(granted.outcome, filter.rights)));
          }
        });
    context.EndProgress();
    if (options.exact) MakeExact(context, coverage, input.filtersRead, options.dryRun, tally);
  } catch (const OutputError&) {
    // What was done is told all the same; the record whose line could not be written was
    // handled. The caller says why the run stopped.
    context.EndProgress();
    context.Problem(summary("Stopped after " + std::to_string(done) + " of " + what));
    throw;
  }
  context.Note(summary(what));
  return tally.failed == 0 ? kDone : kFailed;
}

}  // namespace cli
