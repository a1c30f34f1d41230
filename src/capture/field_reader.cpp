#include "capture/field_reader.h"

#include "capture/text_file.h"
#include "capture/windows1252.h"

namespace capture {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string EncodeField(std::string_view value, std::string_view label, bool quoteEmpty) {
  const std::size_t bad = value.find_first_of(std::string_view("\"\r\n\0", 4));
  if (bad != std::string_view::npos) {
    const char c = value[bad];
    const char* what = c == '"' ? "a double quote" : c == '\0' ? "a zero byte" : "a line end";
    throw FormatError("The " + std::string(label) + " " + QuoteForMessage(value) + " holds " +
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

FieldReader::FieldReader(const std::filesystem::path& file)
    : source_(file.string()), data_(ReadWholeFile(file)) {}

FieldReader FieldReader::FromBytes(std::string bytes) {
  FieldReader reader;
  reader.data_ = std::move(bytes);
  return reader;
}

void FieldReader::SkipToField() {
  while (true) {
    while (pos_ < data_.size() && IsBlank(data_[pos_])) ++pos_;
    if (afterComma_) return;
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
  return !afterComma_ && pos_ == data_.size();
}

std::string FieldReader::ReadField() {
  SkipToField();
  if (!afterComma_ && pos_ == data_.size()) {
    throw FormatError(Fail("has no more fields"));
  }
  fieldLine_ = line_;
  const bool quoted = pos_ < data_.size() && data_[pos_] == '"';
  std::string_view value;
  if (quoted) {
    const std::size_t close = data_.find('"', pos_ + 1);
    if (close == std::string::npos) {
      throw FormatError(
          Fail("ends inside the quoted field that begins on line " + std::to_string(fieldLine_)));
    }
    value = std::string_view(data_).substr(pos_ + 1, close - pos_ - 1);
    for (const char c : value) line_ += c == '\n' ? 1 : 0;
    pos_ = close + 1;
  }
  const std::size_t end = data_.find_first_of(",\n", pos_);
  if (!quoted) {
    std::size_t valueEnd = end == std::string::npos ? data_.size() : end;
    if (end != std::string::npos && data_[end] == '\n' && valueEnd > pos_ &&
        data_[valueEnd - 1] == '\r') {
      --valueEnd;
    }
    value = std::string_view(data_).substr(pos_, valueEnd - pos_);
  }
  if (end == std::string::npos) {
    pos_ = data_.size();
    afterComma_ = false;
  } else {
    afterComma_ = data_[end] == ',';
    line_ += afterComma_ ? 0 : 1;
    pos_ = end + 1;
  }
  if (value.find('\0') != std::string_view::npos) {
    throw FormatError(Fail("holds a zero byte in the field on line " + std::to_string(fieldLine_)));
  }
  return Cp1252ToUtf8(value);
}

std::string FieldReader::Describe() const {
  return source_.empty() ? std::string("The text") : "The file " + source_;
}

std::string FieldReader::Fail(const std::string& reason) const {
  return Describe() + " " + reason + ".";
}

}  // namespace capture
