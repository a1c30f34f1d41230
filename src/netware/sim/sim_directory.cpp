#include <algorithm>

#include "netware/sim/controls.h"
#include "netware/sim/round_trips.h"
#include "netware/sim/text.h"

namespace sim {

namespace {

// Folded class names of a filter; empty admits every class.
std::vector<std::string> FilterClasses(const std::string& filter) {
  std::vector<std::string> classes;
  for (auto& part : text::Split(filter, ",;")) {
    auto begin = part.find_first_not_of(" \t");
    auto end = part.find_last_not_of(" \t");
    if (begin == std::string::npos) continue;
    classes.push_back(text::Fold(part.substr(begin, end - begin + 1)));
  }
  return classes;
}

bool Admits(const std::vector<std::string>& classes, const std::string& objectClass) {
  return classes.empty() ||
         std::find(classes.begin(), classes.end(), text::Fold(objectClass)) != classes.end();
}

std::string FullName(const std::string& tree, const std::vector<std::string>& rootFirst) {
  return "NDS:\\\\" + tree + "\\" + text::Join(rootFirst, "\\");
}

}  // namespace

bool ParseNdsName(const std::string& fullName, std::string* tree,
                  std::vector<std::string>* rootFirst) {
  if (fullName.size() < 6 || text::Fold(fullName.substr(0, 6)) != "NDS:\\\\") return false;
  auto parts = text::Split(fullName.substr(6), "\\");
  if (parts[0].empty()) return false;
  *tree = parts[0];
  rootFirst->clear();
  if (parts.size() == 2 && text::Fold(parts[1]) == "[ROOT]") return true;
  if (parts.size() == 2 && parts[1].empty()) return true;  // "NDS:\\T\"
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty()) return false;
    rootFirst->push_back(parts[i]);
  }
  return true;
}

void SimDirectory::SearchObjects(const std::string& pattern, const std::string& objectClass,
                                 std::int32_t depth, const std::string& base, std::int32_t) {
  CrossNetwork(RoundTrip::kControlOperation);
  std::vector<std::string> found;
  std::string treeName;
  std::vector<std::string> basePath;
  const Catalog& catalog = network_.Sync();
  const TreeRow* tree = nullptr;
  if (ParseNdsName(base, &treeName, &basePath)) tree = catalog.TreeByName(treeName);
  if (tree != nullptr) {
    const ObjectIndex& objects = network_.Objects(tree->id);
    std::int64_t start = basePath.empty() ? 0 : FindObject(network_.GetStore(), tree->id, basePath);
    if (basePath.empty() || start != 0) {
      std::string wanted = text::Fold(objectClass);
      std::string match = pattern.empty() ? "*" : pattern;
      // Depth 1: the base's own children; any other depth: the whole subtree.
      const auto& top = objects.Children(tree->id, start);
      std::vector<std::int64_t> stack(top.rbegin(), top.rend());
      while (!stack.empty()) {
        const std::int64_t id = stack.back();
        stack.pop_back();
        const ObjectRow* row = objects.Find(id);
        if (row == nullptr) continue;
        if (text::Fold(row->objectClass) == wanted && text::WildcardMatch(match, row->name)) {
          found.push_back(FullName(tree->name, objects.Path(id)));
        }
        if (depth == 1) continue;
        const auto& children = objects.Children(tree->id, id);
        stack.insert(stack.end(), children.rbegin(), children.rend());
      }
    }
  }
  if (!SearchResults) return;
  if (found.empty()) {
    SearchResults(std::vector<std::string>{""});
    return;
  }
  for (std::size_t i = 0; i < found.size(); i += kBatch) {
    std::size_t end = std::min(found.size(), i + kBatch);
    SearchResults(std::vector<std::string>(found.begin() + static_cast<std::ptrdiff_t>(i),
                                           found.begin() + static_cast<std::ptrdiff_t>(end)));
  }
}

std::vector<nw::NWDirEntry> SimDirectory::Children(const std::string& fullName) {
  CrossNetwork(RoundTrip::kControlOperation);
  std::vector<nw::NWDirEntry> entries;
  std::string treeName;
  std::vector<std::string> path;
  if (!ParseNdsName(fullName, &treeName, &path)) return entries;
  const TreeRow* tree = network_.Sync().TreeByName(treeName);
  if (tree == nullptr) return entries;
  const ObjectIndex& objects = network_.Objects(tree->id);
  std::int64_t parent = path.empty() ? 0 : FindObject(network_.GetStore(), tree->id, path);
  if (!path.empty() && parent == 0) return entries;
  auto classes = FilterClasses(Filter);
  for (std::int64_t id : objects.Children(tree->id, parent)) {
    const ObjectRow* row = objects.Find(id);
    if (row == nullptr || !Admits(classes, row->objectClass)) continue;
    nw::NWDirEntry entry;
    entry.Name = row->name;
    entry.Class = row->objectClass;
    entry.FullName = FullName(tree->name, objects.Path(id));
    entry.HasChildren =
        std::any_of(objects.Children(tree->id, id).begin(), objects.Children(tree->id, id).end(),
                    [&](std::int64_t child) {
                      const ObjectRow* childRow = objects.Find(child);
                      return childRow != nullptr && Admits(classes, childRow->objectClass);
                    });
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace sim
