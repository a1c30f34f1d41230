// The write-trustees command against a simulated network, with the fake desktop.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <algorithm>

#include "netware/sim/sim_network.h"
#include "support/window_scene.h"

namespace {

using namespace ::testing;
using testing_support::ShownMessage;

class WriteTrusteesTest : public testing_support::WindowSceneTest {
 protected:
  WriteTrusteesTest() : WindowSceneTest("restore_window_network.json") {}
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
  EXPECT_THAT(Dump("OLD3", "SYS")[0], HasSubstr("GUEST,OLD3,SYS:\\PUBLIC,Read-FileScan"));
  // The labels show the last record; the status is empty and the pointer normal again.
  EXPECT_EQ((QStringList{form->Label7->text(), form->Label8->text(), form->Label9->text(),
                         form->Label10->text()}),
            (QStringList{"CORP", "OLD3", "GUEST", "SYS:\\PUBLIC"}));
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

// Fields never run on into the next line: a malformed line is that line's failure alone.
TEST_F(WriteTrusteesTest, EachLineIsARecordOfItsOwn) {
  WriteTrusteesFrom(
      "CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps\r\n"
      "Supervisor,CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Read\n"
      "CORP,SALES.MAIN,FS1,\"VOL1:\\Users\"\\JSmith,Read\r\n"
      "CORP,\"Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write\r\n"
      "CORP,Staff.SALES.MAIN,FS1,\"VOL1:\\Apps\" ,Write\r\n"
      "CORP,SALES.MAIN,FS1");

  std::vector<std::string> texts;
  for (const ShownMessage& shown : desktop.messages) texts.push_back(shown.text);
  EXPECT_THAT(texts, ElementsAre(HasSubstr("line 1: it holds 4 fields"),
                                 HasSubstr("line 2: it holds 6 fields"),
                                 HasSubstr("line 3: field 4 has text after its closing quote: "
                                           "\"\\JSmith\""),
                                 HasSubstr("line 4: the quote that opens field 2"),
                                 HasSubstr("line 6: it holds 3 fields"), NotAll(5, 6).text));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write"));
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
      "CORP,SALES.MAIN,FS1,VOL1:\\Users,Read\r\n"
      "CORP,SALES.MAIN,FS1,VOL1:\\Users,Superviser\r\n");

  EXPECT_THAT(
      desktop.messages,
      ElementsAre(Failure("Cannot open connection to the given server (E= 34826)"),
                  Failure("Cannot find object Nobody.SALES.MAIN (E=-601)"),
                  Failure("Cannot find object NOBODY (E= 35324)"),
                  Failure("NWAddTrustee failed (E= 35228)"),
                  Failure("Cannot open connection to the given server (E= 34887)"),
                  Failure("The rights text \"Superviser\" holds a word that is no right; the "
                          "trustee was not added."),
                  NotAll(6, 9)));
  EXPECT_THAT(Dump("FS1", "VOL1"), ElementsAre("CORP,JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read",
                                               "CORP,SALES.MAIN,FS1,VOL1:\\Users,Read",
                                               "CORP,Staff.SALES.MAIN,FS1,VOL1:\\Apps,Write"));
  EXPECT_THAT(Dump("OLD3", "SYS"), IsEmpty());
  // Every connection that opened is closed again, one per record; a bad rights text opens none.
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 8);
  EXPECT_EQ(platform->Counter().Count("NWCCCloseConn"), 6);
  EXPECT_EQ(platform->Counter().Count("NWDSCreateContextHandle"),
            platform->Counter().Count("NWDSFreeContext"));
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
  EXPECT_THAT(desktop.messages[0].text, HasSubstr("GONE.RIGHTS"));
  EXPECT_EQ(platform->Counter().Count("NWCCOpenConnByName"), 0);
  EXPECT_EQ(form->Status(), "");
  EXPECT_FALSE(desktop.Busy());
}

// A name longer than its buffer (bindery 48, tree 128, object 257) is refused before lookup.
TEST_F(WriteTrusteesTest, NamesTooLongForTheirBufferAreRefused) {
  WriteTrusteesFrom(std::string(128, 'T') + ",JSmith.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n" +
                    "CORP," + std::string(257, 'O') + ",FS1,VOL1:\\Apps,Read\r\n" + "CORP," +
                    std::string(48, 'G') + ",OLD3,SYS:\\PUBLIC,Read\r\n" + std::string(127, 'T') +
                    ",Staff.SALES.MAIN,FS1,VOL1:\\Apps,Read\r\n");
  ASSERT_EQ(desktop.messages.size(), 5u);
  EXPECT_THAT(desktop.messages[0].text, HasSubstr("tree name"));
  EXPECT_THAT(desktop.messages[1].text, HasSubstr("object name"));
  EXPECT_THAT(desktop.messages[2].text, AllOf(HasSubstr("object name"), HasSubstr("47")));
  EXPECT_EQ(
      platform->Counter().Count("NWGetObjectID") + platform->Counter().Count("NWDSMapNameToID"), 1);
  // A 127-character tree name fits: the lookup runs (and finds no such tree).
  EXPECT_THAT(desktop.messages[3].text, StartsWith("Cannot find object"));
  EXPECT_EQ(desktop.messages[4], NotAll(4, 4));
  EXPECT_THAT(Dump("FS1", "VOL1"), IsEmpty());
}

}  // namespace
