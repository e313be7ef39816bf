#include "fileinfo/file_locator.h"

#include "platform/text.h"

namespace fileinfo {

const ImportWalk& FileLocator::WalkOf(std::string_view path) {
    const std::string key = platform::text::AsciiUpper(path);
    auto found = walks_.find(key);
    if (found == walks_.end()) {
        found = walks_.emplace(key, WalkImports(records_.Of(path), resolver_)).first;
    }
    return found->second;
}

}  // namespace fileinfo
