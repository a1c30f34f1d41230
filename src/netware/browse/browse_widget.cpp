// The NDS browse control over the bound directory control.
#include "netware/browse/browse_widget.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

namespace nw {

namespace {

constexpr int kFullNameRole = Qt::UserRole;
constexpr int kClassRole = Qt::UserRole + 1;
constexpr int kEntryNameRole = Qt::UserRole + 2;
constexpr int kPopulatedRole = Qt::UserRole + 3;
constexpr const char* kRootClass = "[Root]";

std::string Text(const QTreeWidgetItem* item, int role) {
  return item->data(0, role).toString().toStdString();
}

// The tree of "NDS:\\T\[Root]"; empty when the path names none.
std::string TreeOf(const std::string& path) {
  const std::string prefix = "NDS:\\\\";
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return {};
  const auto end = path.find('\\', prefix.size());
  return path.substr(prefix.size(),
                     end == std::string::npos ? std::string::npos : end - prefix.size());
}

}  // namespace

int MouseButtonValue(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return 1;
    case Qt::RightButton:
      return 2;
    case Qt::MiddleButton:
      return 4;
    default:
      return 0;
  }
}

int ShiftStateValue(Qt::KeyboardModifiers modifiers) {
  return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
         (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
         (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

NWBrowse::NWBrowse(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setRootIsDecorated(true);
  setUniformRowHeights(true);
  header()->setStretchLastSection(true);
  connect(this, &QTreeWidget::itemExpanded, this, &NWBrowse::OnExpanded);
}

void NWBrowse::SetDirectory(NWDirectory* directory) { directory_ = directory; }

void NWBrowse::SetGuard(std::function<void(const std::function<void()>&)> guard) {
  guard_ = std::move(guard);
}

void NWBrowse::Refresh() {
  clear();
  if (directory_ == nullptr || directory_->DirectoryPath.empty()) return;
  const std::string& path = directory_->DirectoryPath;
  const std::string tree = TreeOf(path);
  auto* root = new QTreeWidgetItem(this);
  const QString name = QString::fromStdString(tree.empty() ? std::string(kRootClass) : tree);
  root->setText(0, name);
  root->setData(0, kEntryNameRole, name);
  root->setData(0, kFullNameRole, QString::fromStdString(path));
  root->setData(0, kClassRole, QString::fromUtf8(kRootClass));
  root->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
  // The user meets the tree's top containers at once.
  Populate(root);
  root->setExpanded(true);
}

void NWBrowse::Populate(QTreeWidgetItem* item) {
  if (directory_ == nullptr || item->data(0, kPopulatedRole).toBool()) return;
  const auto children = directory_->Children(Text(item, kFullNameRole));
  item->setData(0, kPopulatedRole, true);
  const QIcon containerIcon = style()->standardIcon(QStyle::SP_DirIcon);
  const QIcon volumeIcon = style()->standardIcon(QStyle::SP_DriveNetIcon);
  for (const auto& entry : children) {
    auto* child = new QTreeWidgetItem(item);
    const QString name = QString::fromStdString(entry.Name);
    child->setText(0, name);
    child->setData(0, kEntryNameRole, name);
    child->setData(0, kFullNameRole, QString::fromStdString(entry.FullName));
    child->setData(0, kClassRole, QString::fromStdString(entry.Class));
    child->setIcon(0, entry.Class == "Volume" ? volumeIcon : containerIcon);
    child->setChildIndicatorPolicy(entry.HasChildren ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
  }
  item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void NWBrowse::OnExpanded(QTreeWidgetItem* item) {
  auto work = [this, item] { Populate(item); };
  if (guard_) {
    guard_(work);
    return;
  }
  try {
    work();
  } catch (...) {
    // Without a guard the entry simply shows no children; nothing crosses the event loop.
  }
}

std::vector<NWBrowseEntry> NWBrowse::SelectedEntries() const {
  std::vector<NWBrowseEntry> entries;
  for (const QTreeWidgetItem* item : selectedItems()) {
    entries.push_back(
        {Text(item, kEntryNameRole), Text(item, kFullNameRole), Text(item, kClassRole)});
  }
  return entries;
}

QTreeWidgetItem* NWBrowse::ItemFor(const std::string& fullName) {
  std::function<QTreeWidgetItem*(QTreeWidgetItem*)> find =
      [&](QTreeWidgetItem* item) -> QTreeWidgetItem* {
    const std::string name = Text(item, kFullNameRole);
    if (name == fullName) return item;
    const bool isRoot = item->parent() == nullptr;
    if (!isRoot && fullName.rfind(name + "\\", 0) != 0) return nullptr;
    Populate(item);
    for (int i = 0; i < item->childCount(); ++i) {
      if (QTreeWidgetItem* found = find(item->child(i))) {
        item->setExpanded(true);
        return found;
      }
    }
    return nullptr;
  };
  for (int i = 0; i < topLevelItemCount(); ++i) {
    if (QTreeWidgetItem* found = find(topLevelItem(i))) {
      scrollToItem(found);
      return found;
    }
  }
  return nullptr;
}

void NWBrowse::mousePressEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseButton(MouseButtonValue(event->button()), ShiftStateValue(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
  if (event->button() != Qt::LeftButton) {
    // A right or middle press leaves the selection and the current entry as they are.
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
  // A press on an entry selects it; one on an expand arrow only expands.
  QTreeWidgetItem* item = itemAt(at.toPoint());
  if (item != nullptr && item->isSelected()) emit EntrySelected();
}

void NWBrowse::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseButton(MouseButtonValue(event->button()), ShiftStateValue(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
  event->accept();
  // The first press has selected the entry; the second opens or closes it.
  QTreeWidgetItem* item = itemAt(at.toPoint());
  if (event->button() == Qt::LeftButton && item != nullptr &&
      visualItemRect(item).contains(at.toPoint())) {
    item->setExpanded(!item->isExpanded());
  }
}

void NWBrowse::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      currentIndex().isValid()) {
    selectionModel()->select(currentIndex(),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    event->accept();
    emit EntrySelected();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

QItemSelectionModel::SelectionFlags NWBrowse::selectionCommand(const QModelIndex& index,
                                                               const QEvent* event) const {
  if (event != nullptr) {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::MouseMove:
      case QEvent::MouseButtonRelease:
        return QItemSelectionModel::NoUpdate;
      case QEvent::MouseButtonPress:
        // Never a Ctrl-click that leaves nothing selected behind the user's back.
        return index.isValid() ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                               : QItemSelectionModel::NoUpdate;
      default:
        break;
    }
  }
  return QTreeWidget::selectionCommand(index, event);
}

}  // namespace nw
