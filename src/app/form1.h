#pragma once
// Form1, the one window. It holds every control, menu and window-level variable; each user
// action arrives as one of its handlers. The handlers are defined in the room of their
// subsystem (app/, selection/, capture/, restore/).

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/desktop.h"
#include "netware/browse/browse_widget.h"
#include "netware/platform.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;

namespace app {

struct CaptureWork;  // the get-trustees command's working state (capture/capture_work.h)

// The common file dialog's settings.
struct CommonDialog {
  std::string DialogTitle;
  std::string Filter;
  std::string InitDir;
  std::string FileName;
};

class Form1 : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the window as it stands at design time. Neither argument is owned.
  Form1(nw::NetWarePlatform& platform, Desktop& desktop, QWidget* parent = nullptr);
  ~Form1() override;

  // ---- Controls, by their names ----
  QTabWidget* SSTab1 = nullptr;
  QLabel* Label1 = nullptr;  // "Select Tree"
  QComboBox* Combo2 = nullptr;
  QLabel* Label2 = nullptr;  // "Select Volume"
  nw::NWBrowse* NWBrowse1 = nullptr;
  QPushButton* Command1 = nullptr;  // "&GetTrustees"
  QPushButton* Command3 = nullptr;  // "&Refresh Trees"
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* Command4 = nullptr;  // "Select File To &Write Trustees From"
  QLabel* Label3 = nullptr;         // "Tree"
  QLabel* Label4 = nullptr;         // "Server"
  QLabel* Label5 = nullptr;         // "Object"
  QLabel* Label6 = nullptr;         // "Directory"
  QLabel* Label7 = nullptr;         // value labels, 12 points
  QLabel* Label8 = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* Label10 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel1 = nullptr;  // the status bar's one panel
  CommonDialog CommonDialog1;
  nw::NWSession* NWSess1 = nullptr;
  std::unique_ptr<nw::NWDirectory> NWDir1;
  std::unique_ptr<nw::NWDirectory> NWDir2;

  // Work controls the user never sees: plain containers under the controls' names. List1
  // and List2 belong to the get-trustees command and live in Capture().
  std::vector<std::string> List3;  // the volume list
  std::string Text2;               // the object being scanned

  // ---- Menus ----
  QAction* Exit = nullptr;              // "E&xit"
  QAction* mnuHelp = nullptr;           // "&Help"
  QMenu* mnuWhatsThis = nullptr;        // pop-up only
  QAction* mnuWhatsThisHelp = nullptr;  // "What's This?"

  // ---- Window-level variables ----
  std::string SelectedVolume;
  std::string ServerName;
  std::string VolumeName;
  std::int64_t ObjectCount = 0;
  std::string TrusteePath;
  std::string SearchKind;
  std::string SearchLabel;
  QWidget* ThisControl = nullptr;
  std::string TreeName;
  std::string ObjectName;
  std::string TrusteeRights;

  // The application object's help file, and the window position in twips.
  std::string HelpFile;
  float TopTwips = 0;
  float LeftTwips = 0;

  // Help numbers of a control (0 when it has none).
  static void SetHelpNumbers(QWidget* control, int helpContextID, int whatsThisHelpID);
  static int HelpContextID(const QWidget* control);
  static int WhatsThisHelpID(const QWidget* control);

  // The status panel's text, set and repainted at once (a long command does not yield).
  void SetStatus(const std::string& text);
  std::string Status() const;

  // Runs a handler under the general rule for unexpected errors: a failure it does not
  // handle is shown with its own description and ends the program. Nothing crosses Qt's
  // event loop.
  void RunGuarded(const std::function<void()>& handler);
  bool Ended() const { return ended_; }

  nw::NetWarePlatform& Platform() { return platform_; }
  CaptureWork& Capture() { return *capture_; }

  // Where NWDir1_SearchResults hands the results of a search that is not for volumes: the
  // command that runs such a search installs it for the time of its searches.
  std::function<void(const std::string&)> ObjectResults;
  Desktop& Desk() { return desktop_; }

  // ---- Handlers ----
  bool Form_Load();  // false when start-up ended the program
  void Exit_Click();
  void mnuHelp_Click();
  void mnuWhatsThisHelp_Click();
  void SSTab1_MouseButton(int Button, int Shift, float X, float Y);
  void Combo2_Click();
  void Command3_Click();
  void NWBrowse1_EntrySelected();
  void NWBrowse1_MouseButton(int Button, int Shift, float X, float Y);
  void NWDir1_SearchResults(const std::vector<std::string>& SearchResults);
  void Command1_Click();
  void Command4_Click();

  // ---- Window procedures ----
  void BuildTreeList();
  void AddVolumeName(const std::string& result);
  void AddObjectName(const std::string& result);
  void SplitSelectedVolume();
  void ReadTrusteeRights();
  void ShowWhatsThis(QWidget* control);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void InstallContextHelp();    // F1 and What's This mode (help room)
  void InstallAccessibility();  // names, descriptions, the pop-up menu from the keyboard

  nw::NetWarePlatform& platform_;
  Desktop& desktop_;
  bool ended_ = false;

  std::unique_ptr<CaptureWork> capture_;

  // ---- app room (window, start-up) ----
  // Closes the window and ends the program with `exitCode`; nothing runs after it.
  void EndWith(int exitCode);
  int Pixels(double twips) const;
  double Twips(int pixels) const;
  bool IsTabControlPress(QObject* watched, const QMouseEvent& press) const;
  bool forwardingPress_ = false;  // a tab bar press handed on before the handler runs

  // ---- help room ----
  // F1: the topic of the focused control's help context number, or of the nearest control
  // around it that has one; the contents when none has.
  void ContextHelpF1();
  // What's This mode over a control that carries a What's This help number.
  bool ContextWhatsThis(QWidget* control, QEvent* event);

  // ---- capture room ----

  // ---- restore room ----
};

}  // namespace app
