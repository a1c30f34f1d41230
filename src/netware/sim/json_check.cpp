// The checks of a JSON description of a network: one table of the fields each kind of node
// may hold, and the rules for names, paths and where objects stand.

#include "netware/sim/json_check.h"

#include <algorithm>

#include "formats/rights_text.h"
#include "netware/sim/folders.h"
#include "netware/sim/sim_network.h"
#include "netware/sim/text.h"

namespace sim::description {

namespace {

// What a field holds: a text, a text or null, a whole number, true or false, a list, a list
// of texts, an object, a rights text or number, a bindery type ("user", "group" or a number),
// the name of a tree, server or volume (at most `high` long), an object's name, a directory
// path of a volume, a list of such paths.
// clang-format off
enum class Kind {
  kText, kTextOrNull, kNumber, kFlag, kList, kTexts, kObject, kRights, kType, kName, kObjectName,
  kPath, kPaths
};
// clang-format on
using enum Kind;

// Every field a description knows, with the kind of node it may stand in.
struct FieldRule {
  std::string_view where, name;
  Kind kind;
  bool required = false;
  std::int64_t low = 0, high = 0;  // of a number; a name's longest
};
constexpr std::int64_t kLastId = 0xFFFFFFFE;
// clang-format off
constexpr FieldRule kFields[] = {
    {"description", "trees", kList}, {"description", "servers", kList},
    {"description", "assignments", kList}, {"description", "filters", kList},
    {"description", "workstation", kObject},
    {"tree", "name", kName, true, 0, 32}, {"tree", "objects", kList},
    {"object", "name", kObjectName, true, 0, 64}, {"object", "class", kText, true},
    {"object", "children", kList}, {"object", "container", kText},
    {"object", "server", kText}, {"object", "volume", kText},
    {"object", "id", kNumber, false, 1, kLastId},
    {"server", "name", kName, true, 0, 47}, {"server", "tree", kTextOrNull},
    {"server", "major", kNumber, false, 1, 255}, {"server", "minor", kNumber, false, 0, 255},
    {"server", "up", kFlag}, {"server", "bindery", kList}, {"server", "volumes", kList},
    {"bindery", "name", kName, true, 0, 47}, {"bindery", "type", kType},
    {"bindery", "id", kNumber, false, 1, kLastId},
    {"volume", "name", kName, true, 0, 31}, {"volume", "number", kNumber, false, 0, 255},
    {"volume", "directories", kPaths}, {"volume", "files", kPaths},
    {"assignment", "server", kText, true}, {"assignment", "volume", kText, true},
    {"assignment", "directory", kPath}, {"assignment", "object", kText},
    {"assignment", "bindery", kText}, {"assignment", "type", kType},
    {"assignment", "tree", kText}, {"assignment", "rights", kRights, true, 0, 0xFFFF},
    {"assignment", "missing", kFlag},
    {"filter", "server", kText, true}, {"filter", "volume", kText, true},
    {"filter", "path", kPath, true}, {"filter", "rights", kRights, true, 0, 0xFFFF},
    {"filter", "missing", kFlag},
    {"workstation", "trees", kTexts}, {"workstation", "mappings", kList},
    {"mapping", "drive", kText, true}, {"mapping", "server", kText, true},
    {"mapping", "volume", kText, true}, {"mapping", "path", kPath}};
// clang-format on

// Why a server, volume or tree name (`plain`) or an object name is refused; "" when fine.
std::string CheckName(const std::string& name, std::int64_t maxLength, bool plain) {
  if (name.empty()) return "the name is empty";
  const std::string quoted = text::Quote(name);
  if (static_cast<std::int64_t>(name.size()) > maxLength) {
    return "the name " + quoted + " is longer than " + std::to_string(maxLength) + " characters";
  }
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (plain ? byte <= 0x20 || std::string_view("\\/:.,;*?\"<>|=[]").find(c) != std::string::npos
              : byte < 0x20 || std::string_view(".\\=").find(c) != std::string::npos) {
      return "the name " + quoted + " holds the character " + text::Quote(std::string(1, c));
    }
  }
  return text::FitsCp1252(name)
             ? ""
             : "the name " + quoted + " holds a character without a Windows-1252 code";
}

bool IsContainer(const std::string& objectClass) {
  return objectClass == "Country" || objectClass == "Locality" || objectClass == "Organization" ||
         objectClass == "Organizational Unit";
}

}  // namespace

[[noreturn]] void Fail(const std::string& place, const std::string& message) {
  throw SimError(place.empty() ? message : place + ": " + message);
}

std::string Index(const std::string& place, std::size_t i) {
  return place + "[" + std::to_string(i) + "]";
}

std::string Field(const std::string& place, std::string_view key) {
  return place.empty() ? std::string(key) : place + "." + std::string(key);
}

std::int64_t Integer(const json& value) {
  return value.is_number_unsigned() ? static_cast<std::int64_t>(value.get<std::uint64_t>())
                                    : value.get<std::int64_t>();
}

