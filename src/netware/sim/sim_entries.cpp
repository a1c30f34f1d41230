// The client's calls on files, filters, the bindery's listing and names by ID.

#include "netware/sim/sim_client.h"

namespace sim {

nw::NWRCODE SimClient::NWDeleteTrustee(nw::NWCONN_HANDLE, std::uint8_t, const char*, nw::nuint32) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWScanForTrustees(nw::NWCONN_HANDLE, std::uint8_t, const char*, nw::nuint32*,
                                         std::uint16_t*, nw::NWET_INFO*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWGetNSEntryInfo(nw::NWCONN_HANDLE, std::uint8_t, const char*, std::uint8_t,
                                        std::uint8_t, std::uint16_t, nw::nuint32,
                                        nw::NW_ENTRY_INFO*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWScanNSEntryInfo(nw::NWCONN_HANDLE, std::uint8_t, std::uint8_t,
                                         std::uint16_t, nw::SEARCH_SEQUENCE*, const char*,
                                         nw::nuint32, nw::NW_ENTRY_INFO*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWSetNSEntryDOSInfo(nw::NWCONN_HANDLE, std::uint8_t, const char*,
                                           std::uint8_t, std::uint16_t, nw::nuint32,
                                           const nw::MODIFY_DOS_INFO*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWScanObject(nw::NWCONN_HANDLE, const char*, std::uint16_t, nw::nuint32*,
                                    char*, std::size_t, std::uint16_t*, std::uint8_t*,
                                    std::uint8_t*, std::uint8_t*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWGetObjectName(nw::NWCONN_HANDLE, nw::nuint32, char*, std::size_t,
                                       std::uint16_t*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWGetVolumeName(nw::NWCONN_HANDLE, std::uint16_t, char*, std::size_t) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWCCGetConnInfo(nw::NWCONN_HANDLE, nw::nuint32, std::size_t, void*) {
  return kInvalidParameter;
}
nw::NWRCODE SimClient::NWDSMapIDToName(nw::NWDSContextHandle, nw::NWCONN_HANDLE, nw::nuint32, char*,
                                       std::size_t) {
  return kInvalidParameter;
}

}  // namespace sim
