#include "report/form1.h"

#include "report/file_table.h"
#include "report/unattended_run.h"

namespace report {

std::string ProgressText(const VerificationReport::Progress& progress) {
    if (progress.pass <= 0) {
        return "Starting the report";
    }
    if (progress.fileName.empty()) {
        return "Checking the install folder and the PATH";
    }
    const std::string count =
        " (" + std::to_string(progress.pass) + " of " + std::to_string(kFileList.size()) + ")";
    if (progress.startUpWindowShown) {
        return "The start-up code of " + std::string(progress.fileName) + " is showing a window" +
               count + ": the report goes on when it is closed";
    }
    return "Checking " + std::string(progress.fileName) + count;
}

int RunReportWindow(const CommandLine& command) {
    CompareOption compare = ReadCompareOption(command);
    if (!compare.error.empty()) {
        platform::window::MessageBox(compare.error);
        return kExitUsageOrOutput;
    }
    Form1 form(command.timeoutSeconds, std::move(compare.reference));
    return platform::window::RunReportWindow(form);
}

void Form1::Shown(platform::window::ReportWindow& window) {
    StartRun(window);
}

void Form1::RunAgainRequested(platform::window::ReportWindow& window) {
    if (!RunInProgress()) {
        StartRun(window);
    }
}

void Form1::StartRun(platform::window::ReportWindow& window) {
    window.ShowStatus(ProgressText({}));
    run_ = std::make_unique<BackgroundRun>(report_, window.RunCanvas(), window.Notifier());
}

void Form1::RunNotified(platform::window::ReportWindow& window) {
    if (!run_) {
        return;
    }
    std::optional<BackgroundRun::Result> result = run_->TakeResult();
    if (!result) {
        window.ShowStatus(ProgressText(run_->LatestProgress()));
        return;
    }
    run_.reset();  // the worker has ended its work: this only collects the thread
    reportText_ = std::move(result->reportText);
    window.ShowReport(std::move(result->drawing));
}

void Form1::CopyTextClicked(platform::window::ReportWindow& window) {
    if (RunInProgress()) {
        window.ShowNotice(kReportNotCompleteMessage);
        return;
    }
    if (reportText_.empty()) {
        return;
    }
    if (!platform::window::SetClipboardText(reportText_)) {
        platform::window::MessageBox(kCopyFailedMessage);
    }
}

void Form1::DoneClicked() {
    platform::window::EndProgram();
}

}  // namespace report
