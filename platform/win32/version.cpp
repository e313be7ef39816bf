// version.dll through its wide-character functions.
#include "platform/version.h"

#include <cstdint>
#include <cstring>

#include "platform/win32/wide.h"
#include "platform/win32/windows_api.h"

namespace platform::version {

std::optional<std::vector<std::uint8_t>> GetFileVersionInfo(std::string_view path) {
    const std::wstring widePath = win32::Widen(path);
    DWORD ignored = 0;
    const DWORD cbInfo = ::GetFileVersionInfoSizeW(widePath.c_str(), &ignored);
    if (cbInfo == 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> block(cbInfo);
    if (!::GetFileVersionInfoW(widePath.c_str(), 0, cbInfo, block.data())) {
        return std::nullopt;
    }
    return block;
}

std::optional<FixedFileInfo> QueryRootBlock(std::span<const std::uint8_t> block) {
    // VerQueryValue trusts the block's own length field (its first 16 bits): hand it only a
    // block that holds as many bytes as that field claims.
    if (block.size() < sizeof(VS_FIXEDFILEINFO) ||
        (block[0] | (block[1] << 8)) > static_cast<int>(block.size())) {
        return std::nullopt;
    }
    void* value = nullptr;
    UINT cbValue = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &value, &cbValue) || value == nullptr ||
        cbValue < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    // The answer must lie inside the block that was passed.
    const auto at = reinterpret_cast<std::uintptr_t>(value);
    const auto begin = reinterpret_cast<std::uintptr_t>(block.data());
    if (at < begin || at - begin > block.size() - sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, value, sizeof(fixed));
    if (fixed.dwSignature != 0xFEEF04BDu) {
        return std::nullopt;
    }
    FixedFileInfo info;
    info.signature = fixed.dwSignature;
    info.strucVersion = fixed.dwStrucVersion;
    info.fileVersionMS = fixed.dwFileVersionMS;
    info.fileVersionLS = fixed.dwFileVersionLS;
    info.productVersionMS = fixed.dwProductVersionMS;
    info.productVersionLS = fixed.dwProductVersionLS;
    info.fileFlagsMask = fixed.dwFileFlagsMask;
    info.fileFlags = fixed.dwFileFlags;
    info.fileOS = fixed.dwFileOS;
    info.fileType = fixed.dwFileType;
    info.fileSubtype = fixed.dwFileSubtype;
    info.fileDateMS = fixed.dwFileDateMS;
    info.fileDateLS = fixed.dwFileDateLS;
    return info;
}

}  // namespace platform::version
