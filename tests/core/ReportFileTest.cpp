#include "extract/ReportFile.h"
#include "desktop/UserFolders.h"
#include "tests/support/FailingFileSystem.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using namespace z83;
using namespace z83::test;

namespace {

mode_t modeOf(const std::filesystem::path& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

} // namespace

TEST(ReportFile, EveryFailingStepIsReportedAndLeavesNoFileUnderAReportName) {
    using Step = FailingFileSystem::Step;
    for (auto [step, reason] : {std::pair{Step::Write, "No space left on device"},
                                {Step::Sync, "Input/output error"},
                                {Step::Move, "Permission denied"},
                                {Step::SyncFolder, "Input/output error"},
                                {Step::ReadBack, "does not read back as written"}}) {
        TempDir dir;
        FakeDesktop desktop;
        desktop.documents = dir.str();
        FailingFileSystem fs(step);
        const SavedReport saved = saveReport("content", {}, desktop, fs);
        EXPECT_FALSE(saved.saved()) << "a report that may not survive a power cut does not count as saved";
        EXPECT_NE(saved.error.find(reason), std::string::npos) << saved.error;
        if (step != Step::SyncFolder && step != Step::ReadBack) {
            EXPECT_TRUE(dir.names().empty()) << "no partial or temporary file is left";
        }
    }
}

// A chosen path replaces a regular file whole, keeping its permissions; follows a link to its target;
// writes into a device or FIFO without replacing it; and refuses a folder.
TEST(ReportFile, ChosenPathsAreReplacedSafelyOrWrittenInto) {
    TempDir dir;
    FakeDesktop desktop;
    NativeFileSystem fs;
    auto save = [&](const std::filesystem::path& path) {
        return saveReport("new", {path.string()}, desktop, fs);
    };

    const auto existing = dir.path() / "existing.csv";
    writeFile(existing, "old");
    ::chmod(existing.c_str(), 0604);
    EXPECT_EQ(save(existing).outcome, SavedReport::Outcome::File);
    EXPECT_EQ(readFile(existing), "new");
    EXPECT_EQ(modeOf(existing) & 07777, 0604u);

    const auto link = dir.path() / "link.csv", target = dir.path() / "target.csv";
    std::filesystem::create_symlink("target.csv", link);
    EXPECT_EQ(save(link).outcome, SavedReport::Outcome::File);
    EXPECT_TRUE(S_ISLNK(modeOf(link))) << "the link stays a link";
    EXPECT_EQ(readFile(target), "new");

    const auto fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = readFile(fifo); });
    const SavedReport intoFifo = save(fifo);
    reader.join();
    EXPECT_EQ(intoFifo.outcome, SavedReport::Outcome::Stream);
    EXPECT_FALSE(intoFifo.safeToClear());
    EXPECT_EQ(received, "new");
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));

    const auto device = dir.path() / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) { // needs root, as CI has
        EXPECT_EQ(save(device).outcome, SavedReport::Outcome::Stream);
        EXPECT_TRUE(S_ISCHR(modeOf(device)));
    }

    const SavedReport folder = save(dir.path());
    EXPECT_FALSE(folder.saved());
    EXPECT_NE(folder.error.find("is a folder"), std::string::npos);
    for (const auto& name : dir.names())
        EXPECT_NE(name.front(), '~') << "temporary file left: " << name;
}

// Reports never go to the file-system root: without HOME the home folder comes from the user database,
// and the desktop's documents setting counts only as that format allows.
TEST(UserFolders, HomeFromTheUserDatabaseAndDocumentsAsTheDesktopNamesThem) {
    const std::pair<std::string, std::string> settings[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "/home/u/Docs"},
        {"  XDG_DOCUMENTS_DIR = \"/srv/reports/\"", "/srv/reports"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Logs\\\" \\\\ here\"", "/home/u/My \"Logs\" \\ here"},
        {"XDG_DOCUMENTS_DIR=\"Documents\"", ""}, // relative: ignored
        {"XDG_DOCUMENTS_DIR=$HOME/Docs", ""},    // unquoted: ignored
        {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\r\n# XDG_DOCUMENTS_DIR=\"/x\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"",
         "/home/u/B"},
        {"XDG_DOWNLOAD_DIR=\"$HOME/Down\"", ""},
    };
    for (const auto& [text, folder] : settings)
        EXPECT_EQ(documentsFolderFromUserDirs(text, "/home/u"), folder) << text;

    const char* home = std::getenv("HOME");
    const std::string saved = home ? home : "";
    ::unsetenv("HOME");
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(homeFolder(), std::string(user->pw_dir));
    ::setenv("HOME", "", 1);
    EXPECT_EQ(homeFolder(), std::string(user->pw_dir));
    EXPECT_EQ(documentsFolder().rfind(user->pw_dir, 0), 0u);
    ::setenv("HOME", saved.c_str(), 1);

    // The data folder, where the journal goes: XDG_DATA_HOME only when absolute.
    ::setenv("XDG_DATA_HOME", "/srv/data/", 1);
    EXPECT_EQ(dataFolder(), "/srv/data/z83-log-extraction");
    ::setenv("XDG_DATA_HOME", "data", 1);
    EXPECT_EQ(dataFolder(), homeFolder() + "/.local/share/z83-log-extraction");
    ::unsetenv("XDG_DATA_HOME");
}

// A name template names files in the documents folder and nowhere else; a module's model cannot steer it;
// a name is still never reused.
TEST(ReportFile, NamesFromTemplates) {
    for (const std::string& bad :
         std::vector<std::string>{"", "../up", "a/b", "a\\b", "C:x", "a*", "{id", "{ID}", "{date}",
                                  "tab\tname", std::string(201, 'x')})
        EXPECT_NE(reportNameProblem(bad), "") << bad;
    for (const std::string& good : std::vector<std::string>{"Log{stamp}", "Log{stamp}-{id}", "{model} {id}",
                                                            "..", std::string(200, 'x')})
        EXPECT_EQ(reportNameProblem(good), "") << good;
    EXPECT_EQ(reportName("{model}_{id}_{stamp}", {2025, 3, 7, 9, 5, 3}, "1A2B3C", "../Z83:PM\\VX"),
              ".._Z83_PM_VX_1A2B3C_20250307090503");

    TempDir dir;
    FakeDesktop desktop;
    desktop.documents = dir.str();
    NativeFileSystem fs;
    ReportDestination where;
    where.nameTemplate = "site-{id}";
    where.moduleId = "1A2B3C";
    EXPECT_TRUE(saveReport("first", where, desktop, fs).safeToClear());
    EXPECT_TRUE(saveReport("second", where, desktop, fs).safeToClear());
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"site-1A2B3C-2.CSV", "site-1A2B3C.CSV"}));
}
