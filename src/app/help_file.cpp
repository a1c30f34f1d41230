#include "app/help_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

namespace help {

namespace {

constexpr int kMaxTopic = 999999;
constexpr std::uintmax_t kMaxFileSize = 16u << 20;  // far beyond any help file
constexpr const char* kExampleIndent = "    ";

bool IsBlank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Offset of the first byte that breaks UTF-8, or npos. Overlong forms and surrogates count
// as broken, so that what the viewer shows is what the file says.
std::size_t FirstBadUtf8(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra;
    std::uint32_t min;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, cp = c & 0x07;
    } else {
      return i;
    }
    if (i + extra >= s.size()) return i;
    for (int k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += extra + 1;
  }
  return std::string::npos;
}

// A topic number: decimal digits only, 1 to kMaxTopic.
std::optional<int> ParseNumber(const std::string& s) {
  if (s.empty() || s.size() > 6) return std::nullopt;
  int n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 1 || n > kMaxTopic) return std::nullopt;
  return n;
}

// The lines of a block joined with single blanks, and where each line begins in the
// joined text, so that an error inside can name its own line.
struct JoinedText {
  std::string text;
  std::vector<std::pair<std::size_t, int>> starts;  // offset, line

  void Add(const std::string& piece, int line) {
    if (!text.empty()) text += ' ';
    starts.emplace_back(text.size(), line);
    text += piece;
  }
  int LineAt(std::size_t offset) const {
    int line = starts.empty() ? 0 : starts.front().second;
    for (const auto& [off, l] : starts)
      if (off <= offset) line = l;
    return line;
  }
};

void AddText(std::vector<Span>& spans, const std::string& text) {
  if (text.empty()) return;
  if (!spans.empty() && spans.back().link == 0)
    spans.back().text += text;
  else
    spans.push_back({text, 0});
}

// Splits running text into plain text and links; reports the first fault in it.
std::vector<Span> ParseInline(const JoinedText& joined, std::vector<ParseError>& errors) {
  const std::string& s = joined.text;
  std::vector<Span> spans;
  std::size_t i = 0;
  auto fail = [&](std::size_t at, const std::string& message) {
    errors.push_back({joined.LineAt(at), message});
  };
  while (i < s.size()) {
    const char c = s[i];
    if (c == '}') {
      if (i + 1 < s.size() && s[i + 1] == '}') {
        AddText(spans, "}");
        i += 2;
        continue;
      }
      fail(i, "a lone '}' must be written as '}}'");
      return spans;
    }
    if (c != '{') {
      const auto next = s.find_first_of("{}", i);
      const auto end = next == std::string::npos ? s.size() : next;
      AddText(spans, s.substr(i, end - i));
      i = end;
      continue;
    }
    if (i + 1 < s.size() && s[i + 1] == '{') {
      AddText(spans, "{");
      i += 2;
      continue;
    }
    // {topic N: text}
    const std::size_t start = i;
    const std::string head = "{topic ";
    if (s.compare(i, head.size(), head) != 0) {
      fail(start, "a '{' must begin a link {topic N: text} or be written as '{{'");
      return spans;
    }
    i += head.size();
    const auto colon = s.find(':', i);
    const auto close = s.find('}', i);
    if (close == std::string::npos) {
      fail(start, "a link is not closed with '}'");
      return spans;
    }
    if (colon == std::string::npos || colon > close) {
      fail(start, "a link must read {topic N: text}");
      return spans;
    }
    const auto number = ParseNumber(Trim(s.substr(i, colon - i)));
    if (!number) {
      fail(start, "a link's topic number must be a number from 1 to 999999");
      return spans;
    }
    const std::string text = Trim(s.substr(colon + 1, close - colon - 1));
    if (text.empty()) {
      fail(start, "a link has no text");
      return spans;
    }
    if (text.find('{') != std::string::npos) {
      fail(start, "a link's text cannot hold '{'");
      return spans;
    }
    spans.push_back({text, *number});
    i = close + 1;
  }
  return spans;
}

