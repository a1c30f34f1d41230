// Renders help for the docs, on the demo network, under a real X server (xvfb-run):
//   help_screenshot CONTENTS.png WHATSTHIS.png
// The first shows the window with the viewer opened by "&Help"; the second the pop-up of a
// right click on the browse control followed by "What's This?".

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/help_viewer.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace {

// Answers pop-up menus from a script, and shows help for real.
class ShotDesktop : public testing_support::FakeDesktop {
 public:
  void WinHelp(const std::string& file, std::uint32_t command, std::uint32_t data) override {
    FakeDesktop::WinHelp(file, command, data);
    app::OpenHelpViewer(file, command, data);
  }
  void ShowWhatsThisTopic(const std::string& file, int topic, QWidget* control) override {
    FakeDesktop::ShowWhatsThisTopic(file, topic, control);
    app::ShowHelpPopup(file, topic, control);
  }
};

bool SaveScreen(const QRect& area, const char* file) {
  QTest::qWait(400);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                    area.width(), area.height());
  return shot.save(QString::fromLocal8Bit(file));
}

QWidget* VisiblePopup() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (QString(w->metaObject()->className()) == "QWhatsThat" && w->isVisible()) return w;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 3) {
    std::cerr << "usage: help_screenshot CONTENTS.png WHATSTHIS.png\n";
    return 2;
  }
  testing_support::TempDir network;
  sim::CreateDemoNetwork(network.path());
  auto platform = sim::OpenNetwork(network.path());
  ShotDesktop desktop;
  desktop.programFolder = TOLVANE_BIN_DIR;  // where the build put Tolvane.HLP
  const QSize screen = QGuiApplication::primaryScreen()->size();
  desktop.screenTwips = QSizeF(screen.width() * 15.0, screen.height() * 15.0);
  app::Form1 form(*platform, desktop);
  if (!form.Form_Load()) return 1;
  form.move(20, 20);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;

  // "&Help": the viewer on the contents, beside the window.
  form.mnuHelp->trigger();
  QWidget* viewer = app::HelpViewerWindow();
  if (!viewer) {
    std::cerr << "the viewer did not open\n";
    return 1;
  }
  viewer->move(form.frameGeometry().right() + 20, 20);
  viewer->resize(viewer->width(), form.frameGeometry().height());
  if (!QTest::qWaitForWindowExposed(viewer)) return 1;
  const QRect both =
      form.frameGeometry().united(viewer->frameGeometry()).adjusted(-10, -10, 10, 10);
  if (!SaveScreen(both, argv[1])) return 1;
  viewer->close();

  // A tree chosen and opened down to a volume, then a right click on that volume.
  form.Combo2->setCurrentIndex(0);
  emit form.Combo2->activated(0);
  std::vector<std::string> volumes;
  auto directory = platform->CreateDirectory();
  directory->SearchResults = [&](const std::vector<std::string>& results) {
    for (const auto& r : results)
      if (!r.empty()) volumes.push_back(r);
  };
  const std::string tree = form.Combo2->currentText().toStdString();
  directory->SearchObjects("*", "Volume", 2, "NDS:\\\\" + tree + "\\[Root]", 0);
  QTreeWidgetItem* item = volumes.empty() ? nullptr : form.NWBrowse1->ItemFor(volumes.front());
  if (!item) {
    std::cerr << "no volume to click\n";
    return 1;
  }
  form.NWBrowse1->scrollToItem(item);
  QTest::qWait(100);
  const QPoint at = form.NWBrowse1->visualItemRect(item).center();
  QCursor::setPos(form.NWBrowse1->viewport()->mapToGlobal(at));
  desktop.popupAnswers = {true};
  // The press alone: a real pop-up menu would swallow the release.
  QTest::mousePress(form.NWBrowse1->viewport(), Qt::RightButton, {}, at);
  QWidget* popup = VisiblePopup();
  if (!popup || desktop.whatsThisShown.size() != 1 || desktop.whatsThisShown[0].topic != 11) {
    std::cerr << "no What's This pop-up for topic 11\n";
    return 1;
  }
  const QRect area = form.frameGeometry().united(popup->frameGeometry()).adjusted(-10, -10, 10, 10);
  return SaveScreen(area, argv[2]) ? 0 : 1;
}
