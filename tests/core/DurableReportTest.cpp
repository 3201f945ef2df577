// A report writer killed at any moment leaves either no report or a whole one, and never touches an
// earlier report.
#include "extract/CsvReport.h"
#include "extract/NativeFileSystem.h"
#include "extract/ReportFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace z83;
using namespace z83::test;

namespace {

const std::string kStem = "Log20250307090503";
const std::string kEarlier = "an earlier report\r\n";

// Writes in small pieces and kills its own process at a chosen moment.
struct KillingFileSystem : NativeFileSystem {
    long killAfterBytes = -1; // -1: just before the report gets its name
    long written = 0;
    std::error_code writeAll(Handle fd, std::string_view data) override {
        for (; !data.empty(); data.remove_prefix(std::min<std::size_t>(data.size(), 4096))) {
            auto piece = data.substr(0, 4096);
            if (killAfterBytes >= 0 && written + static_cast<long>(piece.size()) > killAfterBytes) {
                NativeFileSystem::writeAll(
                    fd, piece.substr(0, static_cast<std::size_t>(killAfterBytes - written)));
                ::raise(SIGKILL);
            }
            if (auto e = NativeFileSystem::writeAll(fd, piece))
                return e;
            written += static_cast<long>(piece.size());
        }
        return {};
    }
    std::error_code moveNoReplace(const std::string& from, const std::string& to) override {
        if (killAfterBytes < 0)
            ::raise(SIGKILL);
        return NativeFileSystem::moveNoReplace(from, to);
    }
};

// Saves the report as the program does, at the time of kStem, into dir.
void save(const TempDir& dir, const std::string& content, FileSystem& fs) {
    FakeDesktop desktop;
    desktop.documents = dir.str();
    saveReport(content, {}, desktop, fs);
}

// Saves in a child process, killed from inside at killAfterBytes or, when killAfterMicros >= 0, from
// outside after that time. True when the child was killed.
bool saveInChild(const TempDir& dir, const std::string& content, long killAfterBytes, int killAfterMicros) {
    pid_t pid = ::fork();
    if (pid == 0) {
        KillingFileSystem killing;
        killing.killAfterBytes = killAfterBytes;
        NativeFileSystem real;
        save(dir, content, killAfterMicros >= 0 ? static_cast<FileSystem&>(real) : killing);
        ::_exit(0);
    }
    if (killAfterMicros >= 0) {
        ::usleep(static_cast<useconds_t>(killAfterMicros));
        ::kill(pid, SIGKILL);
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

    ASSERT_TRUE(saveInChild(dir, content, -1, -1)) << "killed between writing and renaming";
    expectNoPartialReport(dir, content);
    EXPECT_EQ(dir.names().size(), 2u) << "the earlier report and an abandoned temporary file";

    // Kills from outside land anywhere within the time one whole save takes here.
    auto start = std::chrono::steady_clock::now();
    if (pid_t pid = ::fork(); pid == 0) {
        NativeFileSystem real;
        save(dir, content, real);
        ::_exit(0);
    } else {
        ::waitpid(pid, nullptr, 0);
    }
    auto saveMicros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    std::filesystem::remove(dir.path() / (kStem + "-2.CSV"));

    std::mt19937 random(20250307);
    int killedInside = 0, killedOutside = 0;
    for (int round = 0; round < 40; ++round) {
        if (round % 2 == 0)
            killedInside += saveInChild(dir, content, static_cast<long>(random() % content.size()), -1);
        else
            killedOutside += saveInChild(
                dir, content, 0, static_cast<int>(random() % static_cast<unsigned>(saveMicros.count() + 1)));
        expectNoPartialReport(dir, content);
    }
    std::cout << "killed while writing: " << killedInside << ", killed from outside: " << killedOutside
              << "\n";
    EXPECT_EQ(killedInside, 20);
    EXPECT_GT(killedOutside, 0);
}
