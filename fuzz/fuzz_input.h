// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvra::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

inline std::span<const std::uint8_t> AsBytes(const std::uint8_t* data, std::size_t size) {
    return {data, size};
}

}  // namespace kelvra::fuzz
