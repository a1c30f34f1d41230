#pragma once
// Writing a file so that an earlier file of the same name is replaced only by a complete one:
// the rights file and the filters file are both written this way.

#include <filesystem>
#include <memory>
#include <string>

#include "formats/text_file.h"

namespace formats {

// Writes into a temporary file of its own beside `file` (created afresh, never through a
// link), which takes the name `file` only on Commit: until then an earlier file of that name
// stays exactly as it was, and a writer destroyed without Commit removes its temporary file.
// A link standing at `file` is replaced, not followed.
//
// When `file` names a character device, a FIFO or a socket, there is nothing to replace:
// the bytes go into it on Commit, all at once, and nothing at all without Commit.
class SafeFileWriter {
 public:
  // Throws FormatError when `file` is a folder or a block device, or when its folder is
  // missing or cannot be written. `kind` names the file in messages ("rights file").
  SafeFileWriter(const std::filesystem::path& file, std::string kind);
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Writes `bytes` as they stand; FormatError when the file fails.
  void Append(const std::string& bytes);
  // Flushes, closes and renames over `file`; throws FormatError (temporary file removed)
  // when any write failed.
  void Commit();

  // True when the bytes go straight into a device, FIFO or socket.
  bool Direct() const { return direct_; }

  // Whether a regular file stands at `file` (a link to one counts): what a capture that
  // does not complete leaves as it was.
  static bool EarlierFileExists(const std::filesystem::path& file);

 private:
  void OpenTemporary();
  void Discard() noexcept;

  std::filesystem::path file_;
  std::string kind_;
  std::filesystem::path temp_;  // empty when direct
  std::unique_ptr<OutputFile> out_;
  std::string held_;  // direct: the whole file, written on Commit
  bool direct_ = false;
  bool committed_ = false;
};

}  // namespace formats
