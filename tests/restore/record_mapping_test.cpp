// The rewriting of records for a migration: --map-server, --map-volume, --map-tree.

#include "restore/record_mapping.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using formats::RightsRecord;
using restore::MappedField;

const RightsRecord kRecord{"QARN", "JSmith.Sales.QARN", "FS1", "DATA:\\Shared\\Forms", "Read"};

struct Given {
  MappedField field;
  const char* mapping;
};

TEST(RecordMapping, RewritesTheNamedFieldsWithoutRegardToCaseAndOnlyOnce) {
  const std::tuple<std::vector<Given>, RightsRecord, RightsRecord> cases[] = {
      {{}, kRecord, kRecord},
      {{{MappedField::kServer, "fs1=FS9"}},
       kRecord,
       {"QARN", "JSmith.Sales.QARN", "FS9", "DATA:\\Shared\\Forms", "Read"}},
      {{{MappedField::kVolume, "data=ARCHIVE"}},
       kRecord,
       {"QARN", "JSmith.Sales.QARN", "FS1", "ARCHIVE:\\Shared\\Forms", "Read"}},
      {{{MappedField::kTree, "Qarn=NEWTREE"}},
       kRecord,
       {"NEWTREE", "JSmith.Sales.QARN", "FS1", "DATA:\\Shared\\Forms", "Read"}},
      // The volume root, and a directory that names no volume.
      {{{MappedField::kVolume, "DATA=VOL1"}},
       {"T", "O", "FS1", "DATA:", "Read"},
       {"T", "O", "FS1", "VOL1:", "Read"}},
      {{{MappedField::kVolume, "DATA=VOL1"}},
       {"T", "O", "FS1", "DATA\\x", "Read"},
       {"T", "O", "FS1", "DATA\\x", "Read"}},
      // Only the head of the directory is the volume; the object is never touched.
      {{{MappedField::kVolume, "SHARED=X"}, {MappedField::kServer, "JSmith=X"}}, kRecord, kRecord},
      // Another server or volume is left alone; a volume that only begins alike too.
      {{{MappedField::kServer, "FS2=FS9"}, {MappedField::kVolume, "DAT=X"}}, kRecord, kRecord},
      // Each field once, never along a chain: A=B with B=A swaps.
      {{{MappedField::kServer, "FS1=FS2"}, {MappedField::kServer, "FS2=FS1"}},
       kRecord,
       {"QARN", "JSmith.Sales.QARN", "FS2", "DATA:\\Shared\\Forms", "Read"}},
      // The same name is a no-op, and so is a repeated mapping.
      {{{MappedField::kServer, "FS1=FS1"}, {MappedField::kServer, "fs1=FS1"}}, kRecord, kRecord},
      {{{MappedField::kServer, "FS1=FS9"},
        {MappedField::kVolume, "DATA=APPS"},
        {MappedField::kTree, "QARN=T2"}},
       kRecord,
       {"T2", "JSmith.Sales.QARN", "FS9", "APPS:\\Shared\\Forms", "Read"}},
  };
  for (const auto& [given, record, expected] : cases) {
    restore::RecordMapping mapping;
    for (const Given& one : given) mapping.Add(one.field, one.mapping);
    SCOPED_TRACE(record.directory + (given.empty() ? "" : std::string(" ") + given[0].mapping));
    EXPECT_EQ(mapping.Apply(record), expected);
    EXPECT_EQ(mapping.Empty(), given.empty());
  }
}

TEST(RecordMapping, RefusesMalformedMappingsWithTheReason) {
  const std::tuple<MappedField, const char*, const char*> cases[] = {
      {MappedField::kServer, "FS1", "--map-server \"FS1\" must have the form OLD=NEW"},
      {MappedField::kServer, "FS1=FS2=FS3", "with one \"=\""},
      {MappedField::kServer, "=FS2", "the OLD name is empty"},
      {MappedField::kVolume, "SYS=", "--map-volume \"SYS=\": the NEW name is empty"},
      {MappedField::kVolume, "SYS=VOL:1", "holds a \"\\\", \"/\" or \":\""},
      {MappedField::kServer, "FS1=\\\\FS2", "holds a \"\\\", \"/\" or \":\""},
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
      EXPECT_THAT(e.what(), ::testing::HasSubstr(message));
    }
    EXPECT_TRUE(mapping.Empty());
  }
}

TEST(RecordMapping, RefusesOneNameMappedToTwo) {
  restore::RecordMapping mapping;
  mapping.Add(MappedField::kVolume, "SYS=VOL1");
  EXPECT_THROW(mapping.Add(MappedField::kVolume, "sys=VOL2"), restore::MappingError);
  // The same OLD for another field is another mapping.
  EXPECT_NO_THROW(mapping.Add(MappedField::kServer, "SYS=VOL2"));
  EXPECT_EQ(mapping.Apply({"T", "O", "SYS", "SYS:\\A", "Read"}),
            (RightsRecord{"T", "O", "VOL2", "VOL1:\\A", "Read"}));
}

}  // namespace
