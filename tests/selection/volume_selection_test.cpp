// Tree choice, search results and volume selection on a simulated network, with real widgets
// and the fake desktop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "app/form1.h"
#include "capture/object_list_file.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace app {
class SelectionTestAccess {
 public:
  static std::unique_ptr<capture::ObjectListWriter>& ObjectList(Form1& form) {
    return form.objectList_;
  }
  static std::vector<std::string>& Unreadable(Form1& form) { return form.unreadableResults_; }
};
}  // namespace app

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing_support::FakeDesktop;
using testing_support::ReadFileBytes;
using testing_support::ShownMessage;
using testing_support::TempDir;

// CORP: volumes at two depths, a container whose name differs from a volume's only in case.
// OTHER: one volume. BARE: containers and a user, no volume and no group.
constexpr const char* kNetwork = R"({
  "trees": [
    { "name": "CORP", "objects": [
      { "name": "ACME", "class": "Organization", "children": [
        { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" },
        { "name": "SALES", "class": "Organizational Unit", "children": [
          { "name": "AJones", "class": "User" },
          { "name": "FS1_VOL1", "class": "Volume", "server": "FS1", "volume": "VOL1" },
          { "name": "fs1_sys", "class": "Organizational Unit" },
          { "name": "JSmith", "class": "User" } ] } ] } ] },
    { "name": "OTHER", "objects": [
      { "name": "WIDGETS", "class": "Organization", "children": [
        { "name": "FS2_DATA", "class": "Volume", "server": "FS2", "volume": "DATA" } ] } ] },
    { "name": "BARE", "objects": [
      { "name": "EMPTYORG", "class": "Organization", "children": [
        { "name": "BOB", "class": "User" } ] } ] } ],
  "servers": [
    { "name": "FS1", "tree": "CORP", "major": 4, "minor": 11, "up": true,
      "volumes": [ { "name": "SYS", "number": 0 }, { "name": "VOL1", "number": 1 } ] },
    { "name": "FS2", "tree": "OTHER", "major": 5, "minor": 0, "up": true,
      "volumes": [ { "name": "DATA", "number": 0 } ] } ],
  "workstation": { "trees": [ "CORP", "OTHER", "BARE" ] }
})";

constexpr const char* kVolSys = R"(NDS:\\CORP\ACME\FS1_SYS)";
constexpr const char* kVolVol1 = R"(NDS:\\CORP\ACME\SALES\FS1_VOL1)";
constexpr const char* kSales = R"(NDS:\\CORP\ACME\SALES)";
constexpr const char* kLowerCaseUnit = R"(NDS:\\CORP\ACME\SALES\fs1_sys)";

// Stands in front of the real directory control and notes every search and the window's
// state at its start; can be told to fail.
class RecordingDirectory : public nw::NWDirectory {
 public:
  struct Search {
    std::string pattern, objectClass;
    std::int32_t depth;
    std::string base;
    std::int32_t last;
    bool busy;
    std::string searchKind;
    std::size_t volumesListed;
  };

  RecordingDirectory(std::unique_ptr<nw::NWDirectory> inner, app::Form1& form, FakeDesktop& desktop)
      : inner_(std::move(inner)), form_(form), desktop_(desktop) {
    DirectoryPath = inner_->DirectoryPath;
    Filter = inner_->Filter;
    SearchResults = inner_->SearchResults;
  }

  void SearchObjects(const std::string& pattern, const std::string& objectClass, std::int32_t depth,
                     const std::string& base, std::int32_t last) override {
    searches.push_back({pattern, objectClass, depth, base, last, desktop_.busy, form_.SearchKind,
                        form_.List3.size()});
    if (!failWith.empty()) throw std::runtime_error(failWith);
    Sync();
    inner_->SearchObjects(pattern, objectClass, depth, base, last);
  }
  std::vector<nw::NWDirEntry> Children(const std::string& fullName) override {
    Sync();
    return inner_->Children(fullName);
  }

