#pragma once
// Runs one of the project's programs as a user runs it from a shell, and keeps what it said.

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

struct ProgramResult {
  int status;  // the exit status; -1 when the program did not exit
  std::string out;
  std::string err;
};

// Runs `program` with `args` (quoted for the shell) in `folder`, after `environment`
// (assignments, or "env -u ..."), with no standard input.
ProgramResult RunProgram(const std::filesystem::path& folder, const std::string& environment,
                         const std::string& program, const std::string& args);

// How a failed check shows a run.
inline void PrintTo(const ProgramResult& result, std::ostream* out) {
  *out << "status " << result.status << ", out \"" << result.out << "\", err \"" << result.err
       << "\"";
}

// The lines of a program's output, without their line ends.
std::vector<std::string> Lines(const std::string& out);

}  // namespace testing_support
