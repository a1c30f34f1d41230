#pragma once
// The desktop seam on Qt: real message boxes, the Open dialog, the pointer, pop-up menus,
// the help viewer and the running-instance lock.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "app/desktop.h"
#include "app/program_folder.h"

class QLockFile;

namespace app {

// "Trustee File|*.RIGHTS|All Files|*.*" as Qt's name filters, each extension offered in
// upper and lower case: "Trustee File (*.RIGHTS *.rights)", "All Files (*.*)".
QStringList QtNameFilters(const std::string& filter);

// A message's text as a message box shows it: a carriage return, alone or before a line
// feed, breaks the line.
QString MessageBoxText(const std::string& text);

class QtDesktop : public Desktop {
 public:
  // `lockFile` is the running-instance lock; empty: one per user in the runtime folder.
  // `programDir` stands in for the folder of the program file (tests); empty: the real one.
  explicit QtDesktop(QString lockFile = {}, std::string programDir = {});
  ~QtDesktop() override;

  // The window that owns the dialogs (not owned).
  void SetWindow(QWidget* window) { window_ = window; }

  void MsgBox(const std::string& text, MsgIcon icon = MsgIcon::None,
              const std::string& title = {}) override;
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& initialDir) override;
  void SetBusy(bool busy) override;
  bool Busy() const override { return busy_; }
  void PopupMenu(QMenu* menu) override;
  void WinHelp(const std::string& helpFile, std::uint32_t command, std::uint32_t data) override;
  void ShowWhatsThisTopic(const std::string& helpFile, int topic, QWidget* control) override;
  // Takes the lock on first use and holds it for the life of this object; later calls give
  // the same answer.
  bool PreviousInstance() override;
  std::string ProgramFolder() override;
  std::string HelpFolder() override;
  QSizeF ScreenSizeTwips() override;
  double LogicalDpi() override;
  void EndProgram(int exitCode) override;

  // Whether EndProgram was called, and with which code.
  bool Ended() const { return ended_; }
  int ExitCode() const { return exitCode_; }

 private:
  const ProgramFolders& Folders();

  QString lockPath_;
  std::string programDir_;
  std::optional<ProgramFolders> folders_;
  std::unique_ptr<QLockFile> lock_;
  std::optional<bool> previousInstance_;
  QWidget* window_ = nullptr;
  bool busy_ = false;
  bool ended_ = false;
  int exitCode_ = 0;
};

}  // namespace app
