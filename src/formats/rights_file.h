#pragma once
// The rights file SERVER_VOLUME.RIGHTS: one assignment a line, five fields
// tree,object,server,VOLUME:\Dir\Sub,rights text — Windows-1252, CR LF.

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/field_reader.h"
#include "formats/text_file.h"
#include "formats/windows1252.h"

namespace formats {

struct RightsRecord {
  std::string tree;
  std::string object;
  std::string server;
  std::string directory;
  std::string rights;
  bool operator==(const RightsRecord&) const = default;
};

// server + "_" + volume + ".RIGHTS". Throws FormatError when either holds a "/" or a zero
// byte, which would put the file outside its folder.
std::string RightsFileName(std::string_view server, std::string_view volume);

// One record as a line, CR LF included, in Windows-1252. A value that holds a comma or
// begins with a blank is quoted; values without them are written exactly as they stand.
// Throws UnwritableValue naming the value when one holds a double quote or a line end, or a
// character with no Windows-1252 code.
std::string FormatRightsRecord(const RightsRecord& record);

// A line of a rights file that is no record: what() names the file, the line and why. The
// reader has moved past the line, so the next record can still be read.
class BadRecord : public FormatError {
 public:
  BadRecord(const std::string& message, std::size_t line) : FormatError(message), line_(line) {}
  std::size_t Line() const { return line_; }

 private:
  std::size_t line_;
};

// The values as one line of fields (each with the label a refusal names it by), CR LF
// included; throws UnwritableValue as EncodeField does.
std::string FormatRecordFields(
    std::initializer_list<std::pair<std::string_view, std::string_view>> fields);

// The fields of the next line that is not empty, when it holds exactly `count` of them
// (`counted` spells the number, `what` names such a line: "a record (tree, ...)"). Throws
// BadRecord for any other line (after moving past it), FormatError when the file cannot be
// read or is at its end.
std::vector<std::string> ReadRecordFields(FieldReader& fields, std::size_t count,
                                          std::string_view counted, std::string_view what);

// Reads one record a line: a line that does not hold exactly five fields is no record.
class RightsFileReader {
 public:
  // Throws FormatError; `describedAs` as for FieldReader.
  explicit RightsFileReader(const std::filesystem::path& file, std::string describedAs = "");
  explicit RightsFileReader(FieldReader fields);

  // True once nothing but empty lines (or lines of blanks) is left.
  bool AtEnd();
  // The record of the next line that is not empty. Throws BadRecord for a line that is no
  // record (after moving past it), FormatError when the file cannot be read or is at its end.
  RightsRecord ReadRecord();
  // The line (from 1) of the last record read, or of the last bad line.
  std::size_t Line() const { return fields_.FieldLine(); }

 private:
  FieldReader fields_;
};

}  // namespace formats
