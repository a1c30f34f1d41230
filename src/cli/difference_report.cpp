#include "cli/difference_report.h"

#include <optional>
#include <utility>

#include "cli/commands.h"
#include "cli/output.h"

namespace cli {
namespace {

std::string DifferenceWord(verify::DifferenceKind kind) {
  switch (kind) {
    case verify::DifferenceKind::kChange:
      return "change";
    case verify::DifferenceKind::kMissing:
      return "missing";
    case verify::DifferenceKind::kExtra:
      return "extra";
    case verify::DifferenceKind::kFailed:
      break;
  }
  return "failed";
}

}  // namespace

void DifferenceReport::Add(verify::Difference difference) {
  count_.Add(difference.kind);
  spool_.Add(verify::AsEntry(std::move(difference)));
}

int DifferenceReport::Tell(const std::function<void(const std::string&)>& line) {
  spool_.Finish();
  for (; spool_.Front() != nullptr; spool_.Pop()) {
    const verify::Difference difference = verify::FromEntry(*spool_.Front());
    const std::string word = DifferenceWord(difference.kind);
    std::optional<std::string> detail;
    if (!difference.detail.empty() || difference.kind == verify::DifferenceKind::kChange) {
      detail = difference.detail;
    }
    line(difference.filter ? FilterLine(word, verify::FilterOf(difference), detail)
                           : ResultLine(word, difference.record, detail));
  }
  line(verify::CountLine(count_));
  return count_.Total() == 0 && count_.failed == 0 ? kDone : kFailed;
}

}  // namespace cli
