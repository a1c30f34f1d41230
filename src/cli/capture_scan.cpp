#include "cli/capture_scan.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "capture/directory_scan.h"
#include "capture/filters.h"
#include "capture/object_id.h"
#include "capture/trustee_path.h"
#include "cli/parallel.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"
#include "netware/volume_walk.h"

namespace cli {
namespace {

// What one worker keeps from unit to unit: its connection to the volume's server, the
// listing it rebuilds names from (the names it gives shared by all workers), the context it
// maps names in.
class WorkerState {
 public:
  WorkerState(nw::NetWarePlatform& platform, const VolumeScan& scan,
              capture::SharedListing::Names& names)
      : platform_(platform), scan_(scan), listing_(platform.Files(), names) {}

  nw::NetWareClient& Client() { return platform_.Client(); }
  nw::FileListing& Listing() { return listing_; }
  nw::NWCONN_HANDLE Conn() {
    if (!conn_) conn_ = capture::VolumeConnection(Client(), scan_.server, scan_.volume);
    return *conn_;
  }
  capture::ObjectMapper& Mapper() {
    if (!mapper_) mapper_ = std::make_unique<capture::ObjectMapper>(Client(), true);
    return *mapper_;
  }

 private:
  nw::NetWarePlatform& platform_;
  const VolumeScan& scan_;
  capture::SharedListing listing_;
  std::optional<nw::NWCONN_HANDLE> conn_;
  std::unique_ptr<capture::ObjectMapper> mapper_;
};

// One entry of a listed directory, as a worker read it.
struct Listed {
  std::string path;  // in the client's code page
  bool directory = false;
  std::optional<formats::FilterRecord> filter;
  capture::EntryTrustees trustees;
};

// An assignment found in an entry's trustee list, by the entry's number.
struct Found {
  std::uint32_t entry;
  std::uint16_t rights;
};

// Each record to the sink; a value the file cannot carry costs its record only, as in the
// per-object scan.
void Hand(const capture::RecordSink& sink, const formats::RightsRecord& record) {
  try {
    sink(record);
  } catch (const formats::UnwritableValue&) {
  }
}

class DirectoryScan {
 public:
  DirectoryScan(const std::vector<nw::NetWarePlatform*>& workers, const VolumeScan& scan)
      : scan_(scan),
        target_{scan.objects->tree, scan.server, scan.volume},
        volume_(formats::Utf8ToCp1252(scan.volume)) {
    for (nw::NetWarePlatform* platform : workers) {
      states_.push_back(std::make_unique<WorkerState>(*platform, scan, names_));
    }
    settings_.jobs = states_.size();
  }

  void Run(const capture::RecordSink& sink) {
    WorkerState& first = *states_.front();
    Keep(capture::ReadEntryTrustees(first.Client(), first.Conn(), first.Listing(), target_,
                                    volume_ + ":"));
    if (scan_.alsoRead) walked_.insert("");
    Walk();
    if (scan_.alsoRead) {
      for (const std::string& path : *scan_.alsoRead) {
        if (walked_.count(capture::EntryKey(path)) > 0) continue;
        try {
          Keep(capture::ReadEntryTrustees(first.Client(), first.Conn(), first.Listing(), target_,
                                          path, /*mayBeGone=*/true));
        } catch (const std::runtime_error&) {
          // A name no entry can bear holds no trustee: the caller finds nothing there.
        }
      }
      walked_.clear();
    }
    // Each object's paths as the server returns them.
    for (auto& [id, found] : found_) {
      std::sort(found.begin(), found.end(),
                [&](const Found& a, const Found& b) { return keys_[a.entry] < keys_[b.entry]; });
    }
    keys_.clear();
    WriteObjects(sink);
  }

 private:
  // The volume a level of directories at a time, every directory of a level one unit.
  void Walk() {
    std::vector<std::string> level{volume_ + ":"};
    while (!level.empty()) {
      std::vector<std::string> next;
      RunOrdered<std::vector<Listed>>(
          level.size(), settings_,
          [&](std::size_t worker, std::size_t unit) { return List(*states_[worker], level[unit]); },
          [&](std::size_t, std::vector<Listed> listed) {
            for (Listed& entry : listed) {
              if (scan_.alsoRead) walked_.insert(capture::EntryKey(entry.path));
              if (entry.filter) scan_.filters->push_back(std::move(*entry.filter));
              Keep(std::move(entry.trustees));
              if (entry.directory) next.push_back(std::move(entry.path));
            }
          });
      level = std::move(next);
    }
    if (scan_.filters) capture::SortFilters(*scan_.filters);
  }

  std::vector<Listed> List(WorkerState& state, const std::string& directory) {
    std::vector<Listed> listed;
    const nw::NWRCODE rc = nw::ListDirectory(
        state.Client(), state.Conn(), directory,
        [&](const std::string& path, const nw::NW_ENTRY_INFO& entry) -> nw::NWRCODE {
          Listed item;
          item.path = path;
          item.directory = (entry.attributes & nw::FA_DIRECTORY) != 0;
          if (scan_.filters) item.filter = capture::EntryFilter(scan_.server, path, entry);
          item.trustees = capture::ReadEntryTrustees(state.Client(), state.Conn(), state.Listing(),
                                                     target_, path);
          listed.push_back(std::move(item));
          return 0;
        });
    if (rc == 0) return listed;
    if (scan_.filters) throw capture::FiltersUnreadable(scan_.server, scan_.volume, rc);
    throw std::runtime_error("the entries of server " + scan_.server + ", volume " + scan_.volume +
                             " cannot be read (E=" + nw::CodeText(rc) + ").");
  }

