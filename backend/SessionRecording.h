#pragma once

#include "extract/FileSystem.h"
#include "link/DataProvider.h"
#include "sim/Recording.h"

#include <memory>
#include <optional>
#include <string>

namespace z83 {

// A session recorded into a file (--record FILE): every call of every provider a factory makes, written
// as it happens and handed to the system call by call, so that a program that is killed leaves a recording
// that reads up to its last call. Recording never changes what the program does: a file that cannot be
// written, or stops being writable, gives one warning and the session goes on unrecorded. A file is
// replaced only when it is empty or holds a recording, so a mistyped name cannot overwrite a report.
class SessionRecording {
public:
    SessionRecording(const std::string& path, const sim::RecordingHeader& header, FileSystem& fileSystem);
    ~SessionRecording();
    SessionRecording(const SessionRecording&) = delete;
    SessionRecording& operator=(const SessionRecording&) = delete;

    ProviderFactory wrap(ProviderFactory inner) const;
    // Why the session is not, or no longer, recorded; given once.
    std::optional<std::string> takeWarning();

    class File;

private:
    std::shared_ptr<File> file_;
};

} // namespace z83
