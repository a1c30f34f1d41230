// Tree choice, the routing of directory search results, and the selection of a volume in
// the browse control.

#include <QComboBox>
#include <QPushButton>
#include <stdexcept>

#include "app/form1.h"
#include "formats/field_reader.h"
#include "formats/object_list_file.h"
#include "formats/windows1252.h"

namespace app {
namespace {

std::string ComboText(const QComboBox* combo) { return combo->currentText().toStdString(); }

}  // namespace

void Form1::Combo2_Click() {
  BusyPointer busy(Desk());
  std::string tree = ComboText(Combo2);
  NWDir2->DirectoryPath = "NDS:\\\\" + tree + "\\[ROOT]";
  NWBrowse1->Refresh();
  SearchKind = "Volume";
  List3.clear();
  tree = ComboText(Combo2);
  NWDir1->SearchObjects("*", "Volume", 2, "NDS:\\\\" + tree + "\\[Root]", 0);
}

void Form1::NWDir1_SearchResults(const std::vector<std::string>& SearchResults) {
  if (SearchResults.empty() || SearchResults[0].empty()) {
    // The volume search sets no label of its own; whatever an earlier capture left in
    // SearchLabel would name the wrong class.
    const std::string label = SearchKind == "Volume" ? " Volume " : SearchLabel;
    Desk().MsgBox("No" + label + "Objects Found In The Tree", MsgIcon::Information, "!! Error !!");
    return;
  }
  for (const std::string& result : SearchResults) {
    if (SearchKind == "Volume") {
      AddVolumeName(result);
    } else {
      AddObjectName(result);
    }
  }
}

void Form1::AddVolumeName(const std::string& result) {
  const std::size_t slash = result.rfind('\\');
  List3.push_back(slash == std::string::npos ? result : result.substr(slash + 1));
}

// A result that cannot become a line of the object list file (outside the chosen tree, or a
// name the file cannot carry) is left out and the search goes on: one odd object must not
// cost the whole capture. The user is told about the first such result of a command run and
// the later ones are only collected in unreadableResults_, which the get-trustees command
// empties before its searches and may sum up after them; a message per result could bury
// the user under hundreds of boxes in a large tree.
void Form1::AddObjectName(const std::string& result) {
  if (!objectList_) {
    throw std::logic_error("The object list file is not open, so the search result " +
                           formats::QuoteForMessage(result) + " cannot be written.");
  }
  std::string name;
  try {
    name = formats::DottedName(result, ComboText(Combo2));
    // A failure of the file itself is no UnwritableValue: it still ends the command.
    objectList_->WriteName(name);
  } catch (const formats::UnwritableValue& e) {
    if (unreadableResults_.empty()) {
      Desk().MsgBox("The search result " + formats::QuoteForMessage(result) +
                        " cannot be captured and is left out.\r" + e.what() +
                        "\rFurther results that cannot be read are left out without a message.",
                    MsgIcon::Exclamation);
    }
    unreadableResults_.push_back(result);
    return;
  }
  List1.push_back(name);
}

void Form1::NWBrowse1_EntrySelected() {
  SelectedVolume = "";
  for (const nw::NWBrowseEntry& entry : NWBrowse1->SelectedEntries()) {
    for (const std::string& volume : List3) {
      if (volume == entry.EntryName) SelectedVolume = entry.EntryName;
    }
  }
  Command1->setEnabled(!SelectedVolume.empty());
}

void Form1::NWBrowse1_MouseButton(int Button, int /*Shift*/, float /*X*/, float /*Y*/) {
  // The chosen item's handler runs inside the pop-up and needs ThisControl; afterwards it
  // must not linger, even when that handler fails.
  struct ClearThisControl {
    QWidget*& control;
    ~ClearThisControl() { control = nullptr; }
  } clear{ThisControl};
  if (Button == 2) {
    ThisControl = NWBrowse1;
    Desk().PopupMenu(mnuWhatsThis);
  }
}

}  // namespace app