  void Keep(capture::EntryTrustees entry) {
    if (entry.trustees.empty()) return;
    const auto number = static_cast<std::uint32_t>(paths_.size());
    paths_.push_back(std::move(entry.recordPath));
    keys_.push_back(std::move(entry.key));
    for (const auto& [id, rights] : entry.trustees) found_[id].push_back({number, rights});
  }

  // The objects in the list's order, each name mapped to its ID by a worker.
  void WriteObjects(const capture::RecordSink& sink) {
    const ScanObjects& objects = *scan_.objects;
    RunOrdered<std::optional<nw::nuint32>>(
        objects.names.size(), settings_,
        [&](std::size_t worker, std::size_t unit) -> std::optional<nw::nuint32> {
          if (!objects.binderyIDs.empty()) return objects.binderyIDs[unit];
          WorkerState& state = *states_[worker];
          return state.Mapper().Map(state.Conn(), objects.names[unit]);
        },
        [&](std::size_t unit, std::optional<nw::nuint32> id) {
          if (scan_.progress) scan_.progress(unit);
          if (!id) return;
          const auto found = found_.find(*id);
          if (found == found_.end()) return;
          for (const Found& assignment : found->second) {
            Hand(sink, {target_.tree, objects.names[unit], target_.server, paths_[assignment.entry],
                        formats::BuildRightsText(assignment.rights)});
          }
        });
  }

  const VolumeScan& scan_;
  const capture::ScanTarget target_;
  const std::string volume_;  // in the client's code page
  capture::SharedListing::Names names_;
  std::vector<std::unique_ptr<WorkerState>> states_;
  RunSettings settings_;
  std::vector<std::string> paths_;  // by entry number, the entries holding trustees
  std::vector<std::string> keys_;   // beside paths_ until the paths are ordered
  std::unordered_map<nw::nuint32, std::vector<Found>> found_;
  std::unordered_set<std::string> walked_;  // the keys of the entries listed, for alsoRead
};

// The records of one object, as a worker found them.
struct ObjectRecords {
  std::vector<formats::RightsRecord> records;
};

// The window's way, each object one unit: asked for its trustee paths by a worker, its
// records handed on in the objects' order.
void ScanByObject(const std::vector<nw::NetWarePlatform*>& workers, const VolumeScan& scan,
                  const capture::RecordSink& sink) {
  const ScanObjects& objects = *scan.objects;
  const capture::ScanTarget target{objects.tree, scan.server, scan.volume};
  // Side by side, the workers share the trustee lists and names they read, so each is read
  // once.
  capture::SharedTrusteeLists lists;
  const capture::ScanOptions options{.setUpOnce = true,
                                     .sharedLists = workers.size() > 1 ? &lists : nullptr};
  capture::SharedListing::Names names;
  std::vector<std::unique_ptr<capture::SharedListing>> listings;
  std::vector<std::unique_ptr<capture::ObjectScanner>> scanners;
  for (nw::NetWarePlatform* platform : workers) {
    nw::FileListing* files = &platform->Files();
    if (workers.size() > 1) {
      listings.push_back(std::make_unique<capture::SharedListing>(*files, names));
      files = listings.back().get();
    }
    scanners.push_back(
        std::make_unique<capture::ObjectScanner>(platform->Client(), *files, target, options));
  }
  RunSettings settings;
  settings.jobs = workers.size();
  RunOrdered<ObjectRecords>(
      objects.names.size(), settings,
      [&](std::size_t worker, std::size_t unit) {
        ObjectRecords found;
        const std::optional<nw::nuint32> id =
            objects.binderyIDs.empty() ? std::nullopt
                                       : std::optional<nw::nuint32>(objects.binderyIDs[unit]);
        scanners[worker]->Scan(objects.names[unit], id,
                               [&](const formats::RightsRecord& record, const std::string&) {
                                 found.records.push_back(record);
                               });
        return found;
      },
      [&](std::size_t unit, ObjectRecords found) {
        if (scan.progress) scan.progress(unit);
        for (const formats::RightsRecord& record : found.records) Hand(sink, record);
      });
  if (scan.filters) {
    *scan.filters = capture::ReadFilters(workers.front()->Client(), scan.server, scan.volume);
  }
}

}  // namespace

void ScanVolumeOn(const std::vector<nw::NetWarePlatform*>& workers, const VolumeScan& scan,
                  const capture::RecordSink& sink) {
  if (!scan.byDirectory) {
    ScanByObject(workers, scan, sink);
    return;
  }
  if (scan.filters) scan.filters->clear();
  DirectoryScan(workers, scan).Run(sink);
}

}  // namespace cli
