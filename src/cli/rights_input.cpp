#include "cli/rights_input.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "cli/commands.h"
#include "formats/text_file.h"
#include "verify/sorted_spool.h"

namespace cli {
namespace {

std::string Reason(int error) { return std::generic_category().message(error); }

}  // namespace

Spool::Spool(const std::string& input) : name_(input) {
  const std::string folder = verify::TempFolder();
  fd_ = verify::OpenUnnamedFile(folder, "tolvane-cli-");
  if (fd_ < 0) {
    throw UsageError("Cannot make a private copy of the input in " + folder + ": " + Reason(errno) +
                     ".");
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
  try {
    Copy(folder);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

Spool::~Spool() { ::close(fd_); }

formats::RightsFileReader Spool::Reader() const {
  return formats::RightsFileReader(std::filesystem::path(path_),
                                   name_ == "-" ? "Standard input" : "The file " + name_);
}

void Spool::Copy(const std::string& folder) {
  std::vector<char> buffer(1 << 16);
  std::optional<formats::InputFile> file;
  if (name_ != "-") {
    try {
      file.emplace(std::filesystem::path(name_));
    } catch (const formats::FormatError& e) {
      throw UsageError(e.what());
    }
  }
  while (true) {
    std::size_t got = 0;
    if (file) {
      try {
        got = file->Read(buffer.data(), buffer.size());
      } catch (const formats::FormatError& e) {
        throw UsageError(e.what());
      }
    } else {
      const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw UsageError("Cannot read standard input: " + Reason(errno) + ".");
      got = static_cast<std::size_t>(n);
    }
    if (got == 0) return;
    for (std::size_t written = 0; written < got;) {
      const ssize_t n = ::write(fd_, buffer.data() + written, got - written);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        throw UsageError("Cannot copy the input into " + folder + ": " + Reason(errno) + ".");
      }
      written += static_cast<std::size_t>(n);
    }
  }
}

std::string FiltersFileFor(const std::string& input, const std::string& named, bool none) {
  if (none) return "";
  if (!named.empty()) return named;
  if (input == "-") return "";
  const std::filesystem::path beside = formats::FiltersFileName(input);
  std::error_code error;
  // A name that leads nowhere is no filters file; one that cannot be read says so later.
  return std::filesystem::exists(beside, error) ? beside.string() : "";
}

std::string VolumeOf(const std::string& path) {
  const std::size_t colon = path.find(':');
  return colon == std::string::npos ? std::string() : path.substr(0, colon);
}

CheckedInput CheckInput(const Spool& spool, const std::string& filtersFile,
                        const restore::RecordMapping& mapping,
                        const std::function<void(const formats::RightsRecord&)>& each,
                        const std::string& afterwards) {
  restore::MappingCheck check(mapping);
  CheckedInput input;
  try {
    formats::RightsFileReader reader = spool.Reader();
    while (!reader.AtEnd()) {
      const formats::RightsRecord mapped = check.Add(reader.ReadRecord());
      if (each) each(mapped);
      ++input.records;
    }
    if (!filtersFile.empty()) {
      // Read whole here, once: a FIFO cannot be read again, and filters are few.
      formats::FiltersFileReader filters(filtersFile, "The filters file " + filtersFile);
      while (!filters.AtEnd()) input.filters.push_back(check.Add(filters.ReadFilter()));
      input.filtersRead = true;
    }
    check.Finish();
  } catch (const formats::FormatError& e) {
    throw UsageError(e.what() + afterwards);
  } catch (const restore::MappingError& e) {
    throw UsageError(e.what() + afterwards);
  }
  return input;
}

}  // namespace cli
