// The Windows platform layer on its own: the report writer's file system, the user folders, the local
// time and the shell.
#include "desktop/UserFolders.h"
#include "desktop/UserSettingsWin32.h"
#include "desktop/Utf16.h"
#include "extract/NativeFileSystem.h"
#include "extract/ReportFile.h"
#include "tests/support/FailingFileSystem.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <tuple>

using namespace z83;
using namespace z83::test;

namespace {

bool existsWide(const std::string& utf8Path) {
    return ::GetFileAttributesW(win::toUtf16(utf8Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

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

    // The step itself: a taken name is the portable file_exists, and neither file changes.
    EXPECT_EQ(fs.moveNoReplace(second.path, first.path), std::errc::file_exists);
    EXPECT_EQ(readFile(first.path), "first");
    EXPECT_EQ(readFile(second.path), "second");
}

TEST(WindowsFileSystem, AFailingStepLeavesNoFileBehind) {
    using Step = FailingFileSystem::Step;
    for (Step step : {Step::Write, Step::Sync, Step::Move}) {
        TempDir dir;
        FakeDesktop desktop;
        desktop.documents = dir.str();
        FailingFileSystem fs(step);
        const SavedReport saved = saveReport("content", {}, desktop, fs);
        EXPECT_FALSE(saved.saved());
        EXPECT_FALSE(saved.error.empty());
        EXPECT_TRUE(dir.names().empty()) << "no partial or temporary file";
    }
    // A chosen path that exists is replaced whole, or not at all.
    TempDir dir;
    FakeDesktop desktop;
    const std::string chosen = dir.str() + "\\chosen.csv";
    writeFile(chosen, "old");
    FailingFileSystem failing(Step::Write);
    EXPECT_FALSE(saveReport("new", {chosen}, desktop, failing).saved());
    EXPECT_EQ(readFile(chosen), "old");
    NativeFileSystem fs;
    EXPECT_TRUE(saveReport("new", {chosen}, desktop, fs).safeToClear());
    EXPECT_EQ(readFile(chosen), "new");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"chosen.csv"});
}

TEST(WindowsFileSystem, FoldersAndFilesWithNamesOutsideTheCodePage) {
    TempDir dir;
    FakeDesktop desktop;
    desktop.documents = dir.str() + "\\Berichte-Ä€\\Z83"; // missing: created on the way
    NativeFileSystem fs;
    const SavedReport saved = saveReport("content", {}, desktop, fs);
    ASSERT_TRUE(saved.safeToClear()) << saved.error;
    EXPECT_EQ(fs.folderOf(saved.path), desktop.documents);
    EXPECT_TRUE(existsWide(saved.path));
}

TEST(WindowsFileSystem, DevicesAreWrittenIntoAndKindsAreTold) {
    TempDir dir;
    NativeFileSystem fs;
    writeFile(dir.path() / "file.csv", "x");
    EXPECT_EQ(fs.kindOf(dir.str()), PathKind::Folder);
    EXPECT_EQ(fs.kindOf(dir.str() + "\\file.csv"), PathKind::File);
    EXPECT_EQ(fs.kindOf(dir.str() + "/file.csv"), PathKind::File);
    EXPECT_EQ(fs.kindOf(dir.str() + "\\missing.csv"), PathKind::Missing);
    for (const char* device : {"NUL", "nul", "NUL.csv", "C:\\any\\CON", "COM1", "\\\\.\\pipe\\z83"})
        EXPECT_EQ(fs.kindOf(device), PathKind::Stream) << device;
    EXPECT_EQ(fs.kindOf(dir.str() + "\\COM10"), PathKind::Missing) << "not a device name";

    FakeDesktop desktop;
    const SavedReport saved = saveReport("content", {"NUL"}, desktop, fs);
    EXPECT_EQ(saved.outcome, SavedReport::Outcome::Stream) << saved.error;
    EXPECT_FALSE(saved.safeToClear());
}

TEST(WindowsFileSystem, PathsAreSplitAndJoinedTheWindowsWay) {
    NativeFileSystem fs;
    const struct {
        const char *path, *folder, *name;
    } cases[] = {
        {"C:\\Users\\a\\Log.CSV", "C:\\Users\\a", "Log.CSV"},
        {"C:/Users/a/Log.CSV", "C:/Users/a", "Log.CSV"},
        {"C:\\Log.CSV", "C:\\", "Log.CSV"},
        {"\\Log.CSV", "\\", "Log.CSV"},
        {"Log.CSV", ".", "Log.CSV"},
        {"\\\\server\\share\\Log.CSV", "\\\\server\\share", "Log.CSV"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fs.folderOf(c.path), c.folder) << c.path;
        EXPECT_EQ(fs.nameOf(c.path), c.name) << c.path;
    }
    EXPECT_EQ(fs.join("C:\\Users\\a", "Log.CSV"), "C:\\Users\\a\\Log.CSV");
    EXPECT_EQ(fs.join("C:\\", "Log.CSV"), "C:\\Log.CSV");
    EXPECT_EQ(fs.join("C:/Users/a/", "Log.CSV"), "C:/Users/a/Log.CSV");
}

TEST(WindowsFileSystem, ErrorsReadAsText) {
    TempDir dir;
    NativeFileSystem fs;
    const std::error_code missing = fs.removeFile(dir.str() + "\\missing.csv");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing.value(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(missing.message().empty());
    EXPECT_EQ(missing.message().find("Unknown"), std::string::npos) << missing.message();
}

// Both through the shell, compared with the older call for the same folder.
TEST(UserFolders, DocumentsAndProfileComeFromTheShell) {
    wchar_t documents[MAX_PATH], profile[MAX_PATH];
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile), S_OK);
    EXPECT_EQ(documentsFolder(), win::toUtf8(documents));
    EXPECT_EQ(homeFolder(), win::toUtf8(profile));
}

// The C runtime would read TZ in its own format; the report's name must follow the system's clock.
TEST(LocalTime, FollowsTheSystemWhateverTzSays) {
    ::_wputenv(L"TZ=XYZ-7");
    const auto asTuple = [](const LocalDateTime& t) {
        return std::tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
    };
    const auto system = [] {
        SYSTEMTIME now;
        ::GetLocalTime(&now);
        return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    };
    const LocalDateTime before = system();
    const LocalDateTime ours = currentLocalTime();
    const LocalDateTime after = system();
    ::_wputenv(L"TZ=");
    EXPECT_LE(asTuple(before), asTuple(ours));
    EXPECT_LE(asTuple(ours), asTuple(after));
}

// The window stores the ID box's text whatever it holds; an empty box must come back empty, not as the
// default that stands for nothing stored.
TEST(UserSettings, AnEmptyValueIsAValueAndTextKeepsItsCharacters) {
    const std::wstring key = L"Software\\" + win::toUtf16(win::executableName());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(win::readUserSetting("Settings", "ID"), std::nullopt);
    ASSERT_TRUE(win::writeUserSetting("Settings", "ID", ""));
    EXPECT_EQ(win::readUserSetting("Settings", "ID"), std::optional<std::string>(""));
    ASSERT_TRUE(win::writeUserSetting("Settings", "ID", "1a2B3c Ä€ and more"));
    EXPECT_EQ(win::readUserSetting("Settings", "ID"), std::optional<std::string>("1a2B3c Ä€ and more"));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}
