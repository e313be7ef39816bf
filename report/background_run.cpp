#include "report/background_run.h"

namespace report {

BackgroundRun::BackgroundRun(VerificationReport& report, const platform::window::Canvas& canvas,
                             std::function<void()> notify)
    : notify_(std::move(notify)), worker_([this, &report, canvas](std::stop_token stop) {
          Work(report, canvas, std::move(stop));
      }) {}

VerificationReport::Progress BackgroundRun::LatestProgress() const {
    const std::lock_guard lock(mutex_);
    return progress_;
}

bool BackgroundRun::Ended() const {
    const std::lock_guard lock(mutex_);
    return ended_;
}

std::optional<BackgroundRun::Result> BackgroundRun::TakeResult() {
    const std::lock_guard lock(mutex_);
    if (!ended_) {
        return std::nullopt;
    }
    return std::exchange(result_, std::nullopt);
}

void BackgroundRun::Work(VerificationReport& report, platform::window::Canvas canvas,
                         std::stop_token stop) {
    Result result;
    try {
        result.drawing = platform::window::CreateOffscreenSurface(canvas.widthTwips,
                                                                  canvas.heightTwips, canvas.dpi);
        result.reportText = report.Run(
            *result.drawing,
            [this](const auto& progress) {
                {
                    const std::lock_guard lock(mutex_);
                    progress_ = progress;
                }
                notify_();
            },
            std::move(stop));
    } catch (...) {  // NOLINT(bugprone-empty-catch): a run ends with what it has
    }
    {
        const std::lock_guard lock(mutex_);
        result_ = std::move(result);
        ended_ = true;
    }
    notify_();
}

}  // namespace report
