#pragma once
// Names on the network (trees, servers, volumes, directories, objects) compare without
// regard to case; this is the key they compare by.

#include <string>
#include <string_view>

namespace formats {

// Upper case over the letters Windows-1252 carries (ASCII, Latin-1 and the code page's few
// extra letters, such as š and ÿ); every other character stays as it is.
std::string FoldName(std::string_view utf8);

// The directory a path names, as a key that two spellings of it share: case, "/" or "\\",
// doubled or trailing separators aside, so that "SYS:\\" and "SYS:" are the volume root alike.
std::string DirectoryKey(std::string_view path);

inline bool SameName(std::string_view a, std::string_view b) { return FoldName(a) == FoldName(b); }

}  // namespace formats
