#pragma once
// A small in-memory platform for window tests: a client library that counts every call, a
// session with a scripted tree list, and directory controls over a fixed NDS tree.

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "netware/platform.h"

namespace window_test {

class FakeClient : public nw::NetWareClient {
 public:
  nw::NWRCODE initCode = 0;
  int calls = 0;  // every call, NWCallsInit included
  std::vector<int> initReserved;

  nw::NWRCODE NWCallsInit(std::uint8_t* r1, std::uint8_t* r2) override {
    ++calls;
    initReserved = {r1 ? *r1 : -1, r2 ? *r2 : -1};
    return initCode;
  }
  nw::NWRCODE NWParsePath(const char*, char*, std::size_t, nw::NWCONN_HANDLE*, char*, std::size_t,
                          char*, std::size_t) override {
    return Other();
  }
  nw::NWRCODE NWGetVolumeNumber(nw::NWCONN_HANDLE, const char*, nw::nuint32*) override {
    return Other();
  }
  nw::NWRCODE NWScanObjectTrusteePaths(nw::NWCONN_HANDLE, nw::nuint32, nw::nuint32, nw::nuint32*,
                                       std::uint8_t*, char*, std::size_t) override {
    return Other();
  }
  nw::NWRCODE NWScanDirectoryForTrustees2(nw::NWCONN_HANDLE, std::uint8_t, const char*,
                                          nw::nuint32*, char*, std::size_t, nw::nuint32*,
                                          nw::nuint32*, nw::TrusteeEntry*) override {
    return Other();
  }
  nw::NWRCODE NWGetFileServerVersionInfo(nw::NWCONN_HANDLE, std::uint8_t*, std::size_t) override {
    return Other();
  }
  nw::NWRCODE NWGetObjectID(nw::NWCONN_HANDLE, const char*, std::uint16_t, nw::nuint32*) override {
    return Other();
  }
  nw::NWRCODE NWAddTrustee(nw::NWCONN_HANDLE, std::uint8_t, const char*, nw::nuint32,
                           std::uint16_t) override {
    return Other();
  }
  nw::NWRCODE NWCCOpenConnByName(nw::NWCONN_HANDLE, const char*, nw::nuint32, nw::nuint32,
                                 nw::nuint32, nw::NWCONN_HANDLE*) override {
    return Other();
  }
  nw::NWRCODE NWCCCloseConn(nw::NWCONN_HANDLE) override { return Other(); }
  nw::NWRCODE NWDSCreateContextHandle(nw::NWDSContextHandle*) override { return Other(); }
  nw::NWRCODE NWDSSetContext(nw::NWDSContextHandle, nw::nuint32, const void*) override {
    return Other();
  }
  nw::NWRCODE NWDSFreeContext(nw::NWDSContextHandle) override { return Other(); }
  nw::NWRCODE NWDSMapNameToID(nw::NWDSContextHandle, nw::NWCONN_HANDLE, const char*,
                              nw::nuint32*) override {
    return Other();
  }

 private:
  nw::NWRCODE Other() {
    ++calls;
    return nw::kNoMoreEntries;
  }
};

class FakeSession : public nw::NWSession {
 public:
  std::vector<std::string> trees;
  int treeCalls = 0;
  int mappingCalls = 0;           // DriveMappings, MapDrive and UnmapDrive together
  std::function<void()> onTrees;  // runs inside Trees(), before it answers; may throw

  std::vector<nw::NWTree> Trees() override {
    ++treeCalls;
    if (onTrees) onTrees();
    std::vector<nw::NWTree> result;
    for (const auto& t : trees) result.push_back({t});
    return result;
  }
  std::vector<nw::NWDriveMapping> DriveMappings() override {
    ++mappingCalls;
    return {};
  }
  nw::NWDriveMapping MapDrive(std::string& drive, std::string&, bool) override {
    ++mappingCalls;
    return {drive, ""};
  }
  bool UnmapDrive(const std::string&) override {
    ++mappingCalls;
    return false;
  }
};

// One NDS object of the fake tree, by its full name.
struct FakeObject {
  std::string fullName;  // "NDS:\\T\ACME\FS1_SYS"
  std::string objectClass;
};

inline std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// Everything below the root "NDS:\\T\[Root]" of each tree.
class FakeNds {
 public:
  std::vector<FakeObject> objects;
  std::vector<std::string> childrenCalls;
  std::string failChildrenOf;  // Children() of this full name throws

