#include "restore/record_mapping.h"

#include <algorithm>
#include <functional>

#include "formats/name_fold.h"
#include "formats/windows1252.h"

namespace restore {
namespace {

const char* OptionName(MappedField field) {
  switch (field) {
    case MappedField::kServer:
      return "--map-server";
    case MappedField::kVolume:
      return "--map-volume";
    case MappedField::kTree:
      return "--map-tree";
  }
  return "";
}

// Why `name` cannot be a name of this kind, or "".
std::string NameProblem(MappedField field, std::string_view name) {
  if (name.empty()) return "is empty";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "holds a control character";
  }
  if (name.find_first_of(",\"") != std::string_view::npos) {
    return "holds a \",\" or a double quote";
  }
  if (field != MappedField::kTree && name.find_first_of("\\/:") != std::string_view::npos) {
    return "holds a \"\\\", \"/\" or \":\"";
  }
  if (name.front() == ' ' || name.back() == ' ') return "begins or ends with a blank";
  return "";
}

std::string MappingText(MappedField field, const NameMapping& mapping) {
  return std::string(OptionName(field)) + " " + mapping.from + "=" + mapping.to;
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

const std::string* RecordMapping::Lookup(const Table& table, std::string_view name,
                                         std::uint32_t* index) {
  if (table.list.empty()) return nullptr;
  const auto found = table.byOld.find(formats::FoldName(name));
  if (found == table.byOld.end()) return nullptr;
  if (index) *index = found->second;
  return &table.list[found->second].to;
}

void RecordMapping::Add(MappedField field, std::string_view oldEqualsNew) {
  const std::string option = OptionName(field);
  const std::string given = formats::QuoteForMessage(oldEqualsNew);
  const std::size_t equals = oldEqualsNew.find('=');
  if (equals == std::string_view::npos ||
      oldEqualsNew.find('=', equals + 1) != std::string_view::npos) {
    throw MappingError(option + " " + given + " must have the form OLD=NEW, with one \"=\".");
  }
  NameMapping mapping{std::string(oldEqualsNew.substr(0, equals)),
                      std::string(oldEqualsNew.substr(equals + 1))};
  for (const auto& [side, name] :
       {std::pair<const char*, const std::string&>{"OLD", mapping.from}, {"NEW", mapping.to}}) {
    const std::string problem = NameProblem(field, name);
    if (!problem.empty()) {
      throw MappingError(option + " " + given + ": the " + side + " name " + problem + ".");
    }
  }
  Table& table = field == MappedField::kServer   ? servers_
                 : field == MappedField::kVolume ? volumes_
                                                 : trees_;
  const auto [at, added] = table.byOld.try_emplace(formats::FoldName(mapping.from),
                                                   static_cast<std::uint32_t>(table.list.size()));
  if (!added) {
    const std::string& earlier = table.list[at->second].to;
    if (earlier == mapping.to) return;
    throw MappingError(option + " " + given + ": " + formats::QuoteForMessage(mapping.from) +
                       " is already mapped to " + formats::QuoteForMessage(earlier) + ".");
  }
  table.list.push_back(std::move(mapping));
}

formats::RightsRecord RecordMapping::Apply(const formats::RightsRecord& record,
                                           AppliedMappings* applied) const {
  AppliedMappings used;
  formats::RightsRecord mapped = record;
  if (const std::string* to = Lookup(servers_, record.server, &used.server)) mapped.server = *to;
  if (const std::string* to = Lookup(trees_, record.tree, &used.tree)) mapped.tree = *to;
  const std::size_t colon = record.directory.find(':');
  if (colon != std::string::npos) {
    const std::string_view volume = std::string_view(record.directory).substr(0, colon);
    if (const std::string* to = Lookup(volumes_, volume, &used.volume)) {
      mapped.directory = *to + record.directory.substr(colon);
    }
  }
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
  for (const auto& [field, table, index] :
       {std::tuple{MappedField::kServer, &servers_, applied.server},
        {MappedField::kVolume, &volumes_, applied.volume},
        {MappedField::kTree, &trees_, applied.tree}}) {
    if (index == AppliedMappings::kNone) continue;
    if (!text.empty()) text += " and ";
    text += MappingText(field, table->list[index]);
  }
  return text;
}

void MappingCheck::Use(const AppliedMappings& applied) {
  for (const auto& [index, used, table] :
       {std::tuple{applied.server, &usedServers_, &mapping_.servers_},
        {applied.volume, &usedVolumes_, &mapping_.volumes_},
        {applied.tree, &usedTrees_, &mapping_.trees_}}) {
    if (index == AppliedMappings::kNone) continue;
    if (used->empty()) used->resize(table->list.size());
    (*used)[index] = true;
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
  for (const auto& [field, used, table] :
       {std::tuple{MappedField::kServer, &usedServers_, &mapping_.servers_},
        {MappedField::kVolume, &usedVolumes_, &mapping_.volumes_},
        {MappedField::kTree, &usedTrees_, &mapping_.trees_}}) {
    for (std::size_t i = 0; i < table->list.size(); ++i) {
      if (i >= used->size() || !(*used)[i]) unused.push_back(MappingText(field, table->list[i]));
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
