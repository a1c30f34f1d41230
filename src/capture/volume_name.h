#pragma once
// The volume object name a capture starts from: server name, "_", volume name (FS1_SYS).

#include <string>
#include <string_view>

namespace capture {

struct VolumeObjectName {
  std::string server;
  std::string volume;
  bool operator==(const VolumeObjectName&) const = default;
};

// Split at the first "_": FS_1_DATA is server FS, volume 1_DATA. Both empty when there is
// no "_".
VolumeObjectName SplitVolumeObjectName(std::string_view name);

// Why a capture of the volume object `name` cannot go on, as a sentence for the user, or ""
// when it can. The server and volume name become part of a file name in the program folder
// and travel to the client as Windows-1252 text, so a name that would leave the folder or
// that no file can carry is refused before anything is mapped or written.
std::string VolumeNameProblem(std::string_view name);

}  // namespace capture
