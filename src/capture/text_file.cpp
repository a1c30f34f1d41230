#include "capture/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "capture/windows1252.h"

namespace capture {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

}  // namespace

std::string FileFailure(std::string_view what, const std::filesystem::path& file, int error) {
  return "Cannot " + std::string(what) + " the file " + file.string() + ": " +
         std::generic_category().message(error) + ".";
}

std::string ReadWholeFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FormatError(FileFailure("read", file, errno));
  std::string data;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    data.reserve(static_cast<std::size_t>(info.st_size));
  }
  char chunk[64 * 1024];
  while (true) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      throw FormatError(FileFailure("read", file, error));
    }
    data.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return data;
}

OutputFile::OutputFile(const std::filesystem::path& file) : file_(file) {
  fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) throw FormatError(FileFailure("create", file, errno));
  buffer_.reserve(kFlushSize);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::Fail(int error) {
  failure_ = FileFailure("write", file_, error);
  buffer_.clear();
  throw FormatError(failure_);
}

void OutputFile::Append(std::string_view bytes) {
  if (!failure_.empty()) throw FormatError(failure_);
  if (fd_ < 0) throw FormatError("The file " + file_.string() + " is already closed.");
  buffer_.append(bytes);
  if (buffer_.size() >= kFlushSize) Flush();
}

void OutputFile::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t wrote = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    done += static_cast<std::size_t>(wrote);
  }
  buffer_.clear();
}

void OutputFile::Close(bool sync) {
  if (!failure_.empty()) throw FormatError(failure_);
  if (fd_ < 0) return;
  Flush();
  if (sync && ::fsync(fd_) != 0 && errno != EINVAL) Fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail(errno);
}

}  // namespace capture
