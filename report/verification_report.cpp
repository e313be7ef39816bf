#include "report/verification_report.h"

#include <array>

#include "report/activex_registration.h"
#include "report/file_table.h"
#include "report/install_folder_checks.h"
#include "report/search_path_copies.h"

namespace report {
namespace {

using platform::runtime::OutputFile;

// A step of the run that fails is skipped without a trace on the report; the run goes on.
// False when it failed.
template <typename Step>
bool SkipOnFailure(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {  // NOLINT(bugprone-empty-catch): skipping is the run's rule
        return false;
    }
}

void WriteLog(OutputFile* log, std::string_view line) {
    if (log != nullptr) {
        log->PrintLine(line);
    }
}

std::string TitleNow(std::string_view prefix, const fileinfo::CDLLVersion& version) {
    return TitleLine(prefix, platform::runtime::FormatShortDate(platform::runtime::Now()),
                     version.GetOSVersion());
}

}  // namespace

std::string TitleLine(std::string_view prefix, std::string_view date, std::string_view osName) {
    std::string line(prefix);
    line += date;
    line += " on ";
    line += osName;
    return line;
}

std::string VerificationReport::Run(platform::window::Surface& surface,
                                    const ProgressCallback& progress, std::stop_token stop) {
    Progress current;
    platform::library_probe::Options probe;
    probe.limitSeconds = settings_.timeoutSeconds;
    probe.waitWhileProbeShowsWindow = settings_.waitWhileStartUpShowsWindow;
    probe.stop = std::move(stop);
    probe.windowShown = [&current, &progress](bool shown) {
        current.startUpWindowShown = shown;
        if (progress) {
            SkipOnFailure([&] { progress(current); });
        }
    };
    RunState run{surface, fileinfo::CDLLVersion{std::move(probe)}, {}, nullptr, {}, {}};
    SkipOnFailure([&] { surface.Cls(); });
    SkipOnFailure([&] { run.columns = ComputeColumnPositions(surface.Width()); });
    SkipOnFailure([&] { run.log = OutputFile::Open(kLogFileName, OutputFile::Mode::kCreate); });
    SkipOnFailure([&] { DrawTitleAndHeader(run); });
    SkipOnFailure([&] { DrawSeparator(run); });
    SkipOnFailure([&] { WriteFileSectionHeading(run); });
    for (int pass = 1; pass <= kPassCount; ++pass) {
        const bool filePass = pass <= static_cast<int>(kFileList.size());
        current =
            Progress{pass, filePass ? kFileList.at(static_cast<std::size_t>(pass - 1)) : "", false};
        if (progress) {
            SkipOnFailure([&] { progress(current); });
        }
        if (!SkipOnFailure([&] { RunPass(run, pass); })) {
            run.facts.failedPasses.push_back(pass);
        }
    }
    run.log.reset();  // closes the log file
    facts_ = std::move(run.facts);
    return std::move(run.text);
}

void VerificationReport::DrawTitleAndHeader(RunState& run) {
    auto& s = run.surface;
    const std::string title = TitleNow(kReportTitlePrefix, run.version);
    run.text = title;
    s.Print(title, true);
    s.Print("", true);

    struct Column {
        std::string_view name;
        long x;
    };
    const std::array<Column, 5> header = {{{" File", 0},
                                           {" Reg_Info", run.columns.regInfo},
                                           {"Date", run.columns.date},
                                           {"Size", run.columns.size},
                                           {" Version", run.columns.version}}};
    for (const Column& column : header) {
        run.text += '\t';
        run.text += column.name;
        if (column.x != 0) {
            s.SetCurrentX(static_cast<double>(column.x));
        }
        s.Print(column.name, false);
    }
    s.Print("", true);
    s.Print("", true);
}

void VerificationReport::DrawSeparator(RunState& run) {
    auto& s = run.surface;
    const double width = s.Width();
    s.Line(0, s.CurrentY(), width, 0, platform::window::kButtonShadow);
    s.SetCurrentY(s.CurrentY() + s.TwipsPerPixelY());
    s.Line(0, s.CurrentY(), width, 0, platform::window::k3DHighlight);
    s.SetCurrentX(0);
    s.SetCurrentY(s.TwipsPerPixelY() * 4 + s.CurrentY());
}

void VerificationReport::WriteFileSectionHeading(RunState& run) {
    const std::string title = TitleNow(kFileSectionTitlePrefix, run.version);
    WriteLog(run.log.get(), title);
    run.text += "\r\r";
    run.text += title;
    WriteLog(run.log.get(), "");
    WriteLog(run.log.get(), kLogColumnHeader);
    run.text += "\r\r";
    run.text += kLogColumnHeader;
}

void VerificationReport::RunPass(RunState& run, int pass) {
    if (pass <= static_cast<int>(kFileList.size())) {
        const std::string line = RunFilePass(run.surface, run.version, run.columns, pass);
        AppendLine(run, line);
        RecordFileRow(run, pass, line);
        return;
    }
    const InstallFolderResult checks =
        RunInstallFolderChecks(run.surface, fileSystem_, pathTable_, installFolder_);
    run.facts.installFolder = {installFolder_, checks.installFolderExists};
    run.facts.pathTable = pathTable_;
    AppendLine(run, checks.message);
    AppendLine(run, checks.pathReport);
    // The blocks after the PATH block start where the one before ended, after its empty line.
    run.text += RunActiveXRegistration(run.surface, run.facts.files, run.version.Records());
    run.text += RunSearchPathCopies(run.surface, run.version.Records(), run.facts);
}

void VerificationReport::RecordFileRow(RunState& run, int pass, std::string_view line) {
    FileRowRecord row;
    row.name = kFileList.at(static_cast<std::size_t>(pass - 1));
    row.loadInfoFailed = line.starts_with(kErrorRowPrefix);
    if (!row.loadInfoFailed) {
        const fileinfo::CDLLVersion& v = run.version;
        row.located = v.Located();
        row.path = v.FilePathName();
        row.regInfo = v.FileRegistrationInfo();
        row.date = v.FileDate();
        row.size = v.FileSize();
        row.version = v.FileVersion();
        row.diagnosis = v.Diagnosis();
        row.filePath = v.DescribedFilePath();
    }
    run.facts.files.push_back(std::move(row));
}

void VerificationReport::AppendLine(RunState& run, std::string_view line) {
    run.text += '\r';
    run.text += line;
}

}  // namespace report
