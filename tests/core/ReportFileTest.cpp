// Saving a report, on the in-memory disk: the same steps on every platform.
#include "extract/ReportFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/MemoryFileSystem.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;

namespace {

struct Saving : ::testing::Test {
    FakeDesktop desktop;
    MemoryFileSystem fs;
    Saving() { desktop.documents = "/docs"; }
    SavedReport save(const std::optional<std::string>& path = {}) {
        return saveReport("new", {path}, desktop, fs);
    }
};

} // namespace

TEST_F(Saving, EveryFailingStepIsReportedAndLeavesNoFileUnderAReportName) {
    for (auto [step, reason] : {std::pair{FailingStep::Write, "No space left on device"},
                                {FailingStep::Sync, "Input/output error"},
                                {FailingStep::Move, "Permission denied"},
                                {FailingStep::SyncFolder, "Input/output error"},
                                {FailingStep::ReadBack, "does not read back as written"}}) {
        MemoryFileSystem failing(step);
        const SavedReport saved = saveReport("content", {}, desktop, failing);
        EXPECT_FALSE(saved.saved()) << "a report that may not survive a power cut does not count as saved";
        EXPECT_NE(saved.error.find(reason), std::string::npos) << saved.error;
        if (step != FailingStep::SyncFolder && step != FailingStep::ReadBack) {
            EXPECT_TRUE(failing.names("/docs").empty()) << "no partial or temporary file is left";
        }
    }
}

// A chosen path replaces a file whole (its permissions are for the real file systems); follows a link to its
// target; writes into a stream, which cannot justify clearing; and refuses a folder.
TEST_F(Saving, ChosenPathsAreReplacedSafelyOrWrittenInto) {
    fs.put("/docs/existing.csv", PathKind::File, "old");
    EXPECT_TRUE(save("/docs/existing.csv").safeToClear());
    EXPECT_EQ(fs.contentOf("/docs/existing.csv"), "new");

    fs.put("/docs/link.csv", PathKind::Link, "target.csv");
    EXPECT_TRUE(save("/docs/link.csv").safeToClear());
    EXPECT_EQ(fs.kindOf("/docs/link.csv"), PathKind::Link) << "the link stays a link";
    EXPECT_EQ(fs.contentOf("/docs/target.csv"), "new");

    fs.put("/docs/stream", PathKind::Stream);
    const SavedReport intoStream = save("/docs/stream");
    EXPECT_EQ(intoStream.outcome, SavedReport::Outcome::Stream);
    EXPECT_FALSE(intoStream.safeToClear());
    EXPECT_EQ(fs.contentOf("/docs/stream"), "new");

    const SavedReport folder = save("/docs");
    EXPECT_FALSE(folder.saved());
    EXPECT_NE(folder.error.find("is a folder"), std::string::npos);
    for (const auto& name : fs.names("/docs"))
        EXPECT_NE(name.front(), '~') << "temporary file left: " << name;
}

// A name template names files in the documents folder and nowhere else; a module's model cannot steer it.
TEST_F(Saving, NamesFromTemplates) {
    for (const std::string& bad :
         std::vector<std::string>{"", "../up", "a/b", "a\\b", "C:x", "a*", "{id", "{ID}", "{date}",
                                  "tab\tname", std::string(201, 'x')})
        EXPECT_NE(reportNameProblem(bad), "") << bad;
    for (const std::string& good :
         std::vector<std::string>{"Log{stamp}-{id}", "{model} {id}", "..", std::string(200, 'x')})
        EXPECT_EQ(reportNameProblem(good), "") << good;
    EXPECT_EQ(reportName("{model}_{id}_{stamp}", {2025, 3, 7, 9, 5, 3}, "1A2B3C", "../Z83:PM\\VX"),
              ".._Z83_PM_VX_1A2B3C_20250307090503");
}
