// The help file format, and the help file Tolvane ships.

#include "app/help_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/temp_dir.h"

namespace help {
namespace {

using ::testing::HasSubstr;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Kind = Block::Kind;

// ---- the shipped help file ----

HelpFile Shipped() {
  const auto parsed = Parse(ReadFileBytes(TOLVANE_HELP_SOURCE));
  for (const auto& e : parsed.errors) ADD_FAILURE() << "line " << e.line << ": " << e.message;
  return parsed.file;
}

TEST(ShippedHelpFile, ParsesAndHoldsEveryTopicTheWindowNames) {
  const HelpFile file = Shipped();
  ASSERT_NE(file.Find(file.contents), nullptr);
  for (int topic : {2, 3, 5, 10, 11, 12, 13}) {
    const Topic* t = file.Find(topic);
    ASSERT_NE(t, nullptr) << "topic " << topic;
    // The first paragraph is the What's This pop-up: present and short.
    const std::string popup = PopupText(*t);
    EXPECT_FALSE(popup.empty()) << "topic " << topic;
    EXPECT_LE(popup.size(), 160u) << "topic " << topic << ": " << popup;
  }
  EXPECT_EQ(file.Find(2)->title, "The \"Read Trustees\" tab");
  EXPECT_EQ(file.Find(3)->title, "The \"Write Trustees\" tab");
}

TEST(ShippedHelpFile, NoLinkLeadsNowhereAndEveryTopicIsReachableFromTheContents) {
  const HelpFile file = Shipped();
  EXPECT_THAT(BrokenLinks(file), ::testing::IsEmpty());
  std::set<int> seen{file.contents};
  std::vector<int> todo{file.contents};
  while (!todo.empty()) {
    const Topic* t = file.Find(todo.back());
    todo.pop_back();
    if (!t) continue;
    for (const auto& b : t->blocks)
      for (const auto& s : b.spans)
        if (s.link && seen.insert(s.link).second) todo.push_back(s.link);
  }
  for (const auto& t : file.topics) EXPECT_TRUE(seen.count(t.number)) << "topic " << t.number;
}

TEST(ShippedHelpFile, ShowsTheExampleRecordAsItStands) {
  const HelpFile file = Shipped();
  bool found = false;
  for (const auto& t : file.topics)
    for (const auto& b : t.blocks)
      if (b.kind == Kind::Example && b.spans.front().text ==
                                         "CORP,JSmith.Sales.Main,FS1,VOL1:\\Users\\JSmith,"
                                         "Read-Write-Create-Delete-FileScan-Modify")
        found = true;
  EXPECT_TRUE(found);
}

TEST(ShippedHelpFile, TheBuildPutsItNextToTheProgram) {
  EXPECT_EQ(ReadFileBytes(TOLVANE_HELP_INSTALLED), ReadFileBytes(TOLVANE_HELP_SOURCE));
}

// ---- the format ----

struct BlockShape {
  Kind kind;
  std::vector<Span> spans;
  int line;
};

struct GoodCase {
  const char* name;
  std::string text;
  int contents;
  std::vector<int> numbers;
  std::vector<std::string> titles;
  std::vector<BlockShape> firstTopicBlocks;
};

class ParseGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(ParseGood, GivesTopicsAndBlocks) {
  const auto& c = GetParam();
  const auto parsed = Parse(c.text);
  ASSERT_TRUE(parsed.ok()) << "line " << parsed.errors.front().line << ": "
                           << parsed.errors.front().message;
  EXPECT_EQ(parsed.file.contents, c.contents);
  std::vector<int> numbers;
  std::vector<std::string> titles;
  for (const auto& t : parsed.file.topics) {
    numbers.push_back(t.number);
    titles.push_back(t.title);
  }
  EXPECT_EQ(numbers, c.numbers);
  EXPECT_EQ(titles, c.titles);
  const auto& blocks = parsed.file.topics.front().blocks;
  ASSERT_EQ(blocks.size(), c.firstTopicBlocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].kind, c.firstTopicBlocks[i].kind) << "block " << i;
    EXPECT_EQ(blocks[i].spans, c.firstTopicBlocks[i].spans) << "block " << i;
    EXPECT_EQ(blocks[i].line, c.firstTopicBlocks[i].line) << "block " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Format, ParseGood,
    ::testing::Values(
        GoodCase{"LinesJoinIntoOneParagraph",
                 "@topic 4 Four\nFirst line\n  second line\n",
                 4,
                 {4},
                 {"Four"},
                 {{Kind::Paragraph, {{"First line second line", 0}}, 2}}},
        GoodCase{"CrLfCommentsAndByteOrderMark",
                 "\xEF\xBB\xBF# note\r\n@topic 7   Seven  \r\n# inside\r\nText\r\n\r\n",
                 7,
                 {7},
                 {"Seven"},
                 {{Kind::Paragraph, {{"Text", 0}}, 4}}},
        GoodCase{"ContentsNamedLaterInTheFile",
                 "@topic 2 Two\nA\n@topic 9 Nine\nB\n@contents 9\n",
                 9,
                 {2, 9},
                 {"Two", "Nine"},
                 {{Kind::Paragraph, {{"A", 0}}, 2}}},
        GoodCase{"LinksAndLiteralBraces",
                 "@topic 1 One\nSee {topic 12:  GetTrustees } and {{x}}.\n",
                 1,
                 {1},
                 {"One"},
                 {{Kind::Paragraph, {{"See ", 0}, {"GetTrustees", 12}, {" and {x}.", 0}}, 2}}},
        GoodCase{"LinkAcrossALineBreak",
                 "@topic 1 One\nSee {topic 3: the\nWrite tab} now\n",
                 1,
                 {1},
                 {"One"},
                 {{Kind::Paragraph, {{"See ", 0}, {"the Write tab", 3}, {" now", 0}}, 2}}},
        GoodCase{"ListItemsWithContinuations",
                 "@topic 1 One\nIntro\n- first\n  goes on\n- {topic 2: second}\nafter\n",
                 1,
                 {1},
                 {"One"},
                 {{Kind::Paragraph, {{"Intro", 0}}, 2},
                  {Kind::ListItem, {{"first goes on", 0}}, 3},
                  {Kind::ListItem, {{"second", 2}, {" after", 0}}, 5}}},
        GoodCase{"ExamplesAreLiteral",
                 "@topic 1 One\nIntro\n    A,{b},C\n      indented\nback\n",
                 1,
                 {1},
                 {"One"},
                 {{Kind::Paragraph, {{"Intro", 0}}, 2},
                  {Kind::Example, {{"A,{b},C\n  indented", 0}}, 3},
                  {Kind::Paragraph, {{"back", 0}}, 5}}},
        GoodCase{
            "SectionsAndLargestNumber",
            "@topic 999999 Big\nIntro\n@section See {topic 1: one}\n@topic 1 One\nx\n",
            999999,
            {999999, 1},
            {"Big", "One"},
            {{Kind::Paragraph, {{"Intro", 0}}, 2}, {Kind::Section, {{"See ", 0}, {"one", 1}}, 3}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  const char* name;
  std::string text;
  int line;
  const char* message;
};

class ParseBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(ParseBad, NamesTheLineAndTheFault) {
  const auto& c = GetParam();
  const auto parsed = Parse(c.text);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.errors.front().line, c.line);
  EXPECT_THAT(parsed.errors.front().message, HasSubstr(c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Format, ParseBad,
    ::testing::Values(
        BadCase{"Empty", "", 1, "no topics"},
        BadCase{"OnlyComments", "# a\n\n# b\n", 1, "no topics"},
        BadCase{"TextBeforeFirstTopic", "\nHello\n@topic 1 One\nx\n", 2, "before the first"},
        BadCase{"TopicWithoutNumber", "@topic One\nx\n", 1, "number"},
        BadCase{"TopicZero", "@topic 0 Zero\nx\n", 1, "number"},
        BadCase{"TopicTooLarge", "@topic 1000000 Big\nx\n", 1, "number"},
        BadCase{"TopicNegative", "@topic -2 Minus\nx\n", 1, "number"},
        BadCase{"TopicWithoutTitle", "@topic 3\nx\n", 1, "no title"},
        BadCase{"DuplicateTopic", "@topic 3 A\nx\n@topic 3 B\ny\n", 3, "already defined at line 1"},
        BadCase{"TopicWithoutText", "@topic 3 A\n\n@topic 4 B\ny\n", 1, "begin with a paragraph"},
        BadCase{"TopicOpeningWithAList", "@topic 3 A\n- item\n", 1, "begin with a paragraph"},
        BadCase{"ContentsMissing", "@contents 8\n@topic 3 A\nx\n", 1, "not in the file"},
        BadCase{"ContentsTwice", "@contents 3\n@topic 3 A\nx\n@contents 3\n", 4, "already given"},
        BadCase{"UnknownDirective", "@topic 3 A\nx\n@include other\n", 3, "unknown directive"},
        BadCase{"LoneOpenBrace", "@topic 3 A\nx { y\n", 2, "'{{'"},
        BadCase{"LoneCloseBrace", "@topic 3 A\nx\ny } z\n", 3, "'}}'"},
        BadCase{"UnclosedLink", "@topic 3 A\nsee {topic 4: four\n", 2, "not closed"},
        BadCase{"LinkWithoutColon", "@topic 3 A\nsee {topic 4 four}\n", 2, "{topic N: text}"},
        BadCase{"LinkWithBadNumber", "@topic 3 A\nsee {topic x: four}\n", 2, "number"},
        BadCase{"LinkWithoutText", "@topic 3 A\nsee {topic 4: }\n", 2, "no text"},
        BadCase{"FaultOnALaterLineOfAParagraph", "@topic 3 A\nfine\nstill fine\nbad {\n", 4,
                "'{{'"},
        BadCase{"TabIndent", "@topic 3 A\nx\n\tcode\n", 3, "tabs"},
        BadCase{"BrokenUtf8", "@topic 3 A\nx\ncaf\xC3(\n", 3, "UTF-8"},
        BadCase{"OverlongUtf8", "@topic 3 A\n\xC0\xAF\n", 2, "UTF-8"},
        BadCase{"TruncatedUtf8AtEnd", "@topic 3 A\nx\xE2\x82", 2, "UTF-8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Parse, ARefusedTopicDoesNotDragItsLinesIntoOtherErrorsOrTopics) {
  const auto parsed = Parse("@topic 3 A\nx\n@topic 3 Again\ny\nz\n@topic 4 B\nw\n");
  ASSERT_EQ(parsed.errors.size(), 1u);
  EXPECT_EQ(parsed.errors[0].line, 3);
  ASSERT_EQ(parsed.file.topics.size(), 2u);
  EXPECT_EQ(parsed.file.topics[0].blocks.size(), 1u);  // "y" and "z" went nowhere
}

TEST(BrokenLinks, NamesTheTopicTheTargetAndTheLine) {
  const auto parsed = Parse(
      "@topic 1 One\nsee {topic 2: two}\n\n- {topic 7: seven}\n@topic 2 Two\n{topic 1: back}\n");
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(BrokenLinks(parsed.file), (std::vector<BrokenLink>{{1, 7, 4}}));
}

// ---- what the viewer shows ----

TEST(Html, EscapesTextAndBuildsLinksListsAndExamples) {
  const auto parsed =
      Parse("@topic 5 A <b> & \"c\"\n1 < 2 & {topic 6: <six>}\n- one\n- two\n    x<y>&z {q}\n");
  ASSERT_TRUE(parsed.ok());
  const std::string html = TopicHtml(parsed.file.topics[0]);
  EXPECT_THAT(html, HasSubstr("<h2>A &lt;b&gt; &amp; &quot;c&quot;</h2>"));
  EXPECT_THAT(html, HasSubstr("<p>1 &lt; 2 &amp; <a href=\"topic:6\">&lt;six&gt;</a></p>"));
  EXPECT_THAT(
      html, HasSubstr("<ul>\n<li>one</li>\n<li>two</li>\n</ul>\n<pre>x&lt;y&gt;&amp;z {q}</pre>"));
  EXPECT_EQ(PopupHtml(parsed.file.topics[0]),
            "<p><b>A &lt;b&gt; &amp; &quot;c&quot;</b></p><p>1 &lt; 2 &amp; &lt;six&gt;</p>");
}

// ---- finding and loading the file ----

TEST(FindFileIgnoringCase, MatchesTheNameInAnyCase) {
  TempDir dir;
  WriteFileBytes(dir / "Tolvane.HLP", "x");
  EXPECT_EQ(FindFileIgnoringCase(dir / "Tolvane.hlp"), dir / "Tolvane.HLP");
  EXPECT_EQ(FindFileIgnoringCase(dir / "TOLVANE.HLP"), dir / "Tolvane.HLP");
  EXPECT_EQ(FindFileIgnoringCase(dir / "Tolvane.HLP"), dir / "Tolvane.HLP");
  EXPECT_EQ(FindFileIgnoringCase(dir / "Tolvane.hl"), std::nullopt);
  EXPECT_EQ(FindFileIgnoringCase(dir / "missing" / "Tolvane.hlp"), std::nullopt);
  EXPECT_EQ(FindFileIgnoringCase(dir.path() / ""), std::nullopt);
}

TEST(FindFileIgnoringCase, PrefersTheExactNameAndIsStableAmongOthers) {
  TempDir dir;
  WriteFileBytes(dir / "tolvane.hlp", "a");
  WriteFileBytes(dir / "TOLVANE.HLP", "b");
  EXPECT_EQ(FindFileIgnoringCase(dir / "tolvane.hlp"), dir / "tolvane.hlp");
  EXPECT_EQ(FindFileIgnoringCase(dir / "Tolvane.Hlp"), dir / "TOLVANE.HLP");  // sorted first
}

TEST(LoadHelpFile, SaysWhatIsWrongAndNamesTheFile) {
  TempDir dir;
  const std::string missing = (dir / "Tolvane.hlp").string();
  auto loaded = LoadHelpFile(missing);
  EXPECT_FALSE(loaded.file);
  EXPECT_EQ(loaded.problem, "The help file " + missing + " cannot be found.");

  std::filesystem::create_directory(dir / "Folder.HLP");
  loaded = LoadHelpFile((dir / "folder.hlp").string());
  EXPECT_FALSE(loaded.file);
  EXPECT_THAT(loaded.problem, HasSubstr("is a folder"));

  WriteFileBytes(dir / "Tolvane.HLP", "@topic 1 One\nx {\n");
  loaded = LoadHelpFile(missing);
  EXPECT_FALSE(loaded.file);
  EXPECT_EQ(loaded.path, (dir / "Tolvane.HLP").string());
  EXPECT_THAT(loaded.problem, HasSubstr((dir / "Tolvane.HLP").string() + " is damaged (line 2:"));

  WriteFileBytes(dir / "Tolvane.HLP", "@topic 1 One\nfine\n");
  loaded = LoadHelpFile(missing);
  ASSERT_TRUE(loaded.file);
  EXPECT_EQ(loaded.problem, "");
  EXPECT_EQ(loaded.file->contents, 1);
}

}  // namespace
}  // namespace help