  std::vector<Search> searches;
  std::string failWith;

 private:
  void Sync() {
    inner_->DirectoryPath = DirectoryPath;
    inner_->Filter = Filter;
    inner_->SearchResults = SearchResults;
  }
  std::unique_ptr<nw::NWDirectory> inner_;
  app::Form1& form_;
  FakeDesktop& desktop_;
};

class VolumeSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::LoadNetworkJson(network_.path(), kNetwork);
    platform_ = sim::OpenNetwork(network_.path());
    desktop_.programFolder = program_.path().string();
    form_ = std::make_unique<app::Form1>(*platform_, desktop_);
    ASSERT_TRUE(form_->Form_Load());
    // The tree list as the session reports it, whatever the start-up left chosen.
    form_->Combo2->clear();
    for (const auto& tree : platform_->Session().Trees()) {
      form_->Combo2->addItem(QString::fromStdString(tree.ShortName));
    }
    form_->Combo2->setCurrentIndex(-1);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    auto recorder =
        std::make_unique<RecordingDirectory>(std::move(form_->NWDir1), *form_, desktop_);
    recorder_ = recorder.get();
    form_->NWDir1 = std::move(recorder);
    desktop_.messages.clear();
  }

  // The user picks `tree` in the tree list.
  void ChooseTree(const std::string& tree) {
    const int index = form_->Combo2->findText(QString::fromStdString(tree));
    ASSERT_GE(index, 0) << tree;
    form_->Combo2->setCurrentIndex(index);
    emit form_->Combo2->activated(index);
  }

  QTreeWidgetItem* Item(const std::string& fullName) {
    QTreeWidgetItem* item = form_->NWBrowse1->ItemFor(fullName);
    if (item != nullptr) form_->NWBrowse1->scrollToItem(item);
    return item;
  }

  void ClickEntry(const std::string& fullName, Qt::MouseButton button = Qt::LeftButton) {
    QTreeWidgetItem* item = Item(fullName);
    ASSERT_NE(item, nullptr) << fullName;
    const QRect rect = form_->NWBrowse1->visualItemRect(item);
    QTest::mouseClick(form_->NWBrowse1->viewport(), button, {}, rect.center());
  }

  // Opens the object list file as the get-trustees command does before its searches.
  std::filesystem::path OpenObjectList() {
    auto file = program_ / capture::kObjectListFileName;
    app::SelectionTestAccess::ObjectList(*form_) =
        std::make_unique<capture::ObjectListWriter>(file);
    app::SelectionTestAccess::Unreadable(*form_).clear();
    form_->SearchKind = "Others";
    return file;
  }
  std::string CloseObjectList(const std::filesystem::path& file) {
    auto& writer = app::SelectionTestAccess::ObjectList(*form_);
    writer->Close();
    writer.reset();
    return ReadFileBytes(file);
  }

  static ShownMessage NoObjects(const std::string& text) {
    return {text, app::MsgIcon::Information, "!! Error !!"};
  }

  TempDir network_;
  TempDir program_;
  FakeDesktop desktop_;
  std::unique_ptr<nw::NetWarePlatform> platform_;
  std::unique_ptr<app::Form1> form_;
  RecordingDirectory* recorder_ = nullptr;
};

