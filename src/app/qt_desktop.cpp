// The desktop seam on Qt.
#include "app/qt_desktop.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLockFile>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>

#include "app/help_viewer.h"
#include "netware/data_folder.h"

namespace app {

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kDefaultDpi = 96.0;

QMessageBox::Icon BoxIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical:
      return QMessageBox::Critical;
    case MsgIcon::Exclamation:
      return QMessageBox::Warning;
    case MsgIcon::Information:
      return QMessageBox::Information;
    case MsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QString DefaultLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) {
    // No per-user runtime folder: the shared temporary folder, with the user in the name.
    const QString user = qEnvironmentVariable("USER", QStringLiteral("user"));
    return QDir::tempPath() + QStringLiteral("/tolvane-") + user + QStringLiteral(".lock");
  }
  return folder + QStringLiteral("/tolvane.lock");
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      for (const QString& variant :
           {pattern.trimmed(), pattern.trimmed().toUpper(), pattern.trimmed().toLower()}) {
        if (!patterns.contains(variant)) patterns << variant;
      }
    }
    filters << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QStringLiteral(")");
  }
  return filters;
}

QString MessageBoxText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QtDesktop::QtDesktop(QString lockFile, std::string programDir)
    : lockPath_(lockFile.isEmpty() ? DefaultLockPath() : std::move(lockFile)),
      programDir_(std::move(programDir)) {}

QtDesktop::~QtDesktop() = default;

void QtDesktop::MsgBox(const std::string& text, MsgIcon icon, const std::string& title) {
  QMessageBox box(BoxIcon(icon),
                  QString::fromStdString(title.empty() ? std::string(kAppTitle) : title),
                  MessageBoxText(text), QMessageBox::Ok, window_);
  box.setTextFormat(Qt::PlainText);  // a name with "<" in it is text, not markup
  box.exec();
}

std::optional<std::string> QtDesktop::OpenFile(const std::string& title, const std::string& filter,
                                               const std::string& initialDir) {
  QFileDialog dialog(window_, QString::fromStdString(title), QString::fromStdString(initialDir));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  // Qt's own dialog, whose filters match names in any case.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setNameFilters(QtNameFilters(filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().first().toStdString();
}

void QtDesktop::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtDesktop::PopupMenu(QMenu* menu) {
  if (menu == nullptr) return;
  // A pop-up under an hourglass would look dead.
  const bool wasBusy = busy_;
  if (wasBusy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const QVariant at = menu->property(kPopupAtProperty);
  menu->exec(at.isValid() ? at.toPoint() : QCursor::pos());
  if (wasBusy) QApplication::restoreOverrideCursor();
}

void QtDesktop::WinHelp(const std::string& helpFile, std::uint32_t command, std::uint32_t data) {
  OpenHelpViewer(helpFile, command, data);
}

void QtDesktop::ShowWhatsThisTopic(const std::string& helpFile, int topic, QWidget* control) {
  ShowHelpPopup(helpFile, topic, control);
}

bool QtDesktop::PreviousInstance() {
  if (!previousInstance_) {
    QDir().mkpath(QFileInfo(lockPath_).absolutePath());
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // Held for hours: only a lock whose process is gone counts as stale, never an old one.
    lock_->setStaleLockTime(0);
    const bool locked = lock_->tryLock(0);
    // A folder where no lock can be made at all must not keep the program from running.
    previousInstance_ = !locked && lock_->error() == QLockFile::LockFailedError;
    if (!locked) lock_.reset();
  }
  return *previousInstance_;
}

const ProgramFolders& QtDesktop::Folders() {
  if (!folders_) {
    const std::string dir =
        programDir_.empty() ? QCoreApplication::applicationDirPath().toStdString() : programDir_;
    folders_ = ChooseProgramFolders(dir, nw::UserDataFolder());
  }
  return *folders_;
}

std::string QtDesktop::ProgramFolder() {
  const ProgramFolders& folders = Folders();
  // Made afresh whenever asked for: the user may have removed it since the last capture.
  if (folders.perUser) EnsureFolder(folders.files);
  return folders.files.string();
}

std::string QtDesktop::HelpFolder() { return Folders().help.string(); }

QSizeF QtDesktop::ScreenSizeTwips() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QSize pixels = screen->size();
  const double dpi = LogicalDpi();
  return {pixels.width() * kTwipsPerInch / dpi, pixels.height() * kTwipsPerInch / dpi};
}

double QtDesktop::LogicalDpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 0.0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

void QtDesktop::EndProgram(int exitCode) {
  ended_ = true;
  exitCode_ = exitCode;
  // Takes effect when the current handler returns to the event loop.
  QCoreApplication::exit(exitCode);
}

}  // namespace app
