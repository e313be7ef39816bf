// The type library in a file's record, on the platform at hand: read from the control's bytes
// without running any of its code, and the reason when a file has none.
#include <gtest/gtest.h>

#include "fileinfo/file_record.h"
#include "platform/kernel32.h"
#include "platform/runtime.h"
#include "support/scratch_folder.h"
#include "support/test_control.h"
#include "support/test_data.h"

namespace {

namespace rt = platform::runtime;
using kelvra::test::ScratchFolder;

// The bytes of the control with its type library's signature ("MSFT") spoilt.
std::string DamagedControlBytes() {
    std::string bytes = kelvra::test::TestDataBytes(std::string(kelvra::test::NativeArchFolder()) +
                                                    "/kelvra_control.ocx");
    const auto signature = bytes.find("MSFT");
    if (signature != std::string::npos) {
        bytes.replace(signature, 4, "XXXX");
    }
    return bytes;
}

TEST(TypeLibraryRecord, TheControlsLibraryOrTheReasonThereIsNone) {
    ScratchFolder scratch;
    const std::string native(kelvra::test::NativeArchFolder());
    struct Case {
        const char* file;
        std::string bytes;  // "" for the test control itself
        const char* reason;
    };
    const Case cases[] = {
        {"control.ocx", "", ""},
        {"damaged.ocx", DamagedControlBytes(), "the type library cannot be read (0x"},
        {"version.dll", kelvra::test::TestDataBytes(native + "/kelvra_ver2.dll"),
         "the image has no type library"},
        {"notes.txt", "no image at all", "the file is not an image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = scratch / c.file;
        ASSERT_TRUE(c.bytes.empty() ? kelvra::test::PlaceTestControl(path)
                                    : rt::WriteFileBytes(path, c.bytes));
        const fileinfo::FileRecord record = fileinfo::ReadFileRecord(path);
        EXPECT_TRUE(record.typeLibraryReason.starts_with(c.reason)) << record.typeLibraryReason;
        if (c.bytes.empty()) {
            EXPECT_EQ(record.typeLibraryReason, "");
            EXPECT_EQ(record.typeLibrary, kelvra::test::TestControlLibrary());
        } else {
            EXPECT_EQ(record.typeLibrary, std::nullopt);
        }
    }
    EXPECT_EQ(fileinfo::ReadFileRecord(scratch / "absent.ocx").typeLibraryReason,
              "the file cannot be read");
}

// The control's start-up code creates the marker file: reading its record must not, loading it
// does (where code runs at all).
TEST(TypeLibraryRecord, ReadingTheLibraryRunsNoneOfTheControlsCode) {
    ScratchFolder scratch;
    const std::string marker = scratch / "start-up code ran";
    const std::string control = scratch / "marker.ocx";
    ASSERT_TRUE(kelvra::test::PlaceTestControl(control));
    ASSERT_TRUE(rt::SetEnviron(kelvra::test::kControlMarkerVariable, marker));

    EXPECT_TRUE(fileinfo::ReadFileRecord(control).typeLibrary);
    EXPECT_FALSE(rt::FileLen(marker)) << "the control's code ran";
    if (!kelvra::test::kSimulated) {
        const auto module = platform::kernel32::LoadLibrary(control);
        EXPECT_TRUE(module);
        EXPECT_TRUE(rt::FileLen(marker)) << "the marker shows when the control's code runs";
    }
    rt::UnsetEnviron(kelvra::test::kControlMarkerVariable);
}

}  // namespace
