#include "verify/sorted_spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace verify {
namespace {

std::string Reason() { return std::generic_category().message(errno); }

// What an entry costs in memory, near enough to bound a run.
std::size_t Cost(const SortedEntry& entry) {
  const formats::RightsRecord& r = entry.record;
  return sizeof(SortedEntry) + entry.key.size() + r.tree.size() + r.object.size() +
         r.server.size() + r.directory.size() + r.rights.size() + entry.detail.size();
}

void Put(std::string& out, const std::string& text) {
  const auto size = static_cast<std::uint32_t>(text.size());
  out.append(reinterpret_cast<const char*>(&size), sizeof size);
  out += text;
}

}  // namespace

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
}

int OpenUnnamedFile(const std::string& folder, const std::string& prefix) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = folder + "/" + prefix + "XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
  }
  return fd;
}

void AppendKeyPart(std::string& key, std::string_view part) {
  for (const char c : part) {
    if (c == '\0' || c == '\1') {
      key += '\1';
      key += static_cast<char>(c + 1);
    } else {
      key += c;
    }
  }
  key += '\0';
}

// A spilled run, read back through a buffer of its own.
struct SortedSpool::Run {
  std::uint64_t at, end;  // what is left of it in the file
  std::vector<char> buffer;
  std::size_t pos = 0, filled = 0;
  SortedEntry head;

  void Read(int fd, char* into, std::size_t size) {
    while (size > 0) {
      if (pos == filled) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
        const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
          throw SpoolError("Cannot read back the sorted records in " + TempFolder() + ": " +
                           (got < 0 ? Reason() : std::string("the file is short")) + ".");
        }
        at += static_cast<std::uint64_t>(got);
        pos = 0;
        filled = static_cast<std::size_t>(got);
      }
      const std::size_t n = std::min(size, filled - pos);
      std::memcpy(into, buffer.data() + pos, n);
      pos += n;
      into += n;
      size -= n;
    }
  }
  void Get(int fd, std::string& text) {
    std::uint32_t size = 0;
    Read(fd, reinterpret_cast<char*>(&size), sizeof size);
    text.resize(size);
    Read(fd, text.data(), size);
  }
  // The next entry into head; false at the run's end.
  bool Next(int fd) {
    if (pos == filled && at == end) return false;
    formats::RightsRecord& r = head.record;
    for (std::string* text :
         {&head.key, &r.tree, &r.object, &r.server, &r.directory, &r.rights, &head.detail}) {
      Get(fd, *text);
    }
    Read(fd, reinterpret_cast<char*>(&head.tag), 1);
    return true;
  }
};

SortedSpool::SortedSpool(std::size_t runBytes) : runBytes_(runBytes) {}

SortedSpool::~SortedSpool() {
  if (fd_ >= 0) ::close(fd_);
}

void SortedSpool::Add(SortedEntry entry) {
  held_ += Cost(entry);
  entries_.push_back(std::move(entry));
  if (held_ >= runBytes_) Spill();
}

void SortedSpool::Spill() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const SortedEntry& a, const SortedEntry& b) { return a.key < b.key; });
  if (fd_ < 0) {
    const std::string folder = TempFolder();
    fd_ = OpenUnnamedFile(folder, "tolvane-sort-");
    if (fd_ < 0) {
      throw SpoolError("Cannot make a temporary file for sorting in " + folder + ": " + Reason() +
                       ".");
    }
  }
  auto run = std::make_unique<Run>();
  run->at = written_;
  std::string out;
  const auto flush = [&] {
    for (std::size_t done = 0; done < out.size();) {
      const ssize_t n = ::write(fd_, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        throw SpoolError("Cannot write the sorted records to " + TempFolder() + ": " + Reason() +
                         ".");
      }
      done += static_cast<std::size_t>(n);
    }
    written_ += out.size();
    out.clear();
  };
  for (const SortedEntry& entry : entries_) {
    const formats::RightsRecord& r = entry.record;
    for (const std::string* text :
         {&entry.key, &r.tree, &r.object, &r.server, &r.directory, &r.rights, &entry.detail}) {
      Put(out, *text);
    }
    out += static_cast<char>(entry.tag);
    if (out.size() >= (1u << 16)) flush();
  }
  flush();
  run->end = written_;
  runs_.push_back(std::move(run));
  entries_.clear();
  entries_.shrink_to_fit();
  held_ = 0;
}

void SortedSpool::Finish() {
  if (finished_) return;
  finished_ = true;
  // Once anything went to the file, the rest does too, so that the merge holds only buffers.
  if (!runs_.empty() && !entries_.empty()) Spill();
  if (runs_.empty()) {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const SortedEntry& a, const SortedEntry& b) { return a.key < b.key; });
  }
  // A quarter of a run's memory for the buffers of all the runs, within bounds.
  const std::size_t buffer =
      runs_.empty() ? 0 : std::clamp<std::size_t>(runBytes_ / 4 / runs_.size(), 4096, 1 << 20);
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    runs_[i]->buffer.resize(buffer);
    if (runs_[i]->Next(fd_)) Push(i);
  }
  if (!entries_.empty()) Push(runs_.size());
}

const SortedEntry& SortedSpool::Head(std::size_t run) const {
  return run < runs_.size() ? runs_[run]->head : entries_[next_];
}

bool SortedSpool::Later(std::size_t a, std::size_t b) const {
  // Of equal keys the earlier run, whose entries were added first, comes first.
  const int order = Head(a).key.compare(Head(b).key);
  return order > 0 || (order == 0 && a > b);
}

void SortedSpool::Push(std::size_t run) {
  heap_.push_back(run);
  std::push_heap(heap_.begin(), heap_.end(),
                 [this](std::size_t a, std::size_t b) { return Later(a, b); });
}

const SortedEntry* SortedSpool::Front() const {
  return heap_.empty() ? nullptr : &Head(heap_.front());
}

void SortedSpool::Pop() {
  std::pop_heap(heap_.begin(), heap_.end(),
                [this](std::size_t a, std::size_t b) { return Later(a, b); });
  const std::size_t run = heap_.back();
  heap_.pop_back();
  const bool more = run < runs_.size() ? runs_[run]->Next(fd_) : ++next_ < entries_.size();
  if (more) Push(run);
}

}  // namespace verify
