// The difference of a rights file and the live assignments of its volumes.

#include "verify/rights_difference.h"

#include <gtest/gtest.h>

#include "formats/name_fold.h"

namespace {

using formats::RightsRecord;
using verify::Difference;
using verify::DifferenceKind;

RightsRecord R(const char* object, const char* directory, const char* rights,
               const char* server = "FS1", const char* tree = "T") {
  return {tree, object, server, directory, rights};
}

struct Case {
  const char* name;
  std::vector<RightsRecord> file;
  std::vector<RightsRecord> live;
  std::vector<Difference> expected;
};

TEST(RightsDifference, FindsChangedMissingAndExtraAssignments) {
  const Case cases[] = {
      {"keys and rights compare as the network does",
       {R("jsmith.o", "sys:/apps/", "read-filescan", "fs1", "t")},
       {R("JSmith.O", "SYS:\\Apps", "Read-FileScan", "FS1", "OTHER_TREE")},
       {}},
      {"the volume root written either way",
       {R("A.O", "SYS:\\", "Read")},
       {R("A.O", "SYS:", "Read")},
       {}},
      {"another server is another assignment",
       {R("A.O", "SYS:\\X", "Read", "FS1")},
       {R("A.O", "SYS:\\X", "Read", "FS2")},
       {{DifferenceKind::kMissing, R("A.O", "SYS:\\X", "Read", "FS1"), ""},
        {DifferenceKind::kExtra, R("A.O", "SYS:\\X", "Read", "FS2"), ""}}},
      {"the later of two records of one assignment counts",
       {R("A.O", "SYS:\\X", "Read"), R("a.o", "SYS:\\x", "Supervisor")},
       {R("A.O", "SYS:\\X", "Supervisor")},
       {}},
      {"grouped change, missing, extra; each sorted",
       {R("Z.O", "SYS:\\B", "Read"), R("Y.O", "SYS:\\A", "Read"), R("c.O", "SYS:\\A", "Read"),
        R("B.O", "SYS:\\A", "Read")},
       {R("X.O", "SYS:\\A", "Read"), R("c.O", "SYS:\\A", "Write"), R("B.O", "SYS:\\A", "Write"),
        R("W.O", "SYS:\\", "Read")},
       {{DifferenceKind::kChange, R("B.O", "SYS:\\A", "Read"), "Write"},
        {DifferenceKind::kChange, R("c.O", "SYS:\\A", "Read"), "Write"},
        {DifferenceKind::kMissing, R("Y.O", "SYS:\\A", "Read"), ""},
        {DifferenceKind::kMissing, R("Z.O", "SYS:\\B", "Read"), ""},
        {DifferenceKind::kExtra, R("W.O", "SYS:\\", "Read"), ""},
        {DifferenceKind::kExtra, R("X.O", "SYS:\\A", "Read"), ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(verify::CompareRecords(c.file, c.live), c.expected);
  }
}

TEST(RightsDifference, FailedRecordsAreOnePerAssignment) {
  EXPECT_EQ(verify::FailedRecords({R("A.O", "SYS:\\X", "Read"), R("a.o", "sys:\\x", "Write"),
                                   R("B.O", "SYS:", "Read")},
                                  "server down"),
            (std::vector<Difference>{
                {DifferenceKind::kFailed, R("B.O", "SYS:", "Read"), "server down"},
                {DifferenceKind::kFailed, R("a.o", "sys:\\x", "Write"), "server down"}}));
}

TEST(RightsDifference, SortsTheDifferencesOfSeveralVolumesAndTreesAsOne) {
  std::vector<Difference> differences = {
      {DifferenceKind::kFailed, R("A.O", "SYS:", "Read", "FS9"), "down"},
      {DifferenceKind::kExtra, R("B.O", "SYS:", "Read", "FS2"), ""},
      {DifferenceKind::kMissing, R("C.O", "SYS:", "Read", "FS2", "T2"), ""},
      {DifferenceKind::kMissing, R("C.O", "SYS:", "Read", "FS2", "t1"), ""},
      {DifferenceKind::kExtra, R("a.o", "SYS:", "Read", "fs1"), ""},
      {DifferenceKind::kFailed, R("A.O", "DATA:", "Read", "FS9"), "down"},
      {DifferenceKind::kChange, R("Z.O", "SYS:", "Read", "FS3"), "Write"},
      {DifferenceKind::kMissing, R("C.O", "sys:/a", "Read", "FS2"), ""},
  };
  verify::SortDifferences(differences);
  std::vector<std::string> order;
  for (const Difference& d : differences) {
    order.push_back(d.record.server + " " + d.record.directory + " " + d.record.tree);
  }
  EXPECT_EQ(order,
            (std::vector<std::string>{"FS3 SYS: T", "FS2 SYS: t1", "FS2 SYS: T2", "FS2 sys:/a T",
                                      "fs1 SYS: T", "FS2 SYS: T", "FS9 DATA: T", "FS9 SYS: T"}));
}

TEST(NameFold, FoldsTheLettersOfTheCodePage) {
  const std::pair<const char*, const char*> cases[] = {
      {"PMüller", "PMÜLLER"},
      {"šœžÿ", "ŠŒŽŸ"},
      {"÷", "÷"},             // no letter
      {"łukasz", "łUKASZ"}};  // beyond the code page only ASCII folds
  for (const auto& [name, folded] : cases) EXPECT_EQ(formats::FoldName(name), folded) << name;
}

}  // namespace
