#include "capture/trustee_path.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace capture {
namespace {

// Answers from a table and records every lookup path it is asked for.
class FakeListing : public nw::FileListing {
 public:
  explicit FakeListing(std::map<std::string, std::string> names = {}) : names_(names) {}
  std::string Dir(const std::string& path) override {
    asked.push_back(path);
    const auto found = names_.find(path);
    return found == names_.end() ? "" : found->second;
  }
  std::vector<std::string> asked;

 private:
  std::map<std::string, std::string> names_;
};

struct PathCase {
  const char* name;
  std::string returned;
  std::map<std::string, std::string> listing;
  std::string trusteePath;
};

class TrusteePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(TrusteePathTest, RebuildsThePathUnderTheHead) {
  FakeListing listing(GetParam().listing);
  EXPECT_EQ(BuildTrusteePath(GetParam().returned, "FS1", "VOL1", listing), GetParam().trusteePath);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, TrusteePathTest,
    testing::Values(
        PathCase{"Example",
                 "VOL1:USERS/JSMITH",
                 {{"\\\\FS1\\VOL1\\USERS", "Users"}, {"\\\\FS1\\VOL1\\USERS\\JSMITH", "JSmith"}},
                 "\\\\FS1\\VOL1:\\Users\\JSmith"},
        PathCase{"NotFoundKeepsReturnedName",
                 "VOL1:USERS/GONE/SUB",
                 {{"\\\\FS1\\VOL1\\USERS", "Users"}},
                 "\\\\FS1\\VOL1:\\Users\\GONE\\SUB"},
        PathCase{"NotFoundInTheMiddle",
                 "VOL1:A/HIDDEN/C",
                 {{"\\\\FS1\\VOL1\\A", "a"}, {"\\\\FS1\\VOL1\\A\\HIDDEN\\C", "c"}},
                 "\\\\FS1\\VOL1:\\a\\HIDDEN\\c"},
        // Even a listing that answers for the bare volume does not add it after the head.
        PathCase{"VolumeRoot", "VOL1:", {{"\\\\FS1\\VOL1", "VOL1"}}, "\\\\FS1\\VOL1:"},
        PathCase{"VolumeAlone", "VOL1", {{"\\\\FS1\\VOL1", "VOL1"}}, "\\\\FS1\\VOL1:"},
        PathCase{"MixedSeparators",
                 "VOL1:APPS:DATA/X",
                 {{"\\\\FS1\\VOL1\\APPS", "Apps"},
                  {"\\\\FS1\\VOL1\\APPS\\DATA", "Data"},
                  {"\\\\FS1\\VOL1\\APPS\\DATA\\X", "x"}},
                 "\\\\FS1\\VOL1:\\Apps\\Data\\x"},
        PathCase{"BackslashSeparators",
                 "VOL1:\\APPS\\DATA",
                 {{"\\\\FS1\\VOL1\\APPS", "Apps"}, {"\\\\FS1\\VOL1\\APPS\\DATA", "Data"}},
                 "\\\\FS1\\VOL1:\\Apps\\Data"},
        PathCase{"EmptyComponentsPassedOver",
                 "VOL1://APPS//DATA/",
                 {{"\\\\FS1\\VOL1\\APPS", "Apps"}, {"\\\\FS1\\VOL1\\APPS\\DATA", "Data"}},
                 "\\\\FS1\\VOL1:\\Apps\\Data"},
        PathCase{"NameWithComma",
                 "VOL1:SALES,EAST",
                 {{"\\\\FS1\\VOL1\\SALES,EAST", "Sales,East"}},
                 "\\\\FS1\\VOL1:\\Sales,East"}),
    [](const testing::TestParamInfo<PathCase>& info) { return info.param.name; });

TEST(TrusteePath, LooksUpEachComponentUnderTheFullPathUpToIt) {
  FakeListing listing;
  BuildTrusteePath("VOL1:USERS/JSMITH", "FS1", "VOL1", listing);
  EXPECT_EQ(listing.asked,
            (std::vector<std::string>{"\\\\FS1\\VOL1\\USERS", "\\\\FS1\\VOL1\\USERS\\JSMITH"}));
}

class DeepPathTest : public testing::TestWithParam<int> {};

TEST_P(DeepPathTest, HandlesAnyNumberOfComponents) {
  const int components = GetParam();  // the volume included
  std::string returned = "VOL1:";
  std::string expected = "\\\\FS1\\VOL1:";
  std::string lookup = "\\\\FS1\\VOL1";
  std::map<std::string, std::string> names;
  for (int k = 2; k <= components; ++k) {
    const std::string dir = "D" + std::to_string(k);
    returned += (k == 2 ? "" : "/") + dir;
    lookup += "\\" + dir;
    names[lookup] = "d" + std::to_string(k);
    expected += "\\d" + std::to_string(k);
  }
  FakeListing listing(names);
  EXPECT_EQ(BuildTrusteePath(returned, "FS1", "VOL1", listing), expected);
  EXPECT_EQ(listing.asked.size(), static_cast<std::size_t>(components - 1));
}

INSTANTIATE_TEST_SUITE_P(Depths, DeepPathTest, testing::Values(2, 29, 30, 31, 32, 200));

}  // namespace
}  // namespace capture
