// tolvane-cli restore and verify: a rights file granted again, or compared with the live
// volumes it names.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/volume_access.h"
#include "formats/name_fold.h"
#include "formats/rights_file.h"
#include "formats/rights_text.h"
#include "formats/text_file.h"
#include "formats/windows1252.h"
#include "restore/grant.h"
#include "verify/rights_difference.h"

namespace cli {
namespace {

using formats::RightsRecord;

// Why a record was not granted, as a field of its result line.
std::string FailureText(const restore::GrantOutcome& outcome, const RightsRecord& record) {
  const std::string code = " (E=" + nw::CodeText(outcome.code) + ")";
  switch (outcome.failure) {
    case restore::GrantFailure::kBadRights:
      // Single quotes: double quotes delimit the fields of the result line.
      return "rights text '" + record.rights + "' holds a word that is no right";
    case restore::GrantFailure::kConnection:
      return "server unreachable" + code;
    case restore::GrantFailure::kObjectNameTooLong:
      return "object name longer than " + std::to_string(outcome.limit) + " characters";
    case restore::GrantFailure::kTreeNameTooLong:
      return "tree name longer than " + std::to_string(outcome.limit) + " characters";
    case restore::GrantFailure::kObjectNotFound:
      return "object not found" + code;
    case restore::GrantFailure::kDirectoryMissing:
      return "directory missing" + code;
    case restore::GrantFailure::kDirectoryUnread:
      return "directory unreadable" + code;
    default:
      return "NWAddTrustee failed" + code;
  }
}

std::string Reason(int error) { return std::generic_category().message(error); }

// A private copy of the input, which is read exactly once: a pipe can be read only once,
// and a file that grows or changes during the run must not hand the grant records the
// check never saw. The copy has no name (or loses it at once), so nothing else can reach
// it and nothing is left behind.
class Spool {
 public:
  explicit Spool(const std::string& input) : name_(input) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {  // a file system without unnamed files
      std::string name = folder + "/tolvane-cli-XXXXXX";
      fd_ = ::mkostemp(name.data(), O_CLOEXEC);
      if (fd_ >= 0) ::unlink(name.c_str());
    }
    if (fd_ < 0) {
      throw UsageError("Cannot make a private copy of the input in " + folder + ": " +
                       Reason(errno) + ".");
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
    try {
      Copy(folder);
    } catch (...) {
      ::close(fd_);
      throw;
    }
  }
  ~Spool() { ::close(fd_); }
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  // Messages about the copy name the input the user gave.
  formats::RightsFileReader Reader() const {
    return formats::RightsFileReader(std::filesystem::path(path_),
                                     name_ == "-" ? "Standard input" : "The file " + name_);
  }

