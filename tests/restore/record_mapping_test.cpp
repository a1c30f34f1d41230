// The rewriting of records for a migration: --map-server, --map-volume, --map-tree.

#include "restore/record_mapping.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

using namespace ::testing;
using formats::RightsRecord;
using restore::MappedField;

const RightsRecord kRecord{"QARN", "JSmith.Sales.QARN", "FS1", "DATA:\\Shared\\Forms", "Read"};

// The mapping that options as the command line takes them make: "--map-server A=B ...".
restore::RecordMapping Mapping(const std::string& options) {
  const std::map<std::string, MappedField> fields = {{"--map-server", MappedField::kServer},
                                                     {"--map-volume", MappedField::kVolume},
                                                     {"--map-tree", MappedField::kTree}};
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
  std::string many;
  for (int i = 0; i < 7; ++i) many += " --map-server S" + std::to_string(i) + "=N";
  EXPECT_EQ(CheckMessage(many, {On("FS2", "SYS:")}),
            "--map-server S0=N, --map-server S1=N, --map-server S2=N, --map-server S3=N, "
            "--map-server S4=N and 2 more match no record of the file.");
}

}  // namespace
