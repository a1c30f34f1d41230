// The write-trustees command against a simulated network, with the fake desktop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <algorithm>

#include "netware/sim/sim_network.h"
#include "support/window_scene.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing_support::ShownMessage;

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

class WriteTrusteesTest : public ::testing::Test, protected testing_support::WindowScene {
 protected:
  WriteTrusteesTest() : WindowScene(kNetwork) {}
  void SetUp() override {
    ASSERT_TRUE(Open());
    Show();
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
};

TEST_F(WriteTrusteesTest, GrantsRecordsOnBinderyAndNdsServers) {
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Users\\JSmith,Read-Write-Create-Delete-FileScan-Modify\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Supervisor\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:,FileScan\r\n"
      "CORP,GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan\r\n");

  EXPECT_THAT(desktop.messages, ElementsAre(Closing("All trustees have been added.")));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Users\\JSmith,"
                                               "Read-Write-Create-Delete-FileScan-Modify",
                                               "CORP,SALES.MAIN,FS1,VOL1:,FileScan",
                                               "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Supervisor"));
  ASSERT_EQ(Dump("OLD3", "SYS").size(), 1u);
  EXPECT_THAT(Dump("OLD3", "SYS")[0],
              ::testing::HasSubstr("GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan"));
  // The bindery server is asked by bindery name, the others through NDS.
  EXPECT_EQ(platform->Counter().Count("NWGetObjectID"), 1);
  EXPECT_EQ(platform->Counter().Count("NWDSMapNameToID"), 3);
  // The labels show the last record; the status is empty and the pointer normal again.
  EXPECT_EQ(form->Label7->text(), "CORP");
  EXPECT_EQ(form->Label8->text(), "OLD3");
  EXPECT_EQ(form->Label9->text(), "GUEST");
  EXPECT_EQ(form->Label10->text(), "SYS:\\PUBLIC");
  EXPECT_EQ(form->Status(), "");
  EXPECT_FALSE(desktop.Busy());
}

TEST_F(WriteTrusteesTest, EmptyFileOpensNoConnection) {
  form->Label7->setText("before");
  WriteTrusteesFrom("");
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 0);
  EXPECT_EQ(form->Label7->text(), "before");
  EXPECT_THAT(desktop.messages, ElementsAre(Closing("All trustees have been added.")));
}

// A line that is no record and a rights text with a word that is no right each cost their
// record alone: named in a message, nothing granted from them, no connection opened for them.
TEST_F(WriteTrusteesTest, ABadLineAndABadRightsTextFailTheirRecordsAndTheRunGoesOn) {
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:\\Users,Superviser\r\n");

  ASSERT_EQ(desktop.messages.size(), 3u);
  EXPECT_EQ(desktop.messages[0].icon, app::MsgIcon::Critical);
  EXPECT_THAT(desktop.messages[0].text,
              ::testing::AllOf(::testing::HasSubstr("FS1_VOL1.RIGHTS, line 2: "),
                               ::testing::HasSubstr("holds 4 fields, not the five")));
  EXPECT_EQ(desktop.messages[1],
            Failure("The rights text \"Superviser\" holds a word that is no right; the trustee "
                    "was not added."));
  EXPECT_EQ(desktop.messages[2], NotAll(2, 3));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read"));
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 1);
  // The labels show the last record read, the one whose rights were refused.
  EXPECT_EQ(form->Label9->text(), "SALES.MAIN");
  EXPECT_EQ(form->Label10->text(), "VOL1:\\Users");
}

// Each line is a record of its own: fields never run on into the next line, and text after a
// closing quote or a quote left open is that line's failure.
TEST_F(WriteTrusteesTest, EachLineIsARecordOfItsOwn) {
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps\r\n"
      "Supervisor,CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Read\n"
      "CORP,SALES.MAIN,FS1,\"VOL1:\\Users\"\\JSmith,Read\r\n"
      "CORP,\"Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,Staff.SALES.MAIN,FS1,\"VOL1:\\Apps\" ,Write\r\n");

  std::vector<std::string> texts;
  for (const ShownMessage& shown : desktop.messages) texts.push_back(shown.text);
  EXPECT_THAT(
      texts,
      ElementsAre(::testing::HasSubstr("line 1: it holds 4 fields"),
                  ::testing::HasSubstr("line 2: it holds 6 fields"),
                  ::testing::HasSubstr("line 3: field 4 has text after its closing quote: "
                                       "\"\\JSmith\""),
                  ::testing::HasSubstr("line 4: the quote that opens field 2"), NotAll(4, 5).text));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write"));
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 1);
}

