#include "capture/volume_name.h"

#include "formats/windows1252.h"

namespace capture {
namespace {

// Why `value` cannot stand in the rights file's name and records, or "".
std::string NameProblem(std::string_view value) {
  if (value.empty()) return "is empty";
  if (value == "." || value == "..") return "is \"" + std::string(value) + "\"";
  if (value.find_first_of("/\\") != std::string_view::npos) return "holds a \"/\" or \"\\\"";
  if (value.find('"') != std::string_view::npos) return "holds a double quote";
  for (const char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
  }
  try {
    formats::Utf8ToCp1252(value);
  } catch (const formats::FormatError&) {
    return "holds a character that has no Windows-1252 code";
  }
  return "";
}

}  // namespace

VolumeObjectName SplitVolumeObjectName(std::string_view name) {
  const std::size_t underscore = name.find('_');
  if (underscore == std::string_view::npos) return {};
  return {std::string(name.substr(0, underscore)), std::string(name.substr(underscore + 1))};
}

std::string VolumeNameProblem(std::string_view name) {
  const std::string quoted = formats::QuoteForMessage(name);
  if (name.find('_') == std::string_view::npos) {
    return "The selected volume " + quoted +
           " does not name a server and a volume (server name, \"_\", volume name), so its "
           "trustees cannot be obtained.";
  }
  const VolumeObjectName parts = SplitVolumeObjectName(name);
  for (const auto& [what, value] :
       {std::pair<std::string_view, std::string_view>{"server name", parts.server},
        {"volume name", parts.volume}}) {
    const std::string problem = NameProblem(value);
    if (!problem.empty()) {
      return "The selected volume " + quoted + " cannot be captured: its " + std::string(what) +
             " " + formats::QuoteForMessage(value) + " " + problem +
             ", so it cannot name the rights file.";
    }
  }
  return "";
}

}  // namespace capture
