#include "capture/filters.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "formats/name_fold.h"
#include "formats/rights_text.h"
#include "formats/windows1252.h"
#include "netware/volume_walk.h"

namespace capture {

nw::NWCONN_HANDLE VolumeConnection(nw::NetWareClient& client, const std::string& server,
                                   const std::string& volume) {
  std::array<char, 48> serverName{};
  std::array<char, 32> volumeName{};
  std::array<char, 255> dirPath{};
  nw::NWCONN_HANDLE conn = 0;
  const nw::NWRCODE rc =
      client.NWParsePath(formats::Utf8ToCp1252("\\\\" + server + "\\" + volume).c_str(),
                         serverName.data(), serverName.size(), &conn, volumeName.data(),
                         volumeName.size(), dirPath.data(), dirPath.size());
  if (rc != 0) {
    throw std::runtime_error("the network path \\\\" + server + "\\" + volume +
                             " cannot be reached (E=" + nw::CodeText(rc) + ").");
  }
  return conn;
}

std::vector<formats::FilterRecord> ReadFilters(nw::NetWareClient& client, const std::string& server,
                                               const std::string& volume) {
  const nw::NWCONN_HANDLE conn = VolumeConnection(client, server, volume);
  // Every right let through is the same as no filter at all.
  const std::string passesAll = formats::BuildRightsText(nw::TA_ALL);
  std::vector<formats::FilterRecord> filters;
  const nw::NWRCODE rc =
      nw::WalkVolume(client, conn, formats::Utf8ToCp1252(volume),
                     [&](const std::string& path, const nw::NW_ENTRY_INFO& entry) {
                       std::string rights = formats::BuildRightsText(entry.inheritedRightsMask);
                       if (rights == passesAll) return;
                       filters.push_back({server, formats::Cp1252ToUtf8(path), std::move(rights)});
                     });
  if (rc != 0) {
    throw std::runtime_error("the inherited rights filters of server " + server + ", volume " +
                             volume + " cannot be read (E=" + nw::CodeText(rc) + ").");
  }
  std::stable_sort(filters.begin(), filters.end(),
                   [](const formats::FilterRecord& a, const formats::FilterRecord& b) {
                     return formats::DirectoryKey(a.path) < formats::DirectoryKey(b.path);
                   });
  return filters;
}

}  // namespace capture
