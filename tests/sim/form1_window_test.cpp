// The report window on the simulated machine: one run per window whatever it is asked to
// paint, a window that answers while a run is stuck in a DLL's start-up code, "Copy Text"
// only for a complete report, and the window's geometry at 96, 120 and 144 DPI.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <ostream>

#include "platform/sim/machine.h"
#include "platform/sim/simulated_window.h"
#include "report/form1.h"
#include "support/test_data.h"

namespace platform::window {
// Readable rectangles in failure messages.
void PrintTo(const Rect& r, std::ostream* out) {
    *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
}  // namespace platform::window

namespace {

using platform::sim::DrawOp;
using platform::sim::RecordingSurface;
using platform::sim::SimulatedWindow;
using platform::window::Rect;
using platform::window::ScrollAction;
using platform::window::Size;

platform::sim::Machine& m() {
    return platform::sim::machine();
}

// Counts the DLL start-ups of the runs; can hold one DLL's start-up until released.
class LibraryStartups {
  public:
    LibraryStartups() {
        m().libraryStartup = [this](const std::string& path) { StartUp(path); };
    }
    ~LibraryStartups() {
        Release();
        m().libraryStartup = nullptr;
    }

    // The next start-up of a DLL whose path ends with `name` waits until Release.
    std::future<void> HoldNext(std::string name) {
        const std::lock_guard lock(mutex_);
        held_ = std::move(name);
        entered_ = std::promise<void>();
        return entered_.get_future();
    }
    void Release() {
        const std::lock_guard lock(mutex_);
        if (!released_) {
            released_ = true;
            release_.set_value();
        }
    }

    int Count() const {
        const std::lock_guard lock(mutex_);
        return count_;
    }

  private:
    void StartUp(const std::string& path) {
        std::shared_future<void> wait;
        {
            const std::lock_guard lock(mutex_);
            ++count_;
            if (held_.empty() || !path.ends_with(held_)) {
                return;
            }
            held_.clear();
            entered_.set_value();
            wait = releaseFuture_;
        }
        wait.wait();
    }

    mutable std::mutex mutex_;
    int count_ = 0;
    std::string held_;
    std::promise<void> entered_;
    std::promise<void> release_;
    bool released_ = false;
    std::shared_future<void> releaseFuture_ = release_.get_future().share();
};

class ReportWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        // Two files of the list that load, each from a folder of the PATH.
        m().AddFile("C:\\Tools\\DravikLib.dll", kelvra::test::TestDataBytes("x86/kelvra_ver2.dll"));
        m().AddFile("C:\\Tools\\libmmd.dll", kelvra::test::TestDataBytes("x86/kelvra_ver6.dll"));
        m().SetEnv("PATH", m().systemFolder + ";" + m().windowsFolder + ";C:\\Tools");
    }

    static bool ShowsReport(const SimulatedWindow& window) {
        return window.View().Drawing() != nullptr;
    }

    static constexpr const char* kLog = "C:\\Users\\Tester\\DLLver.log";
};

TEST_F(ReportWindow, RunsOnceHoweverOftenItIsPaintedResizedOrScrolled) {
    LibraryStartups startups;
    report::Form1 form;
    SimulatedWindow window(form);
    window.Show();
    ASSERT_TRUE(window.DeliverUntil([&] { return ShowsReport(window); }));
    EXPECT_EQ(startups.Count(), 2) << "DravikLib.dll and libmmd.dll, once each";
    const Size opened = window.View().Client();
    const std::vector<DrawOp> first = window.Paint();
    const std::string text = form.ReportText();
    ASSERT_NE(text.find("C:\\Tools\\DravikLib.dll, n/a"), std::string::npos);
    ASSERT_TRUE(m().RemoveFile(kLog));

    for (int step = 0; step < 25; ++step) {
        window.ResizeClient(Size{600 + 20 * step, 300 + 25 * step});
        window.Scroll(step % 2 == 0 ? ScrollAction::kPageDown : ScrollAction::kLineUp);
        window.Wheel(-120);
        window.Paint();
        window.DeliverNotifications();
    }
    EXPECT_EQ(startups.Count(), 2);
    EXPECT_EQ(m().FindFile(kLog), nullptr) << "the log is written once per run";
    EXPECT_EQ(form.ReportText(), text);

    window.ResizeClient(opened);  // the run draws for the window's width
    window.PressKey(SimulatedWindow::Key::kF5);
    EXPECT_FALSE(ShowsReport(window)) << "the progress shows in place of the report";
    ASSERT_TRUE(window.DeliverUntil([&] { return ShowsReport(window); }));
    EXPECT_EQ(startups.Count(), 4) << "F5 runs the whole report again";
    EXPECT_NE(m().FindFile(kLog), nullptr);
    EXPECT_EQ(form.ReportText(), text);
    EXPECT_EQ(window.Paint(), first);
}

