#pragma once
// Writing a rights file so that an earlier file of the same name is replaced only by a
// complete one.

#include <filesystem>
#include <memory>

#include "formats/rights_file.h"
#include "formats/text_file.h"

namespace formats {

// Writes into a temporary file beside `file`, which takes the name `file` only on Commit:
// until then an earlier file of that name stays exactly as it was, and a writer destroyed
// without Commit removes its temporary file.
class RightsFileWriter {
 public:
  explicit RightsFileWriter(const std::filesystem::path& file);  // throws FormatError
  ~RightsFileWriter();
  RightsFileWriter(const RightsFileWriter&) = delete;
  RightsFileWriter& operator=(const RightsFileWriter&) = delete;

  // Writes one whole record, or nothing: UnwritableValue as FormatRightsRecord throws it, or
  // FormatError when the file fails.
  void Write(const RightsRecord& record);
  // Flushes, closes and renames over `file`; throws FormatError (temporary file removed)
  // when any write failed.
  void Commit();

 private:
  void Discard() noexcept;

  std::filesystem::path file_;
  std::filesystem::path temp_;
  std::unique_ptr<OutputFile> out_;
  bool committed_ = false;
};

}  // namespace formats
