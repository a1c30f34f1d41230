#pragma once
// Text moves between the window (UTF-8) and files and byte buffers (Windows-1252, one byte
// a character). A character with no Windows-1252 code is refused, never written as garbage.

#include <stdexcept>
#include <string>
#include <string_view>

namespace formats {

// A value that cannot be carried: no Windows-1252 code, a buffer too small, a value the
// file format cannot hold. what() names the value and the reason.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value itself cannot be carried (no Windows-1252 code, a character the file format cannot
// hold). Nothing was written; unlike a failing file, the caller may skip the value and go on.
class UnwritableValue : public FormatError {
 public:
  using FormatError::FormatError;
};

// Throws FormatError naming the value and the character (as U+XXXX) that has no code;
// also for malformed UTF-8.
std::string Utf8ToCp1252(std::string_view utf8);
// The same, with the message naming the value by `label` ("The directory ..." rather than
// "The value ...").
std::string Utf8ToCp1252(std::string_view utf8, std::string_view label);
// Every byte has a meaning; the five undefined codes map to U+0081 and the like.
std::string Cp1252ToUtf8(std::string_view cp1252);

// The value in double quotes, fit for a message: control characters and bytes that are not
// UTF-8 shown as escapes (\r, \n, \0, \xNN), a very long value shortened.
std::string QuoteForMessage(std::string_view utf8);

}  // namespace formats
