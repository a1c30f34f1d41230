#pragma once
// The rights file SERVER_VOLUME.RIGHTS: one assignment a line, five fields
// tree,object,server,VOLUME:\Dir\Sub,rights text — Windows-1252, CR LF.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "formats/field_reader.h"
#include "formats/text_file.h"

namespace formats {

struct RightsRecord {
  std::string tree;
  std::string object;
  std::string server;
  std::string directory;
  std::string rights;
  bool operator==(const RightsRecord&) const = default;
};

// server + "_" + volume + ".RIGHTS". Throws FormatError when either holds a "/" or a zero
// byte, which would put the file outside its folder.
std::string RightsFileName(std::string_view server, std::string_view volume);

// One record as a line, CR LF included, in Windows-1252. A value that holds a comma or
// begins with a blank is quoted; values without them are written exactly as they stand.
// Throws UnwritableValue naming the value when one holds a double quote or a line end, or a
// character with no Windows-1252 code.
std::string FormatRightsRecord(const RightsRecord& record);

// Writes into a temporary file beside `file`, which takes the name `file` only on Commit:
// until then an earlier file of that name stays exactly as it was, and a writer destroyed
// without Commit removes its temporary file.
class RightsFileWriter {
 public:
  explicit RightsFileWriter(const std::filesystem::path& file);  // throws FormatError
  ~RightsFileWriter();
  RightsFileWriter(const RightsFileWriter&) = delete;
  RightsFileWriter& operator=(const RightsFileWriter&) = delete;

  // Writes one whole record, or nothing: UnwritableValue as FormatRightsRecord throws it, or
  // FormatError when the file fails.
  void Write(const RightsRecord& record);
  // Flushes, closes and renames over `file`; throws FormatError (temporary file removed)
  // when any write failed.
  void Commit();

 private:
  void Discard() noexcept;

  std::filesystem::path file_;
  std::filesystem::path temp_;
  std::unique_ptr<OutputFile> out_;
  bool committed_ = false;
};

// Reads five fields a record; a line end separates fields as a comma does.
class RightsFileReader {
 public:
  explicit RightsFileReader(const std::filesystem::path& file);  // throws FormatError
  explicit RightsFileReader(FieldReader fields);

  bool AtEnd();
  // The next record. Throws FormatError when the file ends inside a record (the fields
  // read so far are not returned as a record).
  RightsRecord ReadRecord();

 private:
  FieldReader fields_;
};

}  // namespace formats
