#include "capture/volume_scan.h"

#include <array>
#include <memory>
#include <stdexcept>
#include <unordered_map>

#include "capture/object_id.h"
#include "capture/trustee_path.h"
#include "formats/byte_buffer.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"
#include "netware/trustee_list.h"

namespace capture {
namespace {

constexpr std::size_t kPathBufferSize = 512;
constexpr std::size_t kServerNameSize = 48;
constexpr std::size_t kVolumeNameSize = 32;
constexpr std::size_t kDirPathSize = 255;
constexpr nw::nuint32 kFirstTrusteePath = 0xFFFFFFFFu;
}  // namespace

namespace detail {

class Scanner {
 public:
  Scanner(nw::NetWareClient& client, nw::FileListing& files, const ScanTarget& target,
          const ScanOptions& options)
      : client_(client),
        listing_(files),
        target_(target),
        options_(options),
        volumePath_(formats::Utf8ToCp1252("\\\\" + target.server + "\\" + target.volume)),
        volumeHead_("\\\\" + target.server + "\\"),
        mapper_(client, options.setUpOnce) {}

  // The records of one object, handed to `found`; false when the name maps to no object.
  // `known`: the object's ID, given rather than looked up.
  bool ScanObject(const std::string& name, const ObjectScanner::Found& found,
                  std::optional<nw::nuint32> known = std::nullopt) {
    if (!options_.setUpOnce || !volumeNumber_) SetUpVolume();
    const std::optional<nw::nuint32> objectID = known               ? known
                                                : options_.objectID ? options_.objectID(name)
                                                                    : mapper_.Map(conn_, name);
    // An object whose name does not map is left out rather than scanned under whatever ID
    // the last one had.
    if (!objectID) return false;
    if (!options_.setUpOnce) GetVolumeNumber();

    nw::nuint32 iteration = kFirstTrusteePath;
    while (true) {
      std::uint8_t accessRights = 0;
      pathBuffer_[0] = 0;
      const nw::NWRCODE rc = client_.NWScanObjectTrusteePaths(
          conn_, *objectID, *volumeNumber_, &iteration, &accessRights,
          reinterpret_cast<char*>(pathBuffer_.data()), pathBuffer_.size());
      if (rc != 0 || pathBuffer_[0] == 0) break;
      const std::string returnedPath = formats::CopyBytesToText(pathBuffer_);
      // The trustee list is asked with the path exactly as the client returned it.
      const nw::TrusteeList& trustees =
          TrusteesOf(reinterpret_cast<const char*>(pathBuffer_.data()));
      const auto entry = trustees.find(*objectID);
      if (entry == trustees.end()) continue;  // the path names it, the list does not

      const std::string trusteePath =
          BuildTrusteePath(returnedPath, target_.server, target_.volume, listing_);
      found({target_.tree, name, target_.server, trusteePath.substr(volumeHead_.size()),
             formats::BuildRightsText(entry->second)},
            trusteePath);
    }
    return true;
  }

 private:
  void SetUpVolume() {
    const nw::NWRCODE rc = client_.NWParsePath(
        volumePath_.c_str(), serverBuffer_.data(), serverBuffer_.size(), &conn_,
        volumeBuffer_.data(), volumeBuffer_.size(), dirPathBuffer_.data(), dirPathBuffer_.size());
    if (rc != 0) {
      throw std::runtime_error("the network path \\\\" + target_.server + "\\" + target_.volume +
                               " cannot be reached (E=" + nw::CodeText(rc) + ").");
    }
    if (options_.setUpOnce) GetVolumeNumber();
  }

  void GetVolumeNumber() {
    nw::nuint32 number = 0;
    const nw::NWRCODE rc = client_.NWGetVolumeNumber(conn_, volumeBuffer_.data(), &number);
    if (rc != 0) {
      throw std::runtime_error("the volume " + target_.volume + " of server " + target_.server +
                               " cannot be found (E=" + nw::CodeText(rc) + ").");
    }
    volumeNumber_ = number;
  }

