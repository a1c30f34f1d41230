#pragma once
// Records sorted without holding them all: runs of bounded size are sorted in memory and
// spilled to one unnamed temporary file, then merged, so that a comparison of two large
// sides keeps its memory flat in the size of its input.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/rights_file.h"

namespace verify {

// The temporary file could not be made, written or read; what() says where and why.
class SpoolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SortedEntry {
  std::string key;  // entries come back in the bytewise order of their keys
  formats::RightsRecord record;
  std::string detail;
  std::uint8_t tag = 0;
  bool operator==(const SortedEntry&) const = default;
};

// The folder for temporary files: TMPDIR, or /tmp.
std::string TempFolder();
// A new file in `folder` with no name, so that it goes with the process however the run ends;
// on a file system without unnamed files, one named `prefix` and six letters, unlinked at once.
// -1, with errno set, when neither can be made.
int OpenUnnamedFile(const std::string& folder, const std::string& prefix);

// Appends `part` to `key` so that keys built of parts compare as the tuples of their parts:
// each part ends with a zero byte, and a zero or one byte inside a part is escaped.
void AppendKeyPart(std::string& key, std::string_view part);

// Entries in key order, read one at a time.
class SortedSource {
 public:
  virtual ~SortedSource() = default;
  // The least entry left, or nullptr at the end.
  virtual const SortedEntry* Front() const = 0;
  virtual void Pop() = 0;
  // How many bytes at the head of every key to pass over when keys are compared.
  virtual std::size_t Skip() const { return 0; }
};

class SortedSpool : public SortedSource {
 public:
  // About how many bytes of entries are held in memory before a run is spilled.
  explicit SortedSpool(std::size_t runBytes = std::size_t{8} << 20);
  ~SortedSpool();
  SortedSpool(const SortedSpool&) = delete;
  SortedSpool& operator=(const SortedSpool&) = delete;

  void Add(SortedEntry entry);
  // Ends the adding. Afterwards Front() is the least entry left (of equal keys, the one added
  // first) or nullptr at the end, and Pop() moves past it. Throws SpoolError.
  void Finish();
  const SortedEntry* Front() const override;
  void Pop() override;

  std::size_t Runs() const { return runs_.size(); }  // spilled to the file

 private:
  struct Run;
  void Spill();
  void Push(std::size_t run);
  const SortedEntry& Head(std::size_t run) const;
  bool Later(std::size_t a, std::size_t b) const;

  std::size_t runBytes_;
  std::size_t held_ = 0;
  std::vector<SortedEntry> entries_;  // the run being gathered, then the one kept in memory
  std::size_t next_ = 0;              // of entries_, when it is merged from memory
  int fd_ = -1;
  std::uint64_t written_ = 0;
  std::vector<std::unique_ptr<Run>> runs_;
  // The heads of the runs, as a heap of run numbers; entries_ is run runs_.size().
  std::vector<std::size_t> heap_;
  bool finished_ = false;
};

// The entries of `source` whose keys begin with `prefix`, compared without it: a part of a
// larger sorted whole. `source` stands at the first of them, or past them all.
class PrefixedSource : public SortedSource {
 public:
  PrefixedSource(SortedSource& source, std::string prefix)
      : source_(source), prefix_(std::move(prefix)) {}
  const SortedEntry* Front() const override {
    const SortedEntry* front = source_.Front();
    return front != nullptr && front->key.starts_with(prefix_) ? front : nullptr;
  }
  void Pop() override { source_.Pop(); }
  std::size_t Skip() const override { return source_.Skip() + prefix_.size(); }

 private:
  SortedSource& source_;
  std::string prefix_;
};

}  // namespace verify
