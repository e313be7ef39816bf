#include "report/verification_report.h"

#include <algorithm>

#include "fileinfo/dll_version.h"
#include "report/file_table.h"
#include "report/install_folder_checks.h"
#include "report/report_blocks.h"

namespace report {

std::string VerificationReport::Run(platform::window::Surface& surface,
                                    const ProgressCallback& progress, std::stop_token stop) {
    facts_ = Collect(progress, std::move(stop));
    std::vector<int> failed = DrawReport(surface, facts_);
    SkipOnFailure([&] {
        using platform::runtime::OutputFile;
        if (const auto log = OutputFile::Open(kLogFileName, OutputFile::Mode::kCreate)) {
            for (const std::string& line : LogLines(facts_)) {
                log->PrintLine(line);
            }
        }
    });
    std::string text = ReportText(facts_);
    // A pass that could not be drawn is not on the window: it did not complete either.
    failed.insert(failed.end(), facts_.failedPasses.begin(), facts_.failedPasses.end());
    std::sort(failed.begin(), failed.end());
    failed.erase(std::unique(failed.begin(), failed.end()), failed.end());
    facts_.failedPasses = std::move(failed);
    return text;
}

ReportFacts VerificationReport::Collect(const ProgressCallback& progress, std::stop_token stop) {
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
    fileinfo::FileLocator locator(std::move(probe));
    fileinfo::CDLLVersion version(locator);
    ReportFacts facts;
    SkipOnFailure([&] {
        facts.title = RunTitle{platform::runtime::Now(), version.GetOSVersion()};
    });
    SkipOnFailure([&] { facts.osVersion = platform::kernel32::GetVersionEx(); });
    SkipOnFailure([&] { facts.knownFolders = platform::known_folders::ReadKnownFolders(); });
    const BlockInputs inputs{locator, settings_.reference ? &*settings_.reference : nullptr};
    for (int pass = 1; pass <= kPassCount; ++pass) {
        const bool filePass = pass <= static_cast<int>(kFileList.size());
        current =
            Progress{pass, filePass ? kFileList.at(static_cast<std::size_t>(pass - 1)) : "", false};
        if (progress) {
            SkipOnFailure([&] { progress(current); });
        }
        const bool completed = SkipOnFailure([&] {
            if (filePass) {
                facts.files.push_back(CollectFileRow(version, pass));
                return;
            }
            CollectInstallFolderChecks(facts, fileSystem_, pathTable_);
            for (const BlockAfterPath& block : kBlocksAfterPath) {
                block.collect(facts, inputs);
            }
        });
        if (!completed) {
            facts.failedPasses.push_back(pass);
        }
    }
    return facts;
}

}  // namespace report
