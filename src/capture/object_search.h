#pragma once
// The searches of the tree that the window and the command line both run: the volume search
// that fills the volume list, and the four searches that compile a capture's objects. The
// window hears the results through its directory control's event; the command line collects
// them.

#include <functional>
#include <string>
#include <vector>

#include "netware/nds_controls.h"

namespace capture {

// The classes a capture searches, in the order of the object list file, each with the label
// that names it in the message of a search that found nothing.
struct ObjectClass {
  const char* label;
  const char* className;
};
inline constexpr ObjectClass kObjectClasses[] = {
    {" Users ", "User"},
    {" Groups ", "Group"},
    {" Organisational Role ", "Organizational Role"},
    {" Organisational Unit ", "Organizational Unit"},
};

// "NDS:\\" + tree + "\[Root]": where the searches start.
std::string TreeRoot(const std::string& tree);

// The search for every volume object of the tree.
void SearchVolumes(nw::NWDirectory& directory, const std::string& tree);
// What the volume list holds of a volume search result: its last name component.
std::string VolumeListName(const std::string& result);

// The four searches of a capture, below the tree's root; `before` is told each class before
// its search starts.
void SearchObjectClasses(nw::NWDirectory& directory, const std::string& tree,
                         const std::function<void(const ObjectClass&)>& before);

// The volume list of a tree, collected (the directory's SearchResults is replaced for the
// time of the call).
std::vector<std::string> VolumeList(nw::NWDirectory& directory, const std::string& tree);

struct ObjectNames {
  std::vector<std::string> names;  // dotted; users first, then groups, roles, units
  // Results no dotted name can be made of, or whose name the client cannot carry, as found.
  std::vector<std::string> leftOut;
};
// A capture's objects, collected as SearchObjectClasses finds them.
ObjectNames CompileObjectNames(nw::NWDirectory& directory, const std::string& tree);

}  // namespace capture