TEST_F(VolumeSelectionTest, ChoosingATreeShowsItsRootAndListsExactlyItsVolumes) {
  form_->Combo2->setFocus();
  QTest::keyClick(form_->Combo2, Qt::Key_Down);  // the user's choice of the first tree
  ASSERT_EQ(form_->Combo2->currentText(), "CORP");

  EXPECT_EQ(form_->NWDir2->DirectoryPath, R"(NDS:\\CORP\[ROOT])");
  ASSERT_EQ(recorder_->searches.size(), 1u);
  const auto& search = recorder_->searches[0];
  EXPECT_EQ(search.pattern, "*");
  EXPECT_EQ(search.objectClass, "Volume");
  EXPECT_EQ(search.depth, 2);
  EXPECT_EQ(search.base, R"(NDS:\\CORP\[Root])");
  EXPECT_EQ(search.last, 0);
  EXPECT_TRUE(search.busy);
  EXPECT_EQ(search.searchKind, "Volume");
  EXPECT_FALSE(desktop_.busy);

  EXPECT_THAT(form_->List3, ElementsAre("FS1_SYS", "FS1_VOL1"));
  EXPECT_THAT(desktop_.messages, IsEmpty());
  // The browser shows the tree's containers and volumes, not its users.
  EXPECT_NE(Item(kVolVol1), nullptr);
  EXPECT_EQ(Item(R"(NDS:\\CORP\ACME\SALES\JSmith)"), nullptr);
}

TEST_F(VolumeSelectionTest, ChoosingAgainRefillsTheVolumeListAndKeepsTheSelection) {
  ChooseTree("CORP");
  ClickEntry(kVolSys);
  ASSERT_TRUE(form_->Command1->isEnabled());

  ChooseTree("CORP");
  EXPECT_THAT(form_->List3, ElementsAre("FS1_SYS", "FS1_VOL1"));
  ChooseTree("OTHER");
  EXPECT_THAT(form_->List3, ElementsAre("FS2_DATA"));
  EXPECT_EQ(form_->NWDir2->DirectoryPath, R"(NDS:\\OTHER\[ROOT])");
  EXPECT_EQ(recorder_->searches.back().base, R"(NDS:\\OTHER\[Root])");
  for (const auto& search : recorder_->searches) EXPECT_EQ(search.volumesListed, 0u);
  EXPECT_NE(Item(R"(NDS:\\OTHER\WIDGETS\FS2_DATA)"), nullptr);
  EXPECT_EQ(Item(kVolSys), nullptr);

  // Only the next click in the browser decides the selection.
  EXPECT_EQ(form_->SelectedVolume, "FS1_SYS");
  EXPECT_TRUE(form_->Command1->isEnabled());
}

TEST_F(VolumeSelectionTest, ATreeWithoutVolumesSaysSoAndListsNone) {
  form_->SearchLabel = " Organisational Unit ";  // left over from a capture
  ChooseTree("BARE");
  EXPECT_THAT(desktop_.messages, ElementsAre(NoObjects("No Volume Objects Found In The Tree")));
  EXPECT_THAT(form_->List3, IsEmpty());
  EXPECT_FALSE(desktop_.busy);
}

TEST_F(VolumeSelectionTest, ThePointerComesBackWhenTheSearchFails) {
  form_->Combo2->setCurrentIndex(0);
  recorder_->failWith = "The directory is not reachable";
  EXPECT_THROW(form_->Combo2_Click(), std::runtime_error);
  ASSERT_EQ(recorder_->searches.size(), 1u);
  EXPECT_TRUE(recorder_->searches[0].busy);
  EXPECT_FALSE(desktop_.busy);
}

TEST_F(VolumeSelectionTest, OnlyAClickOnAListedVolumeEnablesGetTrustees) {
  ChooseTree("CORP");
  ASSERT_FALSE(form_->Command1->isEnabled());
  struct Step {
    const char* entry;
    const char* selected;
  };
  const Step steps[] = {
      {kVolSys, "FS1_SYS"},       {kSales, ""},          // a container
      {kVolVol1, "FS1_VOL1"},     {kLowerCaseUnit, ""},  // differs from FS1_SYS only in case
      {R"(NDS:\\CORP\ACME)", ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.entry);
    ClickEntry(step.entry);
    EXPECT_EQ(form_->SelectedVolume, step.selected);
    EXPECT_EQ(form_->Command1->isEnabled(), *step.selected != '\0');
  }
}

