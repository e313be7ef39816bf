#include "bench/tree_generator.h"

#include <random>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace kelvra::bench {
namespace {

namespace reg = platform::registry;

std::string RandomText(std::mt19937& random, int minLength, int maxLength) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,:-_/()";
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string text(static_cast<std::size_t>(length(random)), ' ');
    for (char& c : text) {
        c = kAlphabet[pick(random)];
    }
    return text;
}

std::int64_t FillKey(reg::RawKey key, const TreeShape& shape, std::mt19937& random) {
    std::int64_t count = 0;
    for (int i = 0; i < shape.strings; ++i) {
        reg::SetValue(key, "Text" + std::to_string(i), reg::kRegSz,
                      platform::text::EncodeRegistryString(RandomText(random, 20, 60)));
        ++count;
    }
    for (int i = 0; i < shape.dwords; ++i) {
        const std::uint32_t number = random();
        const std::uint8_t bytes[4] = {
            static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
        reg::SetValue(key, "Number" + std::to_string(i), reg::kRegDword, bytes);
        ++count;
    }
    std::uniform_int_distribution<int> size(8, 64);
    for (int i = 0; i < shape.binaries; ++i) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size(random)));
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        reg::SetValue(key, "Bytes" + std::to_string(i), reg::kRegBinary, bytes);
        ++count;
    }
    return count;
}

std::int64_t AddKey(const std::string& path, const TreeShape& shape, std::mt19937& random) {
    reg::Key key;
    if (reg::CreateKey(reg::PredefinedKey(reg::kCurrentUser), path, key) != 0) {
        return 0;
    }
    return FillKey(key.get(), shape, random);
}

}  // namespace

std::int64_t GenerateTree(const std::string& subkey, const TreeShape& shape, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::int64_t values = 0;
    for (int a = 0; a < shape.firstLevel; ++a) {
        const std::string first = subkey + "\\Group" + std::to_string(a);
        values += AddKey(first, shape, random);
        for (int b = 0; b < shape.secondLevel; ++b) {
            const std::string second = first + "\\Set" + std::to_string(b);
            values += AddKey(second, shape, random);
            for (int c = 0; c < shape.thirdLevel; ++c) {
                values += AddKey(second + "\\Item" + std::to_string(c), shape, random);
            }
        }
    }
    return values;
}

std::pair<std::int64_t, std::int64_t> CountTree(const std::string& subkey) {
    reg::Key key;
    if (reg::OpenKey(reg::PredefinedKey(reg::kCurrentUser), subkey, reg::kKeyRead, key) != 0) {
        return {0, 0};
    }
    std::pair<std::int64_t, std::int64_t> counts{1, 0};
    std::string name;
    reg::Value value;
    for (std::uint32_t i = 0; reg::EnumValue(key.get(), i, name, value) == 0; ++i) {
        ++counts.second;
    }
    for (std::uint32_t i = 0; reg::EnumKey(key.get(), i, name) == 0; ++i) {
        const auto below = CountTree(subkey + "\\" + name);
        counts.first += below.first;
        counts.second += below.second;
    }
    return counts;
}

void DeleteTree(const std::string& subkey) {
    reg::DeleteTree(reg::PredefinedKey(reg::kCurrentUser), subkey);
}

}  // namespace kelvra::bench
