// The help viewer window and the What's This pop-up, over the help file format of
// help_file.h. The viewer is its own window: it never blocks the main window, never ends
// the program and reports its own troubles itself.

#include "app/help_viewer.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWidget>
#include <optional>

#include "app/desktop.h"
#include "app/help_file.h"

namespace app {
namespace {

constexpr const char* kViewerTitle = "Tolvane Help";
constexpr const char* kTopicScheme = "topic";

QUrl TopicUrl(int topic) { return QUrl(QStringLiteral("topic:%1").arg(topic)); }

QString Html(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string NoTopicHtml(int topic, const std::string& file) {
  return "<p>There is no topic " + std::to_string(topic) + " in the help file " +
         help::HtmlEscape(file) + ".</p>";
}

// Serves the pages of one help file to the text browser under "topic:N".
class HelpBrowser : public QTextBrowser {
 public:
  explicit HelpBrowser(QWidget* parent) : QTextBrowser(parent) {}

  help::HelpFile file;
  std::string path;

  QVariant loadResource(int type, const QUrl& name) override {
    if (name.scheme() != QLatin1String(kTopicScheme)) return QTextBrowser::loadResource(type, name);
    const int number = name.path().toInt();
    if (const help::Topic* topic = file.Find(number)) return Html(help::TopicHtml(*topic));
    return Html("<html><body>" + NoTopicHtml(number, path) + "</body></html>");
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
    browser->setOpenLinks(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser);

    connect(contents, &QPushButton::clicked, this, [this] { Go(browser->file.contents); });
    connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    // Only links between topics are followed; the help file has no others.
    connect(browser, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
      if (url.scheme() == QLatin1String(kTopicScheme)) browser->setSource(url);
    });
    // Raised before source() answers the new page: the title reads the url it is given.
    connect(browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
      const help::Topic* topic = browser->file.Find(TopicOf(url));
      setWindowTitle(topic ? QString("%1 - %2").arg(kViewerTitle, Html(topic->title))
                           : QString(kViewerTitle));
    });
  }

  void Load(help::HelpFile file, const std::string& path) {
    const bool otherFile = path != browser->path;
    browser->file = std::move(file);
    browser->path = path;
    if (otherFile) browser->clearHistory();
  }

  void Go(int topic) {
    const QUrl url = TopicUrl(topic);
    if (browser->source() == url)
      browser->reload();  // the file may have been read afresh
    else
      browser->setSource(url);
  }

  int Topic() const { return TopicOf(browser->source()); }

  static int TopicOf(const QUrl& url) {
    return url.scheme() == QLatin1String(kTopicScheme) ? url.path().toInt() : 0;
  }

  HelpBrowser* browser = nullptr;
};

QPointer<HelpViewer> viewer;
QPointer<QMessageBox> problemBox;
std::string lastPopup;

// One message at a time: a second trouble while the first is still shown replaces its text.
void ShowProblem(const std::string& problem) {
  if (!problemBox) {
    problemBox = new QMessageBox(QMessageBox::Warning, kViewerTitle, QString(), QMessageBox::Ok);
    problemBox->setWindowModality(Qt::NonModal);
    problemBox->setAttribute(Qt::WA_DeleteOnClose);
    problemBox->setAttribute(Qt::WA_QuitOnClose, false);
  }
  problemBox->setText(Html(problem));
  problemBox->show();
  problemBox->raise();
}

}  // namespace

void OpenHelpViewer(const std::string& helpFile, std::uint32_t command, std::uint32_t data) {
  auto loaded = help::LoadHelpFile(helpFile);
  if (!loaded.file) {
    ShowProblem(loaded.problem);
    return;
  }
  if (!viewer) {
    viewer = new HelpViewer;
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
  }
  viewer->Load(std::move(*loaded.file), loaded.path);
  const int topic =
      command == HELP_CONTEXT ? static_cast<int>(data) : viewer->browser->file.contents;
  viewer->Go(topic);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

std::string HelpPopupHtml(const std::string& helpFile, int topic) {
  const auto loaded = help::LoadHelpFile(helpFile);
  if (!loaded.file) return "<p>" + help::HtmlEscape(loaded.problem) + "</p>";
  if (const help::Topic* t = loaded.file->Find(topic)) return help::PopupHtml(*t);
  return NoTopicHtml(topic, loaded.path);
}

void ShowHelpPopup(const std::string& helpFile, int topic, QWidget* control) {
  lastPopup = HelpPopupHtml(helpFile, topic);
  // Beside the control: where the pointer is when it is over the control (a right click
  // just happened there), else the control's middle.
  QPoint at = QCursor::pos();
  if (control && !control->rect().contains(control->mapFromGlobal(at)))
    at = control->mapToGlobal(control->rect().center());
  QWhatsThis::showText(at, Html(lastPopup), control);
  // Qt's pop-up carries no accessible text of its own: a screen reader gets the topic's
  // text as its name and is told it appeared.
  for (QWidget* shown : QApplication::topLevelWidgets()) {
    if (!shown->inherits("QWhatsThat") || !shown->isVisible()) continue;
    QTextDocument text;
    text.setHtml(Html(lastPopup));
    shown->setAccessibleName(text.toPlainText().trimmed());
    QAccessibleEvent nameChanged(shown, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
  }
}

QWidget* HelpViewerWindow() { return viewer.data(); }
QTextBrowser* HelpViewerBrowser() { return viewer ? viewer->browser : nullptr; }
int HelpViewerTopic() { return viewer ? viewer->Topic() : 0; }
QMessageBox* HelpViewerProblem() { return problemBox.data(); }
std::string LastHelpPopupHtml() { return lastPopup; }

}  // namespace app
