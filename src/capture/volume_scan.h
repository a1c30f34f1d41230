#pragma once
// The trustee scan without a window: object names in, the rights records of one volume out,
// over the client library and the file listing only. The window and the command line both
// run it; each turns what it reports into its own steps.

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "formats/rights_file.h"
#include "netware/file_listing.h"
#include "netware/nw_client.h"
#include "netware/trustee_list.h"

namespace capture {

struct ScanTarget {
  std::string tree;  // written into every record; the names are read from its root
  std::string server;
  std::string volume;
};

// The trustee lists of the directories a scan has read, shared by scanners that work side by
// side on one volume so that each list is read once, whoever meets it first.
class SharedTrusteeLists {
 public:
  // The list of `returnedBytes`, read through `read` when no scanner has read it yet.
  std::shared_ptr<const nw::TrusteeList> Get(const std::string& returnedBytes,
                                             const std::function<nw::TrusteeList()>& read);

 private:
  std::mutex mutex_;
  // A list being read is a future the other scanners wait on, so that none reads it twice.
  std::unordered_map<std::string, std::shared_future<std::shared_ptr<const nw::TrusteeList>>>
      lists_;
};

struct ScanOptions {
  // Off, the window's way: every object repeats the whole set-up (NWParsePath, a name context
  // of "[Root]", NWGetVolumeNumber), as the user watches it step by step. On: the set-up is
  // made once for the scan, which matters when every call crosses the network.
  bool setUpOnce = false;
  // Set for a server's bindery, whose objects come with their IDs: the ID of the name just
  // given by the name source, in place of its lookup in NDS (nullopt: the name is left out).
  std::function<std::optional<nw::nuint32>(const std::string& name)> objectID = nullptr;
  // Set: the lists are kept there rather than in the scanner.
  SharedTrusteeLists* sharedLists = nullptr;
};

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // Before the object numbered `counter` (0 for the first) is looked at.
  virtual void OnObject(std::int64_t counter, const std::string& name) = 0;
  // An assignment found, with the trustee path ("\\SRV\VOL:\Dir") it was rebuilt into;
  // called before the record goes to the sink.
  virtual void OnRecord(const formats::RightsRecord& record, const std::string& trusteePath) = 0;
};

struct ScanSummary {
  std::int64_t objects = 0;
  std::int64_t unmappedObjects = 0;  // names that map to no object: left out
  std::int64_t skippedRecords = 0;   // records holding a value the file cannot carry
};

// The next object name, or nullopt after the last.
using NameSource = std::function<std::optional<std::string>()>;
// Takes one record; formats::UnwritableValue costs only that record, any other exception
// ends the scan.
using RecordSink = std::function<void(const formats::RightsRecord&)>;

namespace detail {
class Scanner;
}

// The per-object scan one object at a time, for callers that share the objects out among
// several scanners (each on its own platform) and put the records back in order.
class ObjectScanner {
 public:
  using Found = std::function<void(const formats::RightsRecord&, const std::string& trusteePath)>;
  // `target` and `options` must outlive the scanner.
  ObjectScanner(nw::NetWareClient& client, nw::FileListing& files, const ScanTarget& target,
                const ScanOptions& options);
  ~ObjectScanner();
  // The records of the object `name` (whose ID is `id` when given, else looked up), handed
  // to `found`; false when the name maps to no object. Throws as ScanVolume.
  bool Scan(const std::string& name, std::optional<nw::nuint32> id, const Found& found);

 private:
  std::unique_ptr<detail::Scanner> scanner_;
};

// Throws std::runtime_error naming the network path or the volume when the volume cannot be
// reached; what reached the sink until then is not a complete capture.
ScanSummary ScanVolume(nw::NetWareClient& client, nw::FileListing& files, const ScanTarget& target,
                       const NameSource& names, const RecordSink& sink, ScanObserver& observer,
                       const ScanOptions& options = {});

}  // namespace capture
