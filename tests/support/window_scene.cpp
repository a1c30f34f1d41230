#include "support/window_scene.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <deque>

#include "netware/sim/sim_network.h"
#include "support/store_masks.h"

namespace testing_support {
namespace fs = std::filesystem;

std::vector<std::string> SortedLines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t pos = 0, end; pos < bytes.size(); pos = end + 2) {
    end = std::min(bytes.find("\r\n", pos), bytes.size());
    lines.push_back(bytes.substr(pos, end - pos));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

WindowScene::~WindowScene() {
  form.reset();  // before the platform it uses
}

void WindowScene::Load(const std::string& json) { sim::LoadNetworkJson(network.path(), json); }
void WindowScene::Generate(const sim::GenerateOptions& options) {
  sim::GenerateNetwork(network.path(), options);
}
void WindowScene::Demo() { sim::CreateDemoNetwork(network.path()); }

app::Form1& WindowScene::Build() {
  if (!platform) platform = std::make_unique<CountingPlatform>(sim::OpenNetwork(network.path()));
  desktop.programFolder = program.path().string();
  if (!form) form = std::make_unique<app::Form1>(*platform, desktop);
  return *form;
}

bool WindowScene::Open() {
  const bool loaded = Build().Form_Load();
  desktop.messages.clear();
  return loaded;
}

void WindowScene::Show() {
  Build().show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void WindowScene::ChooseTree(const std::string& tree) {
  QComboBox* combo = form->Combo2;
  const int index = combo->findText(QString::fromStdString(tree));
  ASSERT_GE(index, 0) << tree;
  QTest::mouseClick(combo, Qt::LeftButton);
  QAbstractItemView* list = combo->view();
  ASSERT_TRUE(list->isVisible()) << "the tree list did not open";
  // The open list ignores a click that follows the one that opened it too soon, so the
  // tree is picked with the keys.
  QTest::keyClick(list, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_FALSE(list->isVisible()) << "the tree list stayed open";
  ASSERT_EQ(combo->currentText().toStdString(), tree);
}

void WindowScene::ClickEntry(const std::string& fullName, Qt::MouseButton button) {
  // "NDS:\\CORP\ACME\FS1_SYS": the tree the root shows, then one entry a name below it.
  std::vector<QString> names;
  for (const QString& name : QString::fromStdString(fullName).mid(6).split('\\')) {
    if (name.compare("[Root]", Qt::CaseInsensitive) != 0) names.push_back(name);
  }
  nw::NWBrowse* browse = form->NWBrowse1;
  ASSERT_EQ(browse->topLevelItemCount(), 1);
  QTreeWidgetItem* item = browse->topLevelItem(0);
  ASSERT_EQ(item->text(0), names.front()) << fullName;
  for (std::size_t depth = 1; depth < names.size(); ++depth) {
    if (!item->isExpanded()) {  // opened by its arrow, which selects nothing
      browse->scrollToItem(item);
      const QRect rect = browse->visualItemRect(item);
      QTest::mouseClick(browse->viewport(), Qt::LeftButton, {},
                        QPoint(rect.left() - browse->indentation() / 2, rect.center().y()));
      ASSERT_TRUE(item->isExpanded()) << item->text(0).toStdString() << " did not open";
    }
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < item->childCount() && next == nullptr; ++i) {
      if (item->child(i)->text(0) == names[depth]) next = item->child(i);
    }
    ASSERT_NE(next, nullptr) << fullName << ": no " << names[depth].toStdString();
    item = next;
  }
  browse->scrollToItem(item);
  QTest::mouseClick(browse->viewport(), button, {}, browse->visualItemRect(item).center());
}

void WindowScene::SelectVolume(const std::string& tree, const std::string& volume) {
  ChooseTree(tree);
  // Where the volume object stands, asked of a directory control of its own.
  auto directory = platform->CreateDirectory();
  directory->Filter = form->NWDir2->Filter;
  std::string fullName;
  for (std::deque<std::string> open{form->NWDir2->DirectoryPath}; fullName.empty() && !open.empty();
       open.pop_front()) {
    for (const nw::NWDirEntry& entry : directory->Children(open.front())) {
      if (entry.Class == "Volume" && entry.Name == volume) fullName = entry.FullName;
      if (entry.HasChildren) open.push_back(entry.FullName);
    }
  }
  ASSERT_FALSE(fullName.empty()) << "no volume object " << volume << " in " << tree;
  ClickEntry(fullName);
  ASSERT_EQ(form->SelectedVolume, volume);
  ASSERT_TRUE(form->Command1->isEnabled());
  desktop.messages.clear();
}

void WindowScene::GetTrustees() {
  ASSERT_TRUE(form->Command1->isEnabled());
  QTest::mouseClick(form->Command1, Qt::LeftButton);
}

void WindowScene::WriteTrustees(const std::optional<std::string>& file) {
  desktop.messages.clear();
  desktop.openFileAnswers.push_back(file);
  QTest::mouseClick(form->Command4, Qt::LeftButton);
}

void WindowScene::WriteTrusteesFrom(const std::string& bytes, const std::string& name) {
  WriteFileBytes(program / name, bytes);
  WriteTrustees((program / name).string());
}

fs::path WindowScene::RightsFile(const std::string& base) const {
  return program / (base + ".RIGHTS");
}
std::string WindowScene::Rights(const std::string& base) const {
  return ReadFileBytes(RightsFile(base));
}
std::string WindowScene::ClosingText(const std::string& base) const {
  return "All Done. File " + program.path().string() + "/" + base + ".RIGHTS has been created.";
}

std::vector<std::string> WindowScene::Dump(const std::string& server,
                                           const std::string& volume) const {
  return sim::DumpAssignments(network.path(), server, volume);
}

std::map<std::string, std::uint16_t> WindowScene::Masks(const std::string& server,
                                                        const std::string& volume) const {
  return StoreMasks(network.path(), server, volume);
}

std::vector<std::string> WindowScene::ProgramFiles() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(program.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> WindowScene::Drives() {
  std::vector<std::string> drives;
  for (const auto& mapping : platform->Session().DriveMappings()) drives.push_back(mapping.Drive);
  return drives;
}

}  // namespace testing_support
