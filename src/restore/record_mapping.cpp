#include "restore/record_mapping.h"

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

const std::string* Lookup(const std::vector<NameMapping>& mappings, std::string_view name) {
  const std::string key = formats::FoldName(name);
  for (const NameMapping& mapping : mappings) {
    if (formats::FoldName(mapping.from) == key) return &mapping.to;
  }
  return nullptr;
}

}  // namespace

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
  std::vector<NameMapping>& mappings = field == MappedField::kServer   ? servers_
                                       : field == MappedField::kVolume ? volumes_
                                                                       : trees_;
  if (const std::string* earlier = Lookup(mappings, mapping.from)) {
    if (*earlier == mapping.to) return;
    throw MappingError(option + " " + given + ": " + formats::QuoteForMessage(mapping.from) +
                       " is already mapped to " + formats::QuoteForMessage(*earlier) + ".");
  }
  mappings.push_back(std::move(mapping));
}

formats::RightsRecord RecordMapping::Apply(const formats::RightsRecord& record) const {
  formats::RightsRecord mapped = record;
  if (const std::string* to = Lookup(servers_, record.server)) mapped.server = *to;
  if (const std::string* to = Lookup(trees_, record.tree)) mapped.tree = *to;
  const std::size_t colon = record.directory.find(':');
  if (colon != std::string::npos) {
    if (const std::string* to = Lookup(volumes_, record.directory.substr(0, colon))) {
      mapped.directory = *to + record.directory.substr(colon);
    }
  }
  return mapped;
}

}  // namespace restore
