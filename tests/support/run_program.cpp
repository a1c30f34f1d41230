#include "support/run_program.h"

#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace testing_support {

ProgramResult RunProgram(const std::filesystem::path& folder, const std::string& environment,
                         const std::string& program, const std::string& args) {
  TempDir output;
  const std::filesystem::path out = output / "stdout", err = output / "stderr";
  const std::string command = "cd '" + folder.string() + "' && " + environment + " '" + program +
                              "' " + args + " >'" + out.string() + "' 2>'" + err.string() +
                              "' </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0, end; pos < out.size(); pos = end + 1) {
    end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    lines.push_back(out.substr(pos, end - pos));
  }
  return lines;
}

}  // namespace testing_support
