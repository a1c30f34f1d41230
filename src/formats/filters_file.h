#pragma once
// The filters file beside a rights file (SERVER_VOLUME.FILTERS): one inherited rights filter
// a line, three fields server,VOLUME:\Dir\File,rights text — written and read as the rights
// file is (Windows-1252, CR LF, the same quoting).

#include <filesystem>
#include <string>

#include "formats/field_reader.h"
#include "formats/safe_file_writer.h"

namespace formats {

struct FilterRecord {
  std::string server;
  std::string path;    // as the rights file writes a directory: "DATA:\Home\alice"
  std::string rights;  // the rights that may be inherited; empty lets none through
  bool operator==(const FilterRecord&) const = default;
};

// The filters file that goes with a rights file: its name with the extension replaced by
// ".FILTERS" (added when it has none), in the same folder.
std::filesystem::path FiltersFileName(const std::filesystem::path& rightsFile);

// One filter as a line, CR LF included; throws UnwritableValue as FormatRightsRecord does.
std::string FormatFilterRecord(const FilterRecord& filter);

class FiltersFileWriter : public SafeFileWriter {
 public:
  explicit FiltersFileWriter(const std::filesystem::path& file)
      : SafeFileWriter(file, "filters file") {}
  void Write(const FilterRecord& filter) { Append(FormatFilterRecord(filter)); }
};

// Reads one filter a line: a line that does not hold exactly three fields is no filter.
class FiltersFileReader {
 public:
  // Throws FormatError; `describedAs` as for FieldReader.
  explicit FiltersFileReader(const std::filesystem::path& file, std::string describedAs = "");
  explicit FiltersFileReader(FieldReader fields);

  // True once nothing but empty lines (or lines of blanks) is left.
  bool AtEnd() { return fields_.AtEnd(); }
  // The filter of the next line that is not empty; throws as RightsFileReader::ReadRecord.
  FilterRecord ReadFilter();
  // The line (from 1) of the last filter read, or of the last bad line.
  std::size_t Line() const { return fields_.FieldLine(); }

 private:
  FieldReader fields_;
};

}  // namespace formats
