// Tolvane: opens the one window on the simulated network.
//   --quit-after-start  runs start-up as usual, prints where the help file and the
//                       program's files are, and ends (a smoke test of an installed copy).
#include <QApplication>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "app/form1.h"
#include "app/qt_desktop.h"
#include "netware/sim/sim_network.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(app::kAppTitle));
  app::QtDesktop desktop;

  std::unique_ptr<nw::NetWarePlatform> platform;
  try {
    const std::filesystem::path folder = sim::DefaultNetworkFolder();
    // A second copy touches nothing: Form_Load refuses it with its message.
    if (!desktop.PreviousInstance() && !sim::NetworkFolderFromEnvironment() &&
        !std::filesystem::exists(folder / "network.db")) {
      try {
        std::filesystem::create_directories(folder);
        sim::CreateDemoNetwork(folder);
      } catch (const std::exception& e) {
        desktop.MsgBox(
            "The demo network could not be created in " + folder.string() + ":\r" + e.what(),
            app::MsgIcon::Critical);
      }
    }
    platform = sim::OpenNetwork(folder);
  } catch (const std::exception& e) {
    desktop.MsgBox(e.what(), app::MsgIcon::Critical);
    return 1;
  }

  app::Form1 form(*platform, desktop);
  desktop.SetWindow(&form);
  bool loaded = false;
  form.RunGuarded([&] { loaded = form.Form_Load(); });
  if (!loaded || form.Ended()) return desktop.ExitCode();
  form.show();
  if (QApplication::arguments().contains(QStringLiteral("--quit-after-start"))) {
    std::cout << "Help file: " << form.HelpFile << "\n"
              << "Program folder: " << form.CommonDialog1.InitDir << std::endl;
    return 0;
  }
  const int code = application.exec();
  return desktop.Ended() ? desktop.ExitCode() : code;
}
