#pragma once
// The object list file "users.txt": one dotted object name a line, Windows-1252, CR LF.
// It is read with FieldReader.

#include <filesystem>
#include <string>
#include <string_view>

#include "formats/text_file.h"

namespace formats {

inline constexpr const char* kObjectListFileName = "users.txt";

// "NDS:\\CORP\HQ\IT\ADMIN" of tree "CORP" -> "ADMIN.IT.HQ". Throws UnwritableValue naming the
// result when it does not begin with "NDS:\\" + tree + "\", or names nothing after it.
std::string DottedName(std::string_view fullNdsName, std::string_view tree);

class ObjectListWriter {
 public:
  // Creates the file or empties an existing one. Throws FormatError (with the reason) when
  // it cannot be written.
  explicit ObjectListWriter(const std::filesystem::path& file);
  // Writes one line. A name that holds a comma or begins with a blank is quoted (an empty
  // one is written as ""); one that holds a double quote or a line end, or has no
  // Windows-1252 code, throws UnwritableValue and writes nothing.
  void WriteName(std::string_view name);
  // Flushes and closes; throws FormatError when the data did not reach the file.
  void Close();

 private:
  OutputFile out_;
};

}  // namespace formats
