// The browse control as a user meets it: lazily expanded containers, one selectable entry,
// a click or Enter selects, every press reports its button.
#include "netware/browse_widget.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "window/fake_platform.h"

namespace {

using window_test::FakeDirectory;
using window_test::FakeNds;

constexpr const char* kRoot = R"(NDS:\\ACME_TREE\[ROOT])";
constexpr const char* kAcme = R"(NDS:\\ACME_TREE\ACME)";
constexpr const char* kSys = R"(NDS:\\ACME_TREE\ACME\FS1_SYS)";
constexpr const char* kVol1 = R"(NDS:\\ACME_TREE\ACME\FS1_VOL1)";
constexpr const char* kSales = R"(NDS:\\ACME_TREE\ACME\SALES)";
constexpr const char* kSalesVol = R"(NDS:\\ACME_TREE\ACME\SALES\FS2_DATA)";

class BrowseTest : public ::testing::Test {
 protected:
  BrowseTest() : directory(nds) {
    nds.Add(kAcme, "Organization");
    nds.Add(kSys, "Volume");
    nds.Add(kVol1, "Volume");
    nds.Add(R"(NDS:\\ACME_TREE\ACME\JSMITH)", "User");
    nds.Add(kSales, "Organizational Unit");
    nds.Add(kSalesVol, "Volume");
    nds.Add(R"(NDS:\\ACME_TREE\US)", "Country");
    nds.Add(R"(NDS:\\OTHER_TREE\ORG)", "Organization");
    directory.Filter = "Country,Locality,Organization,Organizational Unit,Volume";
    directory.DirectoryPath = kRoot;
    browse.SetDirectory(&directory);
    browse.resize(300, 300);
    browse.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&browse));
  }

  static std::vector<std::string> Names(const QTreeWidgetItem* parent) {
    std::vector<std::string> names;
    for (int i = 0; i < parent->childCount(); ++i) {
      names.push_back(parent->child(i)->text(0).toStdString());
    }
    return names;
  }
  std::vector<std::string> Selected() const {
    std::vector<std::string> names;
    for (const auto& e : browse.SelectedEntries()) names.push_back(e.EntryName);
    return names;
  }
  void Press(QTreeWidgetItem* item, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = {}) {
    const QPoint at = browse.visualItemRect(item).center();
    QTest::mousePress(browse.viewport(), button, modifiers, at);
    QTest::mouseRelease(browse.viewport(), button, modifiers, at);
  }

  FakeNds nds;
  FakeDirectory directory;
  nw::NWBrowse browse;
};

