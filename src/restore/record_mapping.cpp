#include "restore/record_mapping.h"

#include <algorithm>
#include <fstream>
#include <functional>

#include "formats/name_fold.h"
#include "formats/windows1252.h"

namespace restore {
namespace {

constexpr MappedField kFields[] = {MappedField::kServer, MappedField::kVolume, MappedField::kTree,
                                   MappedField::kObject, MappedField::kContext};
// The word of a mapping file's line for each field, in kFields' order.
constexpr const char* kWords[] = {"server", "volume", "tree", "object", "context"};

std::size_t At(MappedField field) { return static_cast<std::size_t>(field); }

// Why `name` cannot be a name of this kind, or "".
std::string NameProblem(MappedField field, std::string_view name) {
  if (name.empty()) return "is empty";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
  }
  if (name.find_first_of(",\"") != std::string_view::npos) {
    return "holds a \",\" or a double quote";
  }
  if ((field == MappedField::kServer || field == MappedField::kVolume) &&
      name.find_first_of("\\/:") != std::string_view::npos) {
    return "holds a \"\\\", \"/\" or \":\"";
  }
  if (name.front() == ' ' || name.back() == ' ') return "begins or ends with a blank";
  if (field == MappedField::kContext &&
      (name.front() == '.' || name.back() == '.' || name.find("..") != std::string_view::npos)) {
    return "has an empty part between its dots";
  }
  return "";
}

// What names one trustee on one directory as a grant finds them: the tree (for a bindery
// server it does not matter, which at worst lets a collision there pass), the server, the
// object and the directory, all without regard to case.
std::uint64_t AssignmentHash(const formats::RightsRecord& record) {
  std::string key = formats::FoldName(record.tree);
  key += '\0';
  key += formats::FoldName(record.server);
  key += '\0';
  key += formats::FoldName(record.object);
  key += '\0';
  key += formats::DirectoryKey(record.directory);
  return std::hash<std::string>{}(key);
}

}  // namespace

std::string RecordMapping::Text(MappedField field, const NameMapping& mapping) {
  const std::string pair = mapping.from + "=" + mapping.to;
  if (!mapping.source.empty())
    return kWords[At(field)] + (" " + pair) + " (" + mapping.source + ")";
  return "--map-" + std::string(kWords[At(field)]) + " " + pair;
}

const std::string* RecordMapping::Lookup(const Table& table, std::string_view name,
                                         std::uint32_t* index) {
  if (table.list.empty()) return nullptr;
  const auto found = table.byOld.find(formats::FoldName(name));
  if (found == table.byOld.end()) return nullptr;
  if (index) *index = found->second;
  return &table.list[found->second].to;
}

bool RecordMapping::Empty() const {
  return std::all_of(tables_.begin(), tables_.end(),
                     [](const Table& table) { return table.list.empty(); });
}

void RecordMapping::Add(MappedField field, std::string_view oldEqualsNew,
                        const std::string& source) {
  const std::string given = formats::QuoteForMessage(oldEqualsNew);
  const std::string where = source.empty() ? "--map-" + std::string(kWords[At(field)]) + " " + given
                                           : source + ": " + kWords[At(field)] + " " + given;
  const std::size_t equals = oldEqualsNew.find('=');
  if (equals == std::string_view::npos ||
      oldEqualsNew.find('=', equals + 1) != std::string_view::npos) {
    throw MappingError(where + " must have the form OLD=NEW, with one \"=\".");
  }
  NameMapping mapping{std::string(oldEqualsNew.substr(0, equals)),
                      std::string(oldEqualsNew.substr(equals + 1)), source};
  for (const auto& [side, name] :
       {std::pair<const char*, const std::string&>{"OLD", mapping.from}, {"NEW", mapping.to}}) {
    const std::string problem = NameProblem(field, name);
    if (!problem.empty()) {
      throw MappingError(where + ": the " + side + " name " + problem + ".");
    }
  }
  Table& table = tables_[At(field)];
  const auto [at, added] = table.byOld.try_emplace(formats::FoldName(mapping.from),
                                                   static_cast<std::uint32_t>(table.list.size()));
  if (!added) {
    const std::string& earlier = table.list[at->second].to;
    if (earlier == mapping.to) return;
    throw MappingError(where + ": " + formats::QuoteForMessage(mapping.from) +
                       " is already mapped to " + formats::QuoteForMessage(earlier) + ".");
  }
  table.list.push_back(std::move(mapping));
}

