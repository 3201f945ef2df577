#include "ReportFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace z83;
using namespace z83::test;

namespace {

// The real file system with one step made to fail.
struct FailingFileSystem : FileSystem {
    enum class Step { Write, Sync, Move, SyncFolder } failing;
    explicit FailingFileSystem(Step step) : failing(step) {}
    int writeAll(int fd, std::string_view data) override {
        if (failing != Step::Write)
            return FileSystem::writeAll(fd, data);
        FileSystem::writeAll(fd, data.substr(0, data.size() / 2));
        return ENOSPC;
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

TEST(ReportFile, NameAndContentFollowTheReportLayout) {
    EXPECT_EQ(reportStem({2026, 12, 31, 23, 59, 9}), "Log20261231235909");
    EXPECT_EQ(reportFileContent("a\r\nb\r\n"), "Log Number,Start Date,Start Time,Peak Date,Peak Time,End "
                                               "Date,End Time,Peak,Overload\r\na\r\nb\r\n\r\n");
}

TEST(ReportFile, EveryFailingStepIsReportedAndLeavesNoFileUnderAReportName) {
    using Step = FailingFileSystem::Step;
    for (auto [step, reason] : {std::pair{Step::Write, "No space left on device"},
                                {Step::Sync, "Input/output error"},
                                {Step::Move, "Permission denied"},
                                {Step::SyncFolder, "Input/output error"}}) {
        TempDir dir;
        FailingFileSystem fs(step);
        auto saved = saveNewReport(dir.str(), "Log1", "content", fs);
        EXPECT_FALSE(saved.saved) << "a report that may not survive a power cut does not count as saved";
        EXPECT_NE(saved.error.find(reason), std::string::npos) << saved.error;
        if (step != Step::SyncFolder) {
            EXPECT_TRUE(dir.names().empty()) << "no partial or temporary file is left";
        }
    }
}

TEST(ReportFile, SavingAtAChosenPathReplacesSafelyAndReadsBack) {
    TempDir dir;
    auto path = (dir.path() / "out.csv").string();
    writeFile(path, "old");
    auto saved = saveReportAt(path, "new");
    ASSERT_TRUE(saved.saved) << saved.error;
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.csv"});
    EXPECT_TRUE(readsBackAs(path, "new"));
    EXPECT_FALSE(readsBackAs(path, "news"));
}