TEST_F(BrowseTest, ShowsTheTreeFromItsRootAndExpandsOnDemand) {
  browse.Refresh();
  ASSERT_EQ(browse.topLevelItemCount(), 1);
  QTreeWidgetItem* root = browse.topLevelItem(0);
  EXPECT_EQ(root->text(0), "ACME_TREE");
  EXPECT_TRUE(root->isExpanded());
  EXPECT_EQ(Names(root), (std::vector<std::string>{"ACME", "US"}));
  // Only what the user sees has been read.
  EXPECT_EQ(nds.childrenCalls, std::vector<std::string>{kRoot});
  QTreeWidgetItem* acme = root->child(0);
  EXPECT_EQ(acme->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(root->child(1)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

  acme->setExpanded(true);
  // Containers and volumes only: the user JSMITH stays out.
  EXPECT_EQ(Names(acme), (std::vector<std::string>{"FS1_SYS", "FS1_VOL1", "SALES"}));
  acme->setExpanded(false);
  acme->setExpanded(true);
  EXPECT_EQ(nds.childrenCalls, (std::vector<std::string>{kRoot, kAcme}));
  EXPECT_EQ(acme->childCount(), 3);
}

TEST_F(BrowseTest, RefreshFollowsTheDirectoryPath) {
  browse.Refresh();
  directory.DirectoryPath = R"(NDS:\\OTHER_TREE\[ROOT])";
  browse.Refresh();
  ASSERT_EQ(browse.topLevelItemCount(), 1);
  EXPECT_EQ(browse.topLevelItem(0)->text(0), "OTHER_TREE");
  EXPECT_EQ(Names(browse.topLevelItem(0)), std::vector<std::string>{"ORG"});
  directory.DirectoryPath = "";
  browse.Refresh();
  EXPECT_EQ(browse.topLevelItemCount(), 0);
}

TEST_F(BrowseTest, AClickSelectsOneEntryAndReportsIt) {
  browse.Refresh();
  QSignalSpy selected(&browse, &nw::NWBrowse::EntrySelected);
  QSignalSpy buttons(&browse, &nw::NWBrowse::MouseButton);
  QTreeWidgetItem* sys = browse.ItemFor(kSys);
  QTreeWidgetItem* sales = browse.ItemFor(kSales);
  ASSERT_NE(sys, nullptr);
  ASSERT_NE(sales, nullptr);

  Press(sys, Qt::LeftButton);
  EXPECT_EQ(selected.count(), 1);
  ASSERT_EQ(buttons.count(), 1);
  EXPECT_EQ(buttons.at(0).at(0).toInt(), 1);
  ASSERT_EQ(browse.SelectedEntries().size(), 1u);
  EXPECT_EQ(browse.SelectedEntries()[0].EntryName, "FS1_SYS");
  EXPECT_EQ(browse.SelectedEntries()[0].FullName, kSys);
  EXPECT_EQ(browse.SelectedEntries()[0].Class, "Volume");

  // Another click replaces the selection, Ctrl or not.
  Press(sales, Qt::LeftButton, Qt::ControlModifier);
  EXPECT_EQ(selected.count(), 2);
  EXPECT_EQ(Selected(), std::vector<std::string>{"SALES"});
  Press(sales, Qt::LeftButton, Qt::ControlModifier);
  EXPECT_EQ(Selected(), std::vector<std::string>{"SALES"});
  EXPECT_EQ(buttons.last().at(1).toInt(), 2);  // the shift state: Ctrl
}

TEST_F(BrowseTest, OtherButtonsReportWithoutMovingTheSelection) {
  browse.Refresh();
  QTreeWidgetItem* sys = browse.ItemFor(kSys);
  QTreeWidgetItem* vol1 = browse.ItemFor(kVol1);
  Press(sys, Qt::LeftButton);
  QSignalSpy selected(&browse, &nw::NWBrowse::EntrySelected);
  QSignalSpy buttons(&browse, &nw::NWBrowse::MouseButton);

  const std::vector<std::pair<Qt::MouseButton, int>> table = {{Qt::RightButton, 2},
                                                              {Qt::MiddleButton, 4}};
  for (const auto& [button, value] : table) {
    SCOPED_TRACE(value);
    buttons.clear();
    Press(vol1, button, Qt::ShiftModifier);
    ASSERT_EQ(buttons.count(), 1);
    EXPECT_EQ(buttons.at(0).at(0).toInt(), value);
    EXPECT_EQ(buttons.at(0).at(1).toInt(), 1);
    EXPECT_EQ(Selected(), std::vector<std::string>{"FS1_SYS"});
    EXPECT_EQ(browse.currentItem(), sys);
  }
  // A press on no entry reports its button and selects nothing.
  buttons.clear();
  QTest::mouseClick(browse.viewport(), Qt::LeftButton, {},
                    QPoint(browse.viewport()->width() - 3, browse.viewport()->height() - 3));
  EXPECT_EQ(buttons.count(), 1);
  EXPECT_EQ(Selected(), std::vector<std::string>{"FS1_SYS"});
  EXPECT_EQ(selected.count(), 0);
}

TEST_F(BrowseTest, ADoubleClickOpensAContainerAndReportsBothPresses) {
  browse.Refresh();
  QTreeWidgetItem* acme = browse.topLevelItem(0)->child(0);
  QSignalSpy selected(&browse, &nw::NWBrowse::EntrySelected);
  QSignalSpy buttons(&browse, &nw::NWBrowse::MouseButton);
  // What the platform delivers for a double click: a press, then a double-click press.
  auto doubleClick = [&] {
    const QPoint at = browse.visualItemRect(acme).center();
    QTest::mouseClick(browse.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(browse.viewport(), Qt::LeftButton, {}, at);
  };
  doubleClick();
  EXPECT_TRUE(acme->isExpanded());
  EXPECT_EQ(acme->childCount(), 3);
  EXPECT_EQ(Selected(), std::vector<std::string>{"ACME"});
  EXPECT_EQ(selected.count(), 1);
  EXPECT_EQ(buttons.count(), 2);
  doubleClick();
  EXPECT_FALSE(acme->isExpanded());
}

TEST_F(BrowseTest, TheKeyboardMovesAndEnterSelects) {
  browse.Refresh();
  QTreeWidgetItem* sys = browse.ItemFor(kSys);
  QTreeWidgetItem* vol1 = browse.ItemFor(kVol1);
  Press(sys, Qt::LeftButton);
  QSignalSpy selected(&browse, &nw::NWBrowse::EntrySelected);

  QTest::keyClick(&browse, Qt::Key_Down);
  EXPECT_EQ(browse.currentItem(), vol1);
  EXPECT_EQ(Selected(), std::vector<std::string>{"FS1_SYS"});
  EXPECT_EQ(selected.count(), 0);

  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    QTest::keyClick(&browse, key);
    EXPECT_EQ(Selected(), std::vector<std::string>{"FS1_VOL1"});
  }
  EXPECT_EQ(selected.count(), 2);
}

TEST_F(BrowseTest, ItemForFindsNestedEntriesAndNothingElse) {
  browse.Refresh();
  QTreeWidgetItem* deep = browse.ItemFor(kSalesVol);
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->text(0), "FS2_DATA");
  EXPECT_TRUE(deep->parent()->isExpanded());
  EXPECT_EQ(browse.ItemFor(R"(NDS:\\ACME_TREE\ACME\JSMITH)"), nullptr);  // filtered out
  EXPECT_EQ(browse.ItemFor(R"(NDS:\\ACME_TREE\NOWHERE)"), nullptr);
}

TEST_F(BrowseTest, AFailedExpansionGoesToTheGuard) {
  std::vector<std::string> failures;
  browse.SetGuard([&](const std::function<void()>& work) {
    try {
      work();
    } catch (const std::exception& e) {
      failures.push_back(e.what());
    }
  });
  browse.Refresh();
  nds.failChildrenOf = kAcme;
  QTreeWidgetItem* acme = browse.topLevelItem(0)->child(0);
  // The user opens the container with the keyboard.
  browse.setCurrentItem(acme);
  QTest::keyClick(&browse, Qt::Key_Right);
  EXPECT_TRUE(acme->isExpanded());
  EXPECT_EQ(failures, std::vector<std::string>{"The directory cannot be read"});
  EXPECT_EQ(acme->childCount(), 0);
}

}  // namespace