void RecordMapping::AddFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw MappingError("The mapping file " + file.string() + " cannot be read.");
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // written on Windows
    const std::size_t begin = line.find_first_not_of(" \t");
    if (begin == std::string::npos || line[begin] == '#') continue;
    const std::size_t wordEnd = line.find_first_of(" \t", begin);
    const std::string word = line.substr(begin, wordEnd - begin);
    const std::size_t valueBegin =
        wordEnd == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", wordEnd);
    const std::size_t valueEnd = line.find_last_not_of(" \t");
    const std::string source = file.string() + ", line " + std::to_string(number);
    const auto known = std::find_if(std::begin(kWords), std::end(kWords),
                                    [&](const char* w) { return formats::SameName(word, w); });
    if (known == std::end(kWords) || valueBegin == std::string::npos) {
      throw MappingError(source + ": " + formats::QuoteForMessage(line.substr(begin)) +
                         " is no mapping (server, volume, tree, object or context, a blank, "
                         "then OLD=NEW).");
    }
    Add(kFields[known - std::begin(kWords)],
        std::string_view(line).substr(valueBegin, valueEnd + 1 - valueBegin), source);
  }
  if (in.bad()) throw MappingError("The mapping file " + file.string() + " cannot be read.");
}

std::string RecordMapping::MapObject(const std::string& object, AppliedMappings& used) const {
  if (const std::string* to =
          Lookup(Of(MappedField::kObject), object, &used[MappedField::kObject])) {
    return *to;
  }
  const Table& contexts = Of(MappedField::kContext);
  if (contexts.list.empty()) return object;
  // The ends of the dotted name from the longest (the whole name) to the shortest: one
  // look-up each, however many contexts are mapped.
  const std::string folded = formats::FoldName(object);
  for (std::size_t begin = 0; begin != std::string::npos;) {
    const auto found = contexts.byOld.find(folded.substr(begin));
    if (found != contexts.byOld.end()) {
      used[MappedField::kContext] = found->second;
      // The head that stays is found by its dots: folding may change a letter's length.
      std::size_t dots =
          static_cast<std::size_t>(std::count(folded.begin(), folded.begin() + begin, '.'));
      std::size_t head = 0;
      while (dots > 0) {
        head = object.find('.', head) + 1;
        --dots;
      }
      return object.substr(0, head) + contexts.list[found->second].to;
    }
    const std::size_t dot = folded.find('.', begin);
    begin = dot == std::string::npos ? dot : dot + 1;
  }
  return object;
}

formats::RightsRecord RecordMapping::Apply(const formats::RightsRecord& record,
                                           AppliedMappings* applied) const {
  AppliedMappings used;
  formats::RightsRecord mapped = record;
  if (const std::string* to =
          Lookup(Of(MappedField::kServer), record.server, &used[MappedField::kServer])) {
    mapped.server = *to;
  }
  if (const std::string* to =
          Lookup(Of(MappedField::kTree), record.tree, &used[MappedField::kTree])) {
    mapped.tree = *to;
  }
  const std::size_t colon = record.directory.find(':');
  if (colon != std::string::npos) {
    const std::string_view volume = std::string_view(record.directory).substr(0, colon);
    if (const std::string* to =
            Lookup(Of(MappedField::kVolume), volume, &used[MappedField::kVolume])) {
      mapped.directory = *to + record.directory.substr(colon);
    }
  }
  if (!record.object.empty()) mapped.object = MapObject(record.object, used);
  if (applied) *applied = used;
  return mapped;
}

formats::FilterRecord RecordMapping::Apply(const formats::FilterRecord& filter,
                                           AppliedMappings* applied) const {
  const formats::RightsRecord mapped = Apply({"", "", filter.server, filter.path, ""}, applied);
  return {mapped.server, mapped.directory, filter.rights};
}

std::string RecordMapping::Describe(const AppliedMappings& applied) const {
  std::string text;
  for (const MappedField field : kFields) {
    const std::uint32_t index = applied.index[At(field)];
    if (index == AppliedMappings::kNone) continue;
    if (!text.empty()) text += " and ";
    text += Text(field, Of(field).list[index]);
  }
  return text;
}

