#include "formats/safe_file_writer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>
#include <utility>

#include "formats/windows1252.h"

namespace formats {
namespace {

constexpr int kTemporaryNameTries = 100;
// Room for the dot, the separator and the suffix within a file name's 255 bytes.
constexpr std::size_t kLongestTemporaryBase = 200;

bool IsStream(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode) || S_ISSOCK(mode); }

// A socket cannot be opened like a file: it is connected to.
int ConnectSocket(const std::filesystem::path& file) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string& name = file.native();
  if (name.size() >= sizeof(address.sun_path)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// An open descriptor of the device, FIFO or socket at `file`, or -1 when `file` turns out to
// be something to replace after all (errno 0) or cannot be opened (errno set).
int OpenStream(const std::filesystem::path& file, mode_t mode) {
  if (S_ISSOCK(mode)) return ConnectSocket(file);
  // No O_CREAT and no O_TRUNC: the open cannot make or empty a regular file, and one that took
  // the name since is handed back below.
  const int fd = ::open(file.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !IsStream(opened.st_mode)) {
    ::close(fd);
    errno = 0;
    return -1;
  }
  return fd;
}

std::string RandomSuffix(std::mt19937& random) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kLetters[pick(random)];
  return suffix;
}

}  // namespace

SafeFileWriter::SafeFileWriter(const std::filesystem::path& file, std::string kind)
    : file_(file), kind_(std::move(kind)) {
  struct stat target {};
  if (::stat(file.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) throw FormatError(FileFailure("create", file, EISDIR));
    if (S_ISBLK(target.st_mode)) {
      throw FormatError("The file " + file.string() + " is a block device; a " + kind_ +
                        " is never written onto one.");
    }
    if (IsStream(target.st_mode)) {
      const int fd = OpenStream(file, target.st_mode);
      if (fd >= 0) {
        out_ = std::make_unique<OutputFile>(fd, file);
        direct_ = true;
        return;
      }
      if (errno != 0) throw FormatError(FileFailure("write", file, errno));
    }
  }
  OpenTemporary();
}

// A name of its own, made exclusively: no other writer's file and no planted link is ever
// opened, and the rename on Commit stays within one folder and so one file system.
void SafeFileWriter::OpenTemporary() {
  const std::filesystem::path folder = file_.has_parent_path() ? file_.parent_path() : ".";
  const std::string base = file_.filename().string().substr(0, kLongestTemporaryBase);
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const std::filesystem::path candidate = folder / ("." + base + "." + RandomSuffix(random));
    // 0666 less the umask, as any new file gets.
    const int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      temp_ = candidate;
      out_ = std::make_unique<OutputFile>(fd, candidate);
      return;
    }
    if (errno == ENOENT) {
      throw FormatError("Cannot create the file " + file_.string() + ": the folder " +
                        folder.string() + " does not exist.");
    }
    if (errno != EEXIST) throw FormatError(FileFailure("create", file_, errno));
  }
  throw FormatError(FileFailure("create", file_, EEXIST));
}

SafeFileWriter::~SafeFileWriter() {
  if (!committed_) Discard();
}

bool SafeFileWriter::EarlierFileExists(const std::filesystem::path& file) {
  struct stat target {};
  return ::stat(file.c_str(), &target) == 0 && S_ISREG(target.st_mode);
}

void SafeFileWriter::Discard() noexcept {
  out_.reset();
  held_.clear();
  if (temp_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
}

void SafeFileWriter::Append(const std::string& bytes) {
  if (!out_) throw FormatError("The " + kind_ + " " + file_.string() + " is already closed.");
  if (direct_) {
    held_ += bytes;
  } else {
    out_->Append(bytes);
  }
}

void SafeFileWriter::Commit() {
  if (committed_) return;
  if (!out_) throw FormatError("The " + kind_ + " " + file_.string() + " is already closed.");
  if (direct_) {
    try {
      out_->Append(held_);
      out_->Close(/*sync=*/false);
    } catch (...) {
      Discard();
      throw;
    }
    committed_ = true;
    out_.reset();
    held_.clear();
    return;
  }
  try {
    // On the disk before the rename, so that no crash leaves a short file under the name.
    out_->Close(/*sync=*/true);
  } catch (...) {
    Discard();
    throw;
  }
  if (std::rename(temp_.c_str(), file_.c_str()) != 0) {
    const int error = errno;
    Discard();
    throw FormatError("Cannot replace the file " + file_.string() + ": " +
                      std::generic_category().message(error) + ".");
  }
  committed_ = true;
  out_.reset();
  // The rename itself reaches the disk with its folder; a failure here loses nothing.
  const std::filesystem::path folder = file_.has_parent_path() ? file_.parent_path() : ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace formats
