#pragma once
// Chunked reading and buffered writing for the two text files, with every failure
// reported as a FormatError that names the file and the system's reason.

#include <filesystem>
#include <string>
#include <string_view>

namespace formats {

// A file read in chunks, so that a large file never has to fit in memory.
class InputFile {
 public:
  // Throws FormatError when the file cannot be opened.
  explicit InputFile(const std::filesystem::path& file);
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  ~InputFile();

  // Up to `size` bytes into `buffer`; 0 at the end. Throws FormatError when reading fails.
  std::size_t Read(char* buffer, std::size_t size);

 private:
  std::filesystem::path file_;
  int fd_ = -1;
};

class OutputFile {
 public:
  // Creates the file or empties an existing one; throws FormatError when it cannot.
  explicit OutputFile(const std::filesystem::path& file);
  // Takes over `fd`, already open for writing; `file` names it in messages.
  OutputFile(int fd, const std::filesystem::path& file);
  ~OutputFile();  // closes without reporting; Close() is the checked way
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Throws FormatError once anything written so far failed to reach the file, or after
  // Close. The bytes of one call go out together or the file is marked failed.
  void Append(std::string_view bytes);
  // Writes out what is buffered and, with `sync`, waits until it is on the disk; then
  // closes. Throws FormatError when any of it failed.
  void Close(bool sync);
  bool IsOpen() const { return fd_ >= 0; }

 private:
  void Flush();
  [[noreturn]] void Fail(int error);

  std::filesystem::path file_;
  int fd_ = -1;
  std::string buffer_;
  std::string failure_;
};

// The message for a failed operation on a file: "Cannot <what> the file <file>: <reason>."
std::string FileFailure(std::string_view what, const std::filesystem::path& file, int error);

}  // namespace formats
