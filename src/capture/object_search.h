#pragma once
// The four searches of a capture without a window: every user, group, organizational role
// and unit of a tree, as the dotted names that the object list file holds.

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

struct ObjectNames {
  std::vector<std::string> names;  // users first, then groups, roles, units
  // Results no dotted name can be made of, or whose name the client cannot carry, as found.
  std::vector<std::string> leftOut;
};

// Searches below "NDS:\\" + tree + "\[Root]" with the arguments the window passes. The
// directory's SearchResults is replaced for the time of the call.
ObjectNames CompileObjectNames(nw::NWDirectory& directory, const std::string& tree);

}  // namespace capture
