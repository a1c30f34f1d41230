#pragma once
// The NDS browse control: a lazily expanded tree of the directory its bound directory
// control holds, from that directory's [Root] down, showing only the classes of the bound
// control's filter. One entry is selectable.

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "netware/nds_controls.h"

namespace nw {

// Mouse buttons (1 left, 2 right, 4 middle) and shift state (1 Shift, 2 Ctrl, 4 Alt) as
// the controls' mouse events number them.
int MouseButtonValue(Qt::MouseButton button);
int ShiftStateValue(Qt::KeyboardModifiers modifiers);

struct NWBrowseEntry {
  std::string EntryName;  // the entry's own name
  std::string FullName;   // its full NDS name
  std::string Class;
};

class NWBrowse : public QTreeWidget {
  Q_OBJECT
 public:
  explicit NWBrowse(QWidget* parent = nullptr);

  // The directory control whose DirectoryPath and Filter the browser shows (not owned).
  void SetDirectory(NWDirectory* directory);
  // Work the user starts by expanding an entry runs through `guard`, which owns the
  // failures of the directory control; without one a failed expansion shows no children.
  void SetGuard(std::function<void(const std::function<void()>&)> guard);
  // Rebuilds the view from the bound directory's DirectoryPath (empty: an empty view).
  void Refresh();
  std::vector<NWBrowseEntry> SelectedEntries() const;

  // Test access: the item of a full NDS name, expanding its containers; nullptr if absent.
  QTreeWidgetItem* ItemFor(const std::string& fullName);

 signals:
  // A click on an entry, or Enter on the current entry.
  void EntrySelected();
  // Any mouse press: button 1 left, 2 right, 4 middle; shift state; position in pixels.
  void MouseButton(int button, int shift, float x, float y);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  // The second press of a double click is a press too; a left one opens or closes the entry.
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // The keyboard moves the current entry only; a click or Enter selects.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;

 private:
  void Populate(QTreeWidgetItem* item);
  void OnExpanded(QTreeWidgetItem* item);
  NWDirectory* directory_ = nullptr;
  std::function<void(const std::function<void()>&)> guard_;
};

}  // namespace nw
