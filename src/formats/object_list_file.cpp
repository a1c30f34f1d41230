#include "formats/object_list_file.h"

#include <vector>

#include "formats/field_reader.h"
#include "formats/windows1252.h"

namespace formats {

std::string DottedName(std::string_view fullNdsName, std::string_view tree) {
  std::string prefix;
  prefix.reserve(tree.size() + 7);
  prefix.append("NDS:\\\\").append(tree).append("\\");
  if (!fullNdsName.starts_with(prefix)) {
    throw UnwritableValue("The search result " + QuoteForMessage(fullNdsName) +
                          " does not lie in the tree " + QuoteForMessage(tree) + ".");
  }
  const std::string_view rest = fullNdsName.substr(prefix.size());
  if (rest.empty()) {
    throw UnwritableValue("The search result " + QuoteForMessage(fullNdsName) +
                          " names no object.");
  }
  std::vector<std::string_view> components;
  for (std::size_t pos = 0;;) {
    const std::size_t end = rest.find('\\', pos);
    components.push_back(rest.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  std::string name;
  name.reserve(rest.size());
  for (auto it = components.rbegin(); it != components.rend(); ++it) {
    if (it != components.rbegin()) name += '.';
    name.append(*it);
  }
  return name;
}

ObjectListWriter::ObjectListWriter(const std::filesystem::path& file) : out_(file) {}

void ObjectListWriter::WriteName(std::string_view name) {
  // An empty name must not become an empty line, which the reader passes over.
  std::string line = EncodeField(name, "object name", /*quoteEmpty=*/true);
  line += "\r\n";
  out_.Append(line);
}

void ObjectListWriter::Close() { out_.Close(/*sync=*/false); }

}  // namespace formats
