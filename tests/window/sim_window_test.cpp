// The window on a real simulated network: start-up, the tree list and the browse control.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "app/form1.h"
#include "netware/sim/sim_network.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* kNetwork = R"({
  "trees": [
    { "name": "ZED_TREE", "objects": [ { "name": "ZORG", "class": "Organization" } ] },
    { "name": "ACME_TREE", "objects": [
      { "name": "ACME", "class": "Organization", "children": [
        { "name": "JSMITH", "class": "User" },
        { "name": "STAFF", "class": "Group" },
        { "name": "SALES", "class": "Organizational Unit", "children": [
          { "name": "FS1_DATA", "class": "Volume", "server": "FS1", "volume": "DATA" } ] },
        { "name": "FS1_SYS", "class": "Volume", "server": "FS1", "volume": "SYS" } ] } ] } ],
  "servers": [ { "name": "FS1", "tree": "ACME_TREE", "major": 4, "minor": 11, "up": true,
    "volumes": [ { "name": "SYS", "number": 0 }, { "name": "DATA", "number": 1 } ] } ],
  "workstation": { "trees": [ "ZED_TREE", "ACME_TREE" ] }
})";

class SimWindowTest : public ::testing::Test {
 protected:
  void Open(bool load) {
    if (load) sim::LoadNetworkJson(network.path(), kNetwork);
    platform = sim::OpenNetwork(network.path());
    desktop.programFolder = programFolder.path().string();
    form = std::make_unique<app::Form1>(*platform, desktop);
  }

  testing_support::TempDir network;
  testing_support::TempDir programFolder;
  testing_support::FakeDesktop desktop;
  std::unique_ptr<nw::NetWarePlatform> platform;
  std::unique_ptr<app::Form1> form;
};

TEST_F(SimWindowTest, StartUpListsTheWorkstationsTreesInItsOrder) {
  Open(true);
  ASSERT_TRUE(form->Form_Load());
  ASSERT_EQ(form->Combo2->count(), 2);
  EXPECT_EQ(form->Combo2->itemText(0), "ZED_TREE");
  EXPECT_EQ(form->Combo2->itemText(1), "ACME_TREE");
  EXPECT_EQ(form->Combo2->currentIndex(), -1);
  EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(SimWindowTest, AFolderWithoutANetworkFailsNWCallsInit) {
  Open(false);
  EXPECT_FALSE(form->Form_Load());
  EXPECT_EQ(desktop.MessageTexts(), std::vector<std::string>{"NWCallsInit returns errors !"});
  EXPECT_EQ(form->Combo2->count(), 0);
  EXPECT_FALSE(std::filesystem::exists(network / "network.db"));
}

TEST_F(SimWindowTest, TheBrowseControlShowsContainersAndVolumesOfTheChosenTree) {
  Open(true);
  ASSERT_TRUE(form->Form_Load());
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->Combo2->setCurrentIndex(1);
  emit form->Combo2->activated(1);

  nw::NWBrowse* browse = form->NWBrowse1;
  ASSERT_EQ(browse->topLevelItemCount(), 1);
  QTreeWidgetItem* acme = browse->ItemFor(R"(NDS:\\ACME_TREE\ACME)");
  ASSERT_NE(acme, nullptr);
  acme->setExpanded(true);
  std::vector<std::string> shown;
  for (int i = 0; i < acme->childCount(); ++i)
    shown.push_back(acme->child(i)->text(0).toStdString());
  EXPECT_EQ(shown, (std::vector<std::string>{"FS1_SYS", "SALES"}));  // no user, no group

  QTreeWidgetItem* volume = browse->ItemFor(R"(NDS:\\ACME_TREE\ACME\SALES\FS1_DATA)");
  ASSERT_NE(volume, nullptr);
  QTest::mouseClick(browse->viewport(), Qt::LeftButton, {},
                    browse->visualItemRect(volume).center());
  EXPECT_EQ(form->SelectedVolume, "FS1_DATA");
  EXPECT_TRUE(form->Command1->isEnabled());

  QTest::mouseClick(browse->viewport(), Qt::LeftButton, {}, browse->visualItemRect(acme).center());
  EXPECT_EQ(form->SelectedVolume, "");
  EXPECT_FALSE(form->Command1->isEnabled());
  EXPECT_TRUE(desktop.messages.empty());
}

}  // namespace
