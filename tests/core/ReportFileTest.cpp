#include "ReportFile.h"
#include "FakeDesktop.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace z83;
using namespace z83::test;

namespace {

// The real file system with one step made to fail.
struct FailingFileSystem : FileSystem {
    enum class Step { None, Write, Sync, Move, SyncFolder } failing = Step::None;
    int writeAll(int fd, std::string_view data) override {
        if (failing == Step::Write) {
            FileSystem::writeAll(fd, data.substr(0, data.size() / 2));
            return ENOSPC;
        }
        return FileSystem::writeAll(fd, data);
    }
    int syncFile(int fd) override { return failing == Step::Sync ? EIO : FileSystem::syncFile(fd); }
    int moveNoReplace(const std::string& from, const std::string& to) override {
        return failing == Step::Move ? EACCES : FileSystem::moveNoReplace(from, to);
    }
    int syncFolder(const std::string& folder) override {
        return failing == Step::SyncFolder ? EIO : FileSystem::syncFolder(folder);
    }
};

} // namespace

TEST(ReportFile, NameComesFromTheLocalTimeAndContentHasHeaderAndEmptyLastLine) {
    EXPECT_EQ(reportStem({2025, 3, 7, 9, 5, 3}), "Log20250307090503");
    EXPECT_EQ(reportStem({2026, 12, 31, 23, 59, 59}), "Log20261231235959");
    EXPECT_EQ(reportFileContent("a\r\nb\r\n"), "Log Number,Start Date,Start Time,Peak Date,Peak Time,End "
                                               "Date,End Time,Peak,Overload\r\na\r\nb\r\n\r\n");
}

TEST(ReportFile, SavesUnderTheFirstFreeNameAndLeavesNoTemporaryFile) {
    TempDir dir;
    writeFile(dir.path() / "Log1.CSV", "first");
    writeFile(dir.path() / "Log1-2.CSV", "second");
    auto saved = saveNewReport(dir.str(), "Log1", "third");
    ASSERT_TRUE(saved.saved) << saved.error;
    EXPECT_EQ(saved.path, (dir.path() / "Log1-3.CSV").string());
    EXPECT_EQ(readFile(saved.path), "third");
    EXPECT_EQ(readFile(dir.path() / "Log1.CSV"), "first");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"Log1-2.CSV", "Log1-3.CSV", "Log1.CSV"}));
    EXPECT_TRUE(readsBackAs(saved.path, "third"));
    EXPECT_FALSE(readsBackAs(saved.path, "thirds"));
}

TEST(ReportFile, EveryFailingStepLeavesNoFileAndSaysWhy) {
    using Step = FailingFileSystem::Step;
    for (auto [step, reason] : {std::pair{Step::Write, "No space left on device"},
                                {Step::Sync, "Input/output error"},
                                {Step::Move, "Permission denied"}}) {
        TempDir dir;
        FailingFileSystem fs;
        fs.failing = step;
        auto saved = saveNewReport(dir.str(), "Log1", "content", fs);
        EXPECT_FALSE(saved.saved);
        EXPECT_NE(saved.error.find(reason), std::string::npos) << saved.error;
        EXPECT_TRUE(dir.names().empty()) << "no partial or temporary file is left";
    }
    TempDir dir;
    FailingFileSystem fs;
    fs.failing = Step::SyncFolder;
    auto saved = saveNewReport(dir.str(), "Log1", "content", fs);
    EXPECT_FALSE(saved.saved) << "a report that may not survive a power cut does not count as saved";
}

TEST(ReportFile, UnwritableFolderIsReported) {
    TempDir dir;
    writeFile(dir.path() / "file", "x");
    auto saved = saveNewReport((dir.path() / "file").string(), "Log1", "content");
    EXPECT_FALSE(saved.saved);
    EXPECT_NE(saved.error.find("Not a directory"), std::string::npos) << saved.error;
}

TEST(ReportFile, SavingAtAPathReplacesSafely) {
    TempDir dir;
    auto path = (dir.path() / "out.csv").string();
    writeFile(path, "old");
    auto saved = saveReportAt(path, "new");
    ASSERT_TRUE(saved.saved) << saved.error;
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.csv"});
}

TEST(ReportFolder, DocumentsCreatedWhenMissingElseHomeNeverNothing) {
    TempDir dir;
    FakeDesktop desktop;
    std::string why;
    desktop.documents = (dir.path() / "a" / "Documents").string();
    EXPECT_EQ(reportFolder(desktop, why), desktop.documents);
    EXPECT_TRUE(std::filesystem::is_directory(desktop.documents));

    desktop.documents = "";
    desktop.home = dir.str();
    EXPECT_EQ(reportFolder(desktop, why), dir.str());

    desktop.home = "";
    EXPECT_EQ(reportFolder(desktop, why), "");
    EXPECT_FALSE(why.empty());
}
