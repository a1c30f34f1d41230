#pragma once
// The commands of tolvane-cli, each given its checked arguments and where to write.

#include <ostream>
#include <stdexcept>
#include <string>

#include "cli/output.h"
#include "netware/platform.h"
#include "restore/record_mapping.h"

namespace cli {

inline constexpr int kDone = 0;    // done, or no difference
inline constexpr int kFailed = 1;  // some records failed, differences found, capture failed
inline constexpr int kUsage = 2;   // bad usage, unreadable input, nothing could be done

// An argument or input the command cannot work with: a message and kUsage.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Context {
 public:
  Context(nw::NetWarePlatform& platform, std::ostream& out, std::ostream& err, bool quiet,
          bool progress)
      : platform(platform), out_(out), err_(err), quiet_(quiet), progress_(err, progress) {}

  // One result line on standard output.
  void Line(const std::string& line);
  // A message on standard error: always for problems, and unless --quiet for the rest.
  void Problem(const std::string& text);
  void Note(const std::string& text);
  void Progress(std::size_t done, std::size_t total) { progress_.Update(done, total); }
  void EndProgress() { progress_.Hide(); }
  std::ostream& Out() { return out_; }

  nw::NetWarePlatform& platform;

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool quiet_;
  ProgressBar progress_;
};

int ListTrees(Context& context);
int ListVolumes(Context& context, const std::string& tree);

struct CaptureOptions {
  std::string tree;
  std::string volume;  // SERVER_VOLUME
  std::string output;  // "-": standard output; empty: SERVER_VOLUME.RIGHTS here
};
int Capture(Context& context, const CaptureOptions& options);

struct RestoreOptions {
  std::string file;
  bool dryRun = false;
  restore::RecordMapping mapping;
};
int Restore(Context& context, const RestoreOptions& options);

int Verify(Context& context, const std::string& file);

}  // namespace cli
