#pragma once
// A platform whose calls can set off a fault in the middle of a command, and child processes
// for faults the test program itself must not suffer.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "support/counting_platform.h"

namespace faults {

// Passes every call through; `after` sees each hooked call's name once it has answered
// (Count(call) tells how often it was made) and returns the code the caller gets.
class HookedClient : public testing_support::CountingClient {
 public:
  using CountingClient::CountingClient;
  std::function<nw::NWRCODE(const std::string& call, nw::NWRCODE rc)> after;

  nw::NWRCODE NWDSMapNameToID(nw::NWDSContextHandle context, nw::NWCONN_HANDLE conn,
                              const char* name, nw::nuint32* id) override {
    return After("NWDSMapNameToID", CountingClient::NWDSMapNameToID(context, conn, name, id));
  }
  nw::NWRCODE NWAddTrustee(nw::NWCONN_HANDLE conn, std::uint8_t dirHandle, const char* path,
                           nw::nuint32 id, std::uint16_t mask) override {
    return After("NWAddTrustee", CountingClient::NWAddTrustee(conn, dirHandle, path, id, mask));
  }
  nw::NWRCODE NWGetVolumeNumber(nw::NWCONN_HANDLE conn, const char* vol,
                                nw::nuint32* num) override {
    return After("NWGetVolumeNumber", CountingClient::NWGetVolumeNumber(conn, vol, num));
  }
  nw::NWRCODE NWScanObjectTrusteePaths(nw::NWCONN_HANDLE conn, nw::nuint32 obj, nw::nuint32 vol,
                                       nw::nuint32* iter, std::uint8_t* rights, char* path,
                                       std::size_t pathSize) override {
    return After("NWScanObjectTrusteePaths", CountingClient::NWScanObjectTrusteePaths(
                                                 conn, obj, vol, iter, rights, path, pathSize));
  }

 private:
  nw::NWRCODE After(const char* call, nw::NWRCODE rc) { return after ? after(call, rc) : rc; }
};

using HookedPlatform = testing_support::PassThroughPlatform<HookedClient>;

// Runs `body` in a forked child, which leaves with _exit so nothing of the parent is torn
// down twice, and returns its text; a child that dies or throws yields a text no test expects.
inline std::string RunInChild(const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::string report;
    try {
      report = body();
    } catch (const std::exception& e) {
      report = std::string("child failed: ") + e.what();
    }
    ::_exit(::write(fds[1], report.data(), report.size()) == ssize_t(report.size()) ? 0 : 1);
  }
  ::close(fds[1]);
  std::string report;
  char chunk[4096];
  for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) report.append(chunk, n);
  ::close(fds[0]);
  int status = -1;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return "child died (status " + std::to_string(status) + ") after: " + report;
  }
  return report;
}

}  // namespace faults
