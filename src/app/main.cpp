// Tolvane: opens the one window on the simulated network.
#include <QApplication>
#include <exception>
#include <filesystem>
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
  const int code = application.exec();
  return desktop.Ended() ? desktop.ExitCode() : code;
}
