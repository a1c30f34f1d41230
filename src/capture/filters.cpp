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

std::optional<formats::FilterRecord> EntryFilter(const std::string& server, const std::string& path,
                                                 const nw::NW_ENTRY_INFO& entry) {
  // Every right let through is the same as no filter at all.
  static const std::string passesAll = formats::BuildRightsText(nw::TA_ALL);
  std::string rights = formats::BuildRightsText(entry.inheritedRightsMask);
  if (rights == passesAll) return std::nullopt;
  return formats::FilterRecord{server, formats::Cp1252ToUtf8(path), std::move(rights)};
}

void SortFilters(std::vector<formats::FilterRecord>& filters) {
  std::stable_sort(filters.begin(), filters.end(),
                   [](const formats::FilterRecord& a, const formats::FilterRecord& b) {
                     return formats::DirectoryKey(a.path) < formats::DirectoryKey(b.path);
                   });
}

std::runtime_error FiltersUnreadable(const std::string& server, const std::string& volume,
                                     nw::NWRCODE rc) {
  return std::runtime_error("the inherited rights filters of server " + server + ", volume " +
                            volume + " cannot be read (E=" + nw::CodeText(rc) + ").");
}

std::vector<formats::FilterRecord> ReadFilters(nw::NetWareClient& client, const std::string& server,
                                               const std::string& volume) {
  const nw::NWCONN_HANDLE conn = VolumeConnection(client, server, volume);
  std::vector<formats::FilterRecord> filters;
  const nw::NWRCODE rc =
      nw::WalkVolume(client, conn, formats::Utf8ToCp1252(volume),
                     [&](const std::string& path, const nw::NW_ENTRY_INFO& entry) {
                       if (auto filter = EntryFilter(server, path, entry)) {
                         filters.push_back(std::move(*filter));
                       }
                     });
  if (rc != 0) throw FiltersUnreadable(server, volume, rc);
  SortFilters(filters);
  return filters;
}

}  // namespace capture
