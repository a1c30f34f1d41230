#pragma once
// The desktop seam: every modal or platform interaction of the window goes through here,
// so that tests can answer it from a script. Nothing else shows a message box or a dialog.

#include <QSizeF>
#include <cstdint>
#include <optional>
#include <string>

class QMenu;
class QWidget;

namespace app {

enum class MsgIcon { None, Critical, Exclamation, Information };

inline constexpr const char* kAppTitle = "Tolvane";
inline constexpr std::uint32_t HELP_CONTEXT = 1;
inline constexpr std::uint32_t HELP_CONTENTS = 3;
inline constexpr const char* kPopupAtProperty = "popupAt";

class Desktop {
 public:
  virtual ~Desktop() = default;

  // A message box with an OK button. An empty title shows the application's title; a lone
  // carriage return in the text shows as a line break. Returns when the user closed it.
  virtual void MsgBox(const std::string& text, MsgIcon icon = MsgIcon::None,
                      const std::string& title = {}) = 0;

  // A modal Open dialog. `filter` is "Name|*.EXT|Name|*.*"; an extension matches in any
  // case. Returns the chosen file's full name, or nothing when the user cancelled.
  virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                              const std::string& initialDir) = 0;

  // The window's mouse pointer: the hourglass while busy, else the default.
  virtual void SetBusy(bool busy) = 0;
  virtual bool Busy() const = 0;

  // Shows `menu` as a pop-up at the pointer (at the global point in the menu's property
  // kPopupAtProperty when it holds one) and returns once it has closed; the handler of a
  // chosen item has run by then.
  virtual void PopupMenu(QMenu* menu) = 0;

  // The help viewer: opens `helpFile` at a command (HELP_CONTENTS with data 0, or
  // HELP_CONTEXT with a topic number) and returns at once.
  virtual void WinHelp(const std::string& helpFile, std::uint32_t command, std::uint32_t data) = 0;

  // Shows topic `topic` of `helpFile` as a pop-up beside `control`.
  virtual void ShowWhatsThisTopic(const std::string& helpFile, int topic, QWidget* control) = 0;

  // Whether another copy of the program is running (consulted once, at start-up).
  virtual bool PreviousInstance() = 0;

  // The folder of the program's files (the object list work file, the rights files, the
  // Open dialog's first folder), without a trailing separator: the program's own folder, or
  // a per-user folder for an installed copy, made on first use. Throws std::runtime_error
  // naming the folder and why when it cannot be made.
  virtual std::string ProgramFolder() = 0;

  // The folder of the help file, without a trailing separator.
  virtual std::string HelpFolder() { return ProgramFolder(); }

  // The screen's size in twips (1440 an inch at the screen's logical DPI), and the
  // logical DPI itself.
  virtual QSizeF ScreenSizeTwips() = 0;
  virtual double LogicalDpi() = 0;

  // Ends the program once the current handler returns.
  virtual void EndProgram(int exitCode) = 0;
};

// The hourglass for the life of a command, back to the default however the command ends.
class BusyPointer {
 public:
  explicit BusyPointer(Desktop& desktop) : desktop_(desktop) { desktop_.SetBusy(true); }
  ~BusyPointer() { desktop_.SetBusy(false); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  Desktop& desktop_;
};

}  // namespace app
