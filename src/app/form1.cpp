// The window as it stands at design time, start-up, shutdown and the general rule for
// unexpected errors.
#include "app/form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <cmath>
#include <exception>

#include "capture/capture_work.h"

namespace {
#include "app/tolvane_16.xpm"
#include "app/tolvane_32.xpm"

constexpr double kTwipsPerInch = 1440.0;
constexpr const char* kFontFamily = "MS Sans Serif";
constexpr const char* kHelpContextProperty = "HelpContextID";
constexpr const char* kWhatsThisProperty = "WhatsThisHelpID";

QString Q(const char* text) { return QString::fromUtf8(text); }

}  // namespace

namespace app {

Form1::Form1(nw::NetWarePlatform& platform, Desktop& desktop, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform),
      desktop_(desktop),
      capture_(std::make_unique<CaptureWork>()) {
  setObjectName("Form1");
  setWindowTitle(Q(kAppTitle));
  // No minimize or maximize button; the title bar carries the What's This button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowContextHelpButtonHint);
  QIcon icon;
  icon.addPixmap(QPixmap(tolvane_16_xpm));
  icon.addPixmap(QPixmap(tolvane_32_xpm));
  setWindowIcon(icon);
  QFont font(Q(kFontFamily), 8);
  setFont(font);

  // ---- menus ----
  Exit = menuBar()->addAction(Q("E&xit"));
  Exit->setObjectName("Exit");
  mnuHelp = menuBar()->addAction(Q("&Help"));
  mnuHelp->setObjectName("mnuHelp");
  mnuWhatsThis = new QMenu(Q("WhatsThis"), this);
  mnuWhatsThis->setObjectName("mnuWhatsThis");
  mnuWhatsThisHelp = mnuWhatsThis->addAction(Q("What's This?"));
  mnuWhatsThisHelp->setObjectName("mnuWhatsThisHelp");

  // ---- the tab control, filling the window ----
  auto* client = new QWidget(this);
  client->setFixedSize(Pixels(5940), Pixels(5295));
  setCentralWidget(client);

  SSTab1 = new QTabWidget(client);
  SSTab1->setObjectName("SSTab1");
  SSTab1->setFont(font);
  SSTab1->setGeometry(Pixels(120), Pixels(120), Pixels(5685), Pixels(5175));
  auto* readPage = new QWidget;
  readPage->setObjectName("SSTab1Page0");
  auto* writePage = new QWidget;
  writePage->setObjectName("SSTab1Page1");
  SSTab1->addTab(readPage, Q("Read Trustees"));
  SSTab1->addTab(writePage, Q("Write Trustees"));
  SetHelpNumbers(SSTab1, 2, 2);

  // Positions are given in the tab control's own frame, tab bar included; the pages start
  // below the tab bar.
  const int tabBarHeight = SSTab1->tabBar()->sizeHint().height();
  const int pageTop = std::clamp(tabBarHeight, 0, Pixels(300));
  auto place = [&](QWidget* control, QWidget* page, int left, int top, int width, int height) {
    control->setParent(page);
    control->setGeometry(Pixels(left), std::max(0, Pixels(top) - pageTop), Pixels(width),
                         Pixels(height));
  };
  auto label = [&](const char* name, const char* caption, QWidget* page, int top, int width) {
    auto* l = new QLabel(Q(caption));
    l->setObjectName(name);
    place(l, page, 120, top, width, 255);
    return l;
  };

  auto button = [&](const char* name, const char* caption, const char* tip, int helpContext,
                    int whatsThis, QWidget* page, int left, int top, int width) {
    auto* b = new QPushButton(Q(caption));
    b->setObjectName(name);
    b->setToolTip(Q(tip));
    SetHelpNumbers(b, helpContext, whatsThis);
    place(b, page, left, top, width, 495);
    return b;
  };

  // ---- tab 0, "Read Trustees" ----
  Label1 = label("Label1", "Select Tree", readPage, 360, 2775);

  Combo2 = new QComboBox;  // a drop-down list: the user picks, never types
  Combo2->setObjectName("Combo2");
  Combo2->setEditable(false);
  Combo2->setToolTip(Q("Select A Tree"));
  SetHelpNumbers(Combo2, 10, 10);
  place(Combo2, readPage, 120, 600, 2775, 315);

  Label2 = label("Label2", "Select Volume", readPage, 1200, 2775);

  NWBrowse1 = new nw::NWBrowse;
  NWBrowse1->setObjectName("NWBrowse1");
  NWBrowse1->setToolTip(Q("Browse To A Volume, And Click On It To Select"));
  SetHelpNumbers(NWBrowse1, 0, 11);
  place(NWBrowse1, readPage, 120, 1440, 5415, 2655);

  Command1 = button("Command1", "&GetTrustees", "Get The Trustees Assigned To The Selected Volume",
                    12, 12, readPage, 120, 4200, 1335);
  Command1->setEnabled(false);
  Command3 = button("Command3", "&Refresh Trees", "Refresh The Connected Tree List", 13, 13,
                    readPage, 1560, 4200, 1335);

  ProgressBar1 = new QProgressBar;
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setToolTip(Q("Progress Of The Trustee Read"));
  ProgressBar1->setTextVisible(false);
  place(ProgressBar1, readPage, 120, 4800, 5415, 255);

  // ---- tab 1, "Write Trustees" ----
  Command4 = button("Command4", "Select File To &Write Trustees From",
                    "Select RIGHTS File to Write Trustees Back To Volume", 0, 5, writePage, 120,
                    600, 5415);

  QFont valueFont(Q(kFontFamily), 12);
  auto value = [&](const char* name, int top) {
    auto* l = new QLabel;
    l->setObjectName(name);
    l->setFont(valueFont);
    place(l, writePage, 120, top, 5415, 375);
    return l;
  };
  Label3 = label("Label3", "Tree", writePage, 1200, 2775);
  Label7 = value("Label7", 1440);
  Label4 = label("Label4", "Server", writePage, 2040, 2775);
  Label8 = value("Label8", 2280);
  Label5 = label("Label5", "Object", writePage, 2880, 2775);
  Label9 = value("Label9", 3120);
  Label6 = label("Label6", "Directory", writePage, 3720, 2775);
  Label10 = value("Label10", 3960);

  // ---- status bar with its one panel ----
  StatusBar1 = new QStatusBar;
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFixedHeight(Pixels(315));
  StatusPanel1 = new QLabel;
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setFrameShape(QFrame::Panel);
  StatusPanel1->setFrameShadow(QFrame::Sunken);
  StatusBar1->addWidget(StatusPanel1, 1);
  setStatusBar(StatusBar1);

  // ---- the NDS controls ----
  NWSess1 = &platform_.Session();
  NWDir1 = platform_.CreateDirectory();
  NWDir2 = platform_.CreateDirectory();
  NWDir1->DirectoryPath = R"(NDS:\\QARN\[Root])";
  NWDir2->DirectoryPath = R"(NDS:\\QARN\[Root])";
  NWDir2->Filter = "Country,Locality,Organization,Organizational Unit,Volume";
  // Raised inside SearchObjects, so a failure belongs to the handler that searched.
  NWDir1->SearchResults = [this](const std::vector<std::string>& results) {
    NWDir1_SearchResults(results);
  };
  NWBrowse1->SetDirectory(NWDir2.get());
  NWBrowse1->SetGuard([this](const std::function<void()>& work) { RunGuarded(work); });

  // ---- events to handlers ----
  // activated, not currentIndexChanged: choosing the same tree again searches again.
  connect(Combo2, &QComboBox::activated, this,
          [this](int) { RunGuarded([this] { Combo2_Click(); }); });
  connect(Command1, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { Command1_Click(); }); });
  connect(Command3, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { Command3_Click(); }); });
  connect(Command4, &QPushButton::clicked, this,
          [this] { RunGuarded([this] { Command4_Click(); }); });
  connect(NWBrowse1, &nw::NWBrowse::EntrySelected, this,
          [this] { RunGuarded([this] { NWBrowse1_EntrySelected(); }); });
  connect(NWBrowse1, &nw::NWBrowse::MouseButton, this,
          [this](int button, int shift, float x, float y) {
            RunGuarded([=, this] { NWBrowse1_MouseButton(button, shift, x, y); });
          });
  connect(Exit, &QAction::triggered, this, [this] { RunGuarded([this] { Exit_Click(); }); });
  connect(mnuHelp, &QAction::triggered, this, [this] { RunGuarded([this] { mnuHelp_Click(); }); });
  connect(mnuWhatsThisHelp, &QAction::triggered, this,
          [this] { RunGuarded([this] { mnuWhatsThisHelp_Click(); }); });
  SSTab1->installEventFilter(this);
  SSTab1->tabBar()->installEventFilter(this);
  readPage->installEventFilter(this);
  writePage->installEventFilter(this);

  // The client area is fixed; the window neither grows nor shrinks.
  setFixedSize(sizeHint());

  InstallContextHelp();
  InstallAccessibility();
}

