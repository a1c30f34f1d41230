#include "fuzz/fuzz_targets.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "capture/trustee_path.h"
#include "formats/field_reader.h"
#include "formats/object_list_file.h"
#include "formats/rights_file.h"
#include "formats/windows1252.h"

namespace fuzz {
namespace {

std::string Bytes(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Splits at NUL bytes into exactly `count` parts (missing parts are empty).
std::vector<std::string> Parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::string> parts(count);
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < count; ++i) {
    const auto nul = rest.find('\0');
    if (i + 1 == count || nul == std::string_view::npos) {
      parts[i] = std::string(rest);
      break;
    }
    parts[i] = std::string(rest.substr(0, nul));
    rest.remove_prefix(nul + 1);
  }
  return parts;
}

// Answers some lookups with a differently cased name, others with nothing.
class FuzzListing : public nw::FileListing {
 public:
  std::string Dir(const std::string& path) override {
    const auto slash = path.rfind('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (path.size() % 3 == 0) return "";
    for (char& c : name) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
  }
};

void Check(bool holds, const std::string& property, std::string_view input) {
  if (!holds) {
    throw PropertyFailure(property + " (input " + formats::QuoteForMessage(input) + ")");
  }
}

// Reads every field the text holds, up to its end or the first it refuses.
std::vector<std::string> ReadFields(formats::FieldReader& reader) {
  std::vector<std::string> fields;
  try {
    while (!reader.AtEnd()) fields.push_back(reader.ReadField());
  } catch (const formats::FormatError&) {
  }
  return fields;
}

// A reader makes each field of the text between separators, and nothing of its own: no more
// fields than commas and line ends allow, no more text than the bytes (a Windows-1252 byte is
// at most three bytes of UTF-8), and no line past the last.
void CheckReadWithin(const std::string& bytes, const std::vector<std::string>& fields,
                     std::size_t lastLine) {
  const auto lineEnds = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  const auto commas = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), ','));
  std::size_t text = 0;
  for (const auto& field : fields) text += field.size();
  Check(fields.size() <= commas + lineEnds + 1, "more fields than separators allow", bytes);
  Check(text <= 3 * bytes.size(), "more text than the input holds", bytes);
  Check(lastLine <= lineEnds + 1, "a field on a line past the last", bytes);
}

// The object list file this process writes and reads back.
std::filesystem::path ScratchFile() {
  static const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                            ("tolvane-fuzz-" + std::to_string(::getpid()) + ".txt");
  return file;
}

}  // namespace

void RightsReader(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = Bytes(data, size);
  formats::RightsFileReader reader(formats::FieldReader::FromBytes(bytes));
  std::vector<formats::RightsRecord> written;
  std::string file;
  std::size_t lines = 0;  // records and lines that are none
  try {
    while (!reader.AtEnd()) {
      ++lines;
      formats::RightsRecord record;
      try {
        record = reader.ReadRecord();
      } catch (const formats::BadRecord&) {
        continue;  // the reader is past that line
      }
      for (const std::string* value :
           {&record.tree, &record.object, &record.server, &record.directory, &record.rights}) {
        Check(value->find('\n') == std::string::npos, "a record runs over a line end", bytes);
      }
      try {
        file += formats::FormatRightsRecord(record);
        written.push_back(record);
      } catch (const formats::UnwritableValue&) {
        // Refused as a whole: the record is left out, as the capture leaves it out.
      }
    }
  } catch (const formats::FormatError& e) {
    Check(false, std::string("a text in memory stopped the reader: ") + e.what(), bytes);
  }
  Check(lines <= static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1,
        "more records than lines", bytes);
  auto fields = formats::FieldReader::FromBytes(bytes);
  CheckReadWithin(bytes, ReadFields(fields), fields.FieldLine());

  formats::RightsFileReader again(formats::FieldReader::FromBytes(file));
  for (const auto& record : written) {
    Check(!again.AtEnd(), "a written record is not read back", bytes);
    formats::RightsRecord back;
    try {
      back = again.ReadRecord();
    } catch (const formats::FormatError& e) {
      Check(false, std::string("a written record cannot be read back: ") + e.what(), bytes);
    }
    Check(back == record, "a record reads back as " + formats::FormatRightsRecord(back), bytes);
  }
  Check(again.AtEnd(), "the written records read back as more", bytes);
}

void ObjectListReader(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = Bytes(data, size);
  auto reader = formats::FieldReader::FromBytes(bytes);
  const std::vector<std::string> read = ReadFields(reader);
  std::vector<std::string> written;
  CheckReadWithin(bytes, read, reader.FieldLine());

  {
    formats::ObjectListWriter writer(ScratchFile());
    for (const auto& name : read) {
      try {
        writer.WriteName(name);
        written.push_back(name);
      } catch (const formats::UnwritableValue&) {
      }
    }
    writer.Close();
  }
  formats::FieldReader file(ScratchFile());
  const std::vector<std::string> back = ReadFields(file);
  std::filesystem::remove(ScratchFile());
  Check(back == written, "the written names read back otherwise", bytes);
}

void DottedName(const std::uint8_t* data, std::size_t size) {
  const auto parts = Parts(data, size, 2);
  std::string name;
  try {
    name = formats::DottedName(parts[1], parts[0]);
  } catch (const formats::FormatError&) {
    return;
  }
  const std::string prefix = "NDS:\\\\" + parts[0] + "\\";
  Check(parts[1].starts_with(prefix), "a name outside the tree is taken", Bytes(data, size));
  const std::string path = parts[1].substr(prefix.size());
  if (path.find('.') != std::string::npos) return;  // NDS names hold no dot
  // Leaf first: the components reversed and joined by "\" give the path again.
  std::vector<std::string> components;
  for (std::size_t pos = 0, end = 0; end != std::string::npos; pos = end + 1) {
    end = name.find('.', pos);
    components.insert(components.begin(), name.substr(pos, end - pos));
  }
  std::string joined;
  for (std::size_t i = 0; i < components.size(); ++i) {
    joined += (i == 0 ? "" : "\\") + components[i];
  }
  Check(
      components.size() == static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) + 1,
      "the dotted name " + name + " has another number of components", Bytes(data, size));
  Check(joined == path, "the dotted name " + name + " does not join back", Bytes(data, size));
}

void TrusteePath(const std::uint8_t* data, std::size_t size) {
  const auto parts = Parts(data, size, 3);
  FuzzListing listing;
  const std::string path = capture::BuildTrusteePath(parts[2], parts[0], parts[1], listing);
  const std::string head = "\\\\" + parts[0] + "\\" + parts[1] + ":";
  Check(path.starts_with(head), "the path does not begin with its head " + head, Bytes(data, size));
  // Each non-empty component after the volume becomes one "\"-led component.
  std::size_t components = 0;
  bool first = true;
  for (std::size_t pos = 0, end = 0; end != std::string::npos; pos = end + 1, first = false) {
    end = parts[2].find_first_of(":/\\", pos);
    if (!first && end != pos && pos < parts[2].size()) ++components;
  }
  const std::string rest = path.substr(head.size());
  Check(static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\\')) == components,
        "the path " + path + " has another number of components", Bytes(data, size));
}

}  // namespace fuzz
