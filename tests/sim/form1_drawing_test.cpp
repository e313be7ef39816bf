// What the report run draws, on the simulated machine where every drawing operation is
// recorded, and the failures only the simulation can arrange.
#include <gtest/gtest.h>

#include "platform/sim/machine.h"
#include "platform/sim/simulated_window.h"
#include "report/form1.h"

namespace {

using platform::sim::DrawOp;
using platform::sim::RecordingSurface;

class Form1Drawing : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        machine().osVersion = platform::kernel32::OsVersionInfo{5, 0, 2195, 2};
        machine().now = {2026, 3, 4, 17, 5, 0};
        machine().shortDateFormat = "dd.MM.yyyy";
    }
    static platform::sim::Machine& machine() { return platform::sim::machine(); }

    std::vector<DrawOp> TextsAt(const RecordingSurface& surface, double y) {
        std::vector<DrawOp> found;
        for (const DrawOp& op : surface.ops()) {
            if (op.kind == DrawOp::Kind::kText && op.y == y) {
                found.push_back(op);
            }
        }
        return found;
    }
};

TEST_F(Form1Drawing, LogFileByteForByte) {
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    const std::string head =
        "  Kelvra System Files verification 04.03.2026 on Windows 2000 (Build 2195)\t File"
        "\t Reg_Info\tDate\tSize\t Version\r\r  File version verification 04.03.2026 on "
        "Windows 2000 (Build 2195)\r\r  File,Reg_Info,Date,Size,Version\r";
    EXPECT_EQ(reportText.substr(0, head.size()), head);
    EXPECT_EQ(machine().FindFile("C:\\Users\\Tester\\DLLver.log")->bytes,
              "  File version verification 04.03.2026 on Windows 2000 (Build 2195)\r\n\r\n"
              "  File,Reg_Info,Date,Size,Version\r\n");
}

TEST_F(Form1Drawing, TitleHeaderRowAndEtchedSeparator) {
    report::VerificationReport form;
    RecordingSurface surface(16815);
    form.Run(surface);
    const auto& ops = surface.ops();
    ASSERT_FALSE(ops.empty());
    EXPECT_EQ(ops.front().kind, DrawOp::Kind::kCls);

    const auto title = TextsAt(surface, 0);
    ASSERT_EQ(title.size(), 1u);
    EXPECT_EQ(title[0].text,
              "  Kelvra System Files verification 04.03.2026 on Windows 2000 (Build 2195)");
    EXPECT_EQ(title[0].x, 0);

    const double rowY = 2 * RecordingSurface::kLineHeight;
    const auto header = TextsAt(surface, rowY);
    ASSERT_EQ(header.size(), 5u);
    const std::vector<std::pair<std::string, double>> expected = {
        {" File", 0}, {" Reg_Info", 6726}, {"Date", 8408}, {"Size", 10930}, {" Version", 14293}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(header[i].text, expected[i].first);
        EXPECT_EQ(header[i].x, expected[i].second);
    }

    std::vector<DrawOp> lines;
    for (const DrawOp& op : ops) {
        if (op.kind == DrawOp::Kind::kLine) {
            lines.push_back(op);
        }
    }
    ASSERT_EQ(lines.size(), 2u);
    const double separatorY = 4 * RecordingSurface::kLineHeight;
    EXPECT_EQ(lines[0].y, separatorY);
    EXPECT_EQ(lines[0].dx, 16815);
    EXPECT_EQ(lines[0].color, platform::window::kButtonShadow);
    EXPECT_EQ(lines[1].y, separatorY + 15);
    EXPECT_EQ(lines[1].color, platform::window::k3DHighlight);
    // The first row starts five pixels below the first line, at the left edge.
    const auto firstRow = TextsAt(surface, separatorY + 15 + 60);
    ASSERT_FALSE(firstRow.empty());
    EXPECT_EQ(firstRow[0].text, "  Unable to locate COMDLG32.ocx");
    EXPECT_EQ(firstRow[0].x, 0);
}

TEST_F(Form1Drawing, ALockedLogLeavesNoFileAndNoMessage) {
    machine().SetReadOnlyFolder(machine().currentDirectory, true);
    report::VerificationReport form;
    RecordingSurface surface(16800);
    const std::string reportText = form.Run(surface);
    EXPECT_EQ(machine().FindFile("DLLver.log"), nullptr);
    EXPECT_TRUE(machine().messageBoxes.empty());
    EXPECT_NE(reportText.find("  File,Reg_Info,Date,Size,Version"), std::string::npos);
}

TEST_F(Form1Drawing, AClipboardFailureIsToldAndTheProgramGoesOn) {
    report::Form1 form;
    platform::sim::SimulatedWindow window(form);
    window.Show();
    ASSERT_TRUE(window.DeliverUntil([&] { return !form.RunInProgress(); }));
    machine().clipboardFails = true;
    window.ClickCopyText();
    EXPECT_EQ(machine().messageBoxes,
              std::vector<std::string>{std::string(report::kCopyFailedMessage)});
    EXPECT_FALSE(machine().programEnded);
    machine().clipboardFails = false;
    window.ClickCopyText();
    EXPECT_EQ(machine().clipboard, form.ReportText());
}

TEST_F(Form1Drawing, DoneEndsTheProgram) {
    report::Form1 form;
    form.DoneClicked();
    EXPECT_TRUE(machine().programEnded);
}

TEST_F(Form1Drawing, PrintDrawsCarriageReturnsAndTabsFromWhereTheTextBegan) {
    RecordingSurface surface(16800);
    surface.SetCurrentX(300);
    surface.Print("a\rb\tc", false);
    const auto& ops = surface.ops();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].x, 300);
    EXPECT_EQ(ops[1].x, 300);
    EXPECT_EQ(ops[1].y, RecordingSurface::kLineHeight);
    EXPECT_EQ(ops[2].x, 300 + platform::window::kTabStopTwips);
    surface.Print("", true);
    EXPECT_EQ(surface.CurrentX(), 0);
    EXPECT_EQ(surface.CurrentY(), 2 * RecordingSurface::kLineHeight);
}

}  // namespace
