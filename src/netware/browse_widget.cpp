// Placeholder until the browse control lands.
#include "netware/browse_widget.h"

namespace nw {
NWBrowse::NWBrowse(QWidget* parent) : QTreeWidget(parent) {}
void NWBrowse::SetDirectory(NWDirectory* directory) { directory_ = directory; }
void NWBrowse::Refresh() {}
std::vector<NWBrowseEntry> NWBrowse::SelectedEntries() const { return {}; }
QTreeWidgetItem* NWBrowse::ItemFor(const std::string&) { return nullptr; }
void NWBrowse::mousePressEvent(QMouseEvent* event) { QTreeWidget::mousePressEvent(event); }
void NWBrowse::keyPressEvent(QKeyEvent* event) { QTreeWidget::keyPressEvent(event); }
void NWBrowse::Populate(QTreeWidgetItem*) {}
}  // namespace nw
