#pragma once
// One record of a rights file granted again, without a window: rights mask, connection,
// object lookup (bindery or NDS by the server's version) and NWAddTrustee, over the client
// library only. The window and the command line both use it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "formats/rights_file.h"
#include "formats/rights_text.h"
#include "netware/nw_client.h"
#include "netware/trustee_list.h"

namespace restore {

// The rights a rights text can name; a restored "Read" carries 0x0004 as well, which no word
// shows and no comparison counts. A filter holding all of them is no filter.
inline constexpr std::uint16_t kWordBits =
    formats::TR_READ | formats::TR_WRITE | formats::TR_CREATE | formats::TR_ERASE |
    formats::TR_ACCESS | formats::TR_FILESCAN | formats::TR_MODIFY | formats::TR_SUPERVISOR;

struct GrantOptions {
  // Grant nothing: only find out what a grant would do.
  bool dryRun = false;
  // Off, the window's way: every record opens and closes its own connection and looks its
  // object up again, and a grant does not ask first what the volume holds. On: one
  // connection per server for the run (opened again after it broke), its version asked
  // once, one lookup per tree (or server) and object, and each directory's trustee list
  // read once and kept up to date for the run, so each outcome says what the volume held.
  bool reuse = false;
  // A bindery name not found as a user is looked up as a group as well. Off, the window's
  // way: a bindery record names a user.
  bool groups = false;
};

// What the volume held before the record, and so what its grant did (or, in a dry run,
// would do). A dry run always says it; a real grant says it when the run reuses.
enum class GrantStatus {
  kAdded,    // the object held no rights there
  kChanged,  // it held other rights (oldMask)
  kSame,     // it held the same rights, by their words (a bit with no word, 0x0004, aside)
  kGranted,  // granted without asking what it held before (reuse off)
  kFailed,
};

enum class GrantFailure {
  kNone,
  kBadRights,          // the rights text holds a word that is no right: no client call made
  kConnection,         // the server cannot be reached (code)
  kObjectNameTooLong,  // longer than its buffer (limit)
  kTreeNameTooLong,    // longer than its buffer (limit)
  kObjectNotFound,     // the lookup failed (code)
  kDirectoryMissing,   // asked first: no such directory, or no such volume (code)
  kDirectoryUnread,    // the directory's information or trustees could not be read (code)
  kAddTrustee,         // NWAddTrustee refused (code)
  kSetFilter,          // NWSetNSEntryDOSInfo refused (code)
  kVolumeRoot,         // a filter on the volume's root, which takes none: no client call made
};

struct GrantOutcome {
  GrantStatus status = GrantStatus::kFailed;
  GrantFailure failure = GrantFailure::kNone;
  nw::NWRCODE code = 0;
  std::size_t limit = 0;      // characters a too long name may have
  std::uint16_t mask = 0;     // the mask granted, or that would be
  std::uint16_t oldMask = 0;  // kChanged, kSame: the mask held before
  nw::nuint32 objectID = 0;   // the object found for the record; 0 before its lookup
};

// The objects the granters of one run found, shared among them (each on a platform of its
// own, on threads of their own): an object's ID is the same whichever connection asks, so
// each object is looked up once in the run.
class FoundObjects {
 public:
  using Key = std::pair<std::string, std::string>;  // (tree or server, name), both folded
  std::optional<nw::nuint32> Find(const Key& key) const;
  void Add(const Key& key, nw::nuint32 id);

 private:
  mutable std::mutex mutex_;
  std::map<Key, nw::nuint32> ids_;
};

// A directory as the server answered for it: whether it is one, its trustees and filter.
struct HeldDirectory {
  nw::NWRCODE missing = 0;  // non-zero: the code for no such directory
  nw::TrusteeList held;
  std::uint16_t filter = nw::TA_ALL;  // its inherited rights filter; TA_ALL: none
};

// The directories the granters of one run read, shared among them: each is read once in the
// run, by the first granter that meets it, while the others wait for it. A directory's lists
// are changed only under `held`; each granter changes only the entries of the trustees whose
// records it is given, so that what it reads of them stays true.
class SharedDirectories {
 public:
  struct Slot {
    std::mutex reading;  // held while the directory is read
    std::unique_ptr<HeldDirectory> read;
  };
  Slot& SlotOf(const std::string& key);
  std::mutex held;

 private:
  std::mutex mutex_;
  std::unordered_map<std::string, std::unique_ptr<Slot>> slots_;
};

class Granter {
 public:
  explicit Granter(nw::NetWareClient& client, GrantOptions options = {});
  ~Granter();  // closes the connections kept for the run
  Granter(const Granter&) = delete;
  Granter& operator=(const Granter&) = delete;

  GrantOutcome Grant(const formats::RightsRecord& record);
  // With reuse, the objects this granter finds are shared with the others of `found`.
  void ShareObjects(FoundObjects* found) { shared_ = found; }
  // With reuse, the directories this granter reads are shared with the others of `read`;
  // each granter must then be given all records of a trustee at a path.
  void ShareDirectories(SharedDirectories* read) { sharedDirectories_ = read; }

  // Sets the inherited rights filter of the file or directory `path` on `server` to the
  // rights `rights` names (all eight words: no filter). The status says what the entry held
  // before, by the words, as for a record: kAdded when it had no filter, kChanged (oldMask
  // the filter it had) or kSame. Needs reuse or a dry run.
  GrantOutcome SetFilter(const std::string& server, const std::string& path,
                         const std::string& rights);

 private:
  struct Server {
    nw::NWCONN_HANDLE conn = 0;
    bool bindery = false;
  };

  // The server's connection and kind; false with `outcome` set when it cannot be opened.
  bool Connect(const std::string& server, Server* found, GrantOutcome* outcome);
  void Release(const std::string& server, const Server& used, nw::NWRCODE lastCode);
  // The object's ID; false with `outcome` set when it is not found.
  bool Lookup(const formats::RightsRecord& record, const Server& server, nw::nuint32* objectID,
              GrantOutcome* outcome);
  using Directory = HeldDirectory;
  // Compares `mask` with what the volume holds, grants it unless a dry run (or unless held
  // exactly), and keeps the directory's list up to date.
  GrantOutcome Settle(const formats::RightsRecord& record, const Server& server,
                      nw::nuint32 objectID, std::uint16_t mask);
  // The record's directory, asked of the server the first time; null with `outcome` set
  // when it cannot be read.
  Directory* ReadDirectory(const std::string& serverName, const std::string& directory,
                           const Server& server, GrantOutcome* outcome);
  // The lock over the directories' lists when they are shared; none otherwise.
  std::unique_lock<std::mutex> LockHeld();

  nw::NetWareClient& client_;
  const GrantOptions options_;
  std::map<std::string, Server> servers_;                               // by folded name
  std::map<std::pair<std::string, std::string>, nw::nuint32> objects_;  // (tree or server, name)
  std::map<std::string, nw::NWDSContextHandle> contexts_;               // by tree
  std::map<std::string, Directory> directories_;  // by folded server and directory
  FoundObjects* shared_ = nullptr;
  SharedDirectories* sharedDirectories_ = nullptr;
};

}  // namespace restore
