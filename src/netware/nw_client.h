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
inline constexpr NWRCODE kNoSuchObject = 0x89FC;   // also: no more bindery objects
inline constexpr NWRCODE kTrusteeNotFound = 0x89FE;
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
inline constexpr nuint32 NWCC_INFO_TREE_NAME = 4;
inline constexpr std::uint16_t OT_WILD = 0xFFFF;

// Rights masks of trustees and of inherited rights filters.
inline constexpr std::uint16_t TA_ALL = 0x01FB;  // every right: no filter blocks anything
// File attributes: which entries a scan returns, and what an entry is.
inline constexpr std::uint16_t FA_HIDDEN = 0x0002;
inline constexpr std::uint16_t FA_SYSTEM = 0x0004;
inline constexpr std::uint16_t FA_DIRECTORY = 0x0010;
inline constexpr std::uint16_t FA_ALL_ENTRIES = FA_HIDDEN | FA_SYSTEM | FA_DIRECTORY;
inline constexpr std::uint8_t NW_NS_DOS = 0;
inline constexpr nuint32 IM_ENTRY_NAME = 0x0001;
inline constexpr nuint32 IM_ATTRIBUTES = 0x0004;
inline constexpr nuint32 IM_RIGHTS = 0x0800;  // the inherited rights filter
inline constexpr nuint32 DM_INHERITED_RIGHTS_MASK = 0x1000;

// One record of a directory's trustee list, as the client fills it.
struct TrusteeEntry {
  std::uint32_t ObjectID;
  std::uint16_t ObjectRights;
  std::uint16_t Reserved;
};
static_assert(sizeof(TrusteeEntry) == 8, "a TrusteeEntry is 8 bytes");
inline constexpr int kTrusteeBatch = 20;

// One batch of a file's or directory's trustee list (NWScanForTrustees).
struct NWET_INFO {
  char entryName[16];
  nuint32 creationDateAndTime;
  nuint32 objectID;  // the owner
  std::uint16_t sequenceNumber;
  TrusteeEntry trusteeList[kTrusteeBatch];
};

// What the tool reads of a directory entry (NWGetNSEntryInfo, NWScanNSEntryInfo): the
// fields a NetWare client fills that it uses, in the client's order.
struct NW_ENTRY_INFO {
  nuint32 attributes;                 // FA_DIRECTORY for a directory
  std::uint16_t inheritedRightsMask;  // TA_ALL when no filter is set
  nuint32 volNumber;
  std::uint8_t nameLength;
  char entryName[256];  // zero-terminated
};

// The place of a scan of a directory's entries: every byte 0xFF on the first call.
struct SEARCH_SEQUENCE {
  std::uint8_t searchDirNumber[9];
};

