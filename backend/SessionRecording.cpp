#include "backend/SessionRecording.h"

#include "link/ProviderRecorder.h"

namespace z83 {

class SessionRecording::File final : public CallSink {
public:
    File(const std::string& path, const sim::RecordingHeader& header, FileSystem& fileSystem)
        : path_(path), fileSystem_(fileSystem) {
        if (const std::string why = open(); !why.empty())
            fail(why);
        else
            write(sim::recordingOpening(header));
    }
    ~File() override {
        if (open_ && write(sim::recordingClosing()))
            fileSystem_.closeFile(handle_);
    }

    void record(const RecordedCall& call) noexcept override {
        try {
            if (open_ && write(sim::recordingCallLine(call, calls_ + 1)))
                ++calls_;
        } catch (const std::exception& error) {
            fail(error.what());
        }
    }

    std::optional<std::string> takeWarning() {
        auto warning = std::move(warning_);
        warning_.reset();
        return warning;
    }

private:
    // Creates the file, or replaces one that is empty or a recording; "" when it is open, else why not.
    std::string open() {
        switch (fileSystem_.kindOf(path_)) {
        case PathKind::Missing:
            break;
        case PathKind::File: {
            std::string content; // its start is enough
            if (const auto e = fileSystem_.readBlocks(path_, [&](std::string_view block) {
                    content += block;
                    return content.size() < 200;
                }))
                return "it exists and cannot be read (" + e.message() + ")";
            if (!content.empty() && !sim::looksLikeRecording(content))
                return "a file that is not a recording is there, and is kept";
            if (const auto e = fileSystem_.removeFile(path_))
                return "the recording there cannot be replaced (" + e.message() + ")";
            break;
        }
        case PathKind::Folder:
            return "it is a folder";
        case PathKind::Link:
        case PathKind::Stream:
        case PathKind::Other:
            return "it is not a plain file";
        }
        if (const auto e = fileSystem_.createNew(path_, handle_))
            return e.message();
        open_ = true;
        return {};
    }

    bool write(const std::string& text) {
        if (const auto e = fileSystem_.writeAll(handle_, text)) {
            fail(e.message());
            return false;
        }
        return true;
    }

    void fail(const std::string& why) {
        if (open_ && calls_ > 0) {
            warning_ = "The session was recorded in " + path_ + " only up to call " + std::to_string(calls_) +
                       ": " + why + ". Nothing else is affected.";
        } else if (!failed_) {
            warning_ = "The session is not recorded: " + path_ + " cannot be written: " + why +
                       ". Nothing else is affected.";
        }
        if (open_)
            fileSystem_.closeFile(handle_);
        open_ = false;
        failed_ = true;
    }

    std::string path_;
    FileSystem& fileSystem_;
    FileSystem::Handle handle_ = 0;
    bool open_ = false;
    bool failed_ = false;
    std::size_t calls_ = 0;
    std::optional<std::string> warning_;
};

SessionRecording::SessionRecording(const std::string& path, const sim::RecordingHeader& header,
                                   FileSystem& fileSystem)
    : file_(std::make_shared<File>(path, header, fileSystem)) {}

SessionRecording::~SessionRecording() = default;

ProviderFactory SessionRecording::wrap(ProviderFactory inner) const {
    return [inner = std::move(inner), file = file_] {
        return std::make_unique<ProviderRecorder>(inner(), file);
    };
}

std::optional<std::string> SessionRecording::takeWarning() {
    return file_->takeWarning();
}

} // namespace z83
