#include "cli/output.h"

#include <unistd.h>

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

}  // namespace

std::string ResultLine(std::string_view word, const formats::RightsRecord& record,
                       const std::optional<std::string>& extra) {
  std::string line(word);
  line += ' ';
  line += Field(record.tree, "tree name") + ",";
  line += Field(record.object, "object name") + ",";
  line += Field(record.server, "server name") + ",";
  line += Field(record.directory, "directory") + ",";
  line += Field(record.rights, "rights text");
  if (extra) line += "," + Field(*extra, "value");
  return line;
}

std::string FilterLine(std::string_view word, const formats::FilterRecord& filter,
                       const std::optional<std::string>& extra) {
  std::string line(word);
  line += " filter ";
  line += Field(filter.server, "server name") + ",";
  line += Field(filter.path, "path") + ",";
  line += Field(filter.rights, "rights text");
  if (extra) line += "," + Field(*extra, "value");
  return line;
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
