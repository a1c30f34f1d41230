#include "formats/filters_file.h"

#include <utility>

#include "formats/rights_file.h"

namespace formats {

std::filesystem::path FiltersFileName(const std::filesystem::path& rightsFile) {
  std::filesystem::path name = rightsFile;
  return name.replace_extension(".FILTERS");
}

std::string FormatFilterRecord(const FilterRecord& filter) {
  std::string line;
  line.reserve(filter.server.size() + filter.path.size() + filter.rights.size() + 8);
  line.append(EncodeField(filter.server, "server name")).append(",");
  line.append(EncodeField(filter.path, "directory")).append(",");
  line.append(EncodeField(filter.rights, "rights text")).append("\r\n");
  return line;
}

FiltersFileReader::FiltersFileReader(const std::filesystem::path& file, std::string describedAs)
    : fields_(file, std::move(describedAs)) {}

FiltersFileReader::FiltersFileReader(FieldReader fields) : fields_(std::move(fields)) {}

FilterRecord FiltersFileReader::ReadFilter() {
  std::vector<std::string> fields =
      ReadRecordFields(fields_, 3, "three", "a filter (server, path, rights)");
  return {std::move(fields[0]), std::move(fields[1]), std::move(fields[2])};
}

}  // namespace formats
