#pragma once
// Writing a rights file so that an earlier file of the same name is replaced only by a
// complete one.

#include <filesystem>

#include "formats/rights_file.h"
#include "formats/safe_file_writer.h"

namespace formats {

// A rights file written as SafeFileWriter writes any file.
class RightsFileWriter : public SafeFileWriter {
 public:
  explicit RightsFileWriter(const std::filesystem::path& file)
      : SafeFileWriter(file, "rights file") {}

  // Writes one whole record, or nothing: UnwritableValue as FormatRightsRecord throws it, or
  // FormatError when the file fails.
  void Write(const RightsRecord& record) { Append(FormatRightsRecord(record)); }
};

}  // namespace formats
