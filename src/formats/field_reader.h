#pragma once
// The reading rule of the object list file and the rights file: a field ends at a comma or a
// line end (CR LF or a bare LF); blanks (spaces and tabs) in front of a field are skipped; a
// field that begins with a double quote runs to the next double quote.
//
// The object list file is read field by field (ReadField): a line end separates fields as a
// comma does, a quoted field may run over a line end, and what follows its closing quote up
// to the comma or line end is passed over. A line that holds nothing (or only blanks) after a
// line end is no field and is skipped, as is such a run at the end of the file. A comma
// always opens a field, so "a,\r\n" is two fields, the second empty, even at the end of the
// file. A value that must be read as empty on a line of its own is written as "".
//
// The rights file is read line by line (ReadLine): each line its own fields, a line end
// always ending the line. Its writer never puts a line end inside quotes or text after a
// closing quote, so either makes the line unreadable rather than swallowing what follows.
// Lines that hold nothing or only blanks are passed over here too.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/text_file.h"

namespace formats {

// The writing side of the rule: `value` (UTF-8) as Windows-1252 bytes, between double quotes
// when it holds a comma or begins with a blank (or, with `quoteEmpty`, is empty), otherwise
// exactly as it stands. Throws UnwritableValue naming the value by `label` when it holds a double
// quote, a line end or a zero byte, or a character with no Windows-1252 code.
std::string EncodeField(std::string_view value, std::string_view label, bool quoteEmpty = false);

// The fields of one line, or why the line cannot be read as fields.
struct LineFields {
  std::vector<std::string> fields;  // UTF-8; those before the problem, if there is one
  std::string problem;              // empty when the whole line was read
};

class FieldReader {
 public:
  // Throws FormatError naming the file and the reason when it cannot be opened.
  // `describedAs` begins the messages instead of "The file <path>" (a copy read in place of
  // the user's input names that input).
  explicit FieldReader(const std::filesystem::path& file, std::string describedAs = "");
  // In-memory text, for tests and fuzzing (Windows-1252 bytes).
  static FieldReader FromBytes(std::string bytes);

  // True once nothing but the end of the file is left.
  bool AtEnd();
  // The next field as UTF-8. Throws FormatError at the end of the file, for a quoted field
  // the file ends in, and for a field that holds a zero byte.
  std::string ReadField();

  // The fields of the next line that holds anything but blanks, with the reader moved past
  // its line end whatever the line holds. Throws FormatError at the end of the file.
  LineFields ReadLine();

  // The line (from 1) on which the last field or line read begins.
  std::size_t FieldLine() const { return fieldLine_; }
  // "The file <path>", or "The text" for in-memory text: how messages begin.
  std::string Describe() const;

 private:
  FieldReader() = default;
  // Passes over blanks and, unless a comma has just opened a field, empty lines.
  void SkipToField();
  std::string Fail(const std::string& reason) const;
  // Reads on until at least `count` bytes follow pos_ or the file has ended.
  void Ensure(std::size_t count);
  // The first of `chars` at or after `from`, reading on as needed; npos at the end.
  std::size_t Find(std::string_view chars, std::size_t from);
  bool Exhausted() { return Ensure(1), pos_ == data_.size(); }

  std::string source_;  // the file's path; empty for in-memory text
  std::string describedAs_;
  std::optional<InputFile> input_;  // absent once the file has been read to its end
  std::string data_;                // what has been read and not yet passed over, from pos_
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t fieldLine_ = 0;
  bool afterComma_ = false;
};

}  // namespace formats
