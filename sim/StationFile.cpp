#include "sim/StationFile.h"

#include <memory>

namespace z83::sim {

StationFile parseStationFile(std::string text, const std::string& fileName) {
    auto shared = std::make_shared<const std::string>(std::move(text));
    const JsonFieldReader reader(fileName);
    // Refused before anything is read, as every file here is: a recording's calls are read only as it
    // replays.
    reader.checkDepth(*shared);
    // A recording as the program writes it is read call by call as it replays; only its header now.
    if (auto recording = recordingOfLines(shared, fileName)) {
        recording->depthChecked = true;
        return std::move(*recording);
    }
    const JsonFieldReader::Json root = reader.parse(*shared);
    if (!isRecording(root))
        return scenarioFrom(root, fileName);
    return recordingFrom(root, fileName);
}

StationFile loadStationFile(const std::string& path) {
    return parseStationFile(readStationText(path), path);
}

} // namespace z83::sim
