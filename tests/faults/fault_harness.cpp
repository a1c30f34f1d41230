#include "faults/fault_harness.h"

#include <grp.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace faults {
namespace {

constexpr uid_t kNobody = 65534;

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ReadAll(int fd) {
  std::string bytes;
  char chunk[4096];
  while (true) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return bytes;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

// Message fields travel one a line; a line end inside one would break the report.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = '\x1f';
  }
  return text;
}

}  // namespace

void HookedClient::After(const char* call, nw::NWCONN_HANDLE conn) {
  if (!after) return;
  auto found = servers_.find(conn);
  after(call, found == servers_.end() ? std::string() : found->second);
}

nw::NWRCODE HookedClient::NWCCOpenConnByName(nw::NWCONN_HANDLE start, const char* name,
                                             nw::nuint32 format, nw::nuint32 state,
                                             nw::nuint32 tran, nw::NWCONN_HANDLE* conn) {
  const nw::NWRCODE rc = CountingClient::NWCCOpenConnByName(start, name, format, state, tran, conn);
  if (rc == 0) servers_[*conn] = name;
  After("NWCCOpenConnByName", rc == 0 ? *conn : 0);
  return rc;
}

nw::NWRCODE HookedClient::NWDSMapNameToID(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                                          const char* name, nw::nuint32* id) {
  const nw::NWRCODE rc = CountingClient::NWDSMapNameToID(context, conn, name, id);
  After("NWDSMapNameToID", conn);
  return rc;
}

nw::NWRCODE HookedClient::NWAddTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle,
                                       const char* path, nw::nuint32 id, std::uint16_t mask) {
  const nw::NWRCODE rc = CountingClient::NWAddTrustee(conn, dirHandle, path, id, mask);
  After("NWAddTrustee", conn);
  return rc;
}

nw::NWRCODE HookedClient::NWScanObjectTrusteePaths(nw::NWCONN_HANDLE conn, nw::nuint32 obj,
                                                   nw::nuint32 vol, nw::nuint32* iter,
                                                   std::uint8_t* rights, char* path,
                                                   std::size_t pathSize) {
  const nw::NWRCODE rc =
      CountingClient::NWScanObjectTrusteePaths(conn, obj, vol, iter, rights, path, pathSize);
  After("NWScanObjectTrusteePaths", conn);
  return rc;
}

std::string RunInChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    ::close(fds[0]);
    std::string report;
    try {
      report = body();
    } catch (const std::exception& e) {
      report = std::string("child failed: ") + e.what();
    } catch (...) {
      report = "child failed";
    }
    ::_exit(WriteAll(fds[1], report) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string report = ReadAll(fds[0]);
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return "child died (status " + std::to_string(status) + ") after: " + report;
  }
  return report;
}

void DropPrivileges() {
  if (::geteuid() != 0) return;
  if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
      ::geteuid() != kNobody) {
    throw std::runtime_error(std::string("cannot drop privileges: ") + std::strerror(errno));
  }
}

void OpenToEveryone(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const auto all = fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all;
  const auto readWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                         fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;
  fs::permissions(folder, all, fs::perm_options::add);
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    fs::permissions(entry.path(), entry.is_directory() ? all : readWrite, fs::perm_options::add);
  }
}

std::string EncodeShown(const testing_support::FakeDesktop& desktop, const std::string& extra) {
  std::string report = (desktop.Busy() ? "busy\n" : "idle\n") + OneLine(extra) + "\n";
  for (const auto& message : desktop.messages) {
    report += std::to_string(static_cast<int>(message.icon)) + "\n" + OneLine(message.title) +
              "\n" + OneLine(message.text) + "\n";
  }
  return report;
}

Shown DecodeShown(const std::string& report) {
  Shown shown;
  std::istringstream in(report);
  std::string line;
  if (!std::getline(in, line) || (line != "busy" && line != "idle")) {
    shown.failure = report.empty() ? "no report" : report;
    return shown;
  }
  shown.busy = line == "busy";
  std::getline(in, shown.extra);
  std::string icon, title, text;
  while (std::getline(in, icon) && std::getline(in, title) && std::getline(in, text)) {
    shown.messages.push_back({text, static_cast<app::MsgIcon>(std::stoi(icon)), title});
  }
  return shown;
}

StoreLocker::StoreLocker(const std::filesystem::path& networkFolder) {
  int down[2], up[2];
  if (::pipe(down) != 0 || ::pipe(up) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ > 0) {
    ::close(down[0]);
    ::close(up[1]);
    toChild_ = down[1];
    fromChild_ = up[0];
    return;
  }
  // The locker: its own connection, made after the fork; it answers one byte a step.
  ::close(down[1]);
  ::close(up[0]);
  const std::string file = (networkFolder / "network.db").string();
  char command = 0;
  while (::read(down[0], &command, 1) == 1 && command == 'L') {
    int holdMs = 0;
    if (::read(down[0], &holdMs, sizeof holdMs) != sizeof holdMs) break;
    sqlite3* db = nullptr;
    const bool locked =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_busy_timeout(db, 5000) == SQLITE_OK &&
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    WriteAll(up[1], locked ? "R" : "E");
    if (holdMs > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    } else if (::read(down[0], &command, 1) != 1) {
      break;
    }
    WriteAll(up[1], "G");
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    WriteAll(up[1], "C");
  }
  ::_exit(0);
}

StoreLocker::~StoreLocker() {
  if (pid_ <= 0) return;
  ::close(toChild_);  // the locker lets go and leaves
  ::close(fromChild_);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

char StoreLocker::Receive(int waitMs) {
  pollfd ready{fromChild_, POLLIN, 0};
  if (::poll(&ready, 1, waitMs) != 1) return 0;
  char answer = 0;
  return ::read(fromChild_, &answer, 1) == 1 ? answer : 0;
}

void StoreLocker::Lock(int holdMs) {
  if (!WriteAll(toChild_, "L") ||
      !WriteAll(toChild_, std::string(reinterpret_cast<const char*>(&holdMs), sizeof holdMs))) {
    throw std::runtime_error("the locker is gone");
  }
  if (Receive(10000) != 'R') throw std::runtime_error("the locker could not lock the store");
}

void StoreLocker::Release() { WriteAll(toChild_, "U"); }

bool StoreLocker::LettingGo(int waitMs) { return Receive(waitMs) == 'G'; }

void StoreLocker::WaitReleased() {
  for (char answer = Receive(10000); answer != 0 && answer != 'C'; answer = Receive(10000)) {
  }
}

}  // namespace faults
