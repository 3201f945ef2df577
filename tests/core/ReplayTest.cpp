// A recorded session replays to the same run; a recording cut off by a killed program still reads up to
// its last whole call; a replay refuses the first call that is not the recorded one, naming it; a disk that
// fills up during a recording changes nothing of the run.
#include "backend/SessionRecording.h"
#include "extract/Session.h"
#include "link/ActionGuard.h"
#include "sim/ReplayedStation.h"
#include "sim/SimulatedBaseStation.h"
#include "sim/StationFile.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/MemoryFileSystem.h"

#include <gtest/gtest.h>

using namespace z83;
using namespace z83::test;

namespace {

// The recording's text as the file would hold it.
class TextSink final : public CallSink {
public:
    void record(const RecordedCall& call) noexcept override { text += sim::recordingCallLine(call, ++calls); }
    std::string text;
    std::size_t calls = 0;
};

struct SessionRun {
    std::vector<std::string> shown; // title and text of every box
    std::string clipboard;
};

// A window's session: start-up, extraction from the typed module, Clear Log, closing.
SessionRun runSession(const ProviderFactory& factory) {
    FakeDesktop desktop;
    MemoryFileSystem fileSystem;
    desktop.documents = "/docs";
    desktop.settings["Settings/ID"] = "1A2B3C";
    Session session(desktop, factory, fileSystem);
    ActionGuard guard(desktop, [] {});
    guard.run([&] {
        if (session.Load() == Session::LoadResult::Running) {
            session.IKnow();
            session.ClearLog();
        }
        session.Unload();
    });
    SessionRun run;
    for (const auto& m : desktop.messages)
        run.shown.push_back(m.title + ": " + m.text);
    run.clipboard = desktop.clipboard;
    return run;
}

// A radio that spoils some replies, a record that is not even UTF-8, and a raised error at the end.
sim::Scenario troubledStation() {
    sim::Scenario s = sim::demoScenario();
    s.modules[0].records.push_back(std::string("\xC3(not text"));
    s.faults = {{"U", sim::FaultKind::WrongLength, 3, 1},
                {"U", sim::FaultKind::NulPadding, 5, 1},
                {"S", sim::FaultKind::Status, 1, 1},
                {"U", sim::FaultKind::BadCrc, 7, 1},
                {"CloseUSB", sim::FaultKind::Raise, 1, 0, 1, 5, "Radio gone"}};
    return s;
}

struct Recorded {
    SessionRun run;
    std::string text;
};

Recorded recordedSession() {
    auto sink = std::make_shared<TextSink>();
    Recorded recorded;
    recorded.run = runSession([&] {
        return std::make_unique<ProviderRecorder>(
            std::make_unique<sim::SimulatedBaseStation>(troubledStation()), sink);
    });
    recorded.text =
        sim::recordingOpening({"test", "here", "the simulator", {"--id", "1A2B3C"}, ""}) + sink->text;
    return recorded;
}

SessionRun replay(const std::string& text) {
    auto recording = std::make_shared<const sim::Recording>(
        std::get<sim::Recording>(sim::parseStationFile(text, "session.json")));
    return runSession([&] { return std::make_unique<sim::ReplayedStation>(recording, "session.json"); });
}

std::size_t lineCount(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

// A disk with room for so many bytes more, then full.
struct FillingDisk : test::InMemoryFileSystem {
    std::size_t room = 5000;
    std::error_code writeAll(Handle file, std::string_view data) override {
        const std::size_t fits = std::min(room, data.size());
        room -= fits;
        InMemoryFileSystem::writeAll(file, data.substr(0, fits));
        return fits < data.size() ? std::make_error_code(std::errc::no_space_on_device) : std::error_code();
    }
};

TEST(Replay, ADiskThatFillsUpDuringARecordingIsOneWarningAndChangesNothingOfTheRun) {
    const auto station = [] { return std::make_unique<sim::SimulatedBaseStation>(troubledStation()); };
    const SessionRun unrecorded = runSession(station);
    FillingDisk disk;
    const std::string path = "/session.json";
    SessionRecording recording(path, {"test", "here", "the simulator", {}, ""}, disk);
    const SessionRun recorded = runSession(recording.wrap(station));
    EXPECT_EQ(recorded.shown, unrecorded.shown);
    EXPECT_EQ(recorded.clipboard, unrecorded.clipboard);

    const auto warning = recording.takeWarning();
    ASSERT_TRUE(warning.has_value());
    const std::size_t calls =
        std::get<sim::Recording>(sim::parseStationFile(disk.contentOf(path), path)).calls.size();
    EXPECT_GT(calls, 5u);
    EXPECT_EQ(*warning, "The session was recorded in " + path + " only up to call " + std::to_string(calls) +
                            ": " + std::make_error_code(std::errc::no_space_on_device).message() +
                            ". Nothing else is affected.");
    EXPECT_FALSE(recording.takeWarning()) << "told once";
}

TEST(Replay, ARecordedSessionReplaysToTheSameRun) {
    const Recorded recorded = recordedSession();
    ASSERT_NE(recorded.run.clipboard.find("Bad CRC"), std::string::npos) << "the faults were met";
    ASSERT_EQ(recorded.run.shown.back(), "z83-test: Error 5:\r\nRadio gone");

    const SessionRun replayed = replay(recorded.text + sim::recordingClosing());
    EXPECT_EQ(replayed.shown, recorded.run.shown);
    EXPECT_EQ(replayed.clipboard, recorded.run.clipboard);
}

TEST(Replay, ARecordingCutOffAnywhereReadsUpToItsLastWholeCall) {
    const std::string text = recordedSession().text;
    const std::size_t firstCall = text.find("\n{");
    for (std::size_t end = firstCall; end <= text.size(); end += 37) {
        SCOPED_TRACE("cut after " + std::to_string(end) + " characters");
        const std::string_view cut(text.data(), end);
        // Each call's line begins with a line break; one the cut went through is no call.
        std::size_t whole = lineCount(cut.substr(firstCall));
        if (end < text.size() && text.compare(end, 2, ",\n") != 0 && text[end] != '\n')
            --whole;
        const auto file = sim::parseStationFile(cut, "cut.json");
        const auto& recording = std::get<sim::Recording>(file);
        EXPECT_FALSE(recording.complete);
        EXPECT_EQ(recording.calls.size(), whole);
    }
    const std::string half = text.substr(0, text.find('\n', text.size() / 2));
    const std::size_t kept = lineCount(half) - 1;
    EXPECT_EQ(replay(half).shown.back().rfind("z83-test: Error -2147418113:\r\nCall " +
                                                  std::to_string(kept + 1) +
                                                  " is not in the recording, which was cut off after " +
                                                  std::to_string(kept) + " calls: came ",
                                              0),
              0u);
}

TEST(Replay, ARecordingWithOneCallRemovedIsRefusedAtThatCall) {
    std::string text = recordedSession().text + sim::recordingClosing();
    // The model read, the sixth call, as a person deleting its line would leave the file.
    const std::size_t line = text.find("\n{\"call\":6,");
    ASSERT_NE(line, std::string::npos);
    text.erase(line, text.find('\n', line + 1) - line);
    const SessionRun replayed = replay(text);
    EXPECT_EQ(
        replayed.shown.back(),
        "z83-test: Error -2147418113:\r\nCall 6 differs from the recording: recorded WriteCommand(1, 1A2B3C, "
        "\"S\", \"1\\0\\0\"), came ReadCommand(1, 1A2B3C, \"3\", \"\")");
}
