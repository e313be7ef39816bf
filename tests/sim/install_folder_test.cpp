// The install folder checks and the whole report text on an arranged simulated machine.
#include <gtest/gtest.h>

#include "platform/sim/machine.h"
#include "platform/text.h"
#include "report/file_table.h"
#include "report/install_folder_checks.h"
#include "report/verification_report.h"
#include "support/test_control.h"

namespace {

using platform::sim::DrawOp;
using platform::sim::RecordingSurface;
namespace reg = platform::registry;

class InstallFolderChecks : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        m().osVersion = platform::kernel32::OsVersionInfo{4, 0, 1381, 2};
        m().now = {2026, 12, 8, 9, 0, 0};
        auto environment = m().RegistryKey(
            reg::kLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
        environment->values.emplace_back(
            "Path",
            reg::Value{
                reg::kRegExpandSz,
                platform::text::EncodeRegistryString(
                    "%SystemRoot%\\system32;%SystemRoot%;C:\\Program Files\\Bin\\Quorvane")});
        m().SetEnv("PATH",
                   "C:\\WINDOWS\\system32;C:\\WINDOWS;C:\\Program Files\\Bin\\Quorvane;C:\\Tools");
        m().AddFolder("C:\\Tools");
    }
    static platform::sim::Machine& m() { return platform::sim::machine(); }

    static std::vector<DrawOp> Texts(const RecordingSurface& surface) {
        std::vector<DrawOp> texts;
        for (const DrawOp& op : surface.ops()) {
            if (op.kind == DrawOp::Kind::kText) {
                texts.push_back(op);
            }
        }
        return texts;
    }
};

TEST_F(InstallFolderChecks, MessagesNameTheFolderTested) {
    EXPECT_EQ(report::InstallFolderMessage(true), "C:\\Program Files\\Bin\\Quorvane Folder exists");
    EXPECT_EQ(report::InstallFolderMessage(false),
              "C:\\Program Files\\Bin\\Quorvane Folder does not exist");
}

TEST_F(InstallFolderChecks, TheWholeReportTextByteForByte) {
    m().AddFolder("C:\\Program Files\\Bin\\Quorvane");
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    std::string expected =
        "  Kelvra System Files verification 12/8/2026 on Windows NT 4.0\t File\t Reg_Info\tDate"
        "\tSize\t Version\r\r  File version verification 12/8/2026 on Windows NT 4.0\r\r"
        "  File,Reg_Info,Date,Size,Version";
    for (std::string_view name : report::kFileList) {
        expected += "\r";
        expected += name == "GDI32.dll"
                        ? std::string("C:\\WINDOWS\\system32\\GDI32.dll, n/a, 5/17/2006, 2 bytes, ")
                        : "Unable to locate " + std::string(name) + ", ,na,na, ";
    }
    expected +=
        "\rC:\\Program Files\\Bin\\Quorvane Folder exists"
        "\r\rSystem PATH environment variables for Quorvane\r"
        "\rQuorvane C:\\Program Files\\Bin\\Quorvane\\\r\tFull Path Name: C:\\Program "
        "Files\\Bin\\Quorvane\\\r"
        "\r\rUser PATH environment variables\r\r";
    EXPECT_EQ(reportText, expected);
}

TEST_F(InstallFolderChecks, WindowOrderOfThePass) {
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    const auto texts = Texts(surface);
    const auto heading = std::find_if(texts.begin(), texts.end(), [](const DrawOp& op) {
        return op.text == "  Check that install folder exists";
    });
    ASSERT_NE(heading, texts.end());
    const double h = RecordingSurface::kLineHeight;
    // Three spacer lines before the first heading, after the last file row.
    EXPECT_EQ(heading[-3].text, "  ");
    EXPECT_EQ(heading[-2].text, "  ");
    EXPECT_EQ(heading[-1].text, "  ");
    EXPECT_EQ(heading[1].text, "  ");
    EXPECT_EQ(heading[2].text, "  C:\\Program Files\\Bin\\Quorvane Folder does not exist");
    EXPECT_EQ(heading[2].y, heading->y + 2 * h);
    // The first spacer after it ends the message's line.
    EXPECT_EQ(heading[3].text, "  ");
    EXPECT_EQ(heading[3].y, heading[2].y);
    EXPECT_EQ(heading[6].text, "  Check that install folder is included in PATH");
    EXPECT_EQ(heading[6].y, heading[2].y + 3 * h);
    EXPECT_EQ(heading[7].text, "  ");
    // The PATH report, drawn from x = 0 with its CR-separated lines.
    EXPECT_EQ(heading[8].text, "  ");
    EXPECT_EQ(heading[8].y, heading[6].y + 2 * h);
    EXPECT_EQ(heading[9].text, "System PATH environment variables for Quorvane");
    EXPECT_EQ(heading[9].x, 0);
    EXPECT_EQ(heading[9].y, heading[8].y + h);
}

TEST_F(InstallFolderChecks, TheActiveXBlockIsDrawnAfterThePathBlockAsItsTextSays) {
    ASSERT_TRUE(kelvra::test::PlaceTestControl("C:\\Tools\\SPIN32.OCX"));
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    EXPECT_TRUE(reportText.ends_with(
        "\r\rUser PATH environment variables\r\rActiveX registration\r\rSPIN32.OCX: not "
        "registered\r\r"));
    const auto texts = Texts(surface);
    const auto heading = std::find_if(texts.begin(), texts.end(), [](const DrawOp& op) {
        return op.text == "ActiveX registration";
    });
    ASSERT_NE(heading, texts.end());
    ASSERT_EQ(texts.end() - heading, 2);
    const double h = RecordingSurface::kLineHeight;
    EXPECT_EQ(heading[-1].text, "User PATH environment variables");
    EXPECT_EQ(heading->y, heading[-1].y + 2 * h);
    EXPECT_EQ(heading->x, 0);
    EXPECT_EQ(heading[1].text, "SPIN32.OCX: not registered");
    EXPECT_EQ(heading[1].y, heading->y + 2 * h);
    EXPECT_EQ(heading[1].x, 0);
}

TEST_F(InstallFolderChecks, EveryRunStartsItsPathReportAfresh) {
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string first = form.Run(surface);
    // The table is kept from the first run: a changed PATH shows only in a new window.
    m().SetEnv("PATH", "C:\\Elsewhere\\Quorvane");
    EXPECT_EQ(form.Run(surface), first);
    report::VerificationReport newWindow;
    EXPECT_NE(newWindow.Run(surface).find("C:\\Elsewhere\\Quorvane"), std::string::npos);
}

}  // namespace
