// A report run on a worker thread of its own, so that the window stays responsive while a
// file's start-up code is slow or shows a box.
//
// The contract is the sequential one: the run is exactly VerificationReport::Run on a fresh
// off-screen surface, with the same passes in the same order, the same drawing, text and
// log; only the thread differs. The worker makes the surface itself and draws on it alone;
// the caller gets it only once the run has ended. Nothing waits for the worker but the
// destructor, which first asks the run to stop: the file being checked has its probe process
// ended, the files after it are not loaded, and the run ends soon.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/window.h"
#include "report/verification_report.h"

namespace report {

class BackgroundRun {
  public:
    struct Result {
        std::string reportText;
        std::unique_ptr<platform::window::OffscreenSurface> drawing;  // null if none was made
    };

    // Starts the run at once. `notify` is called on the worker after every change of the
    // progress and once more when the run has ended. `report` must outlive the run.
    BackgroundRun(VerificationReport& report, const platform::window::Canvas& canvas,
                  std::function<void()> notify);
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;
    ~BackgroundRun() = default;  // stops the run and joins the worker

    // The pass that started last; pass 0 before the first.
    [[nodiscard]] VerificationReport::Progress LatestProgress() const;
    [[nodiscard]] bool Ended() const;
    // The run's result, once it has ended (only the first call gets it).
    std::optional<Result> TakeResult();

  private:
    void Work(VerificationReport& report, platform::window::Canvas canvas, std::stop_token stop);

    std::function<void()> notify_;
    mutable std::mutex mutex_;
    VerificationReport::Progress progress_;
    bool ended_ = false;
    std::optional<Result> result_;
    std::jthread worker_;  // last: it starts once the members above exist
};

}  // namespace report