TEST_F(ReportWindow, AnswersWhileADllsStartUpCodeBlocks) {
    LibraryStartups startups;
    std::future<void> blocked = startups.HoldNext("DravikLib.dll");
    m().clipboard = "kept";
    report::Form1 form;
    SimulatedWindow window(form);
    window.Show();
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(30)), std::future_status::ready);

    // The window paints the progress, and the run has told it where it is.
    window.DeliverNotifications(std::chrono::milliseconds(100));
    const std::vector<DrawOp> painted = window.Paint();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].text, "Checking DravikLib.dll (15 of 19)");
    window.ResizeClient(Size{700, 500});
    EXPECT_EQ(window.Paint(), painted);

    // "Copy Text" copies nothing and says why on the window, not in a box; F5 starts nothing
    // more.
    window.ClickCopyText();
    EXPECT_EQ(m().clipboard, "kept");
    const std::vector<DrawOp> told = window.Paint();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0], painted[0]);
    EXPECT_EQ(told[1].text, report::kReportNotCompleteMessage);
    EXPECT_EQ(told[1].y, RecordingSurface::kLineHeight);
    EXPECT_TRUE(m().messageBoxes.empty());
    window.PressKey(SimulatedWindow::Key::kF5);
    EXPECT_TRUE(form.RunInProgress());

    // "Done" and Esc end the program though the run goes on.
    window.PressKey(SimulatedWindow::Key::kEscape);
    EXPECT_TRUE(m().programEnded);
    EXPECT_TRUE(form.RunInProgress());

    startups.Release();
    ASSERT_TRUE(window.DeliverUntil([&] { return ShowsReport(window); }));
    EXPECT_EQ(startups.Count(), 2);
    window.ClickCopyText();
    EXPECT_EQ(m().clipboard, form.ReportText());
    EXPECT_NE(form.ReportText().find("Quorvane was not found in the PATH"), std::string::npos);
}

TEST_F(ReportWindow, WaitsForABoxOfADllsStartUpCodeAndSaysSo) {
    m().AddFile("C:\\Tools\\DravikLib.dll",
                kelvra::test::TestDataBytes("x86/kelvra_startup_box.dll"));
    LibraryStartups startups;
    std::future<void> boxShown = startups.HoldNext("DravikLib.dll");
    report::Form1 form(1);  // the limit does not run out while the box shows
    SimulatedWindow window(form);
    window.Show();
    ASSERT_EQ(boxShown.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    window.DeliverNotifications(std::chrono::milliseconds(100));
    const std::vector<DrawOp> painted = window.Paint();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0].text,
              "The start-up code of DravikLib.dll is showing a window (15 of 19): the report "
              "goes on when it is closed");

    startups.Release();  // the box is answered
    ASSERT_TRUE(window.DeliverUntil([&] { return ShowsReport(window); }));
    EXPECT_NE(form.ReportText().find("\rC:\\Tools\\DravikLib.dll, n/a"), std::string::npos);
    EXPECT_EQ(m().probeWindows.size(), 1u) << "shown once";
}

// The window's rectangle and both buttons', in screen and client pixels, worked out by hand
// from the design twips: at 96 DPI a pixel is 15 twips, at 120 DPI 12, at 144 DPI 10.
struct Geometry {
    const char* name;
    int dpi;
    platform::window::FrameInsets frame;
    Rect workArea;
    Rect window;
    Rect copyText;
    Rect done;
};

class WindowGeometry : public ::testing::TestWithParam<Geometry> {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        m().dpi = GetParam().dpi;
        m().windowFrame = GetParam().frame;
        m().workArea = GetParam().workArea;
    }
};

