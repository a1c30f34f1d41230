#pragma once
// A network of one tree, one organization and two volumes, enough to build the window and
// browse a little. Every other client call fails: help never reaches the network.

#include <memory>
#include <string>
#include <vector>

#include "netware/platform.h"

namespace help_tests {

class TinyClient : public nw::NetWareClient {
 public:
  using RC = nw::NWRCODE;
  RC NWCallsInit(std::uint8_t*, std::uint8_t*) override { return 0; }
  RC NWParsePath(const char*, char*, std::size_t, nw::NWCONN_HANDLE*, char*, std::size_t, char*,
                 std::size_t) override {
    return nw::kUnknownServer;
  }
  RC NWGetVolumeNumber(nw::NWCONN_HANDLE, const char*, nw::nuint32*) override {
    return nw::kInvalidConnection;
  }
  RC NWScanObjectTrusteePaths(nw::NWCONN_HANDLE, nw::nuint32, nw::nuint32, nw::nuint32*,
                              std::uint8_t*, char*, std::size_t) override {
    return nw::kInvalidConnection;
  }
  RC NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE, std::uint8_t, const char*, nw::nuint32*, char*,
                                 std::size_t, nw::nuint32*, nw::nuint32*,
                                 nw::TrusteeEntry[nw::kTrusteeBatch]) override {
    return nw::kInvalidConnection;
  }
  RC NWGetFileServerVersionInfo(nw::NWCONN_HANDLE, std::uint8_t*, std::size_t) override {
    return nw::kInvalidConnection;
  }
  RC NWGetObjectID(nw::NWCONN_HANDLE, const char*, std::uint16_t, nw::nuint32*) override {
    return nw::kInvalidConnection;
  }
  RC NWAddTrustee(nw::NWCONN_HANDLE, std::uint8_t, const char*, nw::nuint32,
                  std::uint16_t) override {
    return nw::kInvalidConnection;
  }
  RC NWCCOpenConnByName(nw::NWCONN_HANDLE, const char*, nw::nuint32, nw::nuint32, nw::nuint32,
                        nw::NWCONN_HANDLE*) override {
    return nw::kUnknownServer;
  }
  RC NWCCCloseConn(nw::NWCONN_HANDLE) override { return nw::kInvalidConnection; }
  RC NWDSCreateContextHandle(nw::NWDSContextHandle*) override { return nw::kDsNoSuchEntry; }
  RC NWDSSetContext(nw::NWDSContextHandle, nw::nuint32, const void*) override {
    return nw::kDsNoSuchEntry;
  }
  RC NWDSFreeContext(nw::NWDSContextHandle) override { return 0; }
  RC NWDSMapNameToID(nw::NWDSContextHandle, nw::NWCONN_HANDLE, const char*, nw::nuint32*) override {
    return nw::kDsNoSuchEntry;
  }
};

class TinySession : public nw::NWSession {
 public:
  std::vector<nw::NWTree> Trees() override { return {{"CORP"}}; }
  std::vector<nw::NWDriveMapping> DriveMappings() override { return {}; }
  nw::NWDriveMapping MapDrive(std::string& drive, std::string&, bool) override {
    return {drive, ""};
  }
  bool UnmapDrive(const std::string&) override { return false; }
};

class TinyDirectory : public nw::NWDirectory {
 public:
  void SearchObjects(const std::string&, const std::string& objectClass, std::int32_t,
                     const std::string&, std::int32_t) override {
    if (!SearchResults) return;
    if (objectClass == "Volume")
      SearchResults({R"(NDS:\\CORP\Main\FS1_SYS)", R"(NDS:\\CORP\Main\FS1_VOL1)"});
    else
      SearchResults({""});
  }
  std::vector<nw::NWDirEntry> Children(const std::string& fullName) override {
    if (fullName.find("[Root]") != std::string::npos ||
        fullName.find("[ROOT]") != std::string::npos)
      return {{"Main", "Organization", R"(NDS:\\CORP\Main)", true}};
    if (fullName == R"(NDS:\\CORP\Main)")
      return {{"FS1_SYS", "Volume", R"(NDS:\\CORP\Main\FS1_SYS)", false},
              {"FS1_VOL1", "Volume", R"(NDS:\\CORP\Main\FS1_VOL1)", false}};
    return {};
  }
};

class TinyFiles : public nw::FileListing {
 public:
  std::string Dir(const std::string&) override { return ""; }
};

class TinyPlatform : public nw::NetWarePlatform {
 public:
  nw::NetWareClient& Client() override { return client_; }
  nw::NWSession& Session() override { return session_; }
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override {
    return std::make_unique<TinyDirectory>();
  }
  nw::FileListing& Files() override { return files_; }

 private:
  TinyClient client_;
  TinySession session_;
  TinyFiles files_;
};

}  // namespace help_tests
