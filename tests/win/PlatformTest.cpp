// What only the Windows platform layer shows: how its file system claims a name, its paths and devices,
// names outside the code page, the local time and the settings store. Saving a report
// step by step, and every step failing, is tested once for both platforms in tests/core.
#include "desktop/Desktop.h"
#include "desktop/UserSettings.h"
#include "desktop/Utf16.h"
#include "extract/NativeFileSystem.h"
#include "extract/ReportFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace z83;
using namespace z83::test;

TEST(WindowsFileSystem, NewReportsNeverReplaceOneAndLeaveNoTemporaryFile) {
    TempDir dir;
    FakeDesktop desktop;
    desktop.documents = dir.str();
    NativeFileSystem fs;
    const SavedReport first = saveReport("first", {}, desktop, fs);
    const SavedReport second = saveReport("second", {}, desktop, fs);
    ASSERT_TRUE(first.safeToClear()) << first.error;
    ASSERT_TRUE(second.safeToClear()) << second.error;
    EXPECT_EQ(fs.nameOf(second.path), fs.nameOf(first.path).substr(0, 17) + "-2.CSV");
    EXPECT_EQ(readFile(first.path), "first");
    EXPECT_EQ(readFile(second.path), "second");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{fs.nameOf(second.path), fs.nameOf(first.path)}));

    // The steps themselves: a taken name is the portable file_exists, and neither file changes.
    FileSystem::Handle handle = 0;
    EXPECT_EQ(fs.createNew(first.path, handle), std::errc::file_exists);
    EXPECT_EQ(fs.moveNoReplace(second.path, first.path), std::errc::file_exists);
    EXPECT_EQ(readFile(first.path), "first");
    EXPECT_EQ(readFile(second.path), "second");
    // A path the user chose is replaced whole.
    EXPECT_TRUE(saveReport("new", {first.path}, desktop, fs).safeToClear());
    EXPECT_EQ(readFile(first.path), "new");
}

TEST(WindowsFileSystem, FoldersAndFilesWithNamesOutsideTheCodePage) {
    TempDir dir;
    FakeDesktop desktop;
    desktop.documents = dir.str() + "\\Berichte-Ä€\\Z83"; // missing: created on the way
    NativeFileSystem fs;
    const SavedReport saved = saveReport("content", {}, desktop, fs);
    ASSERT_TRUE(saved.safeToClear()) << saved.error;
    EXPECT_EQ(fs.folderOf(saved.path), desktop.documents);
    EXPECT_NE(::GetFileAttributesW(win::toUtf16(saved.path).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WindowsFileSystem, KindsAndDeviceNames) {
    TempDir dir;
    NativeFileSystem fs;
    writeFile(dir.path() / "file.csv", "x");
    EXPECT_EQ(fs.kindOf(dir.str()), PathKind::Folder);
    EXPECT_EQ(fs.kindOf(dir.str() + "\\file.csv"), PathKind::File);
    EXPECT_EQ(fs.kindOf(dir.str() + "\\missing.csv"), PathKind::Missing);
    for (const char* device : {"NUL", "nul", "NUL.csv", "C:\\any\\CON", "COM1", "\\\\.\\pipe\\z83"})
        EXPECT_EQ(fs.kindOf(device), PathKind::Stream) << device;
    EXPECT_EQ(fs.kindOf(dir.str() + "\\COM10"), PathKind::Missing) << "not a device name";
}

TEST(WindowsFileSystem, PathsAreSplitAndJoinedTheWindowsWay) {
    NativeFileSystem fs;
    const struct {
        const char *path, *folder, *name;
    } cases[] = {
        {"C:\\Users\\a\\Log.CSV", "C:\\Users\\a", "Log.CSV"},
        {"C:/Users/a/Log.CSV", "C:/Users/a", "Log.CSV"},
        {"C:\\Log.CSV", "C:\\", "Log.CSV"},
        {"Log.CSV", ".", "Log.CSV"},
        {"\\\\server\\share\\Log.CSV", "\\\\server\\share", "Log.CSV"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fs.folderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(fs.nameOf(c.path), c.name) << c.path;
    }
    EXPECT_EQ(fs.join("C:\\Users\\a", "Log.CSV"), "C:\\Users\\a\\Log.CSV");
    EXPECT_EQ(fs.join("C:/Users/a/", "Log.CSV"), "C:/Users/a/Log.CSV");
}

// The C runtime would read TZ in its own format; the report's name must follow the system's clock.
TEST(LocalTime, FollowsTheSystemWhateverTzSays) {
    ::_wputenv(L"TZ=XYZ-7");
    const auto system = [] {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        return std::tuple<int, int, int, int, int, int>(now.wYear, now.wMonth, now.wDay, now.wHour,
                                                        now.wMinute, now.wSecond);
    };
    const auto before = system();
    const LocalDateTime t = currentLocalTime();
    const auto after = system();
    ::_wputenv(L"TZ=");
    const auto ours =
        std::tuple<int, int, int, int, int, int>(t.year, t.month, t.day, t.hour, t.minute, t.second);
    EXPECT_LE(before, ours);
    EXPECT_LE(ours, after);
}

// The window stores the ID box's text whatever it holds; an empty box must come back empty, not as the
// default that stands for nothing stored.
TEST(UserSettings, AnEmptyValueIsAValueAndTextKeepsItsCharacters) {
    const std::wstring key = L"Software\\" + win::toUtf16(executableName());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(readUserSetting("Settings", "ID"), std::nullopt);
    ASSERT_TRUE(writeUserSetting("Settings", "ID", ""));
    EXPECT_EQ(readUserSetting("Settings", "ID"), std::optional<std::string>(""));
    ASSERT_TRUE(writeUserSetting("Settings", "ID", "1a2B3c Ä€ and more"));
    EXPECT_EQ(readUserSetting("Settings", "ID"), std::optional<std::string>("1a2B3c Ä€ and more"));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}