int BinderyType(const json& value) {
  if (value.is_string()) {
    std::string folded = text::Fold(value.get<std::string>());
    return folded == "USER" ? 0x0100 : folded == "GROUP" ? 0x0200 : -1;
  }
  if (!value.is_number_integer()) return -1;
  std::int64_t type = Integer(value);
  return type > 0 && type < 0xFFFF ? static_cast<int>(type) : -1;
}

std::int64_t Rights(const json& value) {
  return value.is_string() ? *formats::RightsBitsFromText(value.get<std::string>(), nullptr)
                           : Integer(value);
}

std::vector<std::string> Components(const std::string& given, std::string* why) {
  auto components = ParseVolumePath("V:" + given)->directories;
  for (const auto& name : components) {
    if (why != nullptr && why->empty() && !ValidComponent(name, why)) {
      *why = text::Quote(given) + " holds " + *why;
    }
  }
  return components;
}

void Check(const json& node, std::string_view where, const std::string& place) {
  if (!node.is_object()) {
    Fail(place, place.empty() ? "the description must be a JSON object" : "must be a JSON object");
  }
  for (const auto& item : node.items()) {
    if (std::none_of(std::begin(kFields), std::end(kFields), [&](const FieldRule& rule) {
          return rule.where == where && rule.name == item.key();
        })) {
      Fail(place, "unknown field " + text::Quote(item.key()));
    }
  }
  for (const FieldRule& rule : kFields) {
    if (rule.where != where) continue;
    const std::string name(rule.name), at = Field(place, rule.name);
    if (!node.contains(name)) {
      if (rule.required) Fail(place, "the field " + text::Quote(name) + " is missing");
      continue;
    }
    const json& value = node[name];
    const bool number = value.is_number_integer();
    std::string why;
    switch (rule.kind) {
      case kTextOrNull:
        if (value.is_null()) break;
        [[fallthrough]];
      case kText:
      case kName:
      case kObjectName:
      case kPath:
        if (!value.is_string()) Fail(at, "must be a text");
        if (rule.kind == kPath) Components(value.get<std::string>(), &why);
        if (rule.kind == kName || rule.kind == kObjectName) {
          why = CheckName(value.get<std::string>(), rule.high, rule.kind == kName);
        }
        if (!why.empty()) Fail(at, why);
        break;
      case kRights:
        if (value.is_string()) {
          if (!formats::RightsBitsFromText(value.get<std::string>(), &why)) {
            Fail(at, "unknown right " + text::Quote(why) +
                         " (rights are Read, Write, Create, Delete, AccessCtrl, FileScan, Modify, "
                         "Supervisor, joined by \"-\")");
          }
          break;
        }
        if (!number) Fail(at, "must be a rights text or a number");
        [[fallthrough]];
      case kNumber:
        if (!number) Fail(at, "must be a whole number");
        if (Integer(value) < rule.low || Integer(value) > rule.high) {
          Fail(at, std::to_string(Integer(value)) + " is not between " + std::to_string(rule.low) +
                       " and " + std::to_string(rule.high));
        }
        break;
      case kFlag:
        if (!value.is_boolean()) Fail(at, "must be true or false");
        break;
      case kTexts:
      case kPaths:
      case kList:
        if (!value.is_array()) Fail(at, "must be a list");
        for (std::size_t i = 0; rule.kind != kList && i < value.size(); ++i) {
          if (!value[i].is_string()) Fail(Index(at, i), "must be a text");
          if (rule.kind == kPaths) Components(value[i].get<std::string>(), &why);
          if (!why.empty()) Fail(Index(at, i), why);
        }
        break;
      case kType:
        if (BinderyType(value) < 0) Fail(at, "must be \"user\", \"group\" or a number");
        break;
      case kObject:
        break;  // checked as its own node
    }
  }
}

std::string Text(const json& node, const char* key, const std::string& otherwise) {
  return node.contains(key) ? node[key].get<std::string>() : otherwise;
}
std::int64_t Number(const json& node, const char* key, std::int64_t otherwise) {
  return node.contains(key) ? Integer(node[key]) : otherwise;
}
bool Flag(const json& node, const char* key, bool otherwise) {
  return node.contains(key) ? node[key].get<bool>() : otherwise;
}
std::string Needed(const json& node, const char* key, const std::string& place) {
  if (!node.contains(key)) Fail(place, "the field " + text::Quote(key) + " is missing");
  return node[key].get<std::string>();
}

std::string Placement(const std::string& objectClass, const std::string& parentClass) {
  const bool root = parentClass.empty();
  if (!root && !IsContainer(parentClass)) return "a " + parentClass + " cannot hold other objects";
  if (objectClass == "Country" && !root) return "a Country stands only directly below [Root]";
  if (objectClass == "Organization" && !root && parentClass != "Country" &&
      parentClass != "Locality") {
    return "an Organization stands below [Root], a Country or a Locality";
  }
  if (objectClass == "Organizational Unit" && parentClass != "Organization" &&
      parentClass != "Organizational Unit" && parentClass != "Locality") {
    return "an Organizational Unit stands below an Organization, a Locality or another unit";
  }
  if (!IsContainer(objectClass) && root) {
    return "a " + objectClass + " needs a container; it cannot stand directly below [Root]";
  }
  return "";
}

}  // namespace sim::description
