#pragma once
// Where the program keeps its files. A copy run from its build folder keeps them beside
// itself, as it always has; an installed copy (its help file in share/tolvane/ beside its
// bin/ folder) and a copy whose folder cannot be written keep them in a per-user folder.
// No Qt here.

#include <filesystem>

namespace app {

inline constexpr const char* kHelpFileName = "Tolvane.HLP";

struct ProgramFolders {
  // The object list work file, the rights files and the Open dialog's first folder.
  std::filesystem::path files;
  // The folder of the help file.
  std::filesystem::path help;
  // `files` is the per-user folder, which may not exist yet (see EnsureFolder).
  bool perUser = false;
};

// Decides from the folder that holds the program file and the per-user folder. An empty
// `userFolder` (nowhere to put one) keeps the files beside the program.
ProgramFolders ChooseProgramFolders(const std::filesystem::path& programDir,
                                    const std::filesystem::path& userFolder);

// Makes `folder` and its parents when missing. Throws std::runtime_error that names the
// folder and why when it cannot be made or is not a folder.
void EnsureFolder(const std::filesystem::path& folder);

}  // namespace app
