#include "support/scratch_folder.h"

#include <atomic>
#include <random>
#include <stdexcept>

#include "platform/runtime.h"

#if defined(_WIN32)
#include <filesystem>
#else
#include "platform/sim/machine.h"
#endif

namespace kelvra::test {
namespace {

std::string UniqueName() {
    static std::atomic<int> counter{0};
    static const unsigned run = std::random_device{}() % 1000000;
    return "kelvra-test-" + std::to_string(run) + "-" + std::to_string(++counter);
}

}  // namespace

ScratchFolder::ScratchFolder() {
#if !defined(_WIN32)
    platform::sim::Reset();
#endif
    previousDirectory_ = platform::runtime::CurDir();
    std::string temp = platform::runtime::Environ("TEMP");
    if (!temp.ends_with('\\')) {
        temp += '\\';
    }
    path_ = temp + UniqueName();
    if (!platform::runtime::CreateDirectory(path_) || !platform::runtime::ChDir(path_)) {
        throw std::runtime_error("cannot make the scratch folder " + path_);
    }
}

ScratchFolder::~ScratchFolder() {
    platform::runtime::ChDir(previousDirectory_);
#if defined(_WIN32)
    std::error_code ignored;
    std::filesystem::remove_all(
        std::filesystem::path(reinterpret_cast<const char8_t*>(path_.c_str())), ignored);
#endif
}

std::string ScratchFolder::operator/(std::string_view name) const {
    return path_ + "\\" + std::string(name);
}

}  // namespace kelvra::test
