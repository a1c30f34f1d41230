// The help viewer window and the What's This pop-up. The viewer is its own window: it never
// blocks the main window, never ends the program and reports its own troubles itself.

#include "app/help_viewer.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <optional>

#include "app/desktop.h"

namespace app {
namespace {

constexpr const char* kViewerTitle = "Tolvane Help";
constexpr int kContentsTopic = 1;

// `path`, or when nothing carries that name exactly, the first entry of its folder whose
// name matches it without regard to case; empty when there is none.
QString FindIgnoringCase(const QString& path) {
  const QFileInfo wanted(path);
  if (wanted.exists()) return path;
  const QDir folder = wanted.dir();
  const auto filter = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
  for (const QString& entry : folder.entryList(filter, QDir::Name)) {
    if (entry.compare(wanted.fileName(), Qt::CaseInsensitive) == 0) return folder.filePath(entry);
  }
  return {};
}

// The help folder named by `helpFile`, or a sentence for the user that says why there is none.
struct HelpFolder {
  QString path;  // as found, or as asked for
  QString problem;
};

HelpFolder FindHelpFolder(const std::string& helpFile) {
  const QString asked = QString::fromStdString(helpFile);
  const QString found = FindIgnoringCase(asked);
  if (found.isEmpty()) return {asked, QString("The help file %1 cannot be found.").arg(asked)};
  if (!QFileInfo(found).isDir())
    return {found, QString("The help file %1 cannot be read: it is not a folder.").arg(found)};
  return {found, {}};
}

QUrl TopicUrl(const QString& folder, int topic) {
  return QUrl::fromLocalFile(QDir(folder).filePath(QString::number(topic) + ".md"));
}

int TopicOf(const QUrl& url) { return QFileInfo(url.toLocalFile()).baseName().toInt(); }

// A topic's Markdown page; nothing when the folder holds no such page. Only a regular file: a FIFO
// of that name would hang the window on its read.
std::optional<QString> ReadTopic(const QUrl& url) {
  QFile file(url.toLocalFile());
  if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
  return QString::fromUtf8(file.readAll());
}

QString NoTopicHtml(const QUrl& url) {
  const QString says = QString("There is no topic %1 in the help file %2.")
                           .arg(TopicOf(url))
                           .arg(QFileInfo(url.toLocalFile()).path());
  return "<p>" + says.toHtmlEscaped() + "</p>";
}

// The title in bold over the first paragraph.
QString PopupHtml(const std::string& helpFile, int topic) {
  const HelpFolder help = FindHelpFolder(helpFile);
  if (!help.problem.isEmpty()) return "<p>" + help.problem.toHtmlEscaped() + "</p>";
  const QUrl url = TopicUrl(help.path, topic);
  const std::optional<QString> page = ReadTopic(url);
  if (!page) return NoTopicHtml(url);
  QTextDocument document;
  document.setMarkdown(*page);
  const QTextBlock title = document.firstBlock();
  return "<p><b>" + title.text().toHtmlEscaped() + "</b></p><p>" +
         title.next().text().toHtmlEscaped() + "</p>";
}

class HelpBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

  // A missing topic gets a page that says so, which back and forward pass like any other.
  QVariant loadResource(int type, const QUrl& name) override {
    if (type != QTextDocument::MarkdownResource) return QTextBrowser::loadResource(type, name);
    return ReadTopic(name).value_or(NoTopicHtml(name));
  }
};

class HelpViewer : public QWidget {
 public:
  HelpViewer() : QWidget(nullptr, Qt::Window) {
    setWindowTitle(kViewerTitle);
    // Closing the main window ends the program even while help is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(560, 520);

    auto* contents = new QPushButton("&Contents", this);
    auto* back = new QPushButton("&Back", this);
    auto* forward = new QPushButton("&Forward", this);
    back->setEnabled(false);
    forward->setEnabled(false);
    browser = new HelpBrowser(this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser);

    connect(contents, &QPushButton::clicked, this, [this] { Go(folder_, kContentsTopic); });
    connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    // Raised once the new page is in place: its heading is the topic's title. The page of a
    // missing topic has none.
    connect(browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
      const QString title = browser->document()->firstBlock().text();
      const bool topic = QFileInfo(url.toLocalFile()).isFile();
      setWindowTitle(topic ? QString("%1 - %2").arg(kViewerTitle, title) : kViewerTitle);
    });
  }

  void Go(const QString& folder, int topic) {
    const QUrl url = TopicUrl(folder, topic);
    if (browser->source() == url)
      browser->reload();  // the page may have been edited since
    else
      browser->setSource(url);
    if (folder != folder_) browser->clearHistory();  // no way back into another help file
    folder_ = folder;
  }

  HelpBrowser* browser = nullptr;

 private:
  QString folder_;
};

QPointer<HelpViewer> viewer;
QPointer<QMessageBox> problemBox;

// One message at a time: a second trouble while the first is still shown replaces its text.
void ShowProblem(const QString& problem) {
  if (!problemBox) {
    problemBox = new QMessageBox(QMessageBox::Warning, kViewerTitle, QString(), QMessageBox::Ok);
    problemBox->setWindowModality(Qt::NonModal);
    problemBox->setAttribute(Qt::WA_DeleteOnClose);
    problemBox->setAttribute(Qt::WA_QuitOnClose, false);
  }
  problemBox->setText(problem);
  problemBox->show();
  problemBox->raise();
}

}  // namespace

void OpenHelpViewer(const std::string& helpFile, std::uint32_t command, std::uint32_t data) {
  const HelpFolder help = FindHelpFolder(helpFile);
  if (!help.problem.isEmpty()) {
    ShowProblem(help.problem);
    return;
  }
  if (!viewer) {
    viewer = new HelpViewer;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
  }
  viewer->Go(help.path, command == HELP_CONTEXT ? static_cast<int>(data) : kContentsTopic);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

void ShowHelpPopup(const std::string& helpFile, int topic, QWidget* control) {
  const QString html = PopupHtml(helpFile, topic);
  // Beside the control: where the pointer is when it is over the control (a right click
  // just happened there), else the control's middle.
  QPoint at = QCursor::pos();
  if (control && !control->rect().contains(control->mapFromGlobal(at)))
    at = control->mapToGlobal(control->rect().center());
  QWhatsThis::showText(at, html, control);
  // Qt's pop-up carries no accessible text of its own: a screen reader gets the topic's
  // text as its name and is told it appeared.
  if (QWidget* shown = QApplication::activePopupWidget()) {
    QTextDocument text;
    text.setHtml(html);
    shown->setAccessibleName(text.toPlainText().trimmed());
    QAccessibleEvent nameChanged(shown, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
  }
}

QWidget* HelpViewerWindow() { return viewer.data(); }
QTextBrowser* HelpViewerBrowser() { return viewer ? viewer->browser : nullptr; }
int HelpViewerTopic() { return viewer ? TopicOf(viewer->browser->source()) : 0; }
QMessageBox* HelpViewerProblem() { return problemBox.data(); }

}  // namespace app
