// The list of connected trees in Combo2.
#include <QComboBox>

#include "app/form1.h"

namespace app {

void Form1::BuildTreeList() {
  SetStatus("Building list of all valid volume objects");
  Combo2->clear();
  for (const nw::NWTree& tree : NWSess1->Trees()) {
    Combo2->addItem(QString::fromStdString(tree.ShortName));
  }
  // The first tree added becomes current by itself; the user must choose one.
  Combo2->setCurrentIndex(-1);
  SetStatus("");
}

void Form1::Command3_Click() { BuildTreeList(); }

}  // namespace app
