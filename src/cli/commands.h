#pragma once
// The commands of tolvane-cli, each given its checked arguments and where to write.

#include <cstddef>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

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

// Standard output could not be written (a closed pipe, a full disk): the run stops, with a
// message and kUsage, as the results it owes cannot be given.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Context {
 public:
  Context(nw::NetWarePlatform& platform, std::ostream& out, std::ostream& err, bool quiet,
          bool progress)
      : platform(platform), out_(out), err_(err), quiet_(quiet), progress_(err, progress) {}

  // One result line on standard output, out before this returns, so that every grant is
  // told before the next is made. Throws OutputError when it cannot be written.
  void Line(const std::string& line);
  // Bytes on standard output as they are; throws OutputError when they cannot be written.
  void Write(std::string_view bytes);
  // A message on standard error: always for problems, and unless --quiet for the rest.
  void Problem(const std::string& text);
  void Note(const std::string& text);
  void Progress(std::size_t done, std::size_t total) { progress_.Update(done, total); }
  void EndProgress() { progress_.Hide(); }
  std::ostream& Out() { return out_; }

  // Another platform on the network in use, with its own connections and context, for a
  // worker of a run with several jobs. Throws UsageError when none can be opened.
  using PlatformOpener = std::function<std::unique_ptr<nw::NetWarePlatform>()>;
  void SetPlatformOpener(PlatformOpener opener) { opener_ = std::move(opener); }
  std::unique_ptr<nw::NetWarePlatform> OpenPlatform();

  nw::NetWarePlatform& platform;
  // --jobs: how many platforms work side by side (1: today's calls in today's order).
  std::size_t jobs = 1;

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool quiet_;
  ProgressBar progress_;
  PlatformOpener opener_;
};

int ListTrees(Context& context);
int ListVolumes(Context& context, const std::string& tree);
// The volumes of one server, by number.
int ListServerVolumes(Context& context, const std::string& server);

struct CaptureOptions {
  std::string tree;
  std::string volume;   // SERVER_VOLUME with a tree; with a server, the volume's own name
  std::string server;   // set instead of the tree: the server's volume, bindery or NDS
  std::string output;   // "-": standard output; empty: SERVER_VOLUME.RIGHTS here
  std::string filters;  // empty: beside the rights file (none with standard output)
  bool noFilters = false;
  // Every directory's and file's trustee list read in batches; off, each object is asked for
  // its trustee paths as the window does, which takes a round trip a path but also finds an
  // assignment on a path the volume no longer shows.
  bool byDirectory = true;
  // Every volume object of the tree; with a server and no volume, every volume of the server.
  bool all = false;
  // The folder the files of many volumes go into (default: here), made when missing.
  std::string outputDir;
  // The run in a folder of its own under outputDir, named by the time it started.
  bool dated = false;
  // The network folder in use: its store and volume folders are never an output.
  std::string network;
};
int Capture(Context& context, const CaptureOptions& options);
// Throws UsageError for options that do not go together (`outputGiven`: --output was given).
void CheckCaptureOptions(const CaptureOptions& options, bool outputGiven);

struct RestoreOptions {
  std::string file;
  bool dryRun = false;
  restore::RecordMapping mapping;
  std::string filters;  // the filters file; empty: the one beside the rights file, if any
  bool noFilters = false;
  // Remove every assignment (and, with a filters file, every filter) of the volumes the file
  // covers that the file does not hold.
  bool exact = false;
};
// `file` "-" is standard input. The file is read once, into a private copy; it is checked
// whole (every record, and the mapping against them) before anything is granted.
int Restore(Context& context, const RestoreOptions& options);

struct VerifyOptions {
  std::string file;  // "-": standard input
  restore::RecordMapping mapping;
  std::string filters;  // as for RestoreOptions
  bool noFilters = false;
};
int Verify(Context& context, const VerifyOptions& options);

struct DiffOptions {
  std::string oldCapture;          // a rights file, or a folder of them
  std::string newCapture;          // the same kind as oldCapture
  restore::RecordMapping mapping;  // applied to the old capture
  bool noFilters = false;
};
// Two captures compared as verify compares a file with the volumes; needs no network.
int Diff(std::ostream& out, const DiffOptions& options);

// Throws OutputError when what went to `out` so far did not all arrive.
void CheckOutput(std::ostream& out);

}  // namespace cli
