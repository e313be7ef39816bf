// The file table on an arranged simulated machine: window rows at the column positions,
// spacer lines on the window only, result lines byte for byte, and the cases that only the
// simulation can arrange (no closed library, a rewritten name, error 1157, a drive root).
#include <gtest/gtest.h>

#include "fileinfo/dll_version.h"
#include "platform/sim/machine.h"
#include "report/file_table.h"
#include "report/verification_report.h"
#include "support/test_data.h"

namespace {

using platform::sim::DrawOp;
using platform::sim::RecordingSurface;

class FileTable : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        m().shortDateFormat = "yyyy-MM-dd";
        m().AddFile(m().systemFolder + "\\MSCOMCTL.OCX",
                    kelvra::test::TestDataBytes("x86/kelvra_ver6.dll"), {2004, 3, 8, 12, 0, 0});
        m().AddFile("C:\\Tools\\DravikLib.dll", kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"),
                    {2010, 11, 30, 8, 0, 0});
        m().AddFile("C:\\Tools\\libmmd.dll", kelvra::test::TestDataBytes("x64/kelvra_ver2.dll"));
        m().SetEnv("PATH", m().systemFolder + ";" + m().windowsFolder + ";C:\\Tools");
    }
    static platform::sim::Machine& m() { return platform::sim::machine(); }

    // The result lines of the run, after the three heading lines.
    static std::vector<std::string> ResultLines(const std::string& report) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t cut; (cut = report.find('\r', start)) != std::string::npos;
             start = cut + 1) {
            lines.push_back(report.substr(start, cut - start));
        }
        lines.push_back(report.substr(start));
        return {lines.begin() + 5, lines.end()};
    }

    static std::string Unlocated(std::string_view name) {
        return "Unable to locate " + std::string(name) + ", ,na,na, ";
    }
};

TEST_F(FileTable, ResultLinesByteForByte) {
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    const std::size_t ver6Size = kelvra::test::TestDataBytes("x86/kelvra_ver6.dll").size();
    const std::size_t ver2Size = kelvra::test::TestDataBytes("x86/kelvra_ver2.dll").size();
    std::vector<std::string> expected;
    for (std::string_view name : report::kFileList) {
        expected.push_back(Unlocated(name));
    }
    expected[5] = "C:\\WINDOWS\\system32\\MSCOMCTL.OCX, n/a, 2004-03-08, " +
                  std::to_string(ver6Size) + " bytes, 6.0.8169.0";
    expected[12] = "C:\\WINDOWS\\system32\\GDI32.dll, n/a, 2006-05-17, 2 bytes, ";
    expected[14] = "C:\\Tools\\DravikLib.dll, n/a, 2010-11-30, " + std::to_string(ver2Size) +
                   " bytes, 2.0.50727.42";
    // A 64-bit copy on the PATH of this 32-bit process: there, but it cannot be loaded.
    expected[16] =
        "Can't load C:\\Tools\\libmmd.dll: libmmd.dll is not a valid Win32 "
        "application., n/a, 2006-05-17, " +
        std::to_string(kelvra::test::TestDataBytes("x64/kelvra_ver2.dll").size()) +
        " bytes, 2.0.50727.42";
    const auto lines = ResultLines(reportText);
    ASSERT_GE(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i], expected[i]) << "pass " << i + 1;
    }
}

TEST_F(FileTable, RowsAtTheColumnsAndSpacersOnTheWindowOnly) {
    report::VerificationReport form;
    RecordingSurface surface(16815);
    const std::string reportText = form.Run(surface);
    std::vector<DrawOp> texts;
    for (const DrawOp& op : surface.ops()) {
        if (op.kind == DrawOp::Kind::kText && op.y >= 855) {
            texts.push_back(op);
        }
    }
    // Pass 6: five fields at 0 and the four column positions, on one line.
    const auto row = std::find_if(texts.begin(), texts.end(), [](const DrawOp& op) {
        return op.text == "  C:\\WINDOWS\\system32\\MSCOMCTL.OCX";
    });
    ASSERT_NE(row, texts.end());
    ASSERT_LE(row + 5, texts.end());
    const std::vector<std::pair<std::string, double>> fields = {
        {"  C:\\WINDOWS\\system32\\MSCOMCTL.OCX", 0},
        {" n/a", 6726},
        {"2004-03-08", 8408},
        {std::to_string(kelvra::test::TestDataBytes("x86/kelvra_ver6.dll").size()) + " bytes",
         10930},
        {"6.0.8169.0", 14293}};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(row[i].text, fields[i].first);
        EXPECT_EQ(row[i].x, fields[i].second);
        EXPECT_EQ(row[i].y, row->y);
    }
    // A file that is not located: its path text and a single blank at the Reg_Info column.
    EXPECT_EQ(texts[0].text, "  Unable to locate COMDLG32.ocx");
    EXPECT_EQ(texts[1].text, " ");
    EXPECT_EQ(texts[1].x, 6726);
    EXPECT_EQ(texts[2].y, texts[0].y + RecordingSurface::kLineHeight);

    // Spacer lines before the rows of passes 15 and 16, and no more rows after pass 19 here.
    const auto rowY = [&](std::string_view text) {
        const auto it = std::find_if(texts.begin(), texts.end(),
                                     [&](const DrawOp& op) { return op.text == text; });
        return it == texts.end() ? -1.0 : it->y;
    };
    const double h = RecordingSurface::kLineHeight;
    EXPECT_EQ(rowY("  C:\\Tools\\DravikLib.dll"), rowY("  Unable to locate MSVBVM60.dll") + 2 * h);
    EXPECT_EQ(rowY("  Unable to locate libifcoremd.dll"),
              rowY("  C:\\Tools\\DravikLib.dll") + 2 * h);
    EXPECT_EQ(rowY("  Can't load C:\\Tools\\libmmd.dll: libmmd.dll is not a valid Win32 "
                   "application."),
              rowY("  Unable to locate libifcoremd.dll") + h);
    EXPECT_EQ(reportText.find("  \r"), std::string::npos);
}

