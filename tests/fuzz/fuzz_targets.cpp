#include "fuzz/fuzz_targets.h"

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

}  // namespace

void RightsReader(const std::uint8_t* data, std::size_t size) {
  formats::RightsFileReader reader(formats::FieldReader::FromBytes(Bytes(data, size)));
  try {
    while (!reader.AtEnd()) {
      const formats::RightsRecord record = reader.ReadRecord();
      // Whatever was read must be writable again or refused cleanly.
      try {
        (void)formats::FormatRightsRecord(record);
      } catch (const formats::FormatError&) {
      }
    }
  } catch (const formats::FormatError&) {
  }
}

void ObjectListReader(const std::uint8_t* data, std::size_t size) {
  auto reader = formats::FieldReader::FromBytes(Bytes(data, size));
  try {
    while (!reader.AtEnd()) (void)reader.ReadField();
  } catch (const formats::FormatError&) {
  }
}

void DottedName(const std::uint8_t* data, std::size_t size) {
  const auto parts = Parts(data, size, 2);
  try {
    (void)formats::DottedName(parts[1], parts[0]);
  } catch (const formats::FormatError&) {
  }
}

void TrusteePath(const std::uint8_t* data, std::size_t size) {
  const auto parts = Parts(data, size, 3);
  FuzzListing listing;
  try {
    (void)capture::BuildTrusteePath(parts[2], parts[0], parts[1], listing);
  } catch (const formats::FormatError&) {
  }
}

}  // namespace fuzz