TEST_F(WriteTrusteesTest, EachFailureIsReportedAndTheRunGoesOn) {
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,JSmith.SALES.MAIN,DOWN1,SYS:\\DATA,Read\r\n"
      "CORP,Nobody.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,NOBODY,OLD3,SYS:\\PUBLIC,Read\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:\\Gone,Read\r\n"
      "CORP,SALES.MAIN,NOSUCH,VOL1:\\Apps,Read\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:\\Users,Read\r\n");

  EXPECT_THAT(
      desktop.messages,
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
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 8);
  EXPECT_EQ(platform->Counter().Count("NWCCCloseConn"), 6);
  EXPECT_EQ(platform->Counter().Count("NWDSCreateContextHandle"),
            platform->Counter().Count("NWDSFreeContext"));
}

TEST_F(WriteTrusteesTest, AServerTakenDownLosesOnlyItsRecords) {
  sim::SetServerUp(network.path(), "FS1", false);
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n");
  EXPECT_EQ(desktop.messages.back(), NotAll(2, 2));
  sim::SetServerUp(network.path(), "FS1", true);
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
}

TEST_F(WriteTrusteesTest, CancelNeverWrites) {
  // Cancelled before any pick, then a pick, then cancelled after it.
  WriteTrustees(std::nullopt);
  WriteTrusteesFrom("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n");
  ASSERT_EQ(Dump("FS1", "VOL1").size(), 1u);
  sim::ClearAssignments(network.path(), "FS1", "VOL1");
  WriteTrustees(std::nullopt);

  EXPECT_THAT(desktop.messages, ElementsAre(ShownMessage{"Please select file.",
                                                         app::MsgIcon::Critical, "!! Error !!"}));
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
  EXPECT_EQ(desktop.openFileCalls, 3);
  EXPECT_EQ(desktop.lastOpenTitle, "Open Trustee File");
  EXPECT_EQ(desktop.lastOpenFilter, "Trustee File|*.RIGHTS|All Files|*.*");
  EXPECT_EQ(desktop.lastOpenInitialDir, program.path().string());
}

TEST_F(WriteTrusteesTest, UnreadableFileIsNamedAndNothingIsWritten) {
  const std::string missing = (program / "GONE.RIGHTS").string();
  WriteTrustees(missing);
  ASSERT_EQ(desktop.messages.size(), 1u);
  EXPECT_EQ(desktop.messages[0].title, "!! Error !!");
  EXPECT_THAT(desktop.messages[0].text, ::testing::HasSubstr("GONE.RIGHTS"));
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 0);
  EXPECT_EQ(form->Status(), "");
  EXPECT_FALSE(desktop.Busy());
}

TEST_F(WriteTrusteesTest, ALastLineCutShortCostsThatLineAlone) {
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n"
      "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,SALES.MAIN,FS1");
  ASSERT_EQ(desktop.messages.size(), 2u);
  EXPECT_THAT(desktop.messages[0].text, ::testing::HasSubstr("line 3: it holds 3 fields"));
  EXPECT_EQ(desktop.messages[1], NotAll(1, 3));
  EXPECT_EQ(Dump("FS1", "VOL1").size(), 2u);
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 2);
}

TEST_F(WriteTrusteesTest, NamesTooLongForTheirBufferAreRefused) {
  const std::string longTree(128, 'T');
  const std::string longObject(257, 'O');
  WriteTrusteesFrom(longTree + ",JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n" + "CORP," +
                    longObject + ",FS1,VOL1:\\Apps,Read\r\n" + std::string(127, 'T') +
                    ",Staff.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n");
  ASSERT_EQ(desktop.messages.size(), 4u);
  EXPECT_THAT(desktop.messages[0].text, ::testing::HasSubstr("tree name"));
  EXPECT_THAT(desktop.messages[1].text, ::testing::HasSubstr("object name"));
  // A 127-character tree name fits: the lookup runs (and finds no such tree).
  EXPECT_THAT(desktop.messages[2].text, ::testing::StartsWith("Cannot find object"));
  EXPECT_EQ(desktop.messages[3], NotAll(3, 3));
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
}

}  // namespace
