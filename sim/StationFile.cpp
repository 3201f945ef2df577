#include "sim/StationFile.h"

namespace z83::sim {

StationFile parseStationFile(std::string_view text, const std::string& fileName) {
    const JsonFieldReader reader(fileName);
    JsonFieldReader::Json root;
    bool complete = true;
    try {
        root = reader.parse(text);
    } catch (const JsonFileError&) {
        // A recording whose program was killed lacks its end; it holds every call made till then.
        const std::string closed = closedRecordingText(text);
        if (closed.empty())
            throw;
        root = reader.parse(closed);
        complete = false;
    }
    if (!isRecording(root))
        return scenarioFrom(root, fileName);
    Recording recording = recordingFrom(root, fileName);
    recording.complete = complete;
    return recording;
}

StationFile loadStationFile(const std::string& path) {
    return parseStationFile(readStationText(path), path);
}

} // namespace z83::sim