TEST_F(VolumeSelectionTest, EnterOnAVolumeSelectsIt) {
  ChooseTree("CORP");
  QTreeWidgetItem* item = Item(kVolVol1);
  ASSERT_NE(item, nullptr);
  form_->NWBrowse1->setFocus();
  form_->NWBrowse1->setCurrentItem(item);
  QTest::keyClick(form_->NWBrowse1, Qt::Key_Return);
  EXPECT_EQ(form_->SelectedVolume, "FS1_VOL1");
  EXPECT_TRUE(form_->Command1->isEnabled());
}

TEST_F(VolumeSelectionTest, AmongSeveralSelectedEntriesTheLastListedVolumeWins) {
  ChooseTree("CORP");
  auto* browse = form_->NWBrowse1;
  browse->setSelectionMode(QAbstractItemView::MultiSelection);

  // Two volumes: the later one in the selection's order.
  browse->clearSelection();
  Item(kVolSys)->setSelected(true);
  Item(kVolVol1)->setSelected(true);
  auto entries = browse->SelectedEntries();
  ASSERT_EQ(entries.size(), 2u);
  form_->NWBrowse1_EntrySelected();
  EXPECT_EQ(form_->SelectedVolume, entries.back().EntryName);
  EXPECT_NE(entries.front().EntryName, entries.back().EntryName);

  // A volume and a container, the container selected last: the volume still counts.
  browse->clearSelection();
  Item(kVolVol1)->setSelected(true);
  Item(kSales)->setSelected(true);
  entries = browse->SelectedEntries();
  ASSERT_EQ(entries.size(), 2u);
  form_->NWBrowse1_EntrySelected();
  EXPECT_EQ(form_->SelectedVolume, "FS1_VOL1");
  EXPECT_TRUE(form_->Command1->isEnabled());
}

TEST_F(VolumeSelectionTest, OnlyARightClickOpensTheWhatsThisPopup) {
  ChooseTree("CORP");
  QWidget* duringPopup = nullptr;
  QObject::connect(form_->mnuWhatsThisHelp, &QAction::triggered, form_.get(),
                   [&] { duringPopup = form_->ThisControl; });
  struct Case {
    Qt::MouseButton button;
    int popups;
  };
  for (const Case c :
       {Case{Qt::LeftButton, 0}, Case{Qt::RightButton, 1}, Case{Qt::MiddleButton, 0}}) {
    SCOPED_TRACE(c.button);
    desktop_.popupsShown = 0;
    desktop_.popupAnswers = {true};
    duringPopup = nullptr;
    form_->ThisControl = form_->Combo2;  // whatever was there is cleared
    ClickEntry(kSales, c.button);
    EXPECT_EQ(desktop_.popupsShown, c.popups);
    EXPECT_EQ(duringPopup, c.popups ? form_->NWBrowse1 : nullptr);
    EXPECT_EQ(form_->ThisControl, nullptr);
  }
}

TEST_F(VolumeSelectionTest, ObjectSearchResultsBecomeDottedLinesAndList1Entries) {
  ChooseTree("CORP");
  const auto file = OpenObjectList();
  form_->SearchLabel = " Users ";
  form_->NWDir1->SearchObjects("*", "User", 2, R"(NDS:\\CORP\[Root])", 0);
  form_->NWDir1_SearchResults({R"(NDS:\\CORP\ACME)", R"(NDS:\\CORP\ACME\Sales, East\Pat)"});

  EXPECT_EQ(CloseObjectList(file),
            "AJones.SALES.ACME\r\nJSmith.SALES.ACME\r\nACME\r\n\"Pat.Sales, East.ACME\"\r\n");
  EXPECT_THAT(form_->List1, ElementsAre("AJones.SALES.ACME", "JSmith.SALES.ACME", "ACME",
                                        "Pat.Sales, East.ACME"));
  EXPECT_THAT(form_->List3, ElementsAre("FS1_SYS", "FS1_VOL1"));
  EXPECT_THAT(desktop_.messages, IsEmpty());
}

