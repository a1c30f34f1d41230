#include "capture/object_search.h"

#include "formats/object_list_file.h"
#include "formats/windows1252.h"

namespace capture {

ObjectNames CompileObjectNames(nw::NWDirectory& directory, const std::string& tree) {
  ObjectNames found;
  const std::string root = "NDS:\\\\" + tree + "\\[Root]";
  directory.DirectoryPath = root;
  directory.SearchResults = [&](const std::vector<std::string>& results) {
    for (const std::string& result : results) {
      if (result.empty()) continue;  // a search that found nothing
      try {
        std::string name = formats::DottedName(result, tree);
        // The client takes names in Windows-1252: a name without a code there cannot be
        // looked up. A name the rights file cannot carry (a double quote, a line end) is
        // kept: its assignments are still found, and told as what the file lacks.
        formats::Utf8ToCp1252(name, "object name");
        found.names.push_back(std::move(name));
      } catch (const formats::UnwritableValue&) {
        found.leftOut.push_back(result);
      }
    }
  };
  for (const ObjectClass& row : kObjectClasses) {
    directory.SearchObjects("*", row.className, 2, root, 0);
  }
  directory.SearchResults = nullptr;
  return found;
}

}  // namespace capture
