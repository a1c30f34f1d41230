// Tree choice, the routing of directory search results, and the selection of a volume in
// the browse control.

#include <QComboBox>
#include <QPushButton>
#include <QScopeGuard>
#include <stdexcept>

#include "app/form1.h"
#include "capture/object_search.h"
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
  capture::SearchVolumes(*NWDir1, tree);
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
    } else if (ObjectResults) {
      ObjectResults(result);
    } else {
      throw std::logic_error("No command is waiting for the search result " +
                             formats::QuoteForMessage(result) + ".");
    }
  }
}

void Form1::AddVolumeName(const std::string& result) {
  List3.push_back(capture::VolumeListName(result));
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
  const auto clear = qScopeGuard([this] { ThisControl = nullptr; });
  if (Button == 2) {
    ThisControl = NWBrowse1;
    Desk().PopupMenu(mnuWhatsThis);
  }
}

}  // namespace app