void MappingCheck::Use(const AppliedMappings& applied) {
  for (const MappedField field : kFields) {
    const std::uint32_t index = applied.index[At(field)];
    if (index == AppliedMappings::kNone) continue;
    std::vector<bool>& used = used_[At(field)];
    if (used.empty()) used.resize(mapping_.Of(field).list.size());
    used[index] = true;
  }
}

formats::RightsRecord MappingCheck::Add(const formats::RightsRecord& record) {
  ++count_;
  if (mapping_.Empty()) return record;
  AppliedMappings applied;
  formats::RightsRecord mapped = mapping_.Apply(record, &applied);
  Use(applied);
  seen_.push_back({AssignmentHash(mapped),
                   applied.Any() ? AssignmentHash(record) : AssignmentHash(mapped), count_, applied,
                   false});
  return mapped;
}

formats::FilterRecord MappingCheck::Add(const formats::FilterRecord& filter) {
  ++filters_;
  if (mapping_.Empty()) return filter;
  AppliedMappings applied;
  formats::FilterRecord mapped = mapping_.Apply(filter, &applied);
  Use(applied);
  // A filter is one of its path; salted, so that no record's key is ever a filter's.
  const auto key = [](const formats::FilterRecord& f) {
    return AssignmentHash({"", "", f.server, f.path, ""}) ^ 0x9E3779B97F4A7C15u;
  };
  seen_.push_back({key(mapped), key(applied.Any() ? filter : mapped), filters_, applied, true});
  return mapped;
}

void MappingCheck::Finish() {
  if (mapping_.Empty()) return;
  std::vector<std::string> unused;
  for (const MappedField field : kFields) {
    const std::vector<NameMapping>& list = mapping_.Of(field).list;
    const std::vector<bool>& used = used_[At(field)];
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (i >= used.size() || !used[i]) unused.push_back(RecordMapping::Text(field, list[i]));
    }
  }
  if (!unused.empty()) {
    // Named up to a few, so that a list of thousands stays a message.
    constexpr std::size_t kNamed = 5;
    const std::size_t named = unused.size() > kNamed ? kNamed : unused.size();
    std::string text;
    for (std::size_t i = 0; i < named; ++i) {
      text += (i == 0 ? "" : i + 1 == unused.size() ? " and " : ", ") + unused[i];
    }
    if (named < unused.size()) text += " and " + std::to_string(unused.size() - named) + " more";
    throw MappingError(text + (unused.size() == 1 ? " matches" : " match") +
                       " no record of the file.");
  }

  // Records that come out as one assignment: sorted by that, each group in file order, so
  // the first record of a group that differs from the group's first is a collision. Of all,
  // the one that comes first in the file is reported.
  std::sort(seen_.begin(), seen_.end(), [](const Seen& a, const Seen& b) {
    return a.mapped != b.mapped ? a.mapped < b.mapped : a.number < b.number;
  });
  const Seen* first = nullptr;
  const Seen* second = nullptr;
  for (std::size_t begin = 0, end; begin < seen_.size(); begin = end) {
    for (end = begin + 1; end < seen_.size() && seen_[end].mapped == seen_[begin].mapped; ++end) {
      if (seen_[end].original == seen_[begin].original) continue;
      if (!second || seen_[end].number < second->number) {
        first = &seen_[begin];
        second = &seen_[end];
      }
      break;
    }
  }
  if (!second) return;
  const auto how = [&](const Seen& seen) {
    return seen.applied.Any() ? "by " + mapping_.Describe(seen.applied) : "as it stands";
  };
  const std::string one = first->filter ? "filter " : "record ";
  const std::string numbers =
      std::to_string(first->number) + " and " + std::to_string(second->number);
  throw MappingError(
      (first->filter ? "The mappings make filters " + numbers +
                           " of the filters file one filter (on the same path)"
                     : "The mappings make records " + numbers +
                           " of the file one assignment (the same trustee on the same "
                           "directory)") +
      ", so one would replace the other: " + one + std::to_string(first->number) + " " +
      how(*first) + ", " + one + std::to_string(second->number) + " " + how(*second) + ".");
}

}  // namespace restore