TEST_F(FileTable, WithoutTheClosedLibraryOnlyItsCallersGetTheErrorRow) {
    m().closedLibraryPresent = false;
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    const auto lines = ResultLines(reportText);
    EXPECT_EQ(lines[0], "  Error loading file info for : COMDLG32.ocx");
    EXPECT_EQ(lines[5].substr(0, 34), "C:\\WINDOWS\\system32\\MSCOMCTL.OCX, ");
    EXPECT_EQ(lines[12], "C:\\WINDOWS\\system32\\GDI32.dll, n/a, 2006-05-17, 2 bytes, ");
    EXPECT_EQ(lines[13], "  Error loading file info for : MSVBVM60.dll");
    EXPECT_EQ(lines[16], "  Error loading file info for : libmmd.dll");
}

TEST_F(FileTable, TheClosedLibraryMayRewriteTheNameAndLeavesTheLastError) {
    int calls = 0;
    m().findFileInPath = [&](std::string& name, std::string& path) {
        ++calls;
        EXPECT_EQ(path, std::string(1024, ' '));
        name = "REWRITTEN.DLL";
        m().lastError = 1157;
    };
    fileinfo::FileLocator locator;
    fileinfo::CDLLVersion version(locator);
    std::string module = "libmmd.dll";
    std::string clsid = "{00000000-0000-0000-0000-0000000000AA}";
    std::string clsidVersion = "1.0";
    long ierr = 0;
    report::clsVersionLoadFileInfo(version, module, clsid, clsidVersion, ierr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(module, "REWRITTEN.DLL");
    EXPECT_EQ(version.FilePathName(), "Can't load REWRITTEN.DLL");
    EXPECT_EQ(version.FileRegistrationInfo(), "Not Registered");

    // Code 0 and any other code give their own texts.
    m().findFileInPath = [&](std::string&, std::string&) { m().lastError = 0; };
    module = "Nowhere.dll";
    report::clsVersionLoadFileInfo(version, module, clsid, clsidVersion, ierr);
    EXPECT_EQ(version.FilePathName(), "Nowhere.dll Not Found");
    m().findFileInPath = [&](std::string&, std::string&) { m().lastError = 5; };
    report::clsVersionLoadFileInfo(version, module, clsid, clsidVersion, ierr);
    EXPECT_EQ(version.FilePathName(), "Nowhere.dll Access is denied.");
}

TEST_F(FileTable, AnExeInADriveRootHasOneBackslash) {
    m().AddFile("C:\\setup.Exe", "MZ");
    m().currentDirectory = "C:\\";
    fileinfo::FileLocator locator;
    fileinfo::CDLLVersion version(locator);
    std::string module = "setup.Exe";
    std::string none;
    std::string noneVersion;
    long ierr = 0;
    report::clsVersionLoadFileInfo(version, module, none, noneVersion, ierr);
    EXPECT_EQ(version.FilePathName(), "C:\\setup.Exe");
    EXPECT_EQ(version.FileSize(), 2);
}

TEST_F(FileTable, AHiddenExeIsNotFoundByTheDirectorySearch) {
    m().AddFile(m().currentDirectory + "\\hidden.exe", "MZ", {}, 0x02);
    fileinfo::FileLocator locator;
    fileinfo::CDLLVersion version(locator);
    std::string module = "hidden.exe";
    std::string none;
    std::string noneVersion;
    long ierr = 0;
    report::clsVersionLoadFileInfo(version, module, none, noneVersion, ierr);
    EXPECT_EQ(version.FilePathName(), "Unable to locate hidden.exe");
}

}  // namespace

namespace {

// A surface that fails whenever it is to draw a text holding `trigger`.
class FailingSurface : public platform::sim::RecordingSurface {
  public:
    explicit FailingSurface(std::string trigger)
        : RecordingSurface(16800), trigger_(std::move(trigger)) {}
    void Print(std::string_view text, bool endLine) override {
        if (text.find(trigger_) != std::string_view::npos) {
            throw std::runtime_error("drawing failed");
        }
        RecordingSurface::Print(text, endLine);
    }

  private:
    std::string trigger_;
};

// A pass that fails on an error of the report's own is skipped, as every step is, but the
// run's facts (which the verdict reads) know of it, whether its row was recorded or not.
TEST_F(FileTable, APassThatFailsIsKnownToTheVerdict) {
    for (const auto& [trigger, pass] :
         std::vector<std::pair<std::string, int>>{{"DravikLib", 15}, {"Quorvane", 20}}) {
        SCOPED_TRACE(trigger);
        report::VerificationReport form;
        FailingSurface surface(trigger);
        form.Run(surface);
        EXPECT_EQ(form.Facts().failedPasses, std::vector<int>{pass});
    }
}

}  // namespace
