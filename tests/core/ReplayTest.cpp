// Recording and replaying sessions: same run, refusals that name the call, cut-off and full-disk recordings.
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

// A window's session: start-up, extraction from the typed module, Clear Log, closing. What the user saw:
// the title and text of every box, then the clipboard.
std::vector<std::string> runSession(const ProviderFactory& factory) {
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
    std::vector<std::string> seen;
    for (const auto& m : desktop.messages)
        seen.push_back(m.title + ": " + m.text);
    seen.push_back(desktop.clipboard);
    return seen;
}

// A radio that spoils some replies, a record that is not even UTF-8, and a raised error at the end.
std::unique_ptr<DataProvider> troubledStation() {
    sim::Scenario s = sim::demoScenario();
    s.modules[0].records.push_back(std::string("\xC3(not text"));
    s.faults = {{"U", sim::FaultKind::WrongLength, 3, 1},
                {"U", sim::FaultKind::NulPadding, 5, 1},
                {"S", sim::FaultKind::Status, 1, 1},
                {"U", sim::FaultKind::BadCrc, 7, 1},
                {"CloseUSB", sim::FaultKind::Raise, 1, 0, 1, 5, "Radio gone"}};
    return std::make_unique<sim::SimulatedBaseStation>(s);
}

// The recorded session's text, without its closing.
std::string recordedText(std::vector<std::string>* seen = nullptr) {
    auto sink = std::make_shared<TextSink>();
    auto run = runSession([&] { return std::make_unique<ProviderRecorder>(troubledStation(), sink); });
    if (seen)
        *seen = run;
    return sim::recordingOpening({"test", "here", "the simulator", {"--id", "1A2B3C"}, ""}) + sink->text;
}

std::vector<std::string> replay(const std::string& text) {
    auto recording = std::make_shared<const sim::Recording>(
        std::get<sim::Recording>(sim::parseStationFile(text, "session.json")));
    return runSession([&] { return std::make_unique<sim::ReplayedStation>(recording, "session.json"); });
}

// A disk with room for so many bytes more, then full.
struct FillingDisk : InMemoryFileSystem {
    std::size_t room = 5000;
    std::error_code writeAll(Handle file, std::string_view data) override {
        const std::size_t fits = std::min(room, data.size());
        room -= fits;
        InMemoryFileSystem::writeAll(file, data.substr(0, fits));
        return fits < data.size() ? std::make_error_code(std::errc::no_space_on_device) : std::error_code();
    }
};

} // namespace

TEST(Replay, ADiskThatFillsUpDuringARecordingIsOneWarningAndChangesNothingOfTheRun) {
    FillingDisk disk;
    SessionRecording recording("/session.json", {"test", "here", "the simulator", {}, ""}, disk);
    EXPECT_EQ(runSession(recording.wrap(troubledStation)), runSession(troubledStation));
    const auto warning = recording.takeWarning();
    ASSERT_TRUE(warning.has_value());
    const auto calls = sim::recordedCalls(
        std::get<sim::Recording>(sim::parseStationFile(disk.contentOf("/session.json"), "")));
    EXPECT_GT(calls.size(), 5u);
    EXPECT_NE(warning->find(" only up to call " + std::to_string(calls.size()) + ": "), std::string::npos);
    EXPECT_FALSE(recording.takeWarning()) << "told once";
}

TEST(Replay, ARecordedSessionReplaysToTheSameRunAndOneWithACallRemovedIsRefusedAtThatCall) {
    std::vector<std::string> recorded;
    std::string text = recordedText(&recorded) + sim::recordingClosing();
    ASSERT_NE(recorded.back().find("Bad CRC"), std::string::npos) << "the faults were met";
    EXPECT_EQ(replay(text), recorded);

    // The model read, the sixth call, sent to another module; then its line deleted, as a person editing the
    // file would leave it.
    const std::size_t line = text.find("\n{\"call\":6,");
    ASSERT_NE(line, std::string::npos);
    std::string otherModule = text;
    otherModule.replace(otherModule.find("1A2B3C", line), 6, "1A2B3D");
    EXPECT_NE(replay(otherModule)
                  .rbegin()[1]
                  .find("Call 6 differs from recorded call 6: recorded ReadCommand(1, 1A2B3D, \"3\", \"\"), "
                        "came ReadCommand(1, 1A2B3C"),
              std::string::npos);
    text.erase(line, text.find('\n', line + 1) - line);
    const auto replayed = replay(text);
    EXPECT_EQ(replayed[replayed.size() - 2], "z83-test: Error -2147418113:\r\nCall 6 differs from recorded "
                                             "call 7: recorded WriteCommand(1, 1A2B3C, "
                                             "\"S\", \"1\\0\\0\"), came ReadCommand(1, 1A2B3C, \"3\", \"\")");
}

// A recording cut off mid-line, as a killed program leaves it, reads up to its last whole call.
TEST(Replay, ARecordingCutOffReadsUpToItsLastWholeCall) {
    const std::string text = recordedText();
    const std::string half = text.substr(0, text.find('\n', text.size() / 2) + 20);
    // Each call's line begins with a line break; the last one here is cut through.
    const auto kept = static_cast<std::size_t>(std::count(half.begin(), half.end(), '\n') - 2);
    sim::RecordedCalls calls(std::make_shared<const sim::Recording>(
        std::get<sim::Recording>(sim::parseStationFile(half, "cut.json"))));
    std::size_t read = 0;
    while (calls.next())
        ++read;
    EXPECT_FALSE(calls.complete());
    EXPECT_EQ(read, kept);
    const auto replayed = replay(half);
    EXPECT_NE(replayed[replayed.size() - 2].find("Call " + std::to_string(kept + 1) +
                                                 " is not in the recording, which was cut off after " +
                                                 std::to_string(kept) + " calls: came "),
              std::string::npos);
}
