#pragma once
// The object list file "users.txt": one dotted object name a line, Windows-1252, CR LF.

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace capture {

inline constexpr const char* kObjectListFileName = "users.txt";

// "NDS:\\CORP\HQ\IT\ADMIN" of tree "CORP" -> "ADMIN.IT.HQ". Throws FormatError naming the
// result when it does not begin with "NDS:\\" + tree + "\".
std::string DottedName(std::string_view fullNdsName, std::string_view tree);

class ObjectListWriter {
 public:
  // Creates the file or empties an existing one. Throws FormatError (with the reason) when
  // it cannot be written.
  explicit ObjectListWriter(const std::filesystem::path& file);
  // Writes one line. A name that holds a comma or begins with a blank is quoted; one that
  // holds a double quote or a line end, or has no Windows-1252 code, throws FormatError and
  // writes nothing.
  void WriteName(std::string_view name);
  // Flushes and closes; throws FormatError when the data did not reach the file.
  void Close();

 private:
  std::filesystem::path file_;
  std::ofstream out_;
};

}  // namespace capture
