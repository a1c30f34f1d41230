#include "formats/rights_file.h"

#include <utility>

#include "formats/windows1252.h"

namespace formats {

std::string RightsFileName(std::string_view server, std::string_view volume) {
  for (const std::string_view part : {server, volume}) {
    if (part.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
      throw FormatError("The name " + QuoteForMessage(part) +
                        " cannot be part of a rights file's name.");
    }
  }
  std::string name;
  name.reserve(server.size() + volume.size() + 8);
  name.append(server).append("_").append(volume).append(".RIGHTS");
  return name;
}

std::string FormatRecordFields(
    std::initializer_list<std::pair<std::string_view, std::string_view>> fields) {
  std::string line;
  // By place, not by what is written so far: a first field may be empty (a bindery server's
  // tree when it stands in none).
  const char* separator = "";
  for (const auto& [value, label] : fields) {
    line.append(separator).append(EncodeField(value, label));
    separator = ",";
  }
  return line.append("\r\n");
}

std::string FormatRightsRecord(const RightsRecord& record) {
  return FormatRecordFields({{record.tree, "tree name"},
                             {record.object, "object name"},
                             {record.server, "server name"},
                             {record.directory, "directory"},
                             {record.rights, "rights text"}});
}

RightsFileReader::RightsFileReader(const std::filesystem::path& file, std::string describedAs)
    : fields_(file, std::move(describedAs)) {}

RightsFileReader::RightsFileReader(FieldReader fields) : fields_(std::move(fields)) {}

bool RightsFileReader::AtEnd() { return fields_.AtEnd(); }

std::vector<std::string> ReadRecordFields(FieldReader& fields, std::size_t count,
                                          std::string_view counted, std::string_view what) {
  LineFields line = fields.ReadLine();
  const auto bad = [&](const std::string& why) {
    return BadRecord(
        fields.Describe() + ", line " + std::to_string(fields.FieldLine()) + ": " + why + ".",
        fields.FieldLine());
  };
  if (!line.problem.empty()) throw bad(line.problem);
  if (line.fields.size() != count) {
    throw bad("it holds " + std::to_string(line.fields.size()) +
              (line.fields.size() == 1 ? " field" : " fields") + ", not the " +
              std::string(counted) + " of " + std::string(what));
  }
  return std::move(line.fields);
}

RightsRecord RightsFileReader::ReadRecord() {
  std::vector<std::string> fields =
      ReadRecordFields(fields_, 5, "five", "a record (tree, object, server, directory, rights)");
  return {std::move(fields[0]), std::move(fields[1]), std::move(fields[2]), std::move(fields[3]),
          std::move(fields[4])};
}

}  // namespace formats
