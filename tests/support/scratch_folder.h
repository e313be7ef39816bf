// A folder of the test's own below the machine's TEMP folder, made the current folder while
// the test runs. On the simulated machine the whole machine is reset first.
#pragma once

#include <string>
#include <string_view>

namespace kelvra::test {

class ScratchFolder {
  public:
    ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    [[nodiscard]] const std::string& path() const { return path_; }
    // The path of a name inside the folder.
    [[nodiscard]] std::string operator/(std::string_view name) const;

  private:
    std::string previousDirectory_;
    std::string path_;
};

// Whether the tests run against the simulated machine.
constexpr bool kSimulated =
#if defined(_WIN32)
    false;
#else
    true;
#endif

}  // namespace kelvra::test
