#pragma once
// The help file: plain UTF-8 text of numbered topics, read by the help viewer and by
// What's This. No Qt here, so that the format can be tested on its own.
//
// The format, line by line (LF or CR LF line ends; a UTF-8 byte order mark is skipped):
//
//   # a comment          A line whose first character is '#' is ignored, anywhere.
//   @contents N          Names topic N as the contents topic (at most once; by default the
//                        first topic of the file).
//   @topic N Title       Starts topic N (a decimal number from 1 to 999999, unique in the
//                        file) with its title. Every other line belongs to the topic above it;
//                        only blank lines and comments may come before the first topic.
//   @section Title       A heading inside a topic.
//   - text               Starts a list item; the lines after it that are neither blank nor
//                        start a block of their own continue it.
//       text             A line indented by four spaces is an example line, kept as it
//                        stands (without the four spaces); consecutive example lines form
//                        one example.
//   text                 Any other line is paragraph text; consecutive lines join into one
//                        paragraph with single blanks. A blank line ends a paragraph, a list
//                        item or an example.
//
// In paragraphs, list items and section titles, {topic N: text} is a link to topic N that
// reads "text"; "{{" and "}}" stand for a literal "{" and "}". Example lines are literal.
// Every topic begins with a paragraph: that first paragraph is the topic's pop-up text.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace help {

// A run of text, or a link to another topic.
struct Span {
  std::string text;
  int link = 0;  // the topic linked to; 0 for plain text
  bool operator==(const Span&) const = default;
};

struct Block {
  enum class Kind { Paragraph, ListItem, Example, Section };
  Kind kind = Kind::Paragraph;
  std::vector<Span> spans;  // an example is one span holding its lines joined by "\n"
  int line = 0;             // where it starts in the file, from 1
};

struct Topic {
  int number = 0;
  std::string title;
  std::vector<Block> blocks;
  int line = 0;
};

struct HelpFile {
  int contents = 0;  // the contents topic's number
  std::vector<Topic> topics;

  const Topic* Find(int number) const;
};

struct ParseError {
  int line = 0;  // from 1
  std::string message;
};

struct ParseResult {
  HelpFile file;
  std::vector<ParseError> errors;  // empty when the text is a well-formed help file
  bool ok() const { return errors.empty(); }
};

ParseResult Parse(const std::string& text);

// A link from one topic to a topic the file does not hold.
struct BrokenLink {
  int from = 0;
  int to = 0;
  int line = 0;
  bool operator==(const BrokenLink&) const = default;
};
std::vector<BrokenLink> BrokenLinks(const HelpFile& file);

// The text of a topic's first paragraph, links reduced to their text.
std::string PopupText(const Topic& topic);

// The topic as an HTML page; links point at "topic:N".
std::string TopicHtml(const Topic& topic);
// The pop-up: the title in bold over the first paragraph, as HTML.
std::string PopupHtml(const Topic& topic);
std::string HtmlEscape(const std::string& text);

// The file at `path`, its name matched without regard to case when no entry carries it
// exactly (so "Tolvane.hlp" finds "Tolvane.HLP"); nothing when the folder holds no match.
std::optional<std::filesystem::path> FindFileIgnoringCase(const std::filesystem::path& path);

// A help file found (ignoring the case of its name), read and parsed; or, when any of that
// fails, a sentence for the user that names the file and what went wrong.
struct LoadedHelp {
  std::optional<HelpFile> file;
  std::string path;     // the file actually read, or the name asked for
  std::string problem;  // empty when `file` holds the help file
};
LoadedHelp LoadHelpFile(const std::string& path);

}  // namespace help
