// Tree choice, search results and volume selection, with real widgets and the fake desktop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include "capture/capture_work.h"
#include "formats/object_list_file.h"
#include "support/window_scene.h"

namespace {

using namespace ::testing;
using testing_support::ReadFileBytes;
using testing_support::ShownMessage;

// CORP: volumes at two depths, a container whose name differs from a volume's only in case.
// OTHER: one volume. BARE: no volume.
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
    { "name": "BARE", "objects": [ { "name": "EMPTYORG", "class": "Organization" } ] } ],
  "servers": [
    { "name": "FS1", "tree": "CORP", "major": 4, "minor": 11, "up": true,
      "volumes": [ { "name": "SYS", "number": 0 }, { "name": "VOL1", "number": 1 } ] },
    { "name": "FS2", "tree": "OTHER", "major": 5, "minor": 0, "up": true,
      "volumes": [ { "name": "DATA", "number": 0 } ] } ],
  "workstation": { "trees": [ "CORP", "OTHER", "BARE" ] }
})";

constexpr const char* kVolSys = R"(NDS:\\CORP\ACME\FS1_SYS)";
constexpr const char* kVolVol1 = R"(NDS:\\CORP\ACME\SALES\FS1_VOL1)";

class VolumeSelectionTest : public ::testing::Test, protected testing_support::WindowScene {
 protected:
  VolumeSelectionTest() : WindowScene(kNetwork) {}
  void SetUp() override {
    ASSERT_TRUE(Open());
    Show();
  }

  QTreeWidgetItem* Item(const std::string& fullName) { return form->NWBrowse1->ItemFor(fullName); }
};

TEST_F(VolumeSelectionTest, ChoosingATreeListsExactlyItsVolumesAndKeepsTheSelection) {
  form->Combo2->setFocus();
  QTest::keyClick(form->Combo2, Qt::Key_Down);  // the user's choice of the first tree
  ASSERT_EQ(form->Combo2->currentText(), "CORP");
  EXPECT_EQ(form->NWDir2->DirectoryPath, R"(NDS:\\CORP\[ROOT])");
  // Volumes at both depths; not the container whose name differs only in case.
  EXPECT_THAT(form->List3, ElementsAre("FS1_SYS", "FS1_VOL1"));
  EXPECT_FALSE(desktop.busy);
  // The browser shows the tree's containers and volumes, not its users.
  EXPECT_NE(Item(kVolVol1), nullptr);
  EXPECT_EQ(Item(R"(NDS:\\CORP\ACME\SALES\JSmith)"), nullptr);
  ClickEntry(kVolSys);
  ASSERT_TRUE(form->Command1->isEnabled());

  ChooseTree("OTHER");
  EXPECT_THAT(form->List3, ElementsAre("FS2_DATA"));
  EXPECT_EQ(form->NWDir2->DirectoryPath, R"(NDS:\\OTHER\[ROOT])");
  EXPECT_EQ(Item(kVolSys), nullptr);
  // Only the next click in the browser decides the selection.
  EXPECT_EQ(form->SelectedVolume, "FS1_SYS");
  EXPECT_TRUE(form->Command1->isEnabled());

  form->SearchLabel = " Organisational Unit ";  // left over from a capture
  ChooseTree("BARE");
  EXPECT_THAT(desktop.messages,
              ElementsAre(ShownMessage{"No Volume Objects Found In The Tree",
                                       app::MsgIcon::Information, "!! Error !!"}));
  EXPECT_THAT(form->List3, IsEmpty());
}

TEST_F(VolumeSelectionTest, OnlyAClickOnAListedVolumeEnablesGetTrustees) {
  ChooseTree("CORP");
  ASSERT_FALSE(form->Command1->isEnabled());
  const std::pair<const char*, const char*> steps[] = {
      {kVolSys, "FS1_SYS"},
      {kVolVol1, "FS1_VOL1"},
      {R"(NDS:\\CORP\ACME\SALES\fs1_sys)", ""},  // differs from FS1_SYS only in case
      {R"(NDS:\\CORP\ACME)", ""}};
  for (const auto& [entry, selected] : steps) {
    ClickEntry(entry);
    EXPECT_EQ(form->SelectedVolume, selected) << entry;
    EXPECT_EQ(form->Command1->isEnabled(), *selected != '\0') << entry;
  }
}

// Search results become dotted lines of the object list and List1; one that cannot is told once.
TEST_F(VolumeSelectionTest, ObjectSearchResultsBecomeDottedLinesAndList1Entries) {
  ChooseTree("CORP");
  const auto file = program / formats::kObjectListFileName;
  app::CaptureWork& work = form->Capture();
  auto& objectList = work.objectList;
  objectList = std::make_unique<formats::ObjectListWriter>(file);
  form->SearchKind = "Others";
  form->ObjectResults = [&](const std::string& result) { form->AddObjectName(result); };
  form->SearchLabel = " Users ";
  form->NWDir1->SearchObjects("*", "User", 2, R"(NDS:\\CORP\[Root])", 0);
  const std::vector<std::string> unreadable = {
      R"(NDS:\\OTHER\WIDGETS\BOB)", R"(NDS:\\CORP\ACME\Say "hi")", R"(NDS:\\CORPORATE\X)",
      "NDS:\\\\CORP\\ACME\\\xCE\xA9mega"};
  form->NWDir1_SearchResults({unreadable[0], R"(NDS:\\CORP\ACME)", unreadable[1],
                              R"(NDS:\\CORP\ACME\Sales, East\Pat)", unreadable[2], unreadable[3]});
  objectList->Close();
  objectList.reset();

  EXPECT_EQ(ReadFileBytes(file),
            "AJones.SALES.ACME\r\nJSmith.SALES.ACME\r\nACME\r\n\"Pat.Sales, East.ACME\"\r\n");
  EXPECT_THAT(work.List1, ElementsAre("AJones.SALES.ACME", "JSmith.SALES.ACME", "ACME",
                                      "Pat.Sales, East.ACME"));
  EXPECT_THAT(form->List3, ElementsAre("FS1_SYS", "FS1_VOL1"));
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_THAT(desktop.messages[0].text, HasSubstr("OTHER"));
  EXPECT_EQ(work.unreadableResults, unreadable);
}

}  // namespace
