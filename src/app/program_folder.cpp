#include "app/program_folder.h"

#include <unistd.h>

#include <stdexcept>
#include <string>
#include <system_error>

namespace app {
namespace {

// The help file is a folder of pages; a file of that name counts too.
bool IsFileOrFolder(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) || std::filesystem::is_directory(path, ec);
}

bool Writable(const std::filesystem::path& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

ProgramFolders ChooseProgramFolders(const std::filesystem::path& programDir,
                                    const std::filesystem::path& userFolder) {
  ProgramFolders folders{programDir, programDir, false};
  const std::filesystem::path shared = programDir.parent_path() / "share" / "tolvane";
  const bool installed =
      !IsFileOrFolder(programDir / kHelpFileName) && IsFileOrFolder(shared / kHelpFileName);
  // Missing in both places, the help file is looked for beside the program, as it always was.
  if (installed) folders.help = shared;
  if ((installed || !Writable(programDir)) && !userFolder.empty()) {
    folders.files = userFolder;
    folders.perUser = true;
  }
  return folders;
}

void EnsureFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!ec && !std::filesystem::is_directory(folder, ec)) {
    ec = std::make_error_code(std::errc::not_a_directory);
  }
  if (ec) {
    throw std::runtime_error("the folder " + folder.string() +
                             " cannot be created: " + ec.message() + ".");
  }
}

}  // namespace app
