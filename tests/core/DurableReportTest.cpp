// A report writer killed at any moment leaves either no report or a whole one, and never touches an
// earlier report.
#include "LogRecord.h"
#include "ReportFile.h"
#include "TempDir.h"

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

std::string bigReport(int lines) {
    std::string text = std::string(kReportHeader) + "\r\n";
    for (int i = 1; i <= lines; ++i)
        text +=
            std::to_string(i) + ",21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5,OVERLOAD\r\n";
    return text + "\r\n";
}

// Writes in small pieces and can kill its own process at a chosen moment.
struct KillingFileSystem : FileSystem {
    long killAfterBytes = -1;
    bool killBeforeMove = false;
    long written = 0;
    int writeAll(int fd, std::string_view data) override {
        while (!data.empty()) {
            auto piece = data.substr(0, 4096);
            if (killAfterBytes >= 0 && written + static_cast<long>(piece.size()) > killAfterBytes) {
                FileSystem::writeAll(fd, piece.substr(0, static_cast<std::size_t>(killAfterBytes - written)));
                ::raise(SIGKILL);
            }
            if (int e = FileSystem::writeAll(fd, piece))
                return e;
            written += static_cast<long>(piece.size());
            data.remove_prefix(piece.size());
        }
        return 0;
    }
    int moveNoReplace(const std::string& from, const std::string& to) override {
        if (killBeforeMove)
            ::raise(SIGKILL);
        return FileSystem::moveNoReplace(from, to);
    }
};

// Runs the writer in a child process; returns how the child ended.
template <typename Body> int inChild(Body body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
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

TEST(DurableReport, KilledBetweenWritingAndRenamingLeavesNoReport) {
    TempDir dir;
    writeFile(dir.path() / (kStem + ".CSV"), kEarlier);
    const std::string content = bigReport(2000);
    int status = inChild([&] {
        KillingFileSystem fs;
        fs.killBeforeMove = true;
        saveNewReport(dir.str(), kStem, content, fs);
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    expectNoPartialReport(dir, content);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / (kStem + "-2.CSV")));
}

TEST(DurableReport, KilledAtRandomPointsNeverLeavesAPartialReport) {
    TempDir dir;
    writeFile(dir.path() / (kStem + ".CSV"), kEarlier);
    const std::string content = bigReport(20000);
    std::mt19937 random(20250307);
    std::uniform_int_distribution<long> byte(0, static_cast<long>(content.size()));
    std::uniform_int_distribution<int> micros(0, 20000);
    int killedWhileWriting = 0, killedFromOutside = 0, finished = 0;
    for (int round = 0; round < 40; ++round) {
        int status;
        if (round % 2 == 0) {
            long at = byte(random);
            status = inChild([&] {
                KillingFileSystem fs;
                fs.killAfterBytes = at;
                saveNewReport(dir.str(), kStem, content, fs);
            });
            killedWhileWriting += WIFSIGNALED(status);
        } else {
            // Killed by another process at whatever point the writer has reached.
            pid_t pid = ::fork();
            if (pid == 0) {
                saveNewReport(dir.str(), kStem, content);
                ::_exit(0);
            }
            ::usleep(static_cast<useconds_t>(micros(random)));
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            killedFromOutside += WIFSIGNALED(status);
            finished += WIFEXITED(status);
        }
        expectNoPartialReport(dir, content);
    }
    std::cout << "killed while writing: " << killedWhileWriting
              << ", killed from outside: " << killedFromOutside << ", finished first: " << finished << "\n";
    EXPECT_GT(killedWhileWriting, 0);
    EXPECT_GT(killedFromOutside, 0);
}
