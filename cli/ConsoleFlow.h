#pragma once

#include "cli/Extractor.h"
#include "extract/Flow.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace z83 {
class Session;
}

namespace z83::cli {

class ConsoleDesktop;

// The extractor's part in the one flow: the report in the form and place the options name, lines on the
// console, and the clear at once when --clear asks for it (--yes, --force, the terminal's question).
class ConsoleFlow : public FlowFrontEnd {
public:
    ConsoleFlow(const Options& options, std::ostream& out, std::ostream& err, const Console& console,
                ConsoleDesktop& desktop, Session& session, FileSystem& fileSystem)
        : options_(options), out_(out), err_(err), console_(console), desktop_(desktop), session_(session),
          fileSystem_(fileSystem) {}

    void collected(const Collection& collection) override;
    SavedReport save(const Collection& collection) override;
    bool flaggedNeedForce() const override;
    void tellEnding(const Collection& collection, const SavedReport& saved,
                    const std::optional<ClearRefusal>& refused) override;
    std::optional<ClearAsking> clearNow(const Collection& collection, const SavedReport& saved) override;

private:
    // Without --clear: what stands between the report and a clear, or the reminder.
    void remind(const Collection& collection, const std::optional<ClearRefusal>& refused,
                std::size_t flagged);
    SavedReport saveContent(const std::string& content);
    SavedReport intoStream(const std::string& content);
    std::string streamName() const;
    ClearAsking asking(const Collection& collection, const SavedReport& saved);
    std::string refusalText(const ClearRefusal& refused, const Collection& collection,
                            const SavedReport& saved) const;

    const Options& options_;
    std::ostream& out_;
    std::ostream& err_;
    const Console& console_;
    ConsoleDesktop& desktop_;
    Session& session_;
    FileSystem& fileSystem_;
};

} // namespace z83::cli
