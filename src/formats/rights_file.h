#pragma once
// The rights file SERVER_VOLUME.RIGHTS: one assignment a line, five fields
// tree,object,server,VOLUME:\Dir\Sub,rights text — Windows-1252, CR LF.

#include <filesystem>
#include <string>
#include <string_view>

#include "formats/field_reader.h"
#include "formats/text_file.h"

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

// Reads five fields a record; a line end separates fields as a comma does.
class RightsFileReader {
 public:
  explicit RightsFileReader(const std::filesystem::path& file);  // throws FormatError
  explicit RightsFileReader(FieldReader fields);

  bool AtEnd();
  // The next record. Throws FormatError when the file ends inside a record (the fields
  // read so far are not returned as a record).
  RightsRecord ReadRecord();

 private:
  FieldReader fields_;
};

}  // namespace formats
