#pragma once
// A platform that passes every client-library call through to another one and counts it by
// name, so tests can say which calls a command made and benchmarks how many; a hook can set
// off a fault in the middle of a command.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "netware/platform.h"

namespace testing_support {

class CountingClient : public nw::NetWareClient {
 public:
  explicit CountingClient(nw::NetWareClient& inner) : inner_(inner) {}

  std::map<std::string, long> calls;
  // Sees each call's name once it has answered (Count(call) tells how often it was made) and
  // returns the code the caller gets.
  std::function<nw::NWRCODE(const std::string& call, nw::NWRCODE rc)> after;
  long Count(const std::string& name) const {
    auto it = calls.find(name);
    return it == calls.end() ? 0 : it->second;
  }
  long Total() const {
    long total = 0;
    for (const auto& [name, count] : calls) total += count;
    return total;
  }

  nw::NWRCODE NWCallsInit(std::uint8_t* r1, std::uint8_t* r2) override {
    return Pass("NWCallsInit", inner_.NWCallsInit(r1, r2));
  }
  nw::NWRCODE NWParsePath(const char* path, char* server, std::size_t serverSize,
                          nw::NWCONN_HANDLE* conn, char* vol, std::size_t volSize, char* dir,
                          std::size_t dirSize) override {
    return Pass("NWParsePath",
                inner_.NWParsePath(path, server, serverSize, conn, vol, volSize, dir, dirSize));
  }
  nw::NWRCODE NWGetVolumeNumber(nw::NWCONN_HANDLE conn, const char* vol,
                                nw::nuint32* num) override {
    return Pass("NWGetVolumeNumber", inner_.NWGetVolumeNumber(conn, vol, num));
  }
  nw::NWRCODE NWScanObjectTrusteePaths(nw::NWCONN_HANDLE conn, nw::nuint32 obj, nw::nuint32 vol,
                                       nw::nuint32* iter, std::uint8_t* rights, char* path,
                                       std::size_t pathSize) override {
    return Pass("NWScanObjectTrusteePaths",
                inner_.NWScanObjectTrusteePaths(conn, obj, vol, iter, rights, path, pathSize));
  }
  nw::NWRCODE NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                          const char* path, nw::nuint32* iter, char* dirName,
                                          std::size_t dirNameSize, nw::nuint32* dateTime,
                                          nw::nuint32* owner,
                                          nw::TrusteeEntry trustees[nw::kTrusteeBatch]) override {
    return Pass("NWScanDirectoryForTrustees2",
                inner_.NWScanDirectoryForTrustees2(conn, dirHandle, path, iter, dirName,
                                                   dirNameSize, dateTime, owner, trustees));
  }
  nw::NWRCODE NWIntScanDirectoryInformation2(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                             const char* path, std::uint8_t* sequence,
                                             char* dirName, std::size_t dirNameSize,
                                             nw::nuint32* dateTime, nw::nuint32* owner,
                                             std::uint8_t* rights, std::uint16_t augment) override {
    return Pass(
        "NWIntScanDirectoryInformation2",
        inner_.NWIntScanDirectoryInformation2(conn, dirHandle, path, sequence, dirName, dirNameSize,
                                              dateTime, owner, rights, augment));
  }
  nw::NWRCODE NWGetFileServerVersionInfo(nw::NWCONN_HANDLE conn, std::uint8_t* info,
                                         std::size_t size) override {
    return Pass("NWGetFileServerVersionInfo", inner_.NWGetFileServerVersionInfo(conn, info, size));
  }
  nw::NWRCODE NWGetObjectID(nw::NWCONN_HANDLE conn, const char* name, std::uint16_t type,
                            nw::nuint32* id) override {
    return Pass("NWGetObjectID", inner_.NWGetObjectID(conn, name, type, id));
  }
  nw::NWRCODE NWAddTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                           nw::nuint32 id, std::uint16_t mask) override {
    return Pass("NWAddTrustee", inner_.NWAddTrustee(conn, dirHandle, path, id, mask));
  }
  nw::NWRCODE NWCCOpenConnByName(nw::NWCONN_HANDLE start, const char* name, nw::nuint32 format,
                                 nw::nuint32 state, nw::nuint32 tran,
                                 nw::NWCONN_HANDLE* conn) override {
    return Pass("NWCCOpenConnByName",
                inner_.NWCCOpenConnByName(start, name, format, state, tran, conn));
  }
  nw::NWRCODE NWCCCloseConn(nw::NWCONN_HANDLE conn) override {
    return Pass("NWCCCloseConn", inner_.NWCCCloseConn(conn));
  }
  nw::NWRCODE NWDSCreateContextHandle(nw::NWDSContextHandle* context) override {
    return Pass("NWDSCreateContextHandle", inner_.NWDSCreateContextHandle(context));
  }
  nw::NWRCODE NWDSSetContext(nw::NWDSContextHandle context, nw::nuint32 key,
                             const void* value) override {
    return Pass("NWDSSetContext", inner_.NWDSSetContext(context, key, value));
  }
  nw::NWRCODE NWDSFreeContext(nw::NWDSContextHandle context) override {
    return Pass("NWDSFreeContext", inner_.NWDSFreeContext(context));
  }
  nw::NWRCODE NWDSMapNameToID(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                              const char* name, nw::nuint32* id) override {
    return Pass("NWDSMapNameToID", inner_.NWDSMapNameToID(context, conn, name, id));
  }

  nw::NWRCODE NWDeleteTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                              nw::nuint32 id) override {
    return Pass("NWDeleteTrustee", inner_.NWDeleteTrustee(conn, dirHandle, path, id));
  }
  nw::NWRCODE NWScanForTrustees(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                                nw::nuint32* iter, std::uint16_t* count,
                                nw::NWET_INFO* info) override {
    return Pass("NWScanForTrustees",
                inner_.NWScanForTrustees(conn, dirHandle, path, iter, count, info));
  }
  nw::NWRCODE NWGetNSEntryInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                               std::uint8_t src, std::uint8_t dst, std::uint16_t attrs,
                               nw::nuint32 mask, nw::NW_ENTRY_INFO* info) override {
    return Pass("NWGetNSEntryInfo",
                inner_.NWGetNSEntryInfo(conn, dirHandle, path, src, dst, attrs, mask, info));
  }
  nw::NWRCODE NWScanNSEntryInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                std::uint8_t nameSpace, std::uint16_t attrs,
                                nw::SEARCH_SEQUENCE* sequence, const char* pattern,
                                nw::nuint32 mask, nw::NW_ENTRY_INFO* info) override {
    return Pass("NWScanNSEntryInfo", inner_.NWScanNSEntryInfo(conn, dirHandle, nameSpace, attrs,
                                                              sequence, pattern, mask, info));
  }
  nw::NWRCODE NWSetNSEntryDOSInfo(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                                  std::uint8_t nameSpace, std::uint16_t attrs, nw::nuint32 mask,
                                  const nw::MODIFY_DOS_INFO* info) override {
    return Pass("NWSetNSEntryDOSInfo",
                inner_.NWSetNSEntryDOSInfo(conn, dirHandle, path, nameSpace, attrs, mask, info));
  }
  nw::NWRCODE NWScanObject(nw::NWCONN_HANDLE conn, const char* pattern, std::uint16_t type,
                           nw::nuint32* id, char* name, std::size_t nameSize,
                           std::uint16_t* foundType, std::uint8_t* properties, std::uint8_t* flags,
                           std::uint8_t* security) override {
    return Pass("NWScanObject", inner_.NWScanObject(conn, pattern, type, id, name, nameSize,
                                                    foundType, properties, flags, security));
  }
  nw::NWRCODE NWGetObjectName(nw::NWCONN_HANDLE conn, nw::nuint32 id, char* name,
                              std::size_t nameSize, std::uint16_t* type) override {
    return Pass("NWGetObjectName", inner_.NWGetObjectName(conn, id, name, nameSize, type));
  }
  nw::NWRCODE NWGetVolumeName(nw::NWCONN_HANDLE conn, std::uint16_t number, char* name,
                              std::size_t nameSize) override {
    return Pass("NWGetVolumeName", inner_.NWGetVolumeName(conn, number, name, nameSize));
  }
  nw::NWRCODE NWCCGetConnInfo(nw::NWCONN_HANDLE conn, nw::nuint32 type, std::size_t len,
                              void* buffer) override {
    return Pass("NWCCGetConnInfo", inner_.NWCCGetConnInfo(conn, type, len, buffer));
  }
  nw::NWRCODE NWDSMapIDToName(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn, nw::nuint32 id,
                              char* name, std::size_t nameSize) override {
    return Pass("NWDSMapIDToName", inner_.NWDSMapIDToName(context, conn, id, name, nameSize));
  }

 private:
  nw::NWRCODE Pass(const char* call, nw::NWRCODE rc) {
    ++calls[call];
    return after ? after(call, rc) : rc;
  }
  nw::NetWareClient& inner_;
};

// The network behind a counting client.
class CountingPlatform : public nw::NetWarePlatform {
 public:
  explicit CountingPlatform(std::unique_ptr<nw::NetWarePlatform> inner)
      : inner_(std::move(inner)), client_(inner_->Client()) {}

  CountingClient& Counter() { return client_; }
  nw::NetWareClient& Client() override { return client_; }
  nw::NWSession& Session() override { return inner_->Session(); }
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override { return inner_->CreateDirectory(); }
  nw::FileListing& Files() override { return inner_->Files(); }

 private:
  std::unique_ptr<nw::NetWarePlatform> inner_;
  CountingClient client_;
};

}  // namespace testing_support