Form1::~Form1() {
  // The browse control outlives the directory it shows by a moment during teardown.
  NWBrowse1->SetDirectory(nullptr);
  NWBrowse1->SetGuard({});
}

int Form1::Pixels(double twips) const {
  return static_cast<int>(std::lround(twips * desktop_.LogicalDpi() / kTwipsPerInch));
}

double Form1::Twips(int pixels) const { return pixels * kTwipsPerInch / desktop_.LogicalDpi(); }

void Form1::SetHelpNumbers(QWidget* control, int helpContextID, int whatsThisHelpID) {
  control->setProperty(kHelpContextProperty, helpContextID);
  control->setProperty(kWhatsThisProperty, whatsThisHelpID);
}

int Form1::HelpContextID(const QWidget* control) {
  return control ? control->property(kHelpContextProperty).toInt() : 0;
}

int Form1::WhatsThisHelpID(const QWidget* control) {
  return control ? control->property(kWhatsThisProperty).toInt() : 0;
}

void Form1::SetStatus(const std::string& text) {
  StatusPanel1->setText(QString::fromStdString(text));
  StatusPanel1->repaint();
}

std::string Form1::Status() const { return StatusPanel1->text().toStdString(); }

void Form1::RunGuarded(const std::function<void()>& handler) {
  if (ended_) return;  // the program is ending: no further handler runs
  std::string failure;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unexpected error";
  }
  if (failure.empty()) failure = "Unexpected error";
  if (ended_) return;  // a nested handler has already reported and ended
  try {
    desktop_.SetBusy(false);  // the message must not sit under an hourglass
    desktop_.MsgBox(failure, MsgIcon::Critical);
  } catch (...) {
    // Nothing more can be shown; the program still ends.
  }
  EndWith(1);
}

