// Renders the window on the network in $TOLVANE_NETWORK with a tree chosen and a volume
// clicked in the browser, and saves it as a PNG.
//   selection_screenshot OUT.png [TREE [VOLUME]]
// Without TREE the first connected tree; without VOLUME its most deeply placed volume.

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <iostream>

#include "app/form1.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::cerr << "usage: selection_screenshot OUT.png [TREE [VOLUME]]\n";
    return 2;
  }
  auto platform = sim::OpenNetwork(sim::DefaultNetworkFolder());
  testing_support::FakeDesktop desktop;
  desktop.programFolder = QCoreApplication::applicationDirPath().toStdString();
  app::Form1 form(*platform, desktop);
  if (!form.Form_Load()) {
    std::cerr << "start-up ended the program\n";
    return 1;
  }
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;

  const int index = argc > 2 ? form.Combo2->findText(argv[2]) : 0;
  if (index < 0 || index >= form.Combo2->count()) {
    std::cerr << "no such tree\n";
    return 1;
  }
  form.Combo2->setCurrentIndex(index);
  emit form.Combo2->activated(index);

  // The volumes' full names, to find the browser entry to click.
  std::vector<std::string> volumes;
  auto directory = platform->CreateDirectory();
  directory->SearchResults = [&](const std::vector<std::string>& results) {
    for (const auto& r : results) {
      if (!r.empty()) volumes.push_back(r);
    }
  };
  const std::string tree = form.Combo2->currentText().toStdString();
  directory->SearchObjects("*", "Volume", 2, "NDS:\\\\" + tree + "\\[Root]", 0);
  auto depth = [](const std::string& s) { return std::count(s.begin(), s.end(), '\\'); };
  std::string target;
  for (const auto& v : volumes) {
    const bool named = argc > 3 && v.ends_with(std::string("\\") + argv[3]);
    if (named || (argc <= 3 && (target.empty() || depth(v) > depth(target)))) target = v;
  }
  QTreeWidgetItem* item = target.empty() ? nullptr : form.NWBrowse1->ItemFor(target);
  if (item == nullptr) {
    std::cerr << "no volume to select\n";
    return 1;
  }
  form.NWBrowse1->scrollToItem(item);
  QTest::mouseClick(form.NWBrowse1->viewport(), Qt::LeftButton, {},
                    form.NWBrowse1->visualItemRect(item).center());
  QTest::qWait(200);

  std::cout << "tree " << tree << ", selected " << form.SelectedVolume << ", GetTrustees "
            << (form.Command1->isEnabled() ? "enabled" : "disabled") << "\n";
  return form.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
