#pragma once
// Child processes for faults the test program itself must not suffer.

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace faults {

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