  void Add(const std::string& fullName, const std::string& objectClass) {
    objects.push_back({fullName, objectClass});
  }

  // The parent of a full name; a top object's parent is its tree's root "NDS:\\T\[Root]".
  static std::string ParentOf(const std::string& fullName) {
    const auto last = fullName.rfind('\\');
    const std::string parent = fullName.substr(0, last);
    if (parent.rfind('\\') == 5) return parent + "\\[Root]";  // "NDS:\\T" has its last '\' at 5
    return parent;
  }
};

inline bool PassesFilter(const std::string& filter, const std::string& objectClass) {
  if (filter.empty()) return true;
  std::stringstream classes(filter);
  std::string one;
  while (std::getline(classes, one, ',')) {
    if (one == objectClass) return true;
  }
  return false;
}

class FakeDirectory : public nw::NWDirectory {
 public:
  explicit FakeDirectory(FakeNds& nds) : nds_(nds) {}

  struct Search {
    std::string pattern, objectClass, base;
    std::int32_t depth, last;
  };
  std::vector<Search> searches;

  void SearchObjects(const std::string& pattern, const std::string& objectClass, std::int32_t depth,
                     const std::string& base, std::int32_t last) override {
    searches.push_back({pattern, objectClass, base, depth, last});
    const std::string tree = Upper(base.substr(0, base.find('\\', 6)));
    std::vector<std::string> found;
    for (const auto& o : nds_.objects) {
      if (o.objectClass == objectClass && Upper(o.fullName).rfind(tree + "\\", 0) == 0) {
        found.push_back(o.fullName);
      }
    }
    if (found.empty()) found.push_back("");
    if (SearchResults) SearchResults(found);
  }

  std::vector<nw::NWDirEntry> Children(const std::string& fullName) override {
    nds_.childrenCalls.push_back(fullName);
    if (!nds_.failChildrenOf.empty() && fullName == nds_.failChildrenOf) {
      throw std::runtime_error("The directory cannot be read");
    }
    std::vector<nw::NWDirEntry> children;
    for (const auto& o : nds_.objects) {
      if (Upper(FakeNds::ParentOf(o.fullName)) != Upper(fullName)) continue;
      if (!PassesFilter(Filter, o.objectClass)) continue;
      bool hasChildren = false;
      for (const auto& c : nds_.objects) {
        if (FakeNds::ParentOf(c.fullName) == o.fullName && PassesFilter(Filter, c.objectClass)) {
          hasChildren = true;
        }
      }
      children.push_back(
          {o.fullName.substr(o.fullName.rfind('\\') + 1), o.objectClass, o.fullName, hasChildren});
    }
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.Name < b.Name; });
    return children;
  }

 private:
  FakeNds& nds_;
};

class NoFiles : public nw::FileListing {
 public:
  std::string Dir(const std::string&) override { return ""; }
};

class FakePlatform : public nw::NetWarePlatform {
 public:
  FakeClient client;
  FakeSession session;
  FakeNds nds;
  std::vector<FakeDirectory*> directories;  // every directory control created, in order

  nw::NetWareClient& Client() override { return client; }
  nw::NWSession& Session() override { return session; }
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override {
    auto directory = std::make_unique<FakeDirectory>(nds);
    directories.push_back(directory.get());
    return directory;
  }
  nw::FileListing& Files() override { return files_; }

 private:
  NoFiles files_;
};

}  // namespace window_test
