#pragma once
// What tolvane-cli writes: result lines on standard output, and a progress bar on standard
// error while that is a terminal.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "formats/filters_file.h"
#include "formats/rights_file.h"

namespace cli {

// `word`, a blank, and the record in the rights file's field syntax (quoted as the file
// quotes it), as UTF-8 without a line end. `extra`, when given, follows as a sixth field: the
// rights the volume holds now for "change", the reason for "failed". A value the file cannot
// carry (a double quote, a line end) is shown quoted with escapes, so the line stays one line.
std::string ResultLine(std::string_view word, const formats::RightsRecord& record,
                       const std::optional<std::string>& extra = std::nullopt);

// `word`, " filter ", and the filter in the filters file's field syntax, as ResultLine writes
// a record: "add filter MFS1,DATA:\Home\alice,FileScan".
std::string FilterLine(std::string_view word, const formats::FilterRecord& filter,
                       const std::optional<std::string>& extra = std::nullopt);

// "[#########...........]  42/100": `width` marks between the brackets.
std::string RenderProgressBar(std::size_t done, std::size_t total, std::size_t width);

// Draws on `out` in place (carriage return, no line feed) when `shown`; otherwise nothing at
// all. Hide() before other text goes to the same terminal.
class ProgressBar {
 public:
  ProgressBar(std::ostream& out, bool shown) : out_(out), shown_(shown) {}
  ~ProgressBar() { Hide(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Update(std::size_t done, std::size_t total);
  void Hide();

 private:
  std::ostream& out_;
  bool shown_;
  bool visible_ = false;
  std::string drawn_;
};

// Whether the bar belongs on standard error: a terminal, and not --quiet.
bool ProgressWanted(bool quiet);

}  // namespace cli
