// The help file format, and the help file Tolvane ships.

#include "app/help_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace help {
namespace {

using ::testing::HasSubstr;
using testing_support::ReadFileBytes;
using Kind = Block::Kind;

TEST(ShippedHelpFile, HoldsEveryTopicTheWindowNamesAndNoLinkLeadsNowhere) {
  const auto parsed = Parse(ReadFileBytes(TOLVANE_HELP_SOURCE));
  for (const auto& e : parsed.errors) ADD_FAILURE() << "line " << e.line << ": " << e.message;
  const HelpFile& file = parsed.file;
  ASSERT_NE(file.Find(file.contents), nullptr);
  for (int topic : {2, 3, 5, 10, 11, 12, 13}) {
    const Topic* t = file.Find(topic);
    ASSERT_NE(t, nullptr) << "topic " << topic;
    // The first paragraph is the What's This pop-up: present and short.
    EXPECT_FALSE(PopupText(*t).empty()) << "topic " << topic;
    EXPECT_LE(PopupText(*t).size(), 160u) << "topic " << topic;
  }
  EXPECT_EQ(file.Find(2)->title, "The \"Read Trustees\" tab");
  EXPECT_EQ(file.Find(3)->title, "The \"Write Trustees\" tab");
  EXPECT_THAT(BrokenLinks(file), ::testing::IsEmpty());
  // The build puts it next to the program.
  EXPECT_EQ(ReadFileBytes(TOLVANE_HELP_INSTALLED), ReadFileBytes(TOLVANE_HELP_SOURCE));
}

TEST(Parse, GivesTopicsAndBlocks) {
  struct Case {
    std::string text;
    std::vector<std::pair<Kind, std::vector<Span>>> blocks;  // of the first topic
  } cases[] = {
      {"\xEF\xBB\xBF# note\r\n@topic 7   Seven  \r\nFirst line\r\n  second\r\n\r\n",
       {{Kind::Paragraph, {{"First line second", 0}}}}},
      {"@topic 1 One\nSee {topic 12:  Get\nTrustees } and {{x}}.\n",
       {{Kind::Paragraph, {{"See ", 0}, {"Get Trustees", 12}, {" and {x}.", 0}}}}},
      {"@topic 1 One\nIntro\n- first\n  goes on\n- {topic 2: second}\n    A,{b},C\n      x\n",
       {{Kind::Paragraph, {{"Intro", 0}}},
        {Kind::ListItem, {{"first goes on", 0}}},
        {Kind::ListItem, {{"second", 2}}},
        {Kind::Example, {{"A,{b},C\n  x", 0}}}}},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.text);
    ASSERT_TRUE(parsed.ok()) << c.text << ": " << parsed.errors.front().message;
    std::vector<std::pair<Kind, std::vector<Span>>> blocks;
    for (const auto& b : parsed.file.topics.front().blocks) blocks.emplace_back(b.kind, b.spans);
    EXPECT_EQ(blocks, c.blocks) << c.text;
  }
  const auto two = Parse("@topic 2 Two\nA\n@topic 9 Nine\nB\n@contents 9\n").file;
  EXPECT_EQ(two.contents, 9);
  EXPECT_EQ(two.Find(9)->title, "Nine");
}

TEST(Parse, NamesTheLineAndTheFault) {
  struct Case {
    std::string text;
    int line;
    const char* message;
  } cases[] = {
      {"# a\n", 1, "no topics"},
      {"\nHello\n@topic 1 One\nx\n", 2, "before the first"},
      {"@topic 0 Zero\nx\n", 1, "number"},
      {"@topic 3 A\nx\n@topic 3 B\ny\n", 3, "already defined at line 1"},
      {"@topic 3 A\n- item\n", 1, "begin with a paragraph"},
      {"@topic 3 A\nx\ny } z\n", 3, "'}}'"},
      {"@topic 3 A\nsee {topic 4: four\n", 2, "not closed"},
      {"@topic 3 A\nx\ncaf\xC3(\n", 3, "UTF-8"},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.text);
    ASSERT_FALSE(parsed.ok()) << c.text;
    EXPECT_EQ(parsed.errors.front().line, c.line) << c.text;
    EXPECT_THAT(parsed.errors.front().message, HasSubstr(c.message)) << c.text;
  }
  const auto broken =
      Parse("@topic 1 One\nsee {topic 2: two}\n\n- {topic 7: seven}\n@topic 2 T\nx\n");
  EXPECT_EQ(BrokenLinks(broken.file), (std::vector<BrokenLink>{{1, 7, 4}}));
}

TEST(Html, EscapesTextAndBuildsLinksListsAndExamples) {
  const Topic topic =
      Parse("@topic 5 A<&\"\n1 {topic 6: <six>}\n\nTwo\n- one\n    x<y> {q}\n").file.topics.at(0);
  EXPECT_EQ(TopicHtml(topic),
            "<html><body><h2>A&lt;&amp;&quot;</h2>\n<p>1 <a "
            "href=\"topic:6\">&lt;six&gt;</a></p>\n<p>Two</p>\n"
            "<ul>\n<li>one</li>\n</ul>\n<pre>x&lt;y&gt; {q}</pre>\n</body></html>\n");
  EXPECT_EQ(PopupHtml(topic), "<p><b>A&lt;&amp;&quot;</b></p><p>1 &lt;six&gt;</p>");
}

}  // namespace
}  // namespace help
