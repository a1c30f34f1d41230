// The write-trustees command against a simulated network, with the fake desktop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <algorithm>

#include "app/form1.h"
#include "netware/sim/sim_network.h"
#include "support/counting_platform.h"
#include "support/fake_desktop.h"
#include "support/temp_dir.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing_support::FakeDesktop;
using testing_support::ShownMessage;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr const char* kNetwork = R"({
  "trees": [ { "name": "CORP", "objects": [
    { "name": "MAIN", "class": "Organization", "children": [
      { "name": "SALES", "class": "Organizational Unit", "children": [
        { "name": "JSmith", "class": "User" },
        { "name": "Staff", "class": "Group" } ] },
      { "name": "FS1_VOL1", "class": "Volume", "server": "FS1", "volume": "VOL1" } ] } ] } ],
  "servers": [
    { "name": "FS1", "tree": "CORP", "major": 4, "minor": 11, "up": true,
      "volumes": [ { "name": "VOL1", "number": 1, "directories": [ "Users/JSmith", "Apps" ] } ] },
    { "name": "OLD3", "tree": "CORP", "major": 3, "minor": 12, "up": true,
      "bindery": [ { "name": "GUEST", "type": 256 } ],
      "volumes": [ { "name": "SYS", "number": 0, "directories": [ "PUBLIC" ] } ] },
    { "name": "DOWN1", "tree": "CORP", "major": 4, "minor": 11, "up": false,
      "volumes": [ { "name": "SYS", "number": 0, "directories": [ "DATA" ] } ] } ],
  "workstation": { "trees": [ "CORP" ] }
})";

class WriteTrusteesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::LoadNetworkJson(network_.path(), kNetwork);
    platform_ =
        std::make_unique<testing_support::CountingPlatform>(sim::OpenNetwork(network_.path()));
    desktop_.programFolder = program_.path().string();
    form_ = std::make_unique<app::Form1>(*platform_, desktop_);
    ASSERT_TRUE(form_->Form_Load());
    desktop_.messages.clear();
  }

  // Writes a rights file and answers the Open dialog with it.
  std::string PickFile(const std::string& bytes, const std::string& name = "FS1_VOL1.RIGHTS") {
    auto file = program_ / name;
    WriteFileBytes(file, bytes);
    desktop_.openFileAnswers.push_back(file.string());
    return file.string();
  }

  std::vector<std::string> Dump(const std::string& server, const std::string& volume) {
    return sim::DumpAssignments(network_.path(), server, volume);
  }

  ShownMessage Closing(const std::string& text) { return {text, app::MsgIcon::None, "Tolvane"}; }
  ShownMessage Failure(const std::string& text) {
    return {text, app::MsgIcon::Critical, "Tolvane"};
  }
  ShownMessage NotAll(int failed, int total) {
    return {"Not all trustees have been added: " + std::to_string(failed) + " of " +
                std::to_string(total) + " records failed.",
            app::MsgIcon::Exclamation, "Tolvane"};
  }

  TempDir network_;
  TempDir program_;
  FakeDesktop desktop_;
  std::unique_ptr<testing_support::CountingPlatform> platform_;
  std::unique_ptr<app::Form1> form_;
};

TEST_F(WriteTrusteesTest, GrantsRecordsOnBinderyAndNdsServers) {
  PickFile(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Users\\JSmith,Read-Write-Create-Delete-FileScan-Modify\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Supervisor\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:,FileScan\r\n"
      "CORP,GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan\r\n");
  form_->Command4_Click();

  EXPECT_THAT(desktop_.messages, ElementsAre(Closing("All trustees have been added.")));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Users\\JSmith,"
                                               "Read-Write-Create-Delete-FileScan-Modify",
                                               "CORP,SALES.MAIN,FS1,VOL1:,FileScan",
                                               "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Supervisor"));
  ASSERT_EQ(Dump("OLD3", "SYS").size(), 1u);
  EXPECT_THAT(Dump("OLD3", "SYS")[0],
              ::testing::HasSubstr("GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan"));
  // The bindery server is asked by bindery name, the others through NDS.
  EXPECT_EQ(platform_->Counter().Count("NWGetObjectID"), 1);
  EXPECT_EQ(platform_->Counter().Count("NWDSMapNameToID"), 3);
  // The labels show the last record; the status is empty and the pointer normal again.
  EXPECT_EQ(form_->Label7->text(), "CORP");
  EXPECT_EQ(form_->Label8->text(), "OLD3");
  EXPECT_EQ(form_->Label9->text(), "GUEST");
  EXPECT_EQ(form_->Label10->text(), "SYS:\\PUBLIC");
  EXPECT_EQ(form_->Status(), "");
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(WriteTrusteesTest, EmptyFileOpensNoConnection) {
  form_->Label7->setText("before");
  PickFile("");
  form_->Command4_Click();
  EXPECT_EQ(platform_->Counter().Count("NWCCOpenConnByName"), 0);
  EXPECT_EQ(form_->Label7->text(), "before");
  EXPECT_THAT(desktop_.messages, ElementsAre(Closing("All trustees have been added.")));
}

TEST_F(WriteTrusteesTest, FieldsAreTakenFiveAtATimeAcrossLines) {
  PickFile(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read,CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,SALES.MAIN\nFS1,VOL1:\\Users,Modify\n");
  form_->Command4_Click();
  EXPECT_THAT(desktop_.messages, ElementsAre(Closing("All trustees have been added.")));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read",
                                               "CORP,SALES.MAIN,FS1,VOL1:\\Users,Modify",
                                               "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write"));
}

