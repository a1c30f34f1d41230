#pragma once
// One record of a rights file granted again, without a window: connection, object lookup
// (bindery or NDS by the server's version), rights mask and NWAddTrustee, over the client
// library and the file listing only. The window and the command line both use it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "formats/rights_file.h"
#include "netware/file_listing.h"
#include "netware/nw_client.h"

namespace restore {

struct GrantOptions {
  // Grant nothing: only find out what a grant would do.
  bool dryRun = false;
  // Off, the window's way: every record opens and closes its own connection and looks its
  // object up again. On: one connection per server for the run (opened again after it
  // broke), its version asked once, one lookup per tree (or server) and object.
  bool reuse = false;
};

enum class GrantStatus {
  kAdded,         // granted
  kWouldAdd,      // dry run: the object holds no rights there yet
  kWouldChange,   // dry run: it holds other rights (oldMask)
  kAlreadyThere,  // dry run: it holds these very rights
  kFailed,
};

enum class GrantFailure {
  kNone,
  kConnection,         // the server cannot be reached (code)
  kObjectNameTooLong,  // longer than its buffer (limit)
  kTreeNameTooLong,    // longer than its buffer (limit)
  kObjectNotFound,     // the lookup failed (code)
  kDirectoryMissing,   // dry run: no such directory, or no such volume (code when asked)
  kAddTrustee,         // NWAddTrustee refused (code)
};

struct GrantOutcome {
  GrantStatus status = GrantStatus::kFailed;
  GrantFailure failure = GrantFailure::kNone;
  nw::NWRCODE code = 0;
  std::size_t limit = 0;      // characters a too long name may have
  std::uint16_t mask = 0;     // the mask granted, or that would be
  std::uint16_t oldMask = 0;  // kWouldChange: the mask held now
};

class Granter {
 public:
  Granter(nw::NetWareClient& client, nw::FileListing& files, GrantOptions options = {});
  ~Granter();  // closes the connections kept for the run
  Granter(const Granter&) = delete;
  Granter& operator=(const Granter&) = delete;

  GrantOutcome Grant(const formats::RightsRecord& record);

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
  // The dry run's answer: what granting `mask` would change.
  GrantOutcome LookAt(const formats::RightsRecord& record, const Server& server,
                      nw::nuint32 objectID, std::uint16_t mask);
  bool DirectoryExists(const formats::RightsRecord& record, const Server& server);

  nw::NetWareClient& client_;
  nw::FileListing& files_;
  const GrantOptions options_;
  std::map<std::string, Server> servers_;                               // by folded name
  std::map<std::pair<std::string, std::string>, nw::nuint32> objects_;  // (tree or server, name)
  std::map<std::string, nw::NWDSContextHandle> contexts_;               // by tree
};

}  // namespace restore
