#pragma once
// The reading rule shared by the object list file and the rights file: a field ends at a
// comma or a line end (CR LF or a bare LF); blanks in front of a field are skipped; a field
// that begins with a double quote runs to the next double quote.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace capture {

class FieldReader {
 public:
  // Throws FormatError naming the file and the reason when it cannot be opened.
  explicit FieldReader(const std::filesystem::path& file);
  // In-memory text, for tests and fuzzing (Windows-1252 bytes).
  static FieldReader FromBytes(std::string bytes);

  // True once nothing but the end of the file is left.
  bool AtEnd();
  // The next field as UTF-8. Throws FormatError at the end of the file.
  std::string ReadField();

 private:
  FieldReader() = default;
  // implementation defined by the formats room
  std::string data_;
  std::size_t pos_ = 0;
};

}  // namespace capture
