#include "platform/type_library.h"

#include "platform/win32/windows_api.h"

#include <oleauto.h>

#include <cstdio>

#include "platform/kernel32.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/wide.h"

namespace platform::type_library {
namespace {

using win32::ComPtr;
using win32::UniqueBstr;

// Attributes that a type library or a type information lends out, given back to it when the
// object goes.
template <typename Owner, typename Attributes, auto Get, auto Release>
class LentAttributes {
  public:
    explicit LentAttributes(Owner* owner) : owner_(owner) {
        if (FAILED((owner_->*Get)(&attributes_))) {
            attributes_ = nullptr;
        }
    }
    LentAttributes(const LentAttributes&) = delete;
    LentAttributes& operator=(const LentAttributes&) = delete;
    ~LentAttributes() {
        if (attributes_ != nullptr) {
            (owner_->*Release)(attributes_);
        }
    }
    [[nodiscard]] const Attributes* get() const { return attributes_; }

  private:
    Owner* owner_;
    Attributes* attributes_ = nullptr;
};

using LibraryAttributes =
    LentAttributes<ITypeLib, TLIBATTR, &ITypeLib::GetLibAttr, &ITypeLib::ReleaseTLibAttr>;
using TypeAttributes =
    LentAttributes<ITypeInfo, TYPEATTR, &ITypeInfo::GetTypeAttr, &ITypeInfo::ReleaseTypeAttr>;

std::string GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    const int length = ::StringFromGUID2(guid, text, 40);
    return length > 1 ? win32::Narrow(std::wstring_view(text, length - 1)) : "";
}

std::string FailureText(HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    std::string text = "the type library cannot be read (" + std::string(code) + ")";
    if (auto message = kernel32::FormatSystemMessage(static_cast<std::uint32_t>(result))) {
        while (!message->empty() && (message->back() == '\n' || message->back() == '\r')) {
            message->pop_back();
        }
        text += ": " + *message;
    }
    return text;
}

// The class at `index`, when the type there is one.
std::optional<CoClass> ClassAt(ITypeLib* library, UINT index) {
    TYPEKIND kind{};
    if (FAILED(library->GetTypeInfoType(index, &kind)) || kind != TKIND_COCLASS) {
        return std::nullopt;
    }
    ComPtr<ITypeInfo> info;
    if (FAILED(library->GetTypeInfo(index, info.put()))) {
        return std::nullopt;
    }
    const TypeAttributes attributes(info.get());
    if (attributes.get() == nullptr) {
        return std::nullopt;
    }
    CoClass coclass;
    coclass.id = GuidText(attributes.get()->guid);
    coclass.creatable = (attributes.get()->wTypeFlags & TYPEFLAG_FCANCREATE) != 0;
    UniqueBstr name;
    if (SUCCEEDED(library->GetDocumentation(static_cast<INT>(index), name.put(), nullptr, nullptr,
                                            nullptr)) &&
        name) {
        coclass.name = win32::Narrow(std::wstring_view(name.get(), ::SysStringLen(name.get())));
    }
    return coclass;
}

}  // namespace

Reading ReadTypeLibrary(std::string_view path) {
    Reading reading;
    ComPtr<ITypeLib> library;
    // REGKIND_NONE: nothing is registered. An image is mapped as data to find its resource.
    const HRESULT loaded = ::LoadTypeLibEx(win32::Widen(path).c_str(), REGKIND_NONE, library.put());
    if (FAILED(loaded) || !library) {
        reading.reason = FailureText(loaded);
        return reading;
    }
    const LibraryAttributes attributes(library.get());
    if (attributes.get() == nullptr) {
        reading.reason = "the type library has no attributes";
        return reading;
    }
    TypeLibraryInfo info;
    info.id = GuidText(attributes.get()->guid);
    info.majorVersion = attributes.get()->wMajorVerNum;
    info.minorVersion = attributes.get()->wMinorVerNum;
    info.locale = attributes.get()->lcid;
    info.platform = static_cast<std::uint32_t>(attributes.get()->syskind);
    const UINT count = library.get()->GetTypeInfoCount();
    for (UINT index = 0; index < count; ++index) {
        if (auto coclass = ClassAt(library.get(), index)) {
            info.classes.push_back(std::move(*coclass));
        }
    }
    reading.library = std::move(info);
    return reading;
}

}  // namespace platform::type_library
