#pragma once
// The checks of a JSON description of a network. A refusal throws SimError naming the place
// ("servers[0].volumes[1].name: ...") and what is wrong.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace sim::description {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& place, const std::string& message);
// "trees[2]", "servers[0].name".
std::string Index(const std::string& place, std::size_t i);
std::string Field(const std::string& place, std::string_view key);

// Refuses a node of the kind `where` ("description", "tree", "object", "server", "bindery",
// "volume", "assignment", "filter", "workstation", "mapping") that is no object, holds a field
// unknown there or lacks a required one, or holds a value of the wrong kind, out of range, or a
// name, path or rights text that cannot be.
void Check(const json& node, std::string_view where, const std::string& place);

// Values of fields Check passed, or `otherwise` when absent.
std::string Text(const json& node, const char* key, const std::string& otherwise = "");
std::int64_t Number(const json& node, const char* key, std::int64_t otherwise);
bool Flag(const json& node, const char* key, bool otherwise);
// A text field only some nodes of a kind need; refused when absent.
std::string Needed(const json& node, const char* key, const std::string& place);
std::int64_t Integer(const json& value);
// 0x0100 "user", 0x0200 "group", or the number; -1 when the value names no bindery type.
int BinderyType(const json& value);
// The mask of a "rights" field Check passed: a rights text or a number.
std::int64_t Rights(const json& value);

// The directories of a volume path: "/" and "\\" alike, one at either end ignored. `why`
// says what is wrong with a component, if anything.
std::vector<std::string> Components(const std::string& given, std::string* why = nullptr);

// Why `objectClass` may not stand below `parentClass` ("" for [Root]); "" when it may.
std::string Placement(const std::string& objectClass, const std::string& parentClass);

}  // namespace sim::description
