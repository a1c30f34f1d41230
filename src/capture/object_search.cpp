#include "capture/object_search.h"

#include "formats/object_list_file.h"
#include "formats/windows1252.h"

namespace capture {
namespace {

// The results of `search`, without the empty one of a search that found nothing.
std::vector<std::string> Collect(nw::NWDirectory& directory, const std::function<void()>& search) {
  std::vector<std::string> found;
  directory.SearchResults = [&](const std::vector<std::string>& results) {
    for (const std::string& result : results) {
      if (!result.empty()) found.push_back(result);
    }
  };
  search();
  directory.SearchResults = nullptr;
  return found;
}

}  // namespace

std::string TreeRoot(const std::string& tree) { return "NDS:\\\\" + tree + "\\[Root]"; }

void SearchVolumes(nw::NWDirectory& directory, const std::string& tree) {
  directory.SearchObjects("*", "Volume", 2, TreeRoot(tree), 0);
}

std::string VolumeListName(const std::string& result) {
  const std::size_t slash = result.rfind('\\');
  return slash == std::string::npos ? result : result.substr(slash + 1);
}

void SearchObjectClasses(nw::NWDirectory& directory, const std::string& tree,
                         const std::function<void(const ObjectClass&)>& before) {
  for (const ObjectClass& row : kObjectClasses) {
    before(row);
    directory.SearchObjects("*", row.className, 2, TreeRoot(tree), 0);
  }
}

std::vector<std::string> VolumeList(nw::NWDirectory& directory, const std::string& tree) {
  std::vector<std::string> volumes = Collect(directory, [&] { SearchVolumes(directory, tree); });
  for (std::string& volume : volumes) volume = VolumeListName(volume);
  return volumes;
}

ObjectNames CompileObjectNames(nw::NWDirectory& directory, const std::string& tree) {
  directory.DirectoryPath = TreeRoot(tree);
  ObjectNames found;
  for (const std::string& result : Collect(
           directory, [&] { SearchObjectClasses(directory, tree, [](const ObjectClass&) {}); })) {
    try {
      std::string name = formats::DottedName(result, tree);
      // The client takes names in Windows-1252: a name without a code there cannot be looked
      // up. A name the rights file cannot carry (a double quote, a line end) is kept: its
      // assignments are still found, and told as what the file lacks.
      formats::Utf8ToCp1252(name, "object name");
      found.names.push_back(std::move(name));
    } catch (const formats::UnwritableValue&) {
      found.leftOut.push_back(result);
    }
  }
  return found;
}

}  // namespace capture
