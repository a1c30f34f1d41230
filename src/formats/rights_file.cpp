#include "formats/rights_file.h"

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

std::string FormatRightsRecord(const RightsRecord& record) {
  std::string line;
  line.reserve(record.tree.size() + record.object.size() + record.server.size() +
               record.directory.size() + record.rights.size() + 16);
  line.append(EncodeField(record.tree, "tree name")).append(",");
  line.append(EncodeField(record.object, "object name")).append(",");
  line.append(EncodeField(record.server, "server name")).append(",");
  line.append(EncodeField(record.directory, "directory")).append(",");
  line.append(EncodeField(record.rights, "rights text")).append("\r\n");
  return line;
}

RightsFileReader::RightsFileReader(const std::filesystem::path& file) : fields_(file) {}

RightsFileReader::RightsFileReader(FieldReader fields) : fields_(std::move(fields)) {}

bool RightsFileReader::AtEnd() { return fields_.AtEnd(); }

RightsRecord RightsFileReader::ReadRecord() {
  RightsRecord record;
  std::string* const fields[] = {&record.tree, &record.object, &record.server, &record.directory,
                                 &record.rights};
  std::size_t firstLine = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    if (i > 0 && fields_.AtEnd()) {
      throw FormatError(fields_.Describe() + " ends inside the record that begins on line " +
                        std::to_string(firstLine) + ": it holds " + std::to_string(i) +
                        " of the five fields (tree, object, server, directory, rights).");
    }
    *fields[i] = fields_.ReadField();
    if (i == 0) firstLine = fields_.FieldLine();
  }
  return record;
}

}  // namespace formats
