// tolvane-cli diff: two captures compared, each a rights file or a folder of them, with the
// filters files beside; no network is needed.

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/commands.h"
#include "cli/difference_report.h"
#include "formats/filters_file.h"
#include "formats/name_fold.h"
#include "verify/rights_difference.h"
#include "verify/sorted_spool.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

// One side of a diff as files: its rights files, and the filters files beside them.
struct Side {
  std::vector<fs::path> rights;
  std::vector<fs::path> filters;
};

// A rights file as it is, or the rights files of a folder (SERVER_VOLUME.RIGHTS, by name).
Side Files(const std::string& given, bool folder, bool noFilters) {
  Side side;
  if (folder) {
    std::error_code error;
    for (fs::directory_iterator entry(given, error), end; !error && entry != end;
         entry.increment(error)) {
      if (entry->is_regular_file(error) &&
          formats::SameName(entry->path().extension().string(), ".RIGHTS")) {
        side.rights.push_back(entry->path());
      }
    }
    if (error) {
      throw UsageError("The folder " + given + " cannot be read: " + error.message() + ".");
    }
    std::sort(side.rights.begin(), side.rights.end());
  } else {
    side.rights.push_back(given);
  }
  for (const fs::path& rights : side.rights) {
    const fs::path beside = formats::FiltersFileName(rights);
    std::error_code error;
    if (!noFilters && fs::exists(beside, error)) side.filters.push_back(beside);
  }
  return side;
}

// Reads a side's records into `records` (keyed as a diff compares them, with the tree) and
// its filters into `filters`, each through `check` when it is given.
void Read(const Side& side, restore::MappingCheck* check, verify::SortedSpool& records,
          std::vector<formats::FilterRecord>& filters) {
  try {
    for (const fs::path& file : side.rights) {
      formats::RightsFileReader reader(file, "The file " + file.string());
      while (!reader.AtEnd()) {
        formats::RightsRecord record = reader.ReadRecord();
        if (check) record = check->Add(record);
        std::string key = verify::CompareKey(record, true);
        records.Add({std::move(key), std::move(record), "", 0});
      }
    }
    for (const fs::path& file : side.filters) {
      formats::FiltersFileReader reader(file, "The filters file " + file.string());
      while (!reader.AtEnd()) {
        const formats::FilterRecord filter = reader.ReadFilter();
        filters.push_back(check ? check->Add(filter) : filter);
      }
    }
    if (check) check->Finish();
  } catch (const formats::FormatError& e) {
    throw UsageError(e.what());
  } catch (const restore::MappingError& e) {
    throw UsageError(e.what());
  }
  records.Finish();
}

}  // namespace

int Diff(std::ostream& out, const DiffOptions& options) {
  std::error_code error;
  const bool folders = fs::is_directory(options.oldCapture, error);
  if (fs::is_directory(options.newCapture, error) != folders) {
    throw UsageError("diff compares two rights files or two folders of them; " +
                     (folders ? options.oldCapture : options.newCapture) +
                     " is a folder and the other is not.");
  }
  const Side oldSide = Files(options.oldCapture, folders, options.noFilters);
  const Side newSide = Files(options.newCapture, folders, options.noFilters);
  verify::SortedSpool oldRecords, newRecords;
  std::vector<formats::FilterRecord> oldFilters, newFilters;
  restore::MappingCheck check(options.mapping);
  Read(oldSide, &check, oldRecords, oldFilters);
  Read(newSide, nullptr, newRecords, newFilters);

  DifferenceReport report;
  const auto add = [&](verify::Difference difference) { report.Add(std::move(difference)); };
  verify::CompareSorted(oldRecords, newRecords, add);
  // Filters are compared when either side has them: a side without any holds none.
  if (!oldSide.filters.empty() || !newSide.filters.empty()) {
    for (verify::Difference& difference : verify::CompareFilters(oldFilters, newFilters)) {
      add(std::move(difference));
    }
  }
  return report.Tell([&](const std::string& line) {
    out << line << '\n';
    CheckOutput(out);
  });
}

}  // namespace cli