  // A directory's whole trustee list is read the first time one of its trustees is scanned:
  // reading it again for every trustee would cost batches in the square of their number.
  const nw::TrusteeList& TrusteesOf(const std::string& returnedBytes) {
    const auto read = [&] {
      nw::TrusteeList list;
      nw::ReadTrusteeList(client_, conn_, returnedBytes.c_str(), &list);
      return list;
    };
    if (options_.sharedLists) {
      shared_ = options_.sharedLists->Get(returnedBytes, read);
      return *shared_;
    }
    auto [cached, isNew] = directories_.try_emplace(returnedBytes);
    if (isNew) cached->second = read();
    return cached->second;
  }

  nw::NetWareClient& client_;
  CachedListing listing_;
  const ScanTarget& target_;
  const ScanOptions& options_;
  const std::string volumePath_;
  const std::string volumeHead_;
  ObjectMapper mapper_;

  nw::NWCONN_HANDLE conn_ = 0;
  std::optional<nw::nuint32> volumeNumber_;
  std::unordered_map<std::string, nw::TrusteeList> directories_;
  std::shared_ptr<const nw::TrusteeList> shared_;  // the shared list last handed out

  std::array<std::uint8_t, kPathBufferSize> pathBuffer_{};
  std::array<char, kServerNameSize> serverBuffer_{};
  std::array<char, kVolumeNameSize> volumeBuffer_{};
  std::array<char, kDirPathSize> dirPathBuffer_{};
};

}  // namespace detail

std::shared_ptr<const nw::TrusteeList> SharedTrusteeLists::Get(
    const std::string& returnedBytes, const std::function<nw::TrusteeList()>& read) {
  std::promise<std::shared_ptr<const nw::TrusteeList>> reading;
  std::shared_future<std::shared_ptr<const nw::TrusteeList>> list;
  bool first = false;
  {
    const std::lock_guard lock(mutex_);
    const auto found = lists_.try_emplace(returnedBytes);
    first = found.second;
    if (first) found.first->second = reading.get_future().share();
    list = found.first->second;
  }
  if (!first) return list.get();
  // Read outside the lock, so that scanners on other directories go on; a failed read is
  // forgotten, so that a later scanner tries again.
  try {
    reading.set_value(std::make_shared<const nw::TrusteeList>(read()));
  } catch (...) {
    reading.set_exception(std::current_exception());
    const std::lock_guard lock(mutex_);
    lists_.erase(returnedBytes);
  }
  return list.get();
}

ObjectScanner::ObjectScanner(nw::NetWareClient& client, nw::FileListing& files,
                             const ScanTarget& target, const ScanOptions& options)
    : scanner_(std::make_unique<detail::Scanner>(client, files, target, options)) {}

ObjectScanner::~ObjectScanner() = default;

bool ObjectScanner::Scan(const std::string& name, std::optional<nw::nuint32> id,
                         const Found& found) {
  return scanner_->ScanObject(name, found, id);
}

ScanSummary ScanVolume(nw::NetWareClient& client, nw::FileListing& files, const ScanTarget& target,
                       const NameSource& names, const RecordSink& sink, ScanObserver& observer,
                       const ScanOptions& options) {
  detail::Scanner scanner(client, files, target, options);
  ScanSummary summary;
  while (std::optional<std::string> name = names()) {
    observer.OnObject(summary.objects, *name);
    const bool mapped = scanner.ScanObject(
        *name, [&](const formats::RightsRecord& record, const std::string& trusteePath) {
          observer.OnRecord(record, trusteePath);
          // A value the format cannot carry costs its record, not the capture; a failing
          // file still ends the capture.
          try {
            sink(record);
          } catch (const formats::UnwritableValue&) {
            ++summary.skippedRecords;
          }
        });
    if (!mapped) ++summary.unmappedObjects;
    ++summary.objects;
  }
  return summary;
}

}  // namespace capture
