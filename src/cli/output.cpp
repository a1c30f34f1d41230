#include "cli/output.h"

#include <unistd.h>

#include <initializer_list>
#include <utility>

#include "formats/field_reader.h"
#include "formats/windows1252.h"

namespace cli {
namespace {

std::string Field(std::string_view value, std::string_view label) {
  try {
    return formats::Cp1252ToUtf8(formats::EncodeField(value, label));
  } catch (const formats::UnwritableValue&) {
    return formats::QuoteForMessage(value);
  }
}

// `head`, then each (value, label) as a field, then `extra` as one more.
std::string Joined(std::string head,
                   std::initializer_list<std::pair<std::string_view, std::string_view>> fields,
                   const std::optional<std::string>& extra) {
  const char* separator = "";
  for (const auto& [value, label] : fields) {
    head += separator + Field(value, label);
    separator = ",";
  }
  if (extra) head += "," + Field(*extra, "value");
  return head;
}

}  // namespace

std::string ResultLine(std::string_view word, const formats::RightsRecord& record,
                       const std::optional<std::string>& extra) {
  return Joined(std::string(word) + " ",
                {{record.tree, "tree name"},
                 {record.object, "object name"},
                 {record.server, "server name"},
                 {record.directory, "directory"},
                 {record.rights, "rights text"}},
                extra);
}

std::string FilterLine(std::string_view word, const formats::FilterRecord& filter,
                       const std::optional<std::string>& extra) {
  return Joined(
      std::string(word) + " filter ",
      {{filter.server, "server name"}, {filter.path, "path"}, {filter.rights, "rights text"}},
      extra);
}

std::string RenderProgressBar(std::size_t done, std::size_t total, std::size_t width) {
  if (done > total) done = total;
  const std::size_t marks = total == 0 ? width : done * width / total;
  std::string bar = "[" + std::string(marks, '#') + std::string(width - marks, '.') + "] ";
  const std::string totalText = std::to_string(total);
  std::string doneText = std::to_string(done);
  doneText.insert(0, totalText.size() - doneText.size(), ' ');
  return bar + doneText + "/" + totalText;
}

void ProgressBar::Update(std::size_t done, std::size_t total) {
  if (!shown_) return;
  std::string line = RenderProgressBar(done, total, 40);
  if (visible_ && line == drawn_) return;
  out_ << '\r' << line << std::flush;
  drawn_ = std::move(line);
  visible_ = true;
}

void ProgressBar::Hide() {
  if (!visible_) return;
  out_ << "\r\033[K" << std::flush;
  visible_ = false;
}

bool ProgressWanted(bool quiet) { return !quiet && ::isatty(STDERR_FILENO) == 1; }

}  // namespace cli
