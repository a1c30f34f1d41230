// The get-trustees command: maps a drive to the selected volume, compiles every user, group,
// organizational role and unit of the tree into the object list file, and hands over to the
// trustee scan.

#include <QComboBox>
#include <QProgressBar>
#include <QScopeGuard>
#include <algorithm>
#include <climits>
#include <exception>
#include <stdexcept>
#include <string>

#include "app/form1.h"
#include "capture/capture_work.h"
#include "capture/drive_mapping.h"
#include "capture/object_search.h"
#include "capture/volume_name.h"
#include "formats/object_list_file.h"
#include "formats/rights_file.h"
#include "formats/rights_file_writer.h"
#include "formats/windows1252.h"

namespace app {
namespace {

// Maps the drive the capture holds while it runs; false when the user has been told why not.
bool MapVolumeDrive(Form1& form, CaptureWork& work) {
  const capture::CaptureDrive drive =
      capture::MapCaptureDrive(*form.NWSess1, form.ServerName, form.VolumeName);
  work.List2 = drive.candidates;
  const std::string cannot =
      "Cannot add drive mapping to server " + form.ServerName + ", volume " + form.VolumeName;
  if (work.List2.empty()) {
    form.Desk().MsgBox(cannot + ": " + capture::NoFreeDriveReason(drive) +
                           ".\rPlease remove a drive mapping, then click on the 'Get Trustees' "
                           "button again.",
                       MsgIcon::Critical);
  } else if (!drive.mapped) {
    form.Desk().MsgBox(cannot +
                       "\rThis is needed before any trustees can be obtained. Please click on "
                       "the 'Get Trustees' button try again.");
  }
  return drive.mapped;
}

}  // namespace

void Form1::SplitSelectedVolume() {
  const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(SelectedVolume);
  ServerName = parts.server;
  VolumeName = parts.volume;
}

void Form1::Command1_Click() {
  CaptureWork& work = Capture();
  work.List1.clear();
  const std::string tree = Combo2->currentText().toStdString();
  if (tree.empty()) {
    desktop_.MsgBox("Please enter the Tree name", MsgIcon::Critical, "!! Missing Information !!");
    return;
  }
  BusyPointer busy(desktop_);

  // A name that cannot become the rights file's name is refused before anything is mapped.
  const std::string nameProblem = capture::VolumeNameProblem(SelectedVolume);
  if (!nameProblem.empty()) {
    desktop_.MsgBox(nameProblem, MsgIcon::Critical);
    return;
  }
  SplitSelectedVolume();
  if (!MapVolumeDrive(*this, work)) return;

  try {
    SetStatus("Compiling List Of Users and Groups");
    NWDir1->DirectoryPath = capture::TreeRoot(tree);
    work.objectList = std::make_unique<formats::ObjectListWriter>(desktop_.ProgramFolder() + "/" +
                                                                  formats::kObjectListFileName);
    work.unreadableResults.clear();
    SearchKind = "Others";
    // The object searches' results come to the capture while they run, and to nothing after.
    ObjectResults = [this](const std::string& result) { AddObjectName(result); };
    const auto uninstall = qScopeGuard([this] { ObjectResults = nullptr; });
    capture::SearchObjectClasses(
        *NWDir1, tree, [this](const capture::ObjectClass& row) { SearchLabel = row.label; });
    work.objectList->Close();
    work.objectList.reset();

    ObjectCount = static_cast<std::int64_t>(work.List1.size());
    ProgressBar1->setMaximum(static_cast<int>(std::min<std::int64_t>(ObjectCount, INT_MAX)));
    work.List1.clear();
    ReadTrusteeRights();
  } catch (const std::exception& e) {
    work.objectList.reset();
    SetStatus("");
    // Said only when it is true: a first capture of a volume has nothing to leave alone, nor
    // has one whose folder or file name is what failed.
    bool earlier = false;
    try {
      earlier = formats::RightsFileWriter::EarlierFileExists(
          desktop_.ProgramFolder() + "/" + formats::RightsFileName(ServerName, VolumeName));
    } catch (const std::exception&) {
    }
    const std::string leftAlone =
        earlier ? "\rAn earlier rights file of this volume has been left as it was." : "";
    desktop_.MsgBox("The trustees of server " + ServerName + ", volume " + VolumeName +
                        " could not be obtained: " + e.what() + leftAlone,
                    MsgIcon::Critical);
  }
  std::string ignored;
  if (!capture::UnmapCaptureDrive(*NWSess1, work.List2.front(), &ignored)) {
    desktop_.MsgBox("Cannot delete drive mapping !");
  }
}

// A result that cannot become a line of the object list file (outside the chosen tree, or a
// name the file cannot carry) is left out and the search goes on: one odd object must not
// cost the whole capture. The user is told about the first such result of a command run and
// the later ones are only collected, for the closing message to sum up; a message per result
// could bury the user under hundreds of boxes in a large tree.
void Form1::AddObjectName(const std::string& result) {
  CaptureWork& work = Capture();
  if (!work.objectList) {
    throw std::logic_error("The object list file is not open, so the search result " +
                           formats::QuoteForMessage(result) + " cannot be written.");
  }
  std::string name;
  try {
    name = formats::DottedName(result, Combo2->currentText().toStdString());
    // A failure of the file itself is no UnwritableValue: it still ends the command.
    work.objectList->WriteName(name);
  } catch (const formats::UnwritableValue& e) {
    if (work.unreadableResults.empty()) {
      desktop_.MsgBox("The search result " + formats::QuoteForMessage(result) +
                          " cannot be captured and is left out.\r" + e.what() +
                          "\rFurther results that cannot be read are left out without a message.",
                      MsgIcon::Exclamation);
    }
    work.unreadableResults.push_back(result);
    return;
  }
  work.List1.push_back(name);
}

}  // namespace app