// What NWSetNSEntryDOSInfo changes; only the filter here (DM_INHERITED_RIGHTS_MASK):
// the rights in revoke are blocked, then those in grant let through.
struct MODIFY_DOS_INFO {
  std::uint16_t inheritanceGrantMask;
  std::uint16_t inheritanceRevokeMask;
};
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

  // Removes the object from the trustee list of a directory or file (a full path, dirHandle
  // 0); 0x89FE when it is no trustee there, 0x899C when the path names nothing.
  virtual NWRCODE NWDeleteTrustee(NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* dirPath,
                                  nuint32 objID) = 0;

  // The next batch of the trustee list of a file or directory (a full path, dirHandle 0):
  // numOfEntries says how many of trusteeList are filled. iterHandle starts at 0; 0x899C
  // once there are no more, or when the path names nothing.
  virtual NWRCODE NWScanForTrustees(NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                    const char* srchPath, nuint32* iterHandle,
                                    std::uint16_t* numOfEntries, NWET_INFO* entryTrustees) = 0;

  // One directory entry, named by a full path (dirHandle 0), hidden ones included: whether
  // it is a directory, its name and its inherited rights filter. 0x899C when it is missing.
  virtual NWRCODE NWGetNSEntryInfo(NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                                   std::uint8_t srcNamSpc, std::uint8_t dstNamSpc,
                                   std::uint16_t searchAttrs, nuint32 retInfoMask,
                                   NW_ENTRY_INFO* entryInfo) = 0;

  // The entries of a directory one a call, in the order of their names; searchPattern is the
  // directory's full path and a last component "*" ("DATA:Apps\*"), dirHandle 0.
  // searchAttrs FA_ALL_ENTRIES returns hidden and system files and the directories too.
  // 0x89FF once there are no more; 0x899C when the directory is missing.
  virtual NWRCODE NWScanNSEntryInfo(NWCONN_HANDLE conn, std::uint8_t dirHandle, std::uint8_t namSpc,
                                    std::uint16_t searchAttrs, SEARCH_SEQUENCE* sequence,
                                    const char* searchPattern, nuint32 retInfoMask,
                                    NW_ENTRY_INFO* entryInfo) = 0;

  // Sets the inherited rights filter of a file or directory (a full path, dirHandle 0) when
  // modifyDOSMask holds DM_INHERITED_RIGHTS_MASK; TA_ALL in grant removes the filter. The
  // volume's root takes no filter (0x898C).
  virtual NWRCODE NWSetNSEntryDOSInfo(NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                                      std::uint8_t namSpc, std::uint16_t searchAttrs,
                                      nuint32 modifyDOSMask, const MODIFY_DOS_INFO* dosInfo) = 0;

  // The bindery objects of a server whose names match searchName ("*": all) and type
  // (OT_WILD: any), one a call in the order of their IDs. objID starts at 0xFFFFFFFF and
  // carries the place; 0x89FC once there are no more.
  virtual NWRCODE NWScanObject(NWCONN_HANDLE conn, const char* searchName, std::uint16_t searchType,
                               nuint32* objID, char* objName, std::size_t objNameSize,
                               std::uint16_t* objType, std::uint8_t* hasPropertiesFlag,
                               std::uint8_t* objFlags, std::uint8_t* objSecurity) = 0;

  // The bindery name and type of an object ID; 0x89FC when none.
  virtual NWRCODE NWGetObjectName(NWCONN_HANDLE conn, nuint32 objID, char* objName,
                                  std::size_t objNameSize, std::uint16_t* objType) = 0;

  // The name of the server's volume with that number; 0x8998 for a number it has no volume
  // under. Numbers run from 0 without gaps.
  virtual NWRCODE NWGetVolumeName(NWCONN_HANDLE conn, std::uint16_t volNum, char* volName,
                                  std::size_t volNameSize) = 0;

  virtual NWRCODE NWCCOpenConnByName(NWCONN_HANDLE startConnHandle, const char* name,
                                     nuint32 nameFormat, nuint32 openState, nuint32 tranType,
                                     NWCONN_HANDLE* conn) = 0;

  virtual NWRCODE NWCCCloseConn(NWCONN_HANDLE conn) = 0;

  // For NWCC_INFO_TREE_NAME: the tree the connection's server stands in, zero-terminated,
  // empty when it stands in none (a version 3 server may).
  virtual NWRCODE NWCCGetConnInfo(NWCONN_HANDLE conn, nuint32 infoType, std::size_t len,
                                  void* buffer) = 0;

  virtual NWRCODE NWDSCreateContextHandle(NWDSContextHandle* context) = 0;

  // For DCK_NAME_CONTEXT and DCK_TREE_NAME, value points at zero-terminated text.
  virtual NWRCODE NWDSSetContext(NWDSContextHandle context, nuint32 key, const void* value) = 0;

  virtual NWRCODE NWDSFreeContext(NWDSContextHandle context) = 0;

  // A typeless dotted name, leaf first, read against the context's name context.
  virtual NWRCODE NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE conn,
                                  const char* objectName, nuint32* objectID) = 0;

  // The object's full dotted name ("JSmith.Sales.QARN"), typeless, in the context's tree;
  // -601 when there is no such object.
  virtual NWRCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, nuint32 objectID,
                                  char* objectName, std::size_t objectNameSize) = 0;
};

}  // namespace nw