TEST_F(VolumeSelectionTest, RoutingComparesTheSearchKindExactly) {
  ChooseTree("CORP");
  const auto file = OpenObjectList();
  form_->SearchKind = "volume";
  form_->NWDir1_SearchResults({kVolSys});
  EXPECT_EQ(CloseObjectList(file), "FS1_SYS.ACME\r\n");
  EXPECT_THAT(form_->List3, ElementsAre("FS1_SYS", "FS1_VOL1"));
}

TEST_F(VolumeSelectionTest, AClassWithoutObjectsGivesTheNoResultsMessageAndNoLine) {
  ChooseTree("BARE");
  desktop_.messages.clear();
  const auto file = OpenObjectList();
  form_->SearchLabel = " Groups ";
  form_->NWDir1->SearchObjects("*", "Group", 2, R"(NDS:\\BARE\[Root])", 0);
  form_->SearchLabel = " Users ";
  form_->NWDir1->SearchObjects("*", "User", 2, R"(NDS:\\BARE\[Root])", 0);

  EXPECT_THAT(desktop_.messages, ElementsAre(NoObjects("No Groups Objects Found In The Tree")));
  EXPECT_EQ(CloseObjectList(file), "BOB.EMPTYORG\r\n");
  EXPECT_THAT(form_->List1, ElementsAre("BOB.EMPTYORG"));
}

TEST_F(VolumeSelectionTest, ResultsThatCannotBeWrittenAreToldOnceAndLeftOut) {
  ChooseTree("CORP");
  struct Case {
    const char* name;
    std::vector<std::string> results;
    const char* told;  // the result the one message names
  };
  const Case cases[] = {
      {"outside the tree first",
       {R"(NDS:\\OTHER\WIDGETS\BOB)", R"(NDS:\\CORP\ACME\SALES\JSmith)",
        R"(NDS:\\CORP\ACME\Say "hi")", R"(NDS:\\CORPORATE\X)", R"(NDS:\\CORP\)",
        "NDS:\\\\CORP\\ACME\\\xCE\xA9mega"},
       "OTHER"},
      {"a double quote first",
       {R"(NDS:\\CORP\ACME\Say "hi")", R"(NDS:\\CORP\ACME\SALES\JSmith)", R"(NDS:\\OTHER\X)"},
       "Say"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    desktop_.messages.clear();
    form_->List1.clear();
    const auto file = OpenObjectList();
    form_->NWDir1_SearchResults(c.results);

    EXPECT_EQ(CloseObjectList(file), "JSmith.SALES.ACME\r\n");
    EXPECT_THAT(form_->List1, ElementsAre("JSmith.SALES.ACME"));
    ASSERT_EQ(desktop_.messages.size(), 1u);
    EXPECT_THAT(desktop_.messages[0].text, HasSubstr(c.told));
    EXPECT_EQ(app::SelectionTestAccess::Unreadable(*form_).size(), c.results.size() - 1);
    EXPECT_EQ(app::SelectionTestAccess::Unreadable(*form_).front(), c.results.front());
  }
}

TEST_F(VolumeSelectionTest, AnObjectResultWithoutAnOpenObjectListIsAFailure) {
  ChooseTree("CORP");
  form_->SearchKind = "Others";
  EXPECT_THROW(form_->NWDir1_SearchResults({R"(NDS:\\CORP\ACME)"}), std::logic_error);
  EXPECT_THAT(form_->List1, IsEmpty());
}

TEST_F(VolumeSelectionTest, TheVolumeListTakesTheLastComponent) {
  struct Case {
    const char* result;
    const char* listed;
  };
  const Case cases[] = {
      {R"(NDS:\\T\ACME\FS1_SYS)", "FS1_SYS"},
      {"FS1_SYS", "FS1_SYS"},
      {R"(NDS:\\T\ACME\)", ""},
  };
  for (const Case& c : cases) {
    form_->List3.clear();
    form_->AddVolumeName(c.result);
    EXPECT_THAT(form_->List3, ElementsAre(c.listed)) << c.result;
  }
}

}  // namespace
