// The trustee scan as the window shows it: every object of the object list file is asked for
// its trustee paths on the selected volume, and each assignment becomes one record of the
// rights file.

#include <QComboBox>
#include <QProgressBar>
#include <algorithm>
#include <filesystem>
#include <string>

#include "app/form1.h"
#include "app/throttled_repaint.h"
#include "capture/capture_work.h"
#include "capture/volume_scan.h"
#include "formats/field_reader.h"
#include "formats/object_list_file.h"
#include "formats/rights_file.h"
#include "formats/rights_file_writer.h"

namespace app {
namespace {

std::string Count(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string LeftOut(std::int64_t n, const char* one, const char* many, const char* why) {
  return " " + Count(n, one, many) + why + (n == 1 ? "was" : "were");
}

// Each object the scan reaches shows in the progress bar and in Text2; each assignment in
// TrusteePath.
class WindowScanObserver : public capture::ScanObserver {
 public:
  WindowScanObserver(Form1& form, formats::FieldReader& names)
      : form_(form), names_(names), progressMax_(form.ProgressBar1->maximum()) {}

  void OnObject(std::int64_t counter, const std::string& name) override {
    form_.Text2 = name;
    form_.ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(counter, progressMax_)));
    repaint_({form_.ProgressBar1}, counter == 0 || names_.AtEnd());
  }
  void OnRecord(const formats::RightsRecord&, const std::string& trusteePath) override {
    form_.TrusteePath = trusteePath;
  }

 private:
  Form1& form_;
  formats::FieldReader& names_;
  const int progressMax_;
  ThrottledRepaint repaint_;
};

}  // namespace

void Form1::ReadTrusteeRights() {
  SetStatus("Reading Trustee Rights");

  const std::string folder = desktop_.ProgramFolder();
  const std::string listFile = folder + "/" + formats::kObjectListFileName;
  const std::string rightsFile = folder + "/" + formats::RightsFileName(ServerName, VolumeName);
  formats::FieldReader names{std::filesystem::path(listFile)};
  // Records go to a temporary file that replaces the rights file only once the scan is
  // complete: a scan that fails part-way leaves an earlier rights file as it was.
  formats::RightsFileWriter rights{std::filesystem::path(rightsFile)};

  WindowScanObserver observer(*this, names);
  const capture::ScanSummary summary = capture::ScanVolume(
      platform_.Client(), platform_.Files(),
      {Combo2->currentText().toStdString(), ServerName, VolumeName},
      [&]() -> std::optional<std::string> {
        if (names.AtEnd()) return std::nullopt;
        return names.ReadField();
      },
      [&](const formats::RightsRecord& record) { rights.Write(record); }, observer);

  rights.Commit();
  SetStatus("All done");
  std::error_code ignored;
  std::filesystem::remove(listFile, ignored);

  std::string closing = "All Done. File " + rightsFile + " has been created.";
  if (summary.skippedRecords > 0) {
    closing += LeftOut(summary.skippedRecords, "record", "records",
                       " could not be written to the file, because a name holds a character the "
                       "file cannot carry, and ") +
               " skipped.";
  }
  const auto unreadable = static_cast<std::int64_t>(Capture().unreadableResults.size());
  if (unreadable > 0) {
    closing += LeftOut(unreadable, "search result", "search results", " could not be read and ") +
               " left out.";
  }
  if (summary.unmappedObjects > 0) {
    closing += LeftOut(summary.unmappedObjects, "object", "objects",
                       " could not be found in the tree and ") +
               " left out.";
  }
  desktop_.MsgBox(closing);
  SetStatus("");
}

}  // namespace app
