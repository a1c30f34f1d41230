#pragma once
// What the fault tests share: a platform whose calls can set off a fault in the middle of a
// command, and child processes for faults the test program itself must not suffer (lowered
// privileges, a file-size limit) or that need another process (a lock on the store).

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/counting_platform.h"
#include "support/fake_desktop.h"

namespace faults {

// Passes every call through; `after` runs once a hooked call has answered, with the call's
// name and the server its connection was opened to ("" when unknown).
class HookedClient : public testing_support::CountingClient {
 public:
  using CountingClient::CountingClient;
  std::function<void(const std::string& call, const std::string& server)> after;

  nw::NWRCODE NWCCOpenConnByName(nw::NWCONN_HANDLE start, const char* name, nw::nuint32 format,
                                 nw::nuint32 state, nw::nuint32 tran,
                                 nw::NWCONN_HANDLE* conn) override;
  nw::NWRCODE NWDSMapNameToID(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                              const char* name, nw::nuint32* id) override;
  nw::NWRCODE NWAddTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                           nw::nuint32 id, std::uint16_t mask) override;
  nw::NWRCODE NWScanObjectTrusteePaths(nw::NWCONN_HANDLE conn, nw::nuint32 obj, nw::nuint32 vol,
                                       nw::nuint32* iter, std::uint8_t* rights, char* path,
                                       std::size_t pathSize) override;

 private:
  void After(const char* call, nw::NWCONN_HANDLE conn);
  std::map<nw::NWCONN_HANDLE, std::string> servers_;
};

// Passes every call through; `beforeUnmap` runs before a drive mapping is removed.
class HookedSession : public nw::NWSession {
 public:
  explicit HookedSession(nw::NWSession& inner) : inner_(inner) {}
  std::function<void()> beforeUnmap;

  std::vector<nw::NWTree> Trees() override { return inner_.Trees(); }
  std::vector<nw::NWDriveMapping> DriveMappings() override { return inner_.DriveMappings(); }
  nw::NWDriveMapping MapDrive(std::string& drive, std::string& path, bool flag) override {
    return inner_.MapDrive(drive, path, flag);
  }
  bool UnmapDrive(const std::string& letter) override {
    if (beforeUnmap) beforeUnmap();
    return inner_.UnmapDrive(letter);
  }

 private:
  nw::NWSession& inner_;
};

class HookedPlatform : public nw::NetWarePlatform {
 public:
  explicit HookedPlatform(std::unique_ptr<nw::NetWarePlatform> inner)
      : inner_(std::move(inner)), client_(inner_->Client()), session_(inner_->Session()) {}

  HookedClient& Hooked() { return client_; }
  HookedSession& Sess() { return session_; }
  nw::NetWareClient& Client() override { return client_; }
  nw::NWSession& Session() override { return session_; }
  std::unique_ptr<nw::NWDirectory> CreateDirectory() override { return inner_->CreateDirectory(); }
  nw::FileListing& Files() override { return inner_->Files(); }

 private:
  std::unique_ptr<nw::NetWarePlatform> inner_;
  HookedClient client_;
  HookedSession session_;
};

// Runs `body` in a forked child and returns what it returned. The child never comes back
// into the test program: it leaves with _exit, so nothing of the parent is torn down twice.
// A child that dies or throws yields a text saying so, which no test expects.
std::string RunInChild(const std::function<std::string()>& body);

// In a child: takes the identity of the unprivileged user "nobody" when running as root, so
// that permission bits stop writes as they do for a user. Throws when that fails.
void DropPrivileges();
// Lets everyone read and write everything below `folder`, for a child that has dropped its
// privileges.
void OpenToEveryone(const std::filesystem::path& folder);

// The messages and pointer of a window as a child reports them, with a line of the caller's
// own, and back.
std::string EncodeShown(const testing_support::FakeDesktop& desktop, const std::string& extra);
struct Shown {
  std::vector<testing_support::ShownMessage> messages;
  bool busy = true;
  std::string extra;
  std::string failure;  // the child's own failure, when it had one
};
Shown DecodeShown(const std::string& report);

// Another process that holds the store's write lock (BEGIN EXCLUSIVE) on command. It is
// forked when made, so make it while this process has no connection to the store open.
class StoreLocker {
 public:
  explicit StoreLocker(const std::filesystem::path& networkFolder);
  ~StoreLocker();
  StoreLocker(const StoreLocker&) = delete;
  StoreLocker& operator=(const StoreLocker&) = delete;

  // Takes the lock and returns once it is held. With holdMs > 0 the locker lets go by
  // itself after that long; otherwise it holds until Release().
  void Lock(int holdMs);
  void Release();
  // True once the locker has said it is letting go (it says so just before it commits).
  bool LettingGo(int waitMs = 0);
  // Waits for the commit to be done.
  void WaitReleased();

 private:
  char Receive(int waitMs);
  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
};

}  // namespace faults
