#pragma once
// The NetWare client library as the tool calls it: one method per call, with the
// arguments in the callers' order. Texts travel as zero-terminated Windows-1252 byte
// strings; every output buffer comes with its size and is never written past its end.

#include <cstddef>
#include <cstdint>
#include <string>

namespace nw {

using NWRCODE = std::int32_t;  // 0 success; NDS errors are negative (-601)
using NWCONN_HANDLE = std::uint32_t;
using NWDSContextHandle = std::uint32_t;
using nuint32 = std::uint32_t;

// Codes the simulated network answers with (realistic NetWare values).
inline constexpr NWRCODE kSuccess = 0;
inline constexpr NWRCODE kInvalidConnection = 0x8801;  // closed or unknown handle
inline constexpr NWRCODE kServerDown = 0x880A;
inline constexpr NWRCODE kUnknownServer = 0x8847;
inline constexpr NWRCODE kVolumeDoesNotExist = 0x8998;
inline constexpr NWRCODE kNoMoreEntries = 0x899C;  // also: directory does not exist
inline constexpr NWRCODE kNoSuchObject = 0x89FC;
inline constexpr NWRCODE kDsNoSuchEntry = -601;
inline constexpr NWRCODE kDsInvalidName = -610;
inline constexpr NWRCODE kCallsInitFailed = 0x88FF;

inline constexpr nuint32 DCK_NAME_CONTEXT = 3;
inline constexpr nuint32 DCK_TREE_NAME = 11;
inline constexpr std::uint16_t OT_USER = 0x0100;  // bindery object types, byte-swapped
inline constexpr std::uint16_t OT_GROUP = 0x0200;
inline constexpr nuint32 NWCC_NAME_FORMAT_BIND = 2;
inline constexpr nuint32 NWCC_OPEN_LICENSED = 1;
inline constexpr nuint32 NWCC_TRAN_TYPE_WILD = 0xFFFF8000u;

// One record of a directory's trustee list, as the client fills it.
struct TrusteeEntry {
  std::uint32_t ObjectID;
  std::uint16_t ObjectRights;
  std::uint16_t Reserved;
};
static_assert(sizeof(TrusteeEntry) == 8, "a TrusteeEntry is 8 bytes");
inline constexpr int kTrusteeBatch = 20;
inline constexpr std::size_t kScanSequenceSize = 9;  // NWIntScanDirectoryInformation2

inline constexpr std::size_t kVersionInfoSize = 128;  // server name 0-47, major 48, minor 49
inline constexpr std::size_t kVersionMajorOffset = 48;

// A code as messages quote it, in decimal with a blank in place of a plus sign: " 253".
inline std::string CodeText(NWRCODE code) { return (code >= 0 ? " " : "") + std::to_string(code); }

class NetWareClient {
 public:
  virtual ~NetWareClient() = default;

  virtual NWRCODE NWCallsInit(std::uint8_t* reserved1, std::uint8_t* reserved2) = 0;

  // "\\SRV\VOL" -> the attachment to SRV, the volume and server names, the directory.
  virtual NWRCODE NWParsePath(const char* path, char* serverName, std::size_t serverNameSize,
                              NWCONN_HANDLE* conn, char* volName, std::size_t volNameSize,
                              char* dirPath, std::size_t dirPathSize) = 0;

  virtual NWRCODE NWGetVolumeNumber(NWCONN_HANDLE conn, const char* volName, nuint32* volNum) = 0;

  // One trustee path per call, as "VOL:DIR/SUB"; iterHandle starts at 0xFFFFFFFF.
  virtual NWRCODE NWScanObjectTrusteePaths(NWCONN_HANDLE conn, nuint32 objID, nuint32 volNum,
                                           nuint32* iterHandle, std::uint8_t* accessRights,
                                           char* path, std::size_t pathSize) = 0;

  // The next kTrusteeBatch entries of a directory's trustee list; ObjectID 0 after the
  // last entry of a short batch. iterHandle starts at 0.
  virtual NWRCODE NWScanDirectoryForTrustees2(NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                              const char* path, nuint32* iterHandle, char* dirName,
                                              std::size_t dirNameSize, nuint32* dirDateTime,
                                              nuint32* ownerID,
                                              TrusteeEntry trustees[kTrusteeBatch]) = 0;

  // The information of the directory a full path names (dirHandle 0): its name, creation date
  // and time, owner and maximum rights mask. sequence points at 9 bytes, the first 4 0xFF on
  // the first call. Answers 0x899C for a path that names no directory (a missing one, a
  // file), 0x8998 for an unknown volume. augmentFlag: whether wildcards are augmented.
  virtual NWRCODE NWIntScanDirectoryInformation2(NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                                 const char* srchPath, std::uint8_t* sequence,
                                                 char* dirName, std::size_t dirNameSize,
                                                 nuint32* dirDateTime, nuint32* ownerID,
                                                 std::uint8_t* rightsMask,
                                                 std::uint16_t augmentFlag) = 0;

  virtual NWRCODE NWGetFileServerVersionInfo(NWCONN_HANDLE conn, std::uint8_t* versionInfo,
                                             std::size_t versionInfoSize) = 0;

  virtual NWRCODE NWGetObjectID(NWCONN_HANDLE conn, const char* objName, std::uint16_t objType,
                                nuint32* objID) = 0;

  virtual NWRCODE NWAddTrustee(NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                               nuint32 objID, std::uint16_t rightsMask) = 0;

  virtual NWRCODE NWCCOpenConnByName(NWCONN_HANDLE startConnHandle, const char* name,
                                     nuint32 nameFormat, nuint32 openState, nuint32 tranType,
                                     NWCONN_HANDLE* conn) = 0;

  virtual NWRCODE NWCCCloseConn(NWCONN_HANDLE conn) = 0;

  virtual NWRCODE NWDSCreateContextHandle(NWDSContextHandle* context) = 0;

  // For DCK_NAME_CONTEXT and DCK_TREE_NAME, value points at zero-terminated text.
  virtual NWRCODE NWDSSetContext(NWDSContextHandle context, nuint32 key, const void* value) = 0;

  virtual NWRCODE NWDSFreeContext(NWDSContextHandle context) = 0;

  // A typeless dotted name, leaf first, read against the context's name context.
  virtual NWRCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                  const char* objectName, nuint32* objectID) = 0;
};

}  // namespace nw
