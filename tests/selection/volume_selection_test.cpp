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

constexpr const char* kVolSys = R"(NDS:\\CORP\ACME\FS1_SYS)";
constexpr const char* kVolVol1 = R"(NDS:\\CORP\ACME\SALES\FS1_VOL1)";

class VolumeSelectionTest : public testing_support::WindowSceneTest {
 protected:
  // CORP: volumes at two depths, a container whose name differs from a volume's only in case.
  // OTHER: one volume. BARE: no volume.
  VolumeSelectionTest() : WindowSceneTest("selection_network.json") {}
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

// Only a left click (Ctrl or not) or Enter on a listed volume selects it and enables GetTrustees.
TEST_F(VolumeSelectionTest, OnlyALeftClickOrEnterOnAListedVolumeSelectsIt) {
  ChooseTree("CORP");
  ASSERT_FALSE(form->Command1->isEnabled());
  const char* const kCaseOnly = R"(NDS:\\CORP\ACME\SALES\fs1_sys)";  // FS1_SYS but for case
  const std::tuple<const char*, Qt::MouseButton, const char*> steps[] = {
      {kVolSys, Qt::LeftButton, "FS1_SYS"},    {kVolVol1, Qt::RightButton, "FS1_SYS"},
      {kVolVol1, Qt::MiddleButton, "FS1_SYS"}, {kVolVol1, Qt::LeftButton, "FS1_VOL1"},
      {kCaseOnly, Qt::LeftButton, ""},         {R"(NDS:\\CORP\ACME)", Qt::LeftButton, ""},
  };
  for (const auto& [entry, button, selected] : steps) {
    ClickEntry(entry, button);
    EXPECT_EQ(form->SelectedVolume, selected) << entry << " " << button;
    EXPECT_EQ(form->Command1->isEnabled(), *selected != '\0') << entry;
  }
  nw::NWBrowse* browse = form->NWBrowse1;
  QTest::mouseClick(browse->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    browse->visualItemRect(Item(kVolSys)).center());
  EXPECT_EQ(form->SelectedVolume, "FS1_SYS");
  EXPECT_EQ(browse->SelectedEntries().size(), 1u);
  // The arrow keys move without selecting; Enter selects.
  ClickEntry(kCaseOnly);
  QTest::keyClick(browse, Qt::Key_Down);
  ASSERT_EQ(browse->currentItem(), Item(kVolVol1));
  EXPECT_EQ(form->SelectedVolume, "");
  QTest::keyClick(browse, Qt::Key_Enter);
  EXPECT_EQ(form->SelectedVolume, "FS1_VOL1");
  EXPECT_TRUE(form->Command1->isEnabled());
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
