#pragma once

#include "link/ProviderRecorder.h"
#include "sim/JsonFieldReader.h"

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

struct Recording {
    RecordingHeader header;
    bool replayTimes = false; // replay waits as long as each call took
    std::vector<RecordedCall> calls;
    bool complete = true; // false: the end was missing (the program did not close it)
};

// The text of a recording, piece by piece: the opening, each call's line (numbered from 1) and the
// closing. Never throws for any text a call carries: text that is not UTF-8 is written as bytes.
std::string recordingOpening(const RecordingHeader& header);
std::string recordingCallLine(const RecordedCall& call, std::size_t number);
std::string recordingClosing();

// Whether a file's text begins as a recording does, so that a new recording may replace it.
bool looksLikeRecording(std::string_view text);
// Whether a parsed document has the shape of a recording rather than a scenario.
bool isRecording(const JsonFieldReader::Json& root);
// The recording a document holds; throws JsonFileError naming the field.
Recording recordingFrom(const JsonFieldReader::Json& root, const std::string& fileName);
// A recording whose end is missing, closed after its last complete call, or "" when the text does not
// end that way.
std::string closedRecordingText(std::string_view text);

} // namespace z83::sim
