#include "formats/filters_file.h"

#include <utility>

#include "formats/rights_file.h"

namespace formats {

std::filesystem::path FiltersFileName(const std::filesystem::path& rightsFile) {
  std::filesystem::path name = rightsFile;
  return name.replace_extension(".FILTERS");
}

std::string FormatFilterRecord(const FilterRecord& filter) {
  return FormatRecordFields(
      {{filter.server, "server name"}, {filter.path, "directory"}, {filter.rights, "rights text"}});
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
