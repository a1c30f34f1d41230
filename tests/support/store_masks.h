#pragma once
// The raw rights masks the store of a network holds, read past the client library: a rights
// text cannot show every bit.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace testing_support {

// Each assignment of a volume's mask, by "directory as stored,object ID"; empty when the
// store cannot be read.
std::map<std::string, std::uint16_t> StoreMasks(const std::filesystem::path& network,
                                                const std::string& server,
                                                const std::string& volume);

}  // namespace testing_support