class Parser {
 public:
  ParseResult Run(const std::string& input) {
    std::string text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (const auto bad = FirstBadUtf8(text); bad != std::string::npos) {
      const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + bad, '\n'));
      result_.errors.push_back({line, "the text is not valid UTF-8"});
      return std::move(result_);
    }
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      Line(line, number);
    }
    CloseBlock();
    Finish();
    return std::move(result_);
  }

 private:
  enum class Open { None, Paragraph, ListItem, Example };

  void Line(const std::string& line, int number) {
    if (!line.empty() && line[0] == '#') return;
    if (IsBlank(line)) {
      CloseBlock();
      return;
    }
    if (line[0] == '@') {
      CloseBlock();
      Directive(line, number);
      return;
    }
    if (!inTopic_) {
      if (!refused_) Error(number, "text before the first @topic");
      return;
    }
    const std::string indent = line.substr(0, line.find_first_not_of(" \t"));
    if (indent.find('\t') != std::string::npos) {
      Error(number, "indent with spaces, not tabs");
      return;
    }
    if (line.compare(0, 4, kExampleIndent) == 0) {
      if (open_ != Open::Example) {
        CloseBlock();
        open_ = Open::Example;
        openLine_ = number;
      }
      example_.push_back(line.substr(4));
      return;
    }
    const std::string trimmed = Trim(line);
    if (trimmed.compare(0, 2, "- ") == 0) {
      CloseBlock();
      open_ = Open::ListItem;
      openLine_ = number;
      joined_.Add(Trim(trimmed.substr(2)), number);
      return;
    }
    if (open_ == Open::Example) CloseBlock();
    if (open_ == Open::None) {
      open_ = Open::Paragraph;
      openLine_ = number;
    }
    joined_.Add(trimmed, number);
  }

  void Directive(const std::string& line, int number) {
    const auto space = line.find_first_of(" \t");
    const std::string name = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : Trim(line.substr(space));
    if (name == "@topic") {
      const auto gap = rest.find_first_of(" \t");
      const auto n = ParseNumber(rest.substr(0, gap));
      const std::string title = gap == std::string::npos ? "" : Trim(rest.substr(gap));
      if (!n) {
        Error(number, "@topic needs a number from 1 to 999999");
        inTopic_ = false;
        refused_ = true;
        return;
      }
      if (title.empty()) Error(number, "topic " + std::to_string(*n) + " has no title");
      if (const auto seen = firstLine_.find(*n); seen != firstLine_.end()) {
        Error(number, "topic " + std::to_string(*n) + " is already defined at line " +
                          std::to_string(seen->second));
        inTopic_ = false;
        refused_ = true;
        return;
      }
      firstLine_[*n] = number;
      result_.file.topics.push_back({*n, title, {}, number});
      inTopic_ = true;
      refused_ = false;
      topicIndex_ = result_.file.topics.size() - 1;
      return;
    }
    if (name == "@contents") {
      const auto n = ParseNumber(rest);
      if (!n) {
        Error(number, "@contents needs a topic number from 1 to 999999");
      } else if (contentsLine_ != 0) {
        Error(number, "@contents is already given at line " + std::to_string(contentsLine_));
      } else {
        result_.file.contents = *n;
        contentsLine_ = number;
      }
      return;
    }
    if (name == "@section") {
      if (!inTopic_) {
        if (!refused_) Error(number, "@section before the first @topic");
        return;
      }
      if (rest.empty()) {
        Error(number, "@section has no title");
        return;
      }
      JoinedText joined;
      joined.Add(rest, number);
      Push({Block::Kind::Section, ParseInline(joined, result_.errors), number});
      return;
    }
    Error(number, "unknown directive " + name);
  }

  void CloseBlock() {
    switch (open_) {
      case Open::None:
        return;
      case Open::Paragraph:
      case Open::ListItem:
        Push({open_ == Open::Paragraph ? Block::Kind::Paragraph : Block::Kind::ListItem,
              ParseInline(joined_, result_.errors), openLine_});
        break;
      case Open::Example: {
        std::string text;
        for (std::size_t k = 0; k < example_.size(); ++k) text += (k ? "\n" : "") + example_[k];
        Push({Block::Kind::Example, {{text, 0}}, openLine_});
        break;
      }
    }
    open_ = Open::None;
    joined_ = {};
    example_.clear();
  }

  void Push(Block block) { result_.file.topics[topicIndex_].blocks.push_back(std::move(block)); }

  void Finish() {
    auto& file = result_.file;
    if (file.topics.empty()) {
      Error(1, "the file holds no topics");
      return;
    }
    for (const auto& t : file.topics) {
      if (t.blocks.empty() || t.blocks.front().kind != Block::Kind::Paragraph)
        Error(t.line, "topic " + std::to_string(t.number) + " does not begin with a paragraph");
    }
    if (contentsLine_ == 0) {
      file.contents = file.topics.front().number;
    } else if (!file.Find(file.contents)) {
      Error(contentsLine_,
            "the contents topic " + std::to_string(file.contents) + " is not in the file");
    }
    std::stable_sort(result_.errors.begin(), result_.errors.end(),
                     [](const ParseError& a, const ParseError& b) { return a.line < b.line; });
  }

  void Error(int line, const std::string& message) { result_.errors.push_back({line, message}); }

  ParseResult result_;
  bool inTopic_ = false;  // false before the first topic and after a refused one
  bool refused_ = false;  // the lines of a refused topic are passed over quietly
  std::size_t topicIndex_ = 0;
  std::map<int, int> firstLine_;
  int contentsLine_ = 0;
  Open open_ = Open::None;
  int openLine_ = 0;
  JoinedText joined_;
  std::vector<std::string> example_;
};