TEST_F(WriteTrusteesTest, EachFailureIsReportedAndTheRunGoesOn) {
  PickFile(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,JSmith.SALES.MAIN,DOWN1,SYS:\\DATA,Read\r\n"
      "CORP,Nobody.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,NOBODY,OLD3,SYS:\\PUBLIC,Read\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:\\Gone,Read\r\n"
      "CORP,SALES.MAIN,NOSUCH,VOL1:\\Apps,Read\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:\\Users,Read\r\n");
  form_->Command4_Click();

  EXPECT_THAT(
      desktop_.messages,
      ElementsAre(Failure("Cannot open connection to the given server (E= 34826)"),
                  Failure("Cannot find object Nobody.SALES.MAIN (E=-601)"),
                  Failure("Cannot find object NOBODY (E= 35324)"),
                  Failure("NWAddTrustee failed (E= 35228)"),
                  Failure("Cannot open connection to the given server (E= 34887)"), NotAll(5, 8)));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read",
                                               "CORP,SALES.MAIN,FS1,VOL1:\\Users,Read",
                                               "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write"));
  EXPECT_THAT(Dump("OLD3", "SYS"), IsEmpty());
  // Every connection that opened is closed again, one per record.
  EXPECT_EQ(platform_->Counter().Count("NWCCOpenConnByName"), 8);
  EXPECT_EQ(platform_->Counter().Count("NWCCCloseConn"), 6);
  EXPECT_EQ(platform_->Counter().Count("NWDSCreateContextHandle"),
            platform_->Counter().Count("NWDSFreeContext"));
}

TEST_F(WriteTrusteesTest, AServerTakenDownLosesOnlyItsRecords) {
  PickFile(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n");
  sim::SetServerUp(network_.path(), "FS1", false);
  form_->Command4_Click();
  EXPECT_EQ(desktop_.messages.back(), NotAll(2, 2));
  sim::SetServerUp(network_.path(), "FS1", true);
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
}

TEST_F(WriteTrusteesTest, CancelNeverWrites) {
  // Cancelled before any pick, then a pick, then cancelled after it.
  form_->Command4_Click();
  PickFile("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n");
  form_->Command4_Click();
  ASSERT_EQ(Dump("FS1", "VOL1").size(), 1u);
  sim::ClearAssignments(network_.path(), "FS1", "VOL1");
  desktop_.messages.clear();
  form_->Command4_Click();

  EXPECT_THAT(desktop_.messages, ElementsAre(ShownMessage{"Please select file.",
                                                          app::MsgIcon::Critical, "!! Error !!"}));
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
  EXPECT_EQ(desktop_.openFileCalls, 3);
  EXPECT_EQ(desktop_.lastOpenTitle, "Open Trustee File");
  EXPECT_EQ(desktop_.lastOpenFilter, "Trustee File|*.RIGHTS|All Files|*.*");
  EXPECT_EQ(desktop_.lastOpenInitialDir, program_.path().string());
}

TEST_F(WriteTrusteesTest, UnreadableFileIsNamedAndNothingIsWritten) {
  const std::string missing = (program_ / "GONE.RIGHTS").string();
  desktop_.openFileAnswers.push_back(missing);
  form_->Command4_Click();
  ASSERT_EQ(desktop_.messages.size(), 1u);
  EXPECT_EQ(desktop_.messages[0].title, "!! Error !!");
  EXPECT_THAT(desktop_.messages[0].text, ::testing::HasSubstr("GONE.RIGHTS"));
  EXPECT_EQ(platform_->Counter().Count("NWCCOpenConnByName"), 0);
  EXPECT_EQ(form_->Status(), "");
  EXPECT_FALSE(desktop_.Busy());
}

TEST_F(WriteTrusteesTest, FileEndingInsideARecordWritesTheRecordsBeforeIt) {
  PickFile(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,SALES.MAIN,FS1\r\n");
  form_->Command4_Click();
  EXPECT_EQ(desktop_.messages.back(), NotAll(1, 3));
  EXPECT_EQ(Dump("FS1", "VOL1").size(), 2u);
  EXPECT_EQ(platform_->Counter().Count("NWCCOpenConnByName"), 2);
}

TEST_F(WriteTrusteesTest, NamesTooLongForTheirBufferAreRefused) {
  const std::string longTree(128, 'T');
  const std::string longObject(257, 'O');
  PickFile(longTree + ",JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n" + "CORP," + longObject +
           ",FS1,VOL1:\\Apps,Read\r\n" + std::string(127, 'T') +
           ",Staff.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n");
  form_->Command4_Click();
  ASSERT_EQ(desktop_.messages.size(), 4u);
  EXPECT_THAT(desktop_.messages[0].text, ::testing::HasSubstr("tree name"));
  EXPECT_THAT(desktop_.messages[1].text, ::testing::HasSubstr("object name"));
  // A 127-character tree name fits: the lookup runs (and finds no such tree).
  EXPECT_THAT(desktop_.messages[2].text, ::testing::StartsWith("Cannot find object"));
  EXPECT_EQ(desktop_.messages[3], NotAll(3, 3));
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
}

}  // namespace