 private:
  void Copy(const std::string& folder) {
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

  std::string name_;  // the input as the user named it; "-" standard input
  int fd_ = -1;
  std::string path_;  // where the copy can be opened again
};

// Reads every record of the copy before anything is done with them, hands each, mapped, to
// `each`, and checks the mapping against them all. Throws UsageError, ending with
// `afterwards`, for a file or a mapping that does not hold.
std::size_t CheckFile(const Spool& spool, const restore::RecordMapping& mapping,
                      const std::function<void(const RightsRecord&)>& each,
                      const std::string& afterwards) {
  restore::MappingCheck check(mapping);
  std::size_t count = 0;
  try {
    formats::RightsFileReader reader = spool.Reader();
    while (!reader.AtEnd()) {
      const RightsRecord mapped = check.Add(reader.ReadRecord());
      if (each) each(mapped);
      ++count;
    }
    check.Finish();
  } catch (const formats::FormatError& e) {
    throw UsageError(e.what() + afterwards);
  } catch (const restore::MappingError& e) {
    throw UsageError(e.what() + afterwards);
  }
  return count;
}

}  // namespace

int Restore(Context& context, const RestoreOptions& options) {
  const Spool spool(options.file);
  const std::size_t total =
      CheckFile(spool, options.mapping, nullptr, " Nothing has been granted.");

  restore::Granter granter(context.platform.Client(),
                           {.dryRun = options.dryRun, .reuse = true, .groups = true});
  std::size_t added = 0, changed = 0, same = 0, failed = 0;
  const auto summary = [&](const std::string& head) {
    const auto n = [](std::size_t count) { return std::to_string(count); };
    return options.dryRun
               ? head + " looked at: " + n(added) + " to add, " + n(changed) + " to change, " +
                     n(same) + " already there, " + n(failed) + " failed."
               : head + ": " + n(added) + " added, " + n(changed) + " changed, " + n(same) +
                     " already there, " + n(failed) + " failed.";
  };
  std::size_t done = 0;
  try {
    formats::RightsFileReader reader = spool.Reader();
    for (; !reader.AtEnd(); ++done) {
      context.Progress(done, total);
      const RightsRecord record = options.mapping.Apply(reader.ReadRecord());
      restore::GrantOutcome outcome;
      try {
        outcome = granter.Grant(record);
      } catch (const formats::FormatError& e) {
        // Only a mapped name can hold what the client cannot carry.
        ++failed;
        context.Line(ResultLine("failed", record, e.what()));
        continue;
      }
      // The same word for a dry run and a restore: what the volume held before the record.
      switch (outcome.status) {
        case restore::GrantStatus::kAdded:
        case restore::GrantStatus::kGranted:  // not met: this granter reuses
          ++added;
          context.Line(ResultLine("add", record));
          break;
        case restore::GrantStatus::kChanged:
          ++changed;
          context.Line(ResultLine("change", record, formats::BuildRightsText(outcome.oldMask)));
          break;
        case restore::GrantStatus::kSame:
          ++same;
          context.Line(ResultLine("same", record));
          break;
        case restore::GrantStatus::kFailed:
          ++failed;
          context.Line(ResultLine("failed", record, FailureText(outcome, record)));
          break;
      }
    }
  } catch (const OutputError&) {
    // What was done is told all the same; the record whose line could not be written was
    // handled. The caller says why the run stopped.
    context.EndProgress();
    context.Problem(summary("Stopped after " + std::to_string(done + 1) + " of " +
                            Count(total, "record", "records")));
    throw;
  }
  context.EndProgress();
  context.Note(summary(Count(total, "record", "records")));
  return failed == 0 ? kDone : kFailed;
}

int Verify(Context& context, const VerifyOptions& options) {
  const Spool spool(options.file);
  // Each record is compared under its own tree, on its own server and volume: one live
  // reading for each (tree, server, volume) the file names.
  struct Group {
    std::string tree, server, volume;  // as the first record names them
    std::vector<RightsRecord> records;
  };
  std::map<std::tuple<std::string, std::string, std::string>, Group> groups;
  CheckFile(
      spool, options.mapping,
      [&](const RightsRecord& record) {
        const std::size_t colon = record.directory.find(':');
        const std::string volume =
            colon == std::string::npos ? std::string() : record.directory.substr(0, colon);
        Group& group = groups[{formats::FoldName(record.tree), formats::FoldName(record.server),
                               formats::FoldName(volume)}];
        if (group.records.empty()) group = {record.tree, record.server, volume, {}};
        group.records.push_back(record);
      },
      "");

  std::vector<verify::Difference> differences;
  const auto add = [&](std::vector<verify::Difference> more) {
    differences.insert(differences.end(), std::make_move_iterator(more.begin()),
                       std::make_move_iterator(more.end()));
  };
  for (auto& [key, group] : groups) {
    // A record that names no volume cannot be on one.
    if (group.volume.empty()) {
      add(verify::CompareRecords(group.records, {}));
      continue;
    }
    std::string tree;
    try {
      tree = ConnectedTree(context, group.tree);
    } catch (const UsageError&) {
      add(verify::FailedRecords(group.records,
                                "the workstation is not connected to the tree " + group.tree));
      continue;
    }
    std::vector<RightsRecord> live;
    std::string failure;
    const bool read = CaptureVolume(
        context, tree, group.server, group.volume,
        [&](const RightsRecord& record) { live.push_back(record); }, &failure);
    // Without the live side nothing can be compared, which is no difference found.
    if (!read) {
      add(verify::FailedRecords(group.records, failure));
    } else {
      add(verify::CompareRecords(group.records, live));
    }
  }
  verify::SortDifferences(differences);
  for (const verify::Difference& difference : differences) {
    switch (difference.kind) {
      case verify::DifferenceKind::kChange:
        context.Line(ResultLine("change", difference.record, difference.detail));
        break;
      case verify::DifferenceKind::kMissing:
        context.Line(ResultLine("missing", difference.record));
        break;
      case verify::DifferenceKind::kExtra:
        context.Line(ResultLine("extra", difference.record));
        break;
      case verify::DifferenceKind::kFailed:
        context.Line(ResultLine("failed", difference.record, difference.detail));
        break;
    }
  }
  const verify::DifferenceCount count = verify::CountDifferences(differences);
  context.Line(verify::CountLine(count));
  return count.Total() == 0 && count.failed == 0 ? kDone : kFailed;
}

}  // namespace cli
