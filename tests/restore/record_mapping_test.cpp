// The rewriting of records for a migration: --map-server, --map-volume, --map-tree,
// --map-object, --map-context and the mapping file.

#include "restore/record_mapping.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "support/temp_dir.h"

namespace {

using namespace ::testing;
using formats::RightsRecord;
using restore::MappedField;

const RightsRecord kRecord{"QARN", "JSmith.Sales.QARN", "FS1", "DATA:\\Shared\\Forms", "Read"};

// The mapping that options as the command line takes them make: "--map-server A=B ...".
restore::RecordMapping Mapping(const std::string& options) {
  const std::map<std::string, MappedField> fields = {{"--map-server", MappedField::kServer},
                                                     {"--map-volume", MappedField::kVolume},
                                                     {"--map-tree", MappedField::kTree},
                                                     {"--map-object", MappedField::kObject},
                                                     {"--map-context", MappedField::kContext}};
  restore::RecordMapping mapping;
  std::istringstream words(options);
  for (std::string option, value; words >> option >> value;) mapping.Add(fields.at(option), value);
  return mapping;
}

// kRecord on another directory, server or tree.
RightsRecord At(const char* directory, const char* server = "FS1", const char* tree = "QARN") {
  return {tree, kRecord.object, server, directory, kRecord.rights};
}

TEST(RecordMapping, RewritesTheNamedFieldsWithoutRegardToCase) {
  const std::tuple<std::string, RightsRecord, RightsRecord> cases[] = {
      {{}, kRecord, kRecord},
      {"--map-server fs1=FS9 --map-volume data=APPS --map-tree qarn=T2", kRecord,
       At("APPS:\\Shared\\Forms", "FS9", "T2")},
      // The volume root, and a directory that names no volume.
      {"--map-volume DATA=VOL1", At("DATA:"), At("VOL1:")},
      {"--map-volume DATA=VOL1", At("DATA\\x"), At("DATA\\x")},
      // Only the directory's head is its volume; objects stay; a name that begins alike is another.
      {"--map-volume SHARED=X --map-server JSmith=X --map-volume DAT=X", kRecord, kRecord},
      // The same name is a no-op, and so is a repeated mapping.
      {"--map-server FS1=FS1 --map-server fs1=FS1", kRecord, kRecord},
      // The same OLD for another field is another mapping.
      {"--map-server DATA=FS9 --map-volume data=FS1", kRecord, At("FS1:\\Shared\\Forms")},
  };
  for (const auto& [given, record, expected] : cases) {
    const restore::RecordMapping mapping = Mapping(given);
    SCOPED_TRACE(record.directory + " " + given);
    EXPECT_EQ(mapping.Apply(record), expected);
    EXPECT_EQ(mapping.Empty(), given.empty());
  }
}

TEST(RecordMapping, RefusesMalformedMappingsWithTheReason) {
  const std::tuple<MappedField, const char*, const char*> cases[] = {
      {MappedField::kServer, "FS1=FS2=FS3", "with one \"=\""},
      {MappedField::kServer, "=FS2", "the OLD name is empty"},
      {MappedField::kVolume, "SYS=VOL:1", "holds a \"\\\", \"/\" or \":\""},
      {MappedField::kTree, "T=A,B", "holds a \",\" or a double quote"},
      {MappedField::kTree, "T= B", "begins or ends with a blank"},
      {MappedField::kTree, "T=B\r", "control character"},
  };
  for (const auto& [field, given, message] : cases) {
    SCOPED_TRACE(given);
    restore::RecordMapping mapping;
    try {
      mapping.Add(field, given);
      ADD_FAILURE() << "accepted";
    } catch (const restore::MappingError& e) {
      EXPECT_THAT(e.what(), HasSubstr(message));
    }
    EXPECT_TRUE(mapping.Empty());
  }
}

// Runs `records` through a check of `given`; the message it refuses with, or "".
std::string CheckMessage(const std::string& given, const std::vector<RightsRecord>& records) {
  const restore::RecordMapping mapping = Mapping(given);
  restore::MappingCheck check(mapping);
  for (const RightsRecord& record : records) {
    EXPECT_EQ(check.Add(record), mapping.Apply(record));
  }
  try {
    check.Finish();
  } catch (const restore::MappingError& e) {
    return e.what();
  }
  return "";
}

// kRecord for another object.
RightsRecord Of(const char* object) {
  return {kRecord.tree, object, kRecord.server, kRecord.directory, kRecord.rights};
}

TEST(RecordMapping, MapsWholeObjectsAndTheContextsAtTheEndOfTheirNames) {
  const std::tuple<std::string, const char*, const char*> cases[] = {
      {"--map-object jsmith.sales.qarn=JS.NordLab", "JSmith.Sales.QARN", "JS.NordLab"},
      {"--map-context Sales.HQ.QARN=Sales.NordLab", "JSmith.Sales.HQ.QARN", "JSmith.Sales.NordLab"},
      // The container itself is the whole of its name.
      {"--map-context sales.hq.qarn=Sales.NordLab", "Sales.HQ.QARN", "Sales.NordLab"},
      // Only whole parts at the end: not the middle, not the end of a part, not the head.
      {"--map-context HQ=X", "JSmith.HQ.QARN", "JSmith.HQ.QARN"},
      {"--map-context Q.QARN=X", "JSmith.HQ.QARN", "JSmith.HQ.QARN"},
      {"--map-context QARN=NordLab", "JSmith.HQ.QARN", "JSmith.HQ.NordLab"},
      // The longest context that matches wins, whichever was given first.
      {"--map-context QARN=T2 --map-context HQ.QARN=Oslo.T2", "JSmith.HQ.QARN", "JSmith.Oslo.T2"},
      {"--map-context HQ.QARN=Oslo.T2 --map-context QARN=T2", "Ann.Sales.QARN", "Ann.Sales.T2"},
      // An object mapping goes before any context mapping.
      {"--map-context HQ.QARN=X --map-object JSmith.HQ.QARN=J.Y", "JSmith.HQ.QARN", "J.Y"},
      {"--map-context HQ.QARN=X --map-object JSmith.HQ.QARN=J.Y", "Ann.HQ.QARN", "Ann.X"},
      // Never along a chain; a bindery name without dots is an object like any other.
      {"--map-object A=B --map-object B=C", "A", "B"},
      {"--map-context A=B --map-context B.C=D", "X.A", "X.B"},
      // The head keeps its spelling though folding changes a letter's length (ß).
      {"--map-context Q=R", "Straße.Q", "Straße.R"},
  };
  for (const auto& [given, object, expected] : cases) {
    SCOPED_TRACE(given + " " + object);
    EXPECT_EQ(Mapping(given).Apply(Of(object)), Of(expected));
  }
}

// Where the mapping files of these tests are written.
const testing_support::TempDir& Temp() {
  static const testing_support::TempDir temp;
  return temp;
}

// A mapping file m.txt with `text` read into `mapping`; the refusal, its folder left out.
std::string FromFile(const std::string& text, restore::RecordMapping* mapping) {
  const auto file = Temp() / "m.txt";
  std::ofstream(file, std::ios::binary) << text;
  try {
    mapping->AddFile(file);
  } catch (const restore::MappingError& e) {
    std::string message = e.what();
    const std::string folder = Temp().path().string() + "/";
    return message.replace(message.find(folder), folder.size(), "");
  }
  return "";
}

TEST(RecordMapping, ReadsAMappingFileOneMappingALine) {
  restore::RecordMapping mapping;
  EXPECT_EQ(FromFile("# the move to NordLab\r\n"
                     "server FS1=FS3\r\n"
                     "\n"
                     "  VOLUME\tDATA=VOL1 \n"
                     "tree QARN=NORDLAB\n"
                     "object Boss.QARN=Chief Officer.NordLab\n"
                     "context Sales.HQ.QARN=Sales.NordLab\n",
                     &mapping),
            "");
  EXPECT_EQ(mapping.Apply(RightsRecord{"QARN", "JSmith.Sales.HQ.QARN", "FS1", "DATA:\\X", "Read"}),
            (RightsRecord{"NORDLAB", "JSmith.Sales.NordLab", "FS3", "VOL1:\\X", "Read"}));
  EXPECT_EQ(mapping.Apply(Of("Boss.QARN")).object, "Chief Officer.NordLab");

  const std::tuple<const char*, const char*> refused[] = {
      {"server FS1=FS3\nservre FS2=FS3\n",
       "m.txt, line 2: \"servre FS2=FS3\" is no mapping (server, volume, tree, object or context"},
      {"context\n", "m.txt, line 1: \"context\" is no mapping"},
      {"\n\nvolume SYS=VOL:1\n", "m.txt, line 3: volume \"SYS=VOL:1\": the NEW name holds"},
      {"context .Sales.QARN=X\n",
       "m.txt, line 1: context \".Sales.QARN=X\": the OLD name has an "
       "empty part between its dots."},
      {"object A=B\nobject a=C\n",
       "m.txt, line 2: object \"a=C\": \"a\" is already mapped to \"B\"."},
      {"tree T\n", "m.txt, line 1: tree \"T\" must have the form OLD=NEW"},
  };
  for (const auto& [text, message] : refused) {
    SCOPED_TRACE(text);
    restore::RecordMapping bad;
    EXPECT_THAT(FromFile(text, &bad), HasSubstr(message));
  }
  restore::RecordMapping none;
  EXPECT_THROW(none.AddFile("/nonexistent/m.txt"), restore::MappingError);
}

RightsRecord On(const char* server, const char* directory, const char* object = "A.O",
                const char* tree = "T") {
  return {tree, object, server, directory, "Read"};
}

TEST(MappingCheck, RefusesRecordsTheMappingMakesOne) {
  const std::tuple<const char*, std::string, std::vector<RightsRecord>, const char*> cases[] = {
      {"two names onto one",
       "--map-server FS1=FS3 --map-server FS2=FS3",
       {On("FS1", "DATA:\\X"), On("FS2", "DATA:\\X")},
       "record 1 by --map-server FS1=FS3, record 2 by --map-server FS2=FS3."},
      {"names compared as the network compares them",
       "--map-server FS1=FS2",
       {On("fs2", "data:/x/", "a.o", "t"), On("FS1", "DATA:\\X")},
       "records 1 and 2"},
      {"a tree, with every mapping of the record named",
       "--map-tree T1=T2 --map-server FS1=FS2",
       {On("FS2", "SYS:", "A.O", "T2"), On("FS1", "SYS:", "A.O", "T1")},
       "record 2 by --map-server FS1=FS2 and --map-tree T1=T2."},
      {"the first collision in the file is the one reported",
       "--map-server FS1=FS2",
       {On("FS1", "SYS:", "A.O"), On("FS2", "SYS:", "B.O"), On("FS2", "SYS:", "A.O"),
        On("FS1", "SYS:", "B.O")},
       "records 1 and 3"},
      {"records that named one assignment already",
       "--map-server FS1=FS2",
       {On("FS1", "SYS:\\X"), On("fs1", "sys:/x")},
       ""},
      {"a duplicate of the file beside a mapped record",
       "--map-server FS1=FS2",
       {On("FS2", "SYS:"), On("FS2", "SYS:"), On("FS9", "SYS:")},
       "--map-server FS1=FS2 matches no record"},
      {"two objects onto one",
       "--map-object A.O=C.P --map-context X=P",
       {On("FS1", "SYS:", "A.O"), On("FS1", "SYS:", "C.X")},
       "record 1 by --map-object A.O=C.P, record 2 by --map-context X=P."},
      {"a context onto an object that stands",
       "--map-context OLD.O=O",
       {On("FS1", "SYS:", "A.O"), On("FS1", "SYS:", "A.OLD.O")},
       "records 1 and 2"},
      {"another object, directory or tree stays apart",
       "--map-server FS1=FS2",
       {On("FS1", "SYS:", "A.O"), On("FS2", "SYS:", "B.O"), On("FS2", "SYS:\\X", "A.O"),
        On("FS2", "SYS:", "A.O", "T2")},
       ""},
  };
  for (const auto& [name, given, records, message] : cases) {
    SCOPED_TRACE(name);
    const std::string refused = CheckMessage(given, records);
    if (*message == '\0') {
      EXPECT_EQ(refused, "");
    } else {
      EXPECT_THAT(refused, HasSubstr(message));
    }
  }
}

TEST(MappingCheck, RefusesAMappingThatMatchesNoRecord) {
  const std::tuple<std::string, std::vector<RightsRecord>, std::string> cases[] = {
      {"--map-server FS2=FS3 --map-volume SY=X --map-tree T=U --map-tree Q=R",
       {On("FS2", "SYS:")},
       "--map-volume SY=X and --map-tree Q=R match no record of the file."},
      // Only the head of the directory is a volume.
      {"--map-volume X=Y",
       {On("FS2", "SYS:\\X")},
       "--map-volume X=Y matches no record of the file."},
  };
  for (const auto& [given, records, message] : cases) {
    EXPECT_EQ(CheckMessage(given, records), message);
  }
  restore::RecordMapping fromFile;
  ASSERT_EQ(FromFile("context Sales.QARN=S.N\nobject B.O=C.O\n", &fromFile), "");
  restore::MappingCheck check(fromFile);
  check.Add(On("FS1", "SYS:", "B.O"));
  EXPECT_THAT([&] { check.Finish(); },
              Throws<restore::MappingError>(
                  Property(&restore::MappingError::what,
                           StrEq("context Sales.QARN=S.N (" + (Temp() / "m.txt").string() +
                                 ", line 1) matches no record of the file."))));
  std::string many;
  for (int i = 0; i < 7; ++i) many += " --map-server S" + std::to_string(i) + "=N";
  EXPECT_EQ(CheckMessage(many, {On("FS2", "SYS:")}),
            "--map-server S0=N, --map-server S1=N, --map-server S2=N, --map-server S3=N, "
            "--map-server S4=N and 2 more match no record of the file.");
}

}  // namespace