void Form1::EndWith(int exitCode) {
  ended_ = true;
  close();
  desktop_.EndProgram(exitCode);
}

bool Form1::Form_Load() {
  // One copy at a time; the running one is not touched.
  if (desktop_.PreviousInstance()) {
    desktop_.MsgBox("Application already running", MsgIcon::None);
    EndWith(0);
    return false;
  }

  // Centre on the screen, in twips, single precision: halves are kept, and a window
  // larger than the screen gets a negative position.
  const QSizeF screen = desktop_.ScreenSizeTwips();
  const QRect outer = frameGeometry();
  const float windowHeight = static_cast<float>(Twips(outer.height()));
  TopTwips = (static_cast<float>(screen.height()) - windowHeight) / 2.0f;
  const float windowWidth = static_cast<float>(Twips(outer.width()));
  LeftTwips = (static_cast<float>(screen.width()) - windowWidth) / 2.0f;
  move(Pixels(LeftTwips), Pixels(TopTwips));

  // The application's help file.
  HelpFile = desktop_.HelpFolder() + "/Tolvane.HLP";

  // "Read Trustees" in front.
  SSTab1->setCurrentIndex(0);

  // The status panel spans the window.
  StatusPanel1->setMaximumWidth(frameGeometry().width());
  SetStatus("");

  // The file dialog.
  CommonDialog1.DialogTitle = "Open Trustee File";
  CommonDialog1.Filter = "Trustee File|*.RIGHTS|All Files|*.*";
  // A per-user folder that cannot be made is the capture's to report, not start-up's; the
  // dialog then starts wherever the platform starts it.
  try {
    CommonDialog1.InitDir = desktop_.ProgramFolder();
  } catch (const std::exception&) {
    CommonDialog1.InitDir.clear();
  }

  // The client library.
  std::uint8_t reserved1 = 0;
  std::uint8_t reserved2 = 0;
  if (platform_.Client().NWCallsInit(&reserved1, &reserved2) != 0) {
    desktop_.MsgBox("NWCallsInit returns errors !", MsgIcon::None);
    EndWith(1);
    return false;
  }

  ProgressBar1->setValue(0);
  ObjectCount = 0;
  NWDir2->DirectoryPath = "";
  NWBrowse1->Refresh();
  BuildTreeList();
  return true;
}

void Form1::Exit_Click() { EndWith(0); }

void Form1::closeEvent(QCloseEvent* event) {
  // Closing is ending: nothing is cleaned up in the client.
  if (!ended_) {
    ended_ = true;
    desktop_.EndProgram(0);
  }
  event->accept();
}

bool Form1::IsTabControlPress(QObject* watched, const QMouseEvent& press) const {
  const QPoint at = press.position().toPoint();
  if (watched == SSTab1->tabBar()) return true;
  // A press that a child control passed up is not over the tab control itself.
  if (watched == SSTab1) return SSTab1->childAt(at) == nullptr;
  for (int i = 0; i < SSTab1->count(); ++i) {
    if (watched == SSTab1->widget(i)) return SSTab1->widget(i)->childAt(at) == nullptr;
  }
  return false;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && SSTab1 != nullptr && !forwardingPress_) {
    const auto& press = static_cast<const QMouseEvent&>(*event);
    if (IsTabControlPress(watched, press)) {
      if (watched == SSTab1->tabBar()) {
        // The tab bar switches tabs first, so the handler sees the tab the user clicked.
        forwardingPress_ = true;
        QCoreApplication::sendEvent(watched, event);
        forwardingPress_ = false;
      }
      const QPointF at = SSTab1->mapFromGlobal(press.globalPosition());
      const int button = nw::MouseButtonValue(press.button());
      const int shift = nw::ShiftStateValue(press.modifiers());
      RunGuarded([&] {
        SSTab1_MouseButton(button, shift, static_cast<float>(at.x()), static_cast<float>(at.y()));
      });
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace app