TEST_P(WindowGeometry, OpensInsideTheWorkAreaWithBothButtonsAtTheirCorners) {
    const Geometry& expected = GetParam();
    report::Form1 form;
    SimulatedWindow window(form);
    window.Show();
    ASSERT_TRUE(window.DeliverUntil([&] { return !form.RunInProgress(); }));
    EXPECT_EQ(window.WindowRect(), expected.window);
    EXPECT_TRUE(expected.workArea.Contains(window.WindowRect()));
    const auto& layout = window.View().Layout();
    EXPECT_EQ(layout.copyText, expected.copyText);
    EXPECT_EQ(layout.done, expected.done);
    const Size client = window.View().Client();
    const Rect clientArea{0, 0, client.width, client.height};
    EXPECT_TRUE(clientArea.Contains(layout.copyText));
    EXPECT_TRUE(clientArea.Contains(layout.done));
    EXPECT_LE(layout.reportArea.bottom, std::min(layout.copyText.top, layout.done.top));
    // The run drew for the window's outer width: its separator spans it.
    const auto* drawing = dynamic_cast<const RecordingSurface*>(window.View().Drawing());
    ASSERT_NE(drawing, nullptr);
    const auto line = std::find_if(drawing->ops().begin(), drawing->ops().end(),
                                   [](const DrawOp& op) { return op.kind == DrawOp::Kind::kLine; });
    ASSERT_NE(line, drawing->ops().end());
    EXPECT_DOUBLE_EQ(line->dx, expected.window.Width() * 1440.0 / expected.dpi);
}

INSTANTIATE_TEST_SUITE_P(DesignSizeAndSmallScreens, WindowGeometry,
                         ::testing::Values(
                             // The design size fits: client area 1105 x 886 at (21, 49).
                             Geometry{"Dpi96DesignFits",
                                      96,
                                      {8, 31, 8, 8},
                                      {0, 0, 1920, 1040},
                                      {13, 18, 1134, 943},
                                      {12, 850, 115, 871},
                                      {1010, 856, 1091, 877}},
                             // 1381 x 1108 at (27, 62).
                             Geometry{"Dpi120DesignFits",
                                      120,
                                      {10, 38, 10, 10},
                                      {0, 0, 2560, 1400},
                                      {17, 24, 1418, 1180},
                                      {15, 1063, 144, 1089},
                                      {1263, 1070, 1365, 1096}},
                             // 1657 x 1329 at (32, 74).
                             Geometry{"Dpi144DesignFits",
                                      144,
                                      {12, 46, 12, 12},
                                      {0, 0, 3840, 2120},
                                      {20, 28, 1701, 1415},
                                      {18, 1275, 173, 1307},
                                      {1515, 1284, 1637, 1316}},
                             // 1366 x 768 with a 40-pixel taskbar: 886 + 39 pixels do not fit 728.
                             Geometry{"Dpi96On1366x768",
                                      96,
                                      {8, 31, 8, 8},
                                      {0, 0, 1366, 728},
                                      {13, 0, 1134, 728},
                                      {12, 653, 115, 674},
                                      {1010, 659, 1091, 680}},
                             Geometry{"Dpi120On1366x768",
                                      120,
                                      {10, 38, 10, 10},
                                      {0, 0, 1366, 728},
                                      {0, 0, 1366, 728},
                                      {15, 635, 144, 661},
                                      {1228, 642, 1330, 668}},
                             Geometry{"Dpi144On1366x768",
                                      144,
                                      {12, 46, 12, 12},
                                      {0, 0, 1366, 728},
                                      {0, 0, 1366, 728},
                                      {18, 616, 173, 648},
                                      {1200, 625, 1322, 657}},
                             // 1920 x 1080 at 150 %, a monitor right of the primary one, taskbar on
                             // top. Its width fits: the window keeps 1657 pixels of client width.
                             Geometry{"Dpi144OnASecondMonitor",
                                      144,
                                      {12, 46, 12, 12},
                                      {1920, 48, 3840, 1080},
                                      {1920, 48, 3601, 1080},
                                      {18, 920, 173, 952},
                                      {1515, 929, 1637, 961}}),
                         [](const auto& param) { return std::string(param.param.name); });

// A report taller than the window: every folder of a long PATH holds the install folder.
class LongReport : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::sim::Reset();
        m().workArea = Rect{0, 0, 1366, 728};
        std::string path = m().systemFolder + ";" + m().windowsFolder;
        for (int folder = 1; folder <= 60; ++folder) {
            path += ";C:\\Kelvra\\Quorvane" + std::to_string(folder);
            m().AddFolder("C:\\Kelvra\\Quorvane" + std::to_string(folder));
        }
        m().SetEnv("PATH", path);
    }

    // The bottom of the lowest text drawn, in pixels at 96 DPI: 15 twips a pixel.
    static int DrawnBottom(const std::vector<DrawOp>& ops) {
        double bottom = 0;
        for (const DrawOp& op : ops) {
            if (op.kind == DrawOp::Kind::kText) {
                bottom = std::max(bottom, op.y + RecordingSurface::kLineHeight);
            }
        }
        return static_cast<int>(bottom / 15 + 0.5);
    }
};

