// What only the POSIX file system, user folders and settings store can show.
#include "desktop/UserFolders.h"
#include "desktop/UserSettings.h"
#include "extract/NativeFileSystem.h"
#include "extract/ReportFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace z83;
using namespace z83::test;

namespace {

mode_t modeOf(const std::filesystem::path& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

TEST(PosixFileSystem, ReplacedFilesKeepTheirBitsStreamsAreWrittenIntoNamesAreClaimedExclusively) {
    TempDir dir;
    FakeDesktop desktop;
    NativeFileSystem fs;
    auto save = [&](const std::string& path) { return saveReport("new", {path}, desktop, fs); };

    const auto existing = dir.path() / "existing.csv";
    writeFile(existing, "old");
    ::chmod(existing.c_str(), 0604);
    EXPECT_TRUE(save(existing.string()).safeToClear());
    EXPECT_EQ(readFile(existing), "new");
    EXPECT_EQ(modeOf(existing) & 07777, 0604u);

    // Opened without waiting for a writer; a FIFO read back as a file blocks the save until one comes.
    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto saving = std::async(std::launch::async, [&] { return save(fifo.string()); });
    if (saving.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
        ADD_FAILURE() << "the FIFO was read back as a file";
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    const SavedReport intoFifo = saving.get();
    char received[8] = {};
    EXPECT_EQ(::read(reader, received, sizeof received), 3);
    ::close(reader);
    EXPECT_EQ(std::string(received), "new");
    EXPECT_EQ(intoFifo.outcome, SavedReport::Outcome::Stream);
    EXPECT_FALSE(intoFifo.safeToClear());
    EXPECT_EQ(save("/dev/null").outcome, SavedReport::Outcome::Stream);

    // A taken name, or a link there, is file_exists and stays as it was.
    FileSystem::Handle file = -1;
    std::filesystem::create_symlink("nowhere", dir.path() / "link");
    for (const char* taken : {"existing.csv", "link"})
        EXPECT_EQ(fs.createNew((dir.path() / taken).string(), file), std::errc::file_exists) << taken;
    writeFile(dir.path() / "other", "other");
    EXPECT_EQ(fs.moveNoReplace((dir.path() / "other").string(), existing.string()), std::errc::file_exists);
    EXPECT_EQ(readFile(existing), "new");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "nowhere"));
}

// Reports never go to the file-system root: without HOME, home comes from the user database.
TEST(UserFolders, HomeFromTheUserDatabaseAndDocumentsAsTheDesktopNamesThem) {
    const std::pair<std::string, std::string> settings[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Logs\\\" \\\\ here\"", "/home/u/My \"Logs\" \\ here"},
        {"XDG_DOCUMENTS_DIR=\"Documents\"", ""}, // relative: ignored
        {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\r\n# XDG_DOCUMENTS_DIR=\"/x\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"",
         "/home/u/B"},
    };
    for (const auto& [text, folder] : settings)
        EXPECT_EQ(documentsFolderFromUserDirs(text, "/home/u"), folder) << text;

    const char* home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    ::unsetenv("HOME");
    EXPECT_EQ(homeFolder(), std::string(user->pw_dir));
    ::setenv("HOME", "", 1);
    EXPECT_EQ(homeFolder(), std::string(user->pw_dir));
    EXPECT_EQ(documentsFolder().rfind(user->pw_dir, 0), 0u);
    ::setenv("HOME", saved.c_str(), 1);
}

// The window stores the ID box's text whatever it holds, and a file written by earlier versions (or by hand)
// must still read: other sections and keys stay as they were.
TEST(UserSettings, ValuesComeBackAsWrittenAndTheRestOfTheFileStays) {
    TempDir config;
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = before ? before : "";
    const auto home = config.path() / "not" / "made";
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    EXPECT_EQ(executableName(), "core_tests");
    EXPECT_EQ(readUserSetting("Settings", "ID"), std::nullopt);
    ASSERT_TRUE(writeUserSetting("Settings", "ID", "first")) << "its folders are made";

    const auto folder = home / "core_tests";
    std::ofstream(folder / "core_tests.conf")
        << "[General]\nID=other\n\n[Settings]\nID=1A2B3C\nProgID=Old.Class\n";
    EXPECT_EQ(readUserSetting("Settings", "ID"), std::optional<std::string>("1A2B3C"));
    EXPECT_EQ(readUserSetting("Settings", "Missing"), std::nullopt);

    for (const std::string value :
         {"", " 4d5e6f, no ID at all <b> ", "a\"b\\c\r\nd\te;f=g#h", "@at", "\x01\x7f Ä€"}) {
        ASSERT_TRUE(writeUserSetting("Settings", "ID", value));
        EXPECT_EQ(readUserSetting("Settings", "ID"), std::optional<std::string>(value)) << value;
    }
    ASSERT_TRUE(writeUserSetting("New", "Key", "v"));
    EXPECT_EQ(readUserSetting("New", "Key"), std::optional<std::string>("v"));
    EXPECT_EQ(readUserSetting("Settings", "ProgID"), std::optional<std::string>("Old.Class"));
    EXPECT_EQ(readUserSetting("General", "ID"), std::optional<std::string>("other"));

    if (before)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