std::string SpansHtml(const std::vector<Span>& spans, bool links) {
  std::string html;
  for (const auto& s : spans) {
    if (s.link != 0 && links)
      html += "<a href=\"topic:" + std::to_string(s.link) + "\">" + HtmlEscape(s.text) + "</a>";
    else
      html += HtmlEscape(s.text);
  }
  return html;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) {
      return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

const Topic* HelpFile::Find(int number) const {
  for (const auto& t : topics)
    if (t.number == number) return &t;
  return nullptr;
}

ParseResult Parse(const std::string& text) { return Parser().Run(text); }

std::vector<BrokenLink> BrokenLinks(const HelpFile& file) {
  std::vector<BrokenLink> broken;
  for (const auto& t : file.topics)
    for (const auto& b : t.blocks)
      for (const auto& s : b.spans)
        if (s.link != 0 && !file.Find(s.link)) broken.push_back({t.number, s.link, b.line});
  return broken;
}

std::string PopupText(const Topic& topic) {
  std::string text;
  if (topic.blocks.empty() || topic.blocks.front().kind != Block::Kind::Paragraph) return text;
  for (const auto& s : topic.blocks.front().spans) text += s.text;
  return text;
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string TopicHtml(const Topic& topic) {
  std::string html = "<html><body><h2>" + HtmlEscape(topic.title) + "</h2>\n";
  bool inList = false;
  for (const auto& b : topic.blocks) {
    if (b.kind != Block::Kind::ListItem && inList) {
      html += "</ul>\n";
      inList = false;
    }
    switch (b.kind) {
      case Block::Kind::Paragraph:
        html += "<p>" + SpansHtml(b.spans, true) + "</p>\n";
        break;
      case Block::Kind::Section:
        html += "<h3>" + SpansHtml(b.spans, true) + "</h3>\n";
        break;
      case Block::Kind::ListItem:
        if (!inList) html += "<ul>\n";
        inList = true;
        html += "<li>" + SpansHtml(b.spans, true) + "</li>\n";
        break;
      case Block::Kind::Example:
        html += "<pre>" + SpansHtml(b.spans, false) + "</pre>\n";
        break;
    }
  }
  if (inList) html += "</ul>\n";
  return html + "</body></html>\n";
}

std::string PopupHtml(const Topic& topic) {
  return "<p><b>" + HtmlEscape(topic.title) + "</b></p><p>" + HtmlEscape(PopupText(topic)) + "</p>";
}

std::optional<std::filesystem::path> FindFileIgnoringCase(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (path.filename().empty()) return std::nullopt;
  if (fs::exists(path, ec)) return path;
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const std::string wanted = path.filename().string();
  std::vector<fs::path> matches;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualIgnoringAsciiCase(it->path().filename().string(), wanted))
      matches.push_back(it->path());
  }
  if (matches.empty()) return std::nullopt;
  std::sort(matches.begin(), matches.end());
  return matches.front();
}

LoadedHelp LoadHelpFile(const std::string& path) {
  namespace fs = std::filesystem;
  LoadedHelp loaded;
  loaded.path = path;
  const auto found = FindFileIgnoringCase(path);
  if (!found) {
    loaded.problem = "The help file " + path + " cannot be found.";
    return loaded;
  }
  loaded.path = found->string();
  std::error_code ec;
  if (fs::is_directory(*found, ec)) {
    loaded.problem = "The help file " + loaded.path + " cannot be read: it is a folder.";
    return loaded;
  }
  const auto size = fs::file_size(*found, ec);
  if (!ec && size > kMaxFileSize) {
    loaded.problem = "The help file " + loaded.path + " is too large to be a help file.";
    return loaded;
  }
  std::ifstream in(*found, std::ios::binary);
  if (!in) {
    loaded.problem =
        "The help file " + loaded.path + " cannot be read: " + std::strerror(errno) + ".";
    return loaded;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) {
    loaded.problem = "The help file " + loaded.path + " cannot be read.";
    return loaded;
  }
  auto parsed = Parse(bytes.str());
  if (!parsed.ok()) {
    const auto& e = parsed.errors.front();
    loaded.problem = "The help file " + loaded.path + " is damaged (line " +
                     std::to_string(e.line) + ": " + e.message + ").";
    return loaded;
  }
  loaded.file = std::move(parsed.file);
  return loaded;
}

}  // namespace help