TEST_F(LongReport, ScrollsToItsLastLineAndShiftsTheSameDrawing) {
    report::Form1 form;
    SimulatedWindow window(form);
    window.Show();
    ASSERT_TRUE(window.DeliverUntil([&] { return !form.RunInProgress(); }));
    const std::vector<DrawOp> top = window.Paint();
    const auto& view = window.View();
    const auto& layout = view.Layout();
    ASSERT_TRUE(layout.scrollBarShown);
    EXPECT_EQ(view.ScrollRange(), DrawnBottom(top) - layout.reportArea.Height());
    EXPECT_GT(view.ScrollRange(), 0);
    // The scroll bar runs down the report area's right edge, clear of both buttons.
    EXPECT_EQ(layout.scrollBar.right, view.Client().width);
    EXPECT_EQ(layout.scrollBar.left, layout.reportArea.right);
    EXPECT_EQ(layout.scrollBar.bottom, layout.reportArea.bottom);
    EXPECT_FALSE(layout.scrollBar.Intersects(layout.copyText));
    EXPECT_FALSE(layout.scrollBar.Intersects(layout.done));

    // A wheel notch moves three lines of 13 pixels; the paint draws the same operations,
    // shifted up.
    EXPECT_TRUE(window.Wheel(-120));
    EXPECT_EQ(view.ScrollPosition(), 39);
    std::vector<DrawOp> shifted = top;
    for (DrawOp& op : shifted) {
        op.y -= 39 * 15;
    }
    EXPECT_EQ(window.Paint(), shifted);

    // At the end, the last line of the report is the last line of the report area.
    EXPECT_TRUE(window.Scroll(ScrollAction::kBottom));
    EXPECT_FALSE(window.Scroll(ScrollAction::kLineDown));
    const std::vector<DrawOp> end = window.Paint();
    EXPECT_EQ(DrawnBottom(end), layout.reportArea.Height());
    const auto last = std::max_element(end.begin(), end.end(),
                                       [](const auto& a, const auto& b) { return a.y < b.y; });
    EXPECT_EQ(last->text, "Full Path Name: C:\\Kelvra\\Quorvane60\\");  // after a TAB

    // Smaller: the range grows by as much as the report area shrank, the position stays in it.
    const int range = view.ScrollRange();
    const Size client = view.Client();
    window.ResizeClient(Size{client.width, client.height - 100});
    EXPECT_EQ(view.ScrollRange(), range + 100);
    EXPECT_LE(view.ScrollPosition(), view.ScrollRange());
    EXPECT_TRUE(window.Scroll(ScrollAction::kTop));
    EXPECT_EQ(window.Paint(), top);
}

TEST_F(LongReport, ANewDpiKeepsThePlaceInTheReportAndTheButtonsAtTheirCorners) {
    report::Form1 form;
    SimulatedWindow window(form);
    window.Show();
    ASSERT_TRUE(window.DeliverUntil([&] { return !form.RunInProgress(); }));
    window.Scroll(ScrollAction::kPageDown);
    const int position = window.View().ScrollPosition();
    ASSERT_GT(position, 0);
    const auto ops = [&] {
        return dynamic_cast<const RecordingSurface&>(*window.View().Drawing()).ops();
    };
    const std::vector<DrawOp> drawn = ops();
    m().windowFrame = {12, 46, 12, 12};
    window.ChangeDpi(144, Rect{0, 0, 1366, 728});
    EXPECT_EQ(ops(), drawn) << "the same drawing, made again";
    EXPECT_DOUBLE_EQ(window.View().Drawing()->TwipsPerPixelY(), 10);
    EXPECT_EQ(window.View().ScrollPosition(), (position * 3 + 1) / 2);  // 1.5 times, halves up
    const auto& layout = window.View().Layout();
    EXPECT_EQ(layout.copyText, (Rect{18, 616, 173, 648}));
    EXPECT_EQ(layout.done, (Rect{1200, 625, 1322, 657}));
}

}  // namespace
