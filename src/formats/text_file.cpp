#include "formats/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "formats/windows1252.h"

namespace formats {
namespace {

constexpr std::size_t kFlushSize = 64 * 1024;

}  // namespace

std::string FileFailure(std::string_view what, const std::filesystem::path& file, int error) {
  return "Cannot " + std::string(what) + " the file " + file.string() + ": " +
         std::generic_category().message(error) + ".";
}

InputFile::InputFile(const std::filesystem::path& file) : file_(file) {
  fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw FormatError(FileFailure("read", file, errno));
}

InputFile::InputFile(InputFile&& other) noexcept
    : file_(std::move(other.file_)), fd_(std::exchange(other.fd_, -1)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    file_ = std::move(other.file_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::Read(char* buffer, std::size_t size) {
  while (true) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw FormatError(FileFailure("read", file_, errno));
  }
}

OutputFile::OutputFile(const std::filesystem::path& file) : file_(file) {
  fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) throw FormatError(FileFailure("create", file, errno));
  buffer_.reserve(kFlushSize);
}

OutputFile::OutputFile(int fd, const std::filesystem::path& file) : file_(file), fd_(fd) {
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

}  // namespace formats
