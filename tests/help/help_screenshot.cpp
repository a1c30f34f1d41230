// Renders help for the docs on the demo network under xvfb-run:
//   help_screenshot CONTENTS.png WHATSTHIS.png
// The window with the viewer opened by "&Help"; the What's This pop-up of the browse control.

#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QTest>

#include "app/form1.h"
#include "app/help_viewer.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

// Answers pop-up menus from its script, and shows help for real.
struct ShotDesktop : testing_support::FakeDesktop {
  void WinHelp(const std::string& file, std::uint32_t command, std::uint32_t data) override {
    app::OpenHelpViewer(file, command, data);
  }
  void ShowWhatsThisTopic(const std::string& file, int topic, QWidget* control) override {
    app::ShowHelpPopup(file, topic, control);
  }
};

static bool Save(const QRect& area, const char* file) {
  QTest::qWait(400);
  return QGuiApplication::primaryScreen()
      ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
      .save(file);
}

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  testing_support::TempDir network;
  sim::CreateDemoNetwork(network.path());
  auto platform = sim::OpenNetwork(network.path());
  ShotDesktop desktop;
  desktop.programFolder = TOLVANE_BIN_DIR;  // where the build put Tolvane.HLP
  app::Form1 form(*platform, desktop);
  if (argc < 3 || !form.Form_Load()) return 1;
  form.show();
  form.mnuHelp->trigger();
  QWidget* viewer = app::HelpViewerWindow();
  viewer->move(form.frameGeometry().topRight());
  if (!Save(form.frameGeometry().united(viewer->frameGeometry()), argv[1])) return 1;
  viewer->close();

  form.Combo2->setCurrentIndex(0);
  emit form.Combo2->activated(0);
  desktop.popupAnswers = {true};
  // The press alone: a real pop-up menu would swallow the release.
  QTest::mousePress(form.NWBrowse1->viewport(), Qt::RightButton, {}, QPoint(20, 10));
  return Save(form.frameGeometry().adjusted(0, 0, 300, 100), argv[2]) ? 0 : 1;
}
