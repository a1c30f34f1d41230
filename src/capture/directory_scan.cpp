#include "capture/directory_scan.h"

#include <algorithm>
#include <stdexcept>

#include "capture/trustee_path.h"
#include "formats/name_fold.h"
#include "formats/windows1252.h"
#include "netware/trustee_list.h"

namespace capture {

std::string EntryKey(const std::string& clientPath) {
  const std::string folded = formats::FoldName(formats::Cp1252ToUtf8(clientPath));
  std::string key = folded.substr(folded.find(':') + 1);
  if (!key.empty() && key.front() == '\\') key.erase(0, 1);
  std::replace(key.begin(), key.end(), '\\', '/');
  return key;
}

EntryTrustees ReadEntryTrustees(nw::NetWareClient& client, nw::NWCONN_HANDLE conn,
                                nw::FileListing& listing, const ScanTarget& target,
                                const std::string& clientPath, bool mayBeGone) {
  nw::TrusteeList list;
  const nw::NWRCODE rc = (mayBeGone ? nw::ReadTrusteeList : nw::ReadEntryTrusteeList)(
      client, conn, clientPath.c_str(), &list);
  const std::string path = formats::Cp1252ToUtf8(clientPath);
  if (rc != 0) {
    throw std::runtime_error("the trustees of " + target.server + "/" + path +
                             " cannot be read (E=" + nw::CodeText(rc) + ").");
  }
  EntryTrustees entry;
  if (list.empty()) return entry;
  entry.trustees.assign(list.begin(), list.end());
  // The server names a trustee path in upper case, "/" between its components, keyed so;
  // rebuilt from that form, the names are those the per-object scan writes (a hidden
  // directory, which the listing does not show, keeps its upper-case name there too).
  entry.key = EntryKey(clientPath);
  const std::string head = "\\\\" + target.server + "\\";
  entry.recordPath =
      BuildTrusteePath(formats::FoldName(path), target.server, target.volume, listing)
          .substr(head.size());
  return entry;
}

}  // namespace capture
