// The get-trustees command and the trustee scan against a simulated network, offscreen.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProgressBar>

#include "capture/capture_fixture.h"
#include "capture/volume_name.h"

namespace {

using capture_testing::CaptureFixture;
using capture_testing::SortedLines;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing_support::ReadFileBytes;
using testing_support::ShownMessage;
using testing_support::WriteFileBytes;

// 27 users (24 of them trustees of one crowded directory), a group, a role and two units.
std::string Network() {
  std::string crowdUsers, crowdAssignments;
  for (int i = 1; i <= 24; ++i) {
    const std::string name = (i < 10 ? "U0" : "U") + std::to_string(i);
    crowdUsers += R"(, { "name": ")" + name + R"(", "class": "User" })";
    crowdAssignments += R"(, { "server": "FS1", "volume": "VOL1", "directory": "Crowd",
        "object": ")" + name +
                        R"(.MAIN", "rights": "Read-FileScan" })";
  }
  return R"({
  "trees": [ { "name": "CORP", "objects": [
    { "name": "MAIN", "class": "Organization", "children": [
      { "name": "SALES", "class": "Organizational Unit", "children": [
        { "name": "JSmith", "class": "User" },
        { "name": "Idle", "class": "User" },
        { "name": "Staff", "class": "Group" },
        { "name": "EAST", "class": "Organizational Unit", "children": [
          { "name": "Ann", "class": "User" } ] } ] },
      { "name": "Manager", "class": "Organizational Role" },
      { "name": "FS1_VOL1", "class": "Volume", "server": "FS1", "volume": "VOL1" },
      { "name": "DOWN1_SYS", "class": "Volume", "server": "DOWN1", "volume": "SYS" })" +
         crowdUsers + R"( ] } ] } ],
  "servers": [
    { "name": "FS1", "tree": "CORP", "major": 4, "minor": 11, "up": true,
      "volumes": [ { "name": "VOL1", "number": 1, "directories": [
        "Users/JSmith", "Apps", "Crowd", "Deep/Level2/Level3" ] } ] },
    { "name": "DOWN1", "tree": "CORP", "major": 4, "minor": 11, "up": false,
      "volumes": [ { "name": "SYS", "number": 0, "directories": [ "DATA" ] } ] } ],
  "assignments": [
    { "server": "FS1", "volume": "VOL1", "directory": "Users/JSmith",
      "object": "JSmith.SALES.MAIN", "rights": "Read-Write-Create-Delete-FileScan-Modify" },
    { "server": "FS1", "volume": "VOL1", "directory": "Apps",
      "object": "JSmith.SALES.MAIN", "rights": 4 },
    { "server": "FS1", "volume": "VOL1", "directory": "Apps",
      "object": "Staff.SALES.MAIN", "rights": "Read-FileScan" },
    { "server": "FS1", "volume": "VOL1", "directory": "",
      "object": "SALES.MAIN", "rights": "FileScan" },
    { "server": "FS1", "volume": "VOL1", "directory": "Deep/Level2/Level3",
      "object": "Ann.EAST.SALES.MAIN", "rights": "Supervisor" },
    { "server": "FS1", "volume": "VOL1", "directory": "Crowd",
      "object": "JSmith.SALES.MAIN", "rights": "Write" },
    { "server": "FS1", "volume": "VOL1", "directory": "GONE", "missing": true,
      "object": "Manager.MAIN", "rights": "Read" })" +
         crowdAssignments + R"( ],
  "workstation": { "trees": [ "CORP" ], "mappings": [
    { "drive": "F:", "server": "FS1", "volume": "VOL1" },
    { "drive": "G:", "server": "FS1", "volume": "VOL1" } ] }
})";
}

constexpr std::int64_t kObjects = 27 + 1 + 1 + 2;

class GetTrusteesTest : public CaptureFixture {
 protected:
  void SetUp() override {
    Open(Network());
    Select("CORP", "FS1_VOL1");
  }

  ShownMessage Closing(const std::string& extra = "") {
    return {ClosingText("FS1_VOL1") + extra, app::MsgIcon::None, "Tolvane"};
  }
  std::string Rights() { return ReadFileBytes(RightsFile("FS1_VOL1")); }
  std::string UsersFile() const { return (program_ / "users.txt").string(); }

  // Runs the scan alone over an object list file of `names`.
  void Scan(const std::string& names, int count) {
    WriteFileBytes(UsersFile(), names);
    form_->ServerName = "FS1";
    form_->VolumeName = "VOL1";
    form_->ProgressBar1->setMaximum(count);
    form_->ReadTrusteeRights();
  }
};

TEST_F(GetTrusteesTest, CapturesEveryAssignmentOfTheVolume) {
  WriteFileBytes(RightsFile("FS1_VOL1"), "CORP,Old.MAIN,FS1,VOL1:\\Old,Read\r\n");
  form_->Command1_Click();

  EXPECT_THAT(desktop_.messages, ElementsAre(Closing()));
  // Every record is whole and the file agrees with the store, the crowded directory's 25
  // trustees, read in two batches, included; the earlier file is replaced.
  EXPECT_EQ(SortedLines(Rights()), Dump("FS1", "VOL1"));
  EXPECT_EQ(Dump("FS1", "VOL1").size(), 31u);
  const std::string bytes = Rights();
  EXPECT_THAT(bytes, HasSubstr("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,\r\n"));  // 0x0004 alone
  EXPECT_THAT(bytes, HasSubstr("CORP,SALES.MAIN,FS1,VOL1:,FileScan\r\n"));
  EXPECT_THAT(bytes, HasSubstr("CORP,Ann.EAST.SALES.MAIN,FS1,VOL1:\\Deep\\Level2\\Level3,"
                               "Supervisor\r\n"));
  // A directory gone from the volume keeps the name the client returned.
  EXPECT_THAT(bytes, HasSubstr("CORP,Manager.MAIN,FS1,VOL1:\\GONE,Read\r\n"));
  EXPECT_THAT(bytes, Not(HasSubstr("Idle")));
  EXPECT_THAT(bytes, Not(HasSubstr("Old")));
  // The object list file is gone, and no temporary file is left.
  EXPECT_THAT(ProgramFiles(), ElementsAre("FS1_VOL1.RIGHTS"));
}

TEST_F(GetTrusteesTest, CompilesEveryObjectAndShowsProgressToTheLast) {
  form_->List1 = {"left over"};
  form_->Command1_Click();

  EXPECT_EQ(form_->ObjectCount, kObjects);
  EXPECT_EQ(form_->ProgressBar1->maximum(), kObjects);
  EXPECT_EQ(form_->ProgressBar1->value(), kObjects - 1);
  EXPECT_THAT(form_->List1, IsEmpty());
  // One name lookup per compiled object; the units come last, in tree order.
  EXPECT_EQ(platform_->Scripted().Count("NWDSMapNameToID"), kObjects);
  EXPECT_EQ(form_->Text2, "EAST.SALES.MAIN");
  EXPECT_EQ(form_->SearchKind, "Others");
  EXPECT_EQ(form_->SearchLabel, " Organisational Unit ");
  EXPECT_EQ(form_->Status(), "");
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(GetTrusteesTest, MapsTheSixthLowestFreeDriveAndRemovesItAfterwards) {
  form_->Command1_Click();

  EXPECT_THAT(platform_->Sess().mapRequests,
              ElementsAre(std::pair<std::string, std::string>{"H:", "\\\\FS1\\VOL1\\"}));
  EXPECT_THAT(platform_->Sess().unmapRequests, ElementsAre("H"));
  EXPECT_EQ(form_->List2.front(), "H:");
  EXPECT_THAT(Drives(), ElementsAre("F:", "G:"));
  EXPECT_EQ(form_->ServerName, "FS1");
  EXPECT_EQ(form_->VolumeName, "VOL1");
}

TEST_F(GetTrusteesTest, UnorderedMappingsNeverGiveAMappedLetter) {
  platform_->Sess().drives = std::vector<std::string>{"H:", "F:", "G:", "B:"};
  form_->Command1_Click();
  EXPECT_THAT(platform_->Sess().mapRequests,
              ElementsAre(std::pair<std::string, std::string>{"J:", "\\\\FS1\\VOL1\\"}));
  EXPECT_THAT(platform_->Sess().unmapRequests, ElementsAre("J"));
}

TEST_F(GetTrusteesTest, FewerThanSixFreeLettersMapsNothing) {
  std::vector<std::string> drives;
  for (char c = 'A'; c <= 'U'; ++c) drives.push_back(std::string(1, c) + ":");
  platform_->Sess().drives = drives;
  form_->Command1_Click();

  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_THAT(desktop_.messages[0].text, HasSubstr("only 5 drive letters are free"));
  EXPECT_EQ(desktop_.messages[0].icon, app::MsgIcon::Critical);
  EXPECT_THAT(platform_->Sess().mapRequests, IsEmpty());
  EXPECT_THAT(ProgramFiles(), IsEmpty());
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(GetTrusteesTest, NoTreeChosen) {
  form_->Combo2->setCurrentIndex(-1);
  form_->List1 = {"left over"};
  form_->Command1_Click();

  EXPECT_THAT(desktop_.messages,
              ElementsAre(ShownMessage{"Please enter the Tree name", app::MsgIcon::Critical,
                                       "!! Missing Information !!"}));
  EXPECT_THAT(form_->List1, IsEmpty());
  EXPECT_THAT(platform_->Sess().mapRequests, IsEmpty());
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(GetTrusteesTest, NamesThatCannotBecomeAFileAreRefusedBeforeMapping) {
  for (const std::string selected : {"FS1VOL1", "../x_VOL1", "FS1_..", "FS1_A\\B", "._VOL1"}) {
    SCOPED_TRACE(selected);
    desktop_.messages.clear();
    form_->SelectedVolume = selected;
    form_->Command1_Click();
    ASSERT_EQ(desktop_.messages.size(), 1u);
    EXPECT_EQ(desktop_.messages[0].text, capture::VolumeNameProblem(selected));
    EXPECT_EQ(desktop_.messages[0].icon, app::MsgIcon::Critical);
    EXPECT_THAT(platform_->Sess().mapRequests, IsEmpty());
    EXPECT_THAT(ProgramFiles(), IsEmpty());
    EXPECT_FALSE(desktop_.Busy());
  }
}

TEST_F(GetTrusteesTest, MappingRefusedOrFailingShowsTheMappingMessage) {
  const std::string message =
      "Cannot add drive mapping to server DOWN1, volume SYS\rThis is needed before any "
      "trustees can be obtained. Please click on the 'Get Trustees' button try again.";
  for (bool throws : {false, true}) {
    SCOPED_TRACE(throws);
    desktop_.messages.clear();
    form_->SetStatus("before");
    platform_->Sess().mapThrows = throws;
    form_->SelectedVolume = "DOWN1_SYS";
    form_->Command1_Click();

    EXPECT_THAT(desktop_.messages,
                ElementsAre(ShownMessage{message, app::MsgIcon::None, "Tolvane"}));
    EXPECT_EQ(form_->Status(), "before");
    EXPECT_THAT(platform_->Sess().unmapRequests, IsEmpty());
    EXPECT_THAT(ProgramFiles(), IsEmpty());
    EXPECT_THAT(Drives(), ElementsAre("F:", "G:"));
    EXPECT_FALSE(desktop_.Busy());
  }
}

TEST_F(GetTrusteesTest, FailureInsideTheScanKeepsTheEarlierRightsFile) {
  const std::string earlier = "CORP,Old.MAIN,FS1,VOL1:\\Old,Read\r\n";
  WriteFileBytes(RightsFile("FS1_VOL1"), earlier);
  platform_->Scripted().failVolumeNumberFrom = 3;
  form_->Command1_Click();

  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_THAT(desktop_.messages[0].text,
              AllOf(HasSubstr("server FS1, volume VOL1"), HasSubstr("(E= 35224)"),
                    Not(HasSubstr("Cannot add drive mapping"))));
  EXPECT_EQ(desktop_.messages[0].icon, app::MsgIcon::Critical);
  EXPECT_EQ(desktop_.messages[0].title, "Tolvane");
  EXPECT_EQ(Rights(), earlier);
  // The object list file stays behind, complete; no temporary file does.
  EXPECT_THAT(ProgramFiles(), ElementsAre("FS1_VOL1.RIGHTS", "users.txt"));
  EXPECT_EQ(static_cast<std::int64_t>(SortedLines(ReadFileBytes(UsersFile())).size()),
            form_->ObjectCount);
  EXPECT_THAT(platform_->Sess().unmapRequests, ElementsAre("H"));
  EXPECT_THAT(Drives(), ElementsAre("F:", "G:"));
  EXPECT_EQ(form_->Status(), "");
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(GetTrusteesTest, ObjectListFileThatCannotBeWrittenIsNamed) {
  std::filesystem::create_directory(UsersFile());  // nothing can write a file there
  form_->Command1_Click();

  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_THAT(desktop_.messages[0].text,
              AllOf(HasSubstr("users.txt"), Not(HasSubstr("Cannot add drive mapping"))));
  EXPECT_THAT(platform_->Sess().unmapRequests, ElementsAre("H"));
  EXPECT_FALSE(std::filesystem::exists(RightsFile("FS1_VOL1")));
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(GetTrusteesTest, MappingNotRemovedIsReportedAfterACompleteCapture) {
  platform_->Sess().unmapFails = true;
  form_->Command1_Click();
  EXPECT_THAT(desktop_.messages,
              ElementsAre(Closing(), ShownMessage{"Cannot delete drive mapping !",
                                                  app::MsgIcon::None, "Tolvane"}));
  EXPECT_EQ(SortedLines(Rights()), Dump("FS1", "VOL1"));
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(GetTrusteesTest, AnObjectListedTwiceInATrusteeListGivesOneRecord) {
  platform_->Scripted().repeatFirstEntry = true;
  form_->Command1_Click();
  EXPECT_THAT(desktop_.messages, ElementsAre(Closing()));
  EXPECT_EQ(SortedLines(Rights()), Dump("FS1", "VOL1"));
}

TEST_F(GetTrusteesTest, ScanSkipsANameThatCannotBeMapped) {
  // Without a fresh ID per object, Nobody would be given JSmith's assignments.
  Scan("JSmith.SALES.MAIN\r\nNobody.MAIN\r\nStaff.SALES.MAIN\r\n", 3);

  EXPECT_THAT(desktop_.messages,
              ElementsAre(Closing(" 1 object could not be found in the tree and was left out.")));
  std::vector<std::string> expected;
  for (const auto& line : Dump("FS1", "VOL1")) {
    if (line.find(",JSmith.SALES.MAIN,") != std::string::npos ||
        line.find(",Staff.SALES.MAIN,") != std::string::npos) {
      expected.push_back(line);
    }
  }
  EXPECT_EQ(SortedLines(Rights()), expected);
  EXPECT_EQ(expected.size(), 4u);
  EXPECT_FALSE(std::filesystem::exists(UsersFile()));
}

TEST_F(GetTrusteesTest, EmptyObjectListMakesNoCallAndAnEmptyFile) {
  const long before = platform_->Scripted().Total();
  Scan("", 0);
  EXPECT_EQ(platform_->Scripted().Total(), before);
  EXPECT_THAT(desktop_.messages, ElementsAre(Closing()));
  EXPECT_TRUE(std::filesystem::exists(RightsFile("FS1_VOL1")));
  EXPECT_EQ(Rights(), "");
  EXPECT_THAT(ProgramFiles(), ElementsAre("FS1_VOL1.RIGHTS"));
}

TEST_F(GetTrusteesTest, RecordsTheFormatCannotCarryAreSkippedAndCounted) {
  // A folder name with no Windows-1252 code cannot go into the rights file.
  platform_->Listing().names["\\\\FS1\\VOL1\\APPS"] = "Apps\xE2\x9C\x93";
  form_->Command1_Click();

  EXPECT_THAT(desktop_.messages,
              ElementsAre(Closing(" 2 records could not be written to the file, because a name "
                                  "holds a character the file cannot carry, and were skipped.")));
  std::vector<std::string> expected;
  for (const auto& line : Dump("FS1", "VOL1")) {
    if (line.find("VOL1:\\Apps,") == std::string::npos) expected.push_back(line);
  }
  EXPECT_EQ(Dump("FS1", "VOL1").size(), expected.size() + 2);
  EXPECT_EQ(SortedLines(Rights()), expected);
}

constexpr const char* kNoRolesNetwork = R"({
  "trees": [ { "name": "SMALL", "objects": [
    { "name": "ORG", "class": "Organization", "children": [
      { "name": "Bob", "class": "User" },
      { "name": "Say\"Hi", "class": "User" },
      { "name": "TEAM", "class": "Organizational Unit" },
      { "name": "FS2_DATA", "class": "Volume", "server": "FS2", "volume": "DATA" } ] } ] } ],
  "servers": [ { "name": "FS2", "tree": "SMALL", "major": 5, "minor": 0, "up": true,
      "volumes": [ { "name": "DATA", "number": 0, "directories": [ "Shared" ] } ] } ],
  "assignments": [
    { "server": "FS2", "volume": "DATA", "directory": "Shared", "object": "TEAM.ORG",
      "rights": "Read-Write" },
    { "server": "FS2", "volume": "DATA", "directory": "Shared", "object": "Bob.ORG",
      "rights": "Supervisor" } ],
  "workstation": { "trees": [ "SMALL" ] }
})";

class EmptyClassTest : public CaptureFixture {};

TEST_F(EmptyClassTest, AClassWithoutObjectsIsReportedOnceAndTheOthersAreSearched) {
  Open(kNoRolesNetwork);
  Select("SMALL", "FS2_DATA");
  form_->Command1_Click();

  // The user whose name the object list file cannot carry is reported by the search and
  // counted again in the closing message.
  ASSERT_EQ(desktop_.messages.size(), 4u);
  EXPECT_THAT(desktop_.messages[0].text, HasSubstr("Say\"Hi"));
  EXPECT_EQ(desktop_.messages[1], (ShownMessage{"No Groups Objects Found In The Tree",
                                                app::MsgIcon::Information, "!! Error !!"}));
  EXPECT_EQ(desktop_.messages[2], (ShownMessage{"No Organisational Role Objects Found In The Tree",
                                                app::MsgIcon::Information, "!! Error !!"}));
  EXPECT_EQ(desktop_.messages[3],
            (ShownMessage{
                ClosingText("FS2_DATA") + " 1 search result could not be read and was left out.",
                app::MsgIcon::None, "Tolvane"}));
  EXPECT_EQ(form_->ObjectCount, 2);
  EXPECT_THAT(SortedLines(ReadFileBytes(RightsFile("FS2_DATA"))),
              ElementsAre("SMALL,Bob.ORG,FS2,DATA:\\Shared,Supervisor",
                          "SMALL,TEAM.ORG,FS2,DATA:\\Shared,Read-Write"));
}

}  // namespace
