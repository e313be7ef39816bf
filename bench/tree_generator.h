// The registry tree the benchmarks export and import: keys three levels deep, each with
// strings of 20 to 60 characters, DWORDs and binary values of 8 to 64 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace kelvra::bench {

struct TreeShape {
    int firstLevel = 10;
    int secondLevel = 10;  // below each first-level key
    int thirdLevel = 19;   // below each second-level key
    int strings = 30;      // values of each key
    int dwords = 10;
    int binaries = 10;
};

// Writes the tree below HKEY_CURRENT_USER\<subkey>; returns the number of values written.
std::int64_t GenerateTree(const std::string& subkey, const TreeShape& shape, std::uint32_t seed);

// The number of keys (itself included) and values below HKEY_CURRENT_USER\<subkey>.
std::pair<std::int64_t, std::int64_t> CountTree(const std::string& subkey);

// Deletes it again.
void DeleteTree(const std::string& subkey);

}  // namespace kelvra::bench
