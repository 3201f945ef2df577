// A report writer killed at any moment leaves no report or a whole one, and never an earlier one touched.
#include "extract/CsvReport.h"
#include "extract/NativeFileSystem.h"
#include "extract/ReportFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace z83;
using namespace z83::test;

namespace {

const std::string kStem = "Log20250307090503";
const std::string kEarlier = "an earlier report\r\n";
constexpr std::size_t kBeforeNaming = std::string::npos;

// Kills its own process after writing so many bytes of the report, or just before it gets its name.
struct KillingFileSystem : NativeFileSystem {
    std::size_t killAfterBytes = kBeforeNaming;
    std::error_code writeAll(Handle fd, std::string_view data) override {
        if (killAfterBytes < data.size()) {
            NativeFileSystem::writeAll(fd, data.substr(0, killAfterBytes));
            ::raise(SIGKILL);
        }
        return NativeFileSystem::writeAll(fd, data);
    }
    std::error_code moveNoReplace(const std::string& from, const std::string& to) override {
        if (killAfterBytes == kBeforeNaming)
            ::raise(SIGKILL);
        return NativeFileSystem::moveNoReplace(from, to);
    }
};

// Saves the report into dir in a child process that kills itself as killing says; true when it was killed.
bool saveInChild(const TempDir& dir, const std::string& content, KillingFileSystem& killing) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        FakeDesktop desktop;
        desktop.documents = dir.str();
        saveReport(content, {}, desktop, killing);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status);
}

void expectNoPartialReport(const TempDir& dir, const std::string& whole) {
    for (const auto& name : dir.names()) {
        if (name == kStem + ".CSV")
            EXPECT_EQ(readFile(dir.path() / name), kEarlier) << "the earlier report was touched";
        else if (name.rfind(kStem, 0) == 0)
            EXPECT_EQ(readFile(dir.path() / name), whole) << name << " is not whole";
        else
            EXPECT_EQ(name.front(), '~') << name << " is neither a report nor a temporary file";
    }
}

} // namespace

TEST(DurableReport, KilledAnywhereWhileSavingNeverLeavesAPartialReport) {
    TempDir dir;
    writeFile(dir.path() / (kStem + ".CSV"), kEarlier);
    std::string content = std::string(kReportHeader) + "\r\n";
    for (int i = 1; i <= 20000; ++i)
        content +=
            std::to_string(i) + ",21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5,SAFE\r\n";

    KillingFileSystem killing;
    ASSERT_TRUE(saveInChild(dir, content, killing)) << "killed between writing and renaming";
    expectNoPartialReport(dir, content);
    EXPECT_EQ(dir.names().size(), 2u) << "the earlier report and an abandoned temporary file";

    std::mt19937 random(20250307);
    for (int round = 0; round < 20; ++round) {
        killing.killAfterBytes = random() % content.size();
        EXPECT_TRUE(saveInChild(dir, content, killing));
        expectNoPartialReport(dir, content);
    }
}
