// The get-trustees command and the trustee scan against a simulated network, offscreen.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProgressBar>

#include "capture/capture_work.h"
#include "support/window_scene.h"

namespace {

using namespace ::testing;
using testing_support::ReadFileBytes;
using testing_support::ShownMessage;
using testing_support::SortedLines;
using testing_support::WriteFileBytes;

constexpr std::int64_t kObjects = 2 + 1 + 1;

class GetTrusteesTest : public testing_support::WindowSceneTest {
 protected:
  // Two users, a group, a unit, no role, and a server that is down.
  GetTrusteesTest() : WindowSceneTest("capture_get_trustees_network.json") {}
  void SetUp() override {
    ASSERT_TRUE(Open());
    Show();
    SelectVolume("CORP", "FS1_VOL1");
  }

  ShownMessage Closing(const std::string& extra = "") {
    return {ClosingText("FS1_VOL1") + extra, app::MsgIcon::None, "Tolvane"};
  }
  std::string Rights() { return WindowScene::Rights("FS1_VOL1"); }
};

TEST_F(GetTrusteesTest, CapturesEveryAssignmentOfTheVolume) {
  WriteFileBytes(RightsFile("FS1_VOL1"), "CORP,Old.MAIN,FS1,VOL1:\\Old,Read\r\n");
  GetTrustees();

  EXPECT_THAT(desktop.messages,
              ElementsAre(ShownMessage{"No Organisational Role Objects Found In The Tree",
                                       app::MsgIcon::Information, "!! Error !!"},
                          Closing()));
  // The earlier file is replaced by one that agrees with the store.
  EXPECT_EQ(SortedLines(Rights()), Dump("FS1", "VOL1"));
  const std::string bytes = Rights();
  EXPECT_THAT(bytes, HasSubstr("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,\r\n"));  // 0x0004 alone
  // A directory gone from the volume keeps the name the client returned.
  EXPECT_THAT(bytes, HasSubstr("CORP,Staff.SALES.MAIN,FS1,VOL1:\\GONE,Read\r\n"));
  // The object list file is gone, and no temporary file is left.
  EXPECT_THAT(ProgramFiles(), ElementsAre("FS1_VOL1.RIGHTS"));

  EXPECT_EQ(form->ProgressBar1->value(), kObjects - 1);
  // F: and G: are mapped: the sixth lowest free letter is H:, removed again afterwards.
  EXPECT_EQ(form->Capture().List2.front(), "H:");
  EXPECT_THAT(Drives(), ElementsAre("F:", "G:"));
  EXPECT_FALSE(desktop.Busy());
}

TEST_F(GetTrusteesTest, RefusesBeforeCompilingAnything) {
  const std::string unmapped =
      "Cannot add drive mapping to server DOWN1, volume SYS\rThis is needed before any "
      "trustees can be obtained. Please click on the 'Get Trustees' button try again.";
  const std::tuple<std::string, int, std::string, app::MsgIcon, std::string> cases[] = {
      {"FS1_VOL1", -1, "Please enter the Tree name", app::MsgIcon::Critical,
       "!! Missing Information !!"},
      {"../x_VOL1", 0, "holds a \"/\" or \"\\\"", app::MsgIcon::Critical, "Tolvane"},
      {"DOWN1_SYS", 0, unmapped, app::MsgIcon::None, "Tolvane"},
      {"FS1_VOL1", 0, "only 5 drive letters are free", app::MsgIcon::Critical, "Tolvane"}};
  for (const auto& [selected, tree, text, icon, title] : cases) {
    SCOPED_TRACE(text);
    if (selected == "FS1_VOL1" && tree == 0) {  // letters up to U: are mapped: five are free
      for (std::string drive = "A:", path = "\\\\FS1\\VOL1\\"; drive < "V:"; ++drive[0]) {
        platform->Session().MapDrive(drive, path, true);
      }
    }
    desktop.messages.clear();
    form->Combo2->setCurrentIndex(tree);
    form->SelectedVolume = selected;
    form->Command1_Click();

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_THAT(desktop.messages[0].text, HasSubstr(text));
    EXPECT_EQ(desktop.messages[0].icon, icon);
    EXPECT_EQ(desktop.messages[0].title, title);
    EXPECT_THAT(ProgramFiles(), IsEmpty());
    EXPECT_FALSE(desktop.Busy());
  }
}

// A failure inside the scan keeps an earlier rights file, and says so only if there is one.
TEST_F(GetTrusteesTest, AFailureInsideTheScanKeepsTheEarlierRightsFileAndSaysSo) {
  const std::string earlierBytes = "CORP,Old.MAIN,FS1,VOL1:\\Old,Read\r\n";
  const std::string sentence = "\rAn earlier rights file of this volume has been left as it was.";
  auto& client = platform->Counter();
  for (const bool earlier : {true, false}) {
    SCOPED_TRACE(earlier);
    std::filesystem::remove(RightsFile("FS1_VOL1"));
    if (earlier) WriteFileBytes(RightsFile("FS1_VOL1"), earlierBytes);
    client.calls.clear();
    client.after = [&client](const std::string& call, nw::NWRCODE rc) {
      return call == "NWGetVolumeNumber" && client.Count(call) >= 3 ? nw::kVolumeDoesNotExist : rc;
    };
    desktop.messages.clear();
    GetTrustees();

    ASSERT_EQ(desktop.messages.size(), 2u);
    const std::string& text = desktop.messages[1].text;
    EXPECT_THAT(text, StartsWith("The trustees of server FS1, volume VOL1 could not be obtained: "
                                 "the volume VOL1 of server FS1 cannot be found (E= 35224)."));
    EXPECT_EQ(text.ends_with(sentence), earlier) << text;
    EXPECT_EQ(desktop.messages[1].icon, app::MsgIcon::Critical);
    EXPECT_EQ(Rights(), earlier ? earlierBytes : "");
    // The object list file stays behind, complete; no temporary file does.
    const std::vector<std::string> left = {"FS1_VOL1.RIGHTS", "users.txt"};
    EXPECT_EQ(ProgramFiles(), std::vector(left.begin() + (earlier ? 0 : 1), left.end()));
    EXPECT_EQ(static_cast<std::int64_t>(SortedLines(ReadFileBytes(program / "users.txt")).size()),
              form->ObjectCount);
    EXPECT_THAT(Drives(), ElementsAre("F:", "G:"));
  }
}

TEST_F(GetTrusteesTest, ScanSkipsANameThatCannotBeMapped) {
  // Without a fresh ID per object, Nobody would be given JSmith's assignments.
  WriteFileBytes(program / "users.txt", "JSmith.SALES.MAIN\r\nNobody.MAIN\r\nStaff.SALES.MAIN\r\n");
  form->ServerName = "FS1";
  form->VolumeName = "VOL1";
  form->ProgressBar1->setMaximum(3);
  form->ReadTrusteeRights();

  EXPECT_THAT(desktop.messages,
              ElementsAre(Closing(" 1 object could not be found in the tree and was left out.")));
  // JSmith's three assignments and Staff's two, and none given to Nobody.
  EXPECT_EQ(SortedLines(Rights()).size(), 5u);
  EXPECT_THAT(Rights(), Not(HasSubstr("Nobody")));
}

}  // namespace
