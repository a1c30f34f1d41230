#include "capture/object_search.h"

#include "formats/field_reader.h"
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
        // The window's object list file refuses such a name, so its capture leaves it out.
        formats::EncodeField(name, "object name", /*quoteEmpty=*/true);
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
