#pragma once
// The NetWare client library over the simulated network.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "netware/nw_client.h"
#include "netware/sim/network.h"

namespace sim {

// Codes of ours beyond the shared ones.
inline constexpr nw::NWRCODE kInvalidParameter = 0x8836;
inline constexpr nw::NWRCODE kBufferTooSmall = 0x8877;
inline constexpr nw::NWRCODE kBadDirectoryHandle = 0x899B;
inline constexpr nw::NWRCODE kStoreFailure = 0x89FF;  // the store stayed locked too long
inline constexpr nw::NWRCODE kDsBadKey = -302;
inline constexpr nw::NWRCODE kDsBadContext = -303;

class SimClient : public nw::NetWareClient {
 public:
  explicit SimClient(Network& network) : network_(network) {}

  nw::NWRCODE NWCallsInit(std::uint8_t* reserved1, std::uint8_t* reserved2) override;
  nw::NWRCODE NWParsePath(const char* path, char* serverName, std::size_t serverNameSize,
                          nw::NWCONN_HANDLE* conn, char* volName, std::size_t volNameSize,
                          char* dirPath, std::size_t dirPathSize) override;
  nw::NWRCODE NWGetVolumeNumber(nw::NWCONN_HANDLE conn, const char* volName,
                                nw::nuint32* volNum) override;
  nw::NWRCODE NWScanObjectTrusteePaths(nw::NWCONN_HANDLE conn, nw::nuint32 objID,
                                       nw::nuint32 volNum, nw::nuint32* iterHandle,
                                       std::uint8_t* accessRights, char* path,
                                       std::size_t pathSize) override;
  nw::NWRCODE NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                          const char* path, nw::nuint32* iterHandle, char* dirName,
                                          std::size_t dirNameSize, nw::nuint32* dirDateTime,
                                          nw::nuint32* ownerID,
                                          nw::TrusteeEntry trustees[nw::kTrusteeBatch]) override;
  // No wildcards: the path names one directory, hidden ones included.
  nw::NWRCODE NWIntScanDirectoryInformation2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                             const char* srchPath, std::uint8_t* sequence,
                                             char* dirName, std::size_t dirNameSize,
                                             nw::nuint32* dirDateTime, nw::nuint32* ownerID,
                                             std::uint8_t* rightsMask,
                                             std::uint16_t augmentFlag) override;
  nw::NWRCODE NWGetFileServerVersionInfo(nw::NWCONN_HANDLE conn, std::uint8_t* versionInfo,
                                         std::size_t versionInfoSize) override;
  nw::NWRCODE NWGetObjectID(nw::NWCONN_HANDLE conn, const char* objName, std::uint16_t objType,
                            nw::nuint32* objID) override;
  nw::NWRCODE NWAddTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                           nw::nuint32 objID, std::uint16_t rightsMask) override;
  nw::NWRCODE NWDeleteTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* dirPath,
                              nw::nuint32 objID) override;
  nw::NWRCODE NWScanForTrustees(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                const char* srchPath, nw::nuint32* iterHandle,
                                std::uint16_t* numOfEntries, nw::NWET_INFO* entryTrustees) override;
  nw::NWRCODE NWGetNSEntryInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                               std::uint8_t srcNamSpc, std::uint8_t dstNamSpc,
                               std::uint16_t searchAttrs, nw::nuint32 retInfoMask,
                               nw::NW_ENTRY_INFO* entryInfo) override;
  nw::NWRCODE NWScanNSEntryInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, std::uint8_t namSpc,
                                std::uint16_t searchAttrs, nw::SEARCH_SEQUENCE* sequence,
                                const char* searchPattern, nw::nuint32 retInfoMask,
                                nw::NW_ENTRY_INFO* entryInfo) override;
  nw::NWRCODE NWSetNSEntryDOSInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                                  std::uint8_t namSpc, std::uint16_t searchAttrs,
                                  nw::nuint32 modifyDOSMask,
                                  const nw::MODIFY_DOS_INFO* dosInfo) override;
  nw::NWRCODE NWScanObject(nw::NWCONN_HANDLE conn, const char* searchName, std::uint16_t searchType,
                           nw::nuint32* objID, char* objName, std::size_t objNameSize,
                           std::uint16_t* objType, std::uint8_t* hasPropertiesFlag,
                           std::uint8_t* objFlags, std::uint8_t* objSecurity) override;
  nw::NWRCODE NWGetObjectName(nw::NWCONN_HANDLE conn, nw::nuint32 objID, char* objName,
                              std::size_t objNameSize, std::uint16_t* objType) override;
  nw::NWRCODE NWGetVolumeName(nw::NWCONN_HANDLE conn, std::uint16_t volNum, char* volName,
                              std::size_t volNameSize) override;
  nw::NWRCODE NWCCGetConnInfo(nw::NWCONN_HANDLE conn, nw::nuint32 infoType, std::size_t len,
                              void* buffer) override;
  nw::NWRCODE NWDSMapIDToName(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                              nw::nuint32 objectID, char* objectName,
                              std::size_t objectNameSize) override;
  nw::NWRCODE NWCCOpenConnByName(nw::NWCONN_HANDLE startConnHandle, const char* name,
                                 nw::nuint32 nameFormat, nw::nuint32 openState,
                                 nw::nuint32 tranType, nw::NWCONN_HANDLE* conn) override;
  nw::NWRCODE NWCCCloseConn(nw::NWCONN_HANDLE conn) override;
  nw::NWRCODE NWDSCreateContextHandle(nw::NWDSContextHandle* context) override;
  nw::NWRCODE NWDSSetContext(nw::NWDSContextHandle context, nw::nuint32 key,
                             const void* value) override;
  nw::NWRCODE NWDSFreeContext(nw::NWDSContextHandle context) override;
  nw::NWRCODE NWDSMapNameToID(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                              const char* objectName, nw::nuint32* objectID) override;

 private:
  struct Context {
    std::string tree;         // UTF-8; empty: the connection's tree
    std::string nameContext;  // UTF-8; "[Root]" or a dotted container name
  };
  nw::NWCONN_HANDLE NewHandle(std::int64_t serverId);
  // `body(server)` on the connection's server when it is open and up, else the code to answer;
  // its statements on one snapshot of the store, with the write lock when it `writes`.
  template <typename Body>
  nw::NWRCODE OnServer(nw::NWCONN_HANDLE conn, Body&& body, bool writes = false);
  template <typename Body>
  nw::NWRCODE OnPath(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path, Body&& body,
                     bool writes = false);
  // A full path's volume on the connection's server (nullptr: 0x8998 no such volume), and the
  // entry it names as the volume's folders store it: a directory (the root: no names) or,
  // unless `wantDirectory`, a file; nullopt (0x899C) when nothing is there. Hidden entries
  // count; links never do. `isDirectory` says which it is. Every call that takes a path
  // judges it through these.
  const VolumeRow* VolumeOfPath(const ServerRow& server, const char* path, VolumePath* parsed);
  std::optional<std::vector<std::string>> EntryOfPath(const VolumeRow& volume,
                                                      const VolumePath& parsed, bool wantDirectory,
                                                      bool* isDirectory = nullptr);

  nw::NWRCODE EntryInfo(const VolumeRow& volume, const std::vector<std::string>& stored,
                        bool directory, nw::NW_ENTRY_INFO* entryInfo);

  Network& network_;
  // The directories being scanned, by volume, directory, attributes and pattern: a walk scans
  // a directory's subdirectories before it goes on with the directory.
  // Each entry's name and whether it is a directory, read on the scan's first call.
  std::unordered_map<std::string, std::vector<std::pair<std::string, bool>>> scans_;
  std::unordered_map<nw::NWCONN_HANDLE, std::int64_t> connections_;  // handle -> server
  std::unordered_map<std::int64_t, nw::NWCONN_HANDLE> attachments_;  // server -> handle
  nw::NWCONN_HANDLE nextHandle_ = 1;
  std::unordered_map<nw::NWDSContextHandle, Context> contexts_;
  nw::NWDSContextHandle nextContext_ = 1;
};

}  // namespace sim
