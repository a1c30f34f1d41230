#include "formats/rights_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "formats/windows1252.h"

namespace formats {

RightsFileWriter::RightsFileWriter(const std::filesystem::path& file)
    : file_(file), temp_(file.string() + ".tmp") {
  out_ = std::make_unique<OutputFile>(temp_);
}

RightsFileWriter::~RightsFileWriter() {
  if (!committed_) Discard();
}

void RightsFileWriter::Discard() noexcept {
  out_.reset();
  std::error_code ignored;
  std::filesystem::remove(temp_, ignored);
}

void RightsFileWriter::Write(const RightsRecord& record) {
  if (!out_) throw FormatError("The rights file " + file_.string() + " is already closed.");
  out_->Append(FormatRightsRecord(record));
}

void RightsFileWriter::Commit() {
  if (committed_) return;
  if (!out_) throw FormatError("The rights file " + file_.string() + " is already closed.");
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
