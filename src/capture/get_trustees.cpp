// The get-trustees command: maps a drive to the selected volume, compiles every user, group,
// organizational role and unit of the tree into the object list file, and hands over to the
// trustee scan.

#include <QComboBox>
#include <QProgressBar>
#include <algorithm>
#include <climits>
#include <exception>
#include <string>

#include "app/form1.h"
#include "capture/drive_choice.h"
#include "capture/volume_name.h"
#include "formats/object_list_file.h"

namespace app {
namespace {

struct ObjectClass {
  const char* label;
  const char* className;
};

constexpr ObjectClass kObjectClasses[] = {
    {" Users ", "User"},
    {" Groups ", "Group"},
    {" Organisational Role ", "Organizational Role"},
    {" Organisational Unit ", "Organizational Unit"},
};

}  // namespace

void Form1::SplitSelectedVolume() {
  const capture::VolumeObjectName parts = capture::SplitVolumeObjectName(SelectedVolume);
  ServerName = parts.server;
  VolumeName = parts.volume;
}

void Form1::Command1_Click() {
  List1.clear();
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

  std::vector<std::string> mappedDrives;
  for (const nw::NWDriveMapping& mapping : NWSess1->DriveMappings()) {
    mappedDrives.push_back(mapping.Drive);
  }
  List2 = capture::CandidateDrives(mappedDrives);
  if (List2.empty()) {
    desktop_.MsgBox("Cannot add drive mapping to server " + ServerName + ", volume " + VolumeName +
                        ": only " + std::to_string(capture::FreeDrives(mappedDrives).size()) +
                        " drive letters are free, and a capture needs " +
                        std::to_string(capture::kDrivesLeftFree + 1) +
                        " (it leaves the five lowest free letters to you).\rPlease remove a "
                        "drive mapping, then click on the 'Get Trustees' button again.",
                    MsgIcon::Critical);
    return;
  }
  std::string drive = List2.front();
  std::string networkPath = "\\\\" + ServerName + "\\" + VolumeName + "\\";

  bool mapped = false;
  try {
    mapped = !NWSess1->MapDrive(drive, networkPath, true).FullName.empty();
  } catch (const std::exception&) {
    mapped = false;
  }
  if (!mapped) {
    desktop_.MsgBox("Cannot add drive mapping to server " + ServerName + ", volume " + VolumeName +
                    "\rThis is needed before any trustees can be obtained. Please click on the "
                    "'Get Trustees' button try again.");
    return;
  }

  try {
    SetStatus("Compiling List Of Users and Groups");
    const std::string root = "NDS:\\\\" + tree + "\\[Root]";
    NWDir1->DirectoryPath = root;
    objectList_ = std::make_unique<formats::ObjectListWriter>(desktop_.ProgramFolder() + "/" +
                                                              formats::kObjectListFileName);
    unreadableResults_.clear();
    SearchKind = "Others";
    for (const ObjectClass& row : kObjectClasses) {
      SearchLabel = row.label;
      NWDir1->SearchObjects("*", row.className, 2, root, 0);
    }
    objectList_->Close();
    objectList_.reset();

    ObjectCount = static_cast<std::int64_t>(List1.size());
    ProgressBar1->setMaximum(static_cast<int>(std::min<std::int64_t>(ObjectCount, INT_MAX)));
    List1.clear();
    ReadTrusteeRights();
  } catch (const std::exception& e) {
    objectList_.reset();
    SetStatus("");
    desktop_.MsgBox("The trustees of server " + ServerName + ", volume " + VolumeName +
                        " could not be obtained: " + e.what() +
                        "\rAn earlier rights file of this volume has been left as it was.",
                    MsgIcon::Critical);
  }

  bool unmapped = false;
  try {
    unmapped = NWSess1->UnmapDrive(List2.front().substr(0, 1));
  } catch (const std::exception&) {
    unmapped = false;
  }
  if (!unmapped) desktop_.MsgBox("Cannot delete drive mapping !");
}

}  // namespace app
