#pragma once

#include "desktop/JsonFieldReader.h"
#include "link/ProviderRecorder.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The recording of a session with the component: a JSON document written as the calls happen, one call a
// line, so that the text up to any call's line still reads as a recording (a program that was killed
// leaves one whose end is missing). docs/recording-format.md describes it.
namespace z83::sim {

struct RecordingHeader {
    std::string program;                // name and version
    std::string platform;               // where it ran
    std::string provider;               // what answered: the component's class, or a scenario
    std::vector<std::string> arguments; // the command line after the program's name
    std::string started;                // local date and time, YYYY-MM-DDTHH:MM:SS
};

// A recording is read call by call as it replays, never as one document: a full module's session holds a
// hundred thousand calls, and each one read costs far less than its text.
struct Recording {
    RecordingHeader header;
    bool replayTimes = false;                // replay waits as long as each call took
    std::string fileName;                    // for messages
    std::shared_ptr<const std::string> text; // the calls, one a line, from callsAt on
    std::size_t callsAt = 0;
    bool depthChecked = false; // the whole text was checked for deep nesting: its lines need not be again
};

// Reads a recording's calls one after the other.
class RecordedCalls {
public:
    explicit RecordedCalls(std::shared_ptr<const Recording> recording);

    // The next call; nothing at the end. Throws JsonFileError naming the call's line and field.
    std::optional<RecordedCall> next();
    // How many calls were read, and the number the last one was recorded with (its place when it has none).
    std::size_t read() const { return read_; }
    std::uint64_t recordedNumber() const { return number_; }
    // Once at the end: whether the recording was closed, or its end is missing (the program was killed).
    bool complete() const { return complete_; }

private:
    std::shared_ptr<const Recording> recording_;
    std::size_t at_;
    std::size_t line_; // of the file, at at_
    std::size_t read_ = 0;
    std::uint64_t number_ = 0;
    bool complete_ = false;
};

// Every call of a recording; throws JsonFileError.
std::vector<RecordedCall> recordedCalls(const Recording& recording);

// The text of a recording, piece by piece: the opening, each call's line (numbered from 1) and the
// closing. Never throws for any text a call carries: text that is not UTF-8 is written as bytes.
std::string recordingOpening(const RecordingHeader& header);
std::string recordingCallLine(const RecordedCall& call, std::size_t number);
std::string recordingClosing();

// Whether a file's text begins as a recording does, so that a new recording may replace it.
bool looksLikeRecording(std::string_view text);
// Whether a parsed document has the shape of a recording rather than a scenario.
bool isRecording(const JsonFieldReader::Json& root);
// The recording a text holds as the program writes it (its header, then one call a line), its end missing
// or not; nothing when the text is not laid out so. Throws JsonFileError for a header that cannot be used.
std::optional<Recording> recordingOfLines(std::shared_ptr<const std::string> text,
                                          const std::string& fileName);
// The recording a document laid out otherwise holds (edited by hand, say); throws JsonFileError naming the
// field.
Recording recordingFrom(const JsonFieldReader::Json& root, const std::string& fileName);

} // namespace z83::sim
