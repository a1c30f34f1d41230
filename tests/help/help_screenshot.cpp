// Renders help for the docs on the demo network, under a real X server (xvfb-run):
//   help_screenshot CONTENTS.png WHATSTHIS.png
// The window with the viewer opened by "&Help"; the pop-up of a right click on the browse
// control followed by "What's This?".

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include "app/form1.h"
#include "app/help_viewer.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace {

// Answers pop-up menus with their first item, and shows help for real.
class ShotDesktop : public testing_support::FakeDesktop {
 public:
  void WinHelp(const std::string& file, std::uint32_t command, std::uint32_t data) override {
    app::OpenHelpViewer(file, command, data);
  }
  void ShowWhatsThisTopic(const std::string& file, int topic, QWidget* control) override {
    app::ShowHelpPopup(file, topic, control);
  }
};

bool Save(const QRect& area, const char* file) {
  QTest::qWait(400);
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, area.x() - 10, area.y() - 10, area.width() + 20, area.height() + 20)
      .save(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 3) return 2;
  testing_support::TempDir network;
  sim::CreateDemoNetwork(network.path());
  auto platform = sim::OpenNetwork(network.path());
  ShotDesktop desktop;
  desktop.programFolder = TOLVANE_BIN_DIR;  // where the build put Tolvane.HLP
  app::Form1 form(*platform, desktop);
  if (!form.Form_Load()) return 1;
  form.move(20, 20);
  form.show();
  form.mnuHelp->trigger();
  QWidget* viewer = app::HelpViewerWindow();
  if (!viewer) return 1;
  viewer->move(form.frameGeometry().right() + 20, 20);
  if (!Save(form.frameGeometry().united(viewer->frameGeometry()), argv[1])) return 1;
  viewer->close();

  form.Combo2->setCurrentIndex(0);
  emit form.Combo2->activated(0);
  QTreeWidgetItem* item = form.NWBrowse1->topLevelItem(0);
  if (!item) return 1;
  desktop.popupAnswers = {true};
  // The press alone: a real pop-up menu would swallow the release.
  QTest::mousePress(form.NWBrowse1->viewport(), Qt::RightButton, {},
                    form.NWBrowse1->visualItemRect(item).center());
  return Save(form.frameGeometry().adjusted(0, 0, 300, 100), argv[2]) ? 0 : 1;
}
