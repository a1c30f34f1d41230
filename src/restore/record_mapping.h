#pragma once
// The rewriting of a rights file's records before they are granted, which moves a volume's
// trustees onto another server, volume, tree, object or container: --map-server,
// --map-volume, --map-tree, --map-object, --map-context, and --map-file for many at once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/filters_file.h"
#include "formats/rights_file.h"

namespace restore {

// A mapping given wrongly, or one that does not fit the file; what() says which and why, fit
// for the user.
class MappingError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

enum class MappedField { kServer, kVolume, kTree, kObject, kContext };
inline constexpr std::size_t kMappedFields = 5;

struct NameMapping {
  std::string from;
  std::string to;
  std::string source;  // "" from an option; "FILE, line N" from a mapping file
  bool operator==(const NameMapping&) const = default;
};

// Which mapping of each field rewrote a record: an index into the field's mappings in the
// order they were given, or kNone. An object is rewritten by an object mapping or a context
// mapping, never both.
struct AppliedMappings {
  static constexpr std::uint32_t kNone = UINT32_MAX;
  std::array<std::uint32_t, kMappedFields> index{kNone, kNone, kNone, kNone, kNone};
  std::uint32_t& operator[](MappedField field) { return index[static_cast<std::size_t>(field)]; }
  bool Any() const {
    for (const std::uint32_t i : index) {
      if (i != kNone) return true;
    }
    return false;
  }
};

class RecordMapping {
 public:
  // Adds "OLD=NEW" for `field`; `source` names where it was read ("" for an option). Throws
  // MappingError when there is no "=", a side is empty, a name holds a character no such name
  // can hold (a context an empty part), or OLD is already mapped (names compared without
  // regard to case) to another name.
  void Add(MappedField field, std::string_view oldEqualsNew, const std::string& source = "");
  // Adds the mappings of a mapping file, one a line: a word (server, volume, tree, object or
  // context), blanks, OLD=NEW; blank lines and lines beginning with "#" are left aside.
  // Throws MappingError naming the file and the line of the first that does not hold, or the
  // file when it cannot be read.
  void AddFile(const std::filesystem::path& file);

  // The record as it is to be granted. Each field is mapped once, never along a chain, so
  // A=B together with B=A swaps two names. A volume mapping rewrites the volume at the head
  // of the directory ("VOL:\Dir" or "VOL:"); a directory without ":" is left as it is. An
  // object mapping rewrites a whole object name; else the longest context mapping whose OLD
  // ends the object's dotted name (or is the whole name: the container itself) replaces
  // that end. `applied`, when given, learns which mappings did it.
  formats::RightsRecord Apply(const formats::RightsRecord& record,
                              AppliedMappings* applied = nullptr) const;
  // A filter as it is to be set: its server, and the volume at the head of its path.
  formats::FilterRecord Apply(const formats::FilterRecord& filter,
                              AppliedMappings* applied = nullptr) const;

  bool Empty() const;

  // "--map-server FS1=FS2" (or "server FS1=FS2 (m.txt, line 3)") for each mapping in
  // `applied`, joined by " and ".
  std::string Describe(const AppliedMappings& applied) const;

 private:
  friend class MappingCheck;
  struct Table {
    std::vector<NameMapping> list;                         // as given, for messages
    std::unordered_map<std::string, std::uint32_t> byOld;  // folded OLD -> index in list
  };
  const Table& Of(MappedField field) const { return tables_[static_cast<std::size_t>(field)]; }
  static const std::string* Lookup(const Table& table, std::string_view name, std::uint32_t* index);
  // The object name as the object or context mappings make it.
  std::string MapObject(const std::string& object, AppliedMappings& used) const;
  static std::string Text(MappedField field, const NameMapping& mapping);

  std::array<Table, kMappedFields> tables_;
};

// A whole file's records against a mapping, before anything is granted: two records that
// the mapping puts onto one trustee and directory (which would let the later silently
// replace the earlier), and a mapping that matches no record (a typo), are refused. Records
// that already named one assignment in the file are no collision. Keeps 48 bytes a record,
// and nothing at all when the mapping is empty.
class MappingCheck {
 public:
  explicit MappingCheck(const RecordMapping& mapping) : mapping_(mapping) {}

  // The next record of the file, numbered from 1; returns it mapped.
  formats::RightsRecord Add(const formats::RightsRecord& record);
  // The next filter of the filters file, numbered from 1 on its own; returns it mapped. Two
  // filters on one path collide as two records do; a mapping used by a filter is used.
  formats::FilterRecord Add(const formats::FilterRecord& filter);

  // Throws MappingError naming the mappings and the records when two records collide, or
  // the first mapping that matched no record.
  void Finish();

 private:
  struct Seen {
    std::uint64_t mapped;    // hash of the mapped record's key
    std::uint64_t original;  // hash of the record's own key
    std::uint32_t number;    // the record's number in the file
    AppliedMappings applied;
    bool filter;  // a filter of the filters file, numbered among those
  };
  // Notes the mappings that rewrote a record or filter as used.
  void Use(const AppliedMappings& applied);

  const RecordMapping& mapping_;
  std::vector<Seen> seen_;
  std::array<std::vector<bool>, kMappedFields> used_;
  std::uint32_t count_ = 0;
  std::uint32_t filters_ = 0;
};

}  // namespace restore
