#pragma once
// Writing a rights file so that an earlier file of the same name is replaced only by a
// complete one.

#include <filesystem>
#include <memory>
#include <string>

#include "formats/rights_file.h"
#include "formats/text_file.h"

namespace formats {

// Writes into a temporary file of its own beside `file` (created afresh, never through a
// link), which takes the name `file` only on Commit: until then an earlier file of that name
// stays exactly as it was, and a writer destroyed without Commit removes its temporary file.
// A link standing at `file` is replaced, not followed.
//
// When `file` names a character device, a FIFO or a socket, there is nothing to replace:
// the records go into it on Commit, all at once, and nothing at all without Commit.
class RightsFileWriter {
 public:
  // Throws FormatError when `file` is a folder or a block device, or when its folder is
  // missing or cannot be written.
  explicit RightsFileWriter(const std::filesystem::path& file);
  ~RightsFileWriter();
  RightsFileWriter(const RightsFileWriter&) = delete;
  RightsFileWriter& operator=(const RightsFileWriter&) = delete;

  // Writes one whole record, or nothing: UnwritableValue as FormatRightsRecord throws it, or
  // FormatError when the file fails.
  void Write(const RightsRecord& record);
  // Flushes, closes and renames over `file`; throws FormatError (temporary file removed)
  // when any write failed.
  void Commit();

  // True when the records go straight into a device, FIFO or socket.
  bool Direct() const { return direct_; }

  // Whether a regular file stands at `file` (a link to one counts): what a capture that
  // does not complete leaves as it was.
  static bool EarlierFileExists(const std::filesystem::path& file);

 private:
  void OpenTemporary();
  void Discard() noexcept;

  std::filesystem::path file_;
  std::filesystem::path temp_;  // empty when direct
  std::unique_ptr<OutputFile> out_;
  std::string held_;  // direct: the whole file, written on Commit
  bool direct_ = false;
  bool committed_ = false;
};

}  // namespace formats
