#include "formats/field_reader.h"

#include <algorithm>
#include <utility>

#include "formats/text_file.h"
#include "formats/windows1252.h"

namespace formats {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr std::size_t kChunk = 64 * 1024;

std::string Ordinal(std::size_t field) { return "field " + std::to_string(field); }

// One line's bytes (line end excluded) split into fields; stops at the first problem.
LineFields SplitLine(std::string_view line) {
  LineFields read;
  std::size_t i = 0;
  while (true) {
    const std::size_t number = read.fields.size() + 1;
    while (i < line.size() && IsBlank(line[i])) ++i;
    std::string_view value;
    if (i < line.size() && line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        read.problem = "the quote that opens " + Ordinal(number) + " is not closed on the line";
        return read;
      }
      value = line.substr(i + 1, close - i - 1);
      i = close + 1;
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i < line.size() && line[i] != ',') {
        const std::string_view after = line.substr(i, line.find(',', i) - i);
        read.problem = Ordinal(number) +
                       " has text after its closing quote: " + QuoteForMessage(Cp1252ToUtf8(after));
        return read;
      }
    } else {
      const std::size_t comma = std::min(line.find(',', i), line.size());
      value = line.substr(i, comma - i);
      i = comma;
    }
    if (value.find('\0') != std::string_view::npos) {
      read.problem = Ordinal(number) + " holds a zero byte";
      return read;
    }
    read.fields.push_back(Cp1252ToUtf8(value));
    if (i >= line.size()) return read;
    ++i;  // past the comma, which always opens another field
  }
}

}  // namespace

std::string EncodeField(std::string_view value, std::string_view label, bool quoteEmpty) {
  const std::size_t bad = value.find_first_of(std::string_view("\"\r\n\0", 4));
  if (bad != std::string_view::npos) {
    const char c = value[bad];
    const char* what = c == '"' ? "a double quote" : c == '\0' ? "a zero byte" : "a line end";
    throw UnwritableValue("The " + std::string(label) + " " + QuoteForMessage(value) + " holds " +
                          what + ", which the file cannot carry.");
  }
  std::string bytes = Utf8ToCp1252(value, label);
  const bool quote = bytes.find(',') != std::string::npos ||
                     (!bytes.empty() && IsBlank(bytes.front())) || (quoteEmpty && bytes.empty());
  if (quote) {
    bytes.insert(bytes.begin(), '"');
    bytes += '"';
  }
  return bytes;
}

FieldReader::FieldReader(const std::filesystem::path& file, std::string describedAs)
    : source_(file.string()), describedAs_(std::move(describedAs)), input_(InputFile(file)) {}

FieldReader FieldReader::FromBytes(std::string bytes) {
  FieldReader reader;
  reader.data_ = std::move(bytes);
  return reader;
}

void FieldReader::Ensure(std::size_t count) {
  while (input_ && data_.size() - pos_ < count) {
    // What has been passed over goes before more is read, so memory stays at a chunk or two.
    data_.erase(0, pos_);
    pos_ = 0;
    const std::size_t had = data_.size();
    data_.resize(had + kChunk);
    const std::size_t got = input_->Read(data_.data() + had, kChunk);
    data_.resize(had + got);
    if (got == 0) input_.reset();
  }
}

std::size_t FieldReader::Find(std::string_view chars, std::size_t from) {
  while (true) {
    const std::size_t offset = from - pos_;
    const std::size_t found = data_.find_first_of(chars, from);
    if (found != std::string::npos || !input_) return found;
    const std::size_t scanned = data_.size() - pos_;
    Ensure(scanned + 1);
    from = pos_ + std::max(offset, scanned);
  }
}

void FieldReader::SkipToField() {
  while (true) {
    while (!Exhausted() && IsBlank(data_[pos_])) ++pos_;
    if (afterComma_) return;
    Ensure(2);
    if (pos_ < data_.size() && data_[pos_] == '\n') {
      ++pos_;
      ++line_;
    } else if (data_.compare(pos_, 2, "\r\n") == 0) {
      pos_ += 2;
      ++line_;
    } else {
      return;
    }
  }
}

bool FieldReader::AtEnd() {
  SkipToField();
  return !afterComma_ && Exhausted();
}

std::string FieldReader::ReadField() {
  SkipToField();
  if (!afterComma_ && Exhausted()) {
    throw FormatError(Fail("has no more fields"));
  }
  fieldLine_ = line_;
  const bool quoted = !Exhausted() && data_[pos_] == '"';
  // Reading on may move the buffer, so the value is copied out before the next read.
  std::string value;
  if (quoted) {
    const std::size_t close = Find("\"", pos_ + 1);
    if (close == std::string::npos) {
      throw FormatError(
          Fail("ends inside the quoted field that begins on line " + std::to_string(fieldLine_)));
    }
    value.assign(data_, pos_ + 1, close - pos_ - 1);
    for (const char c : value) line_ += c == '\n' ? 1 : 0;
    pos_ = close + 1;
  }
  const std::size_t end = Find(",\n", pos_);
  if (!quoted) {
    std::size_t valueEnd = end == std::string::npos ? data_.size() : end;
    if (end != std::string::npos && data_[end] == '\n' && valueEnd > pos_ &&
        data_[valueEnd - 1] == '\r') {
      --valueEnd;
    }
    value.assign(data_, pos_, valueEnd - pos_);
  }
  if (end == std::string::npos) {
    pos_ = data_.size();
    afterComma_ = false;
  } else {
    afterComma_ = data_[end] == ',';
    line_ += afterComma_ ? 0 : 1;
    pos_ = end + 1;
  }
  if (value.find('\0') != std::string::npos) {
    throw FormatError(Fail("holds a zero byte in the field on line " + std::to_string(fieldLine_)));
  }
  return Cp1252ToUtf8(value);
}

LineFields FieldReader::ReadLine() {
  SkipToField();
  if (Exhausted()) throw FormatError(Fail("has no more lines"));
  fieldLine_ = line_;
  // Blanks in front of the first field are passed over already.
  const std::size_t end = Find("\n", pos_);
  std::size_t lineEnd = end == std::string::npos ? data_.size() : end;
  if (end != std::string::npos && lineEnd > pos_ && data_[lineEnd - 1] == '\r') --lineEnd;
  LineFields read = SplitLine(std::string_view(data_).substr(pos_, lineEnd - pos_));
  if (end == std::string::npos) {
    pos_ = data_.size();
  } else {
    pos_ = end + 1;
    ++line_;
  }
  afterComma_ = false;
  return read;
}

std::string FieldReader::Describe() const {
  if (!describedAs_.empty()) return describedAs_;
  return source_.empty() ? std::string("The text") : "The file " + source_;
}

std::string FieldReader::Fail(const std::string& reason) const {
  return Describe() + " " + reason + ".";
}

}  // namespace formats
