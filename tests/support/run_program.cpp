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

}  // namespace testing_support
