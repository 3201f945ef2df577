#pragma once

#include "desktop/Desktop.h"
#include "extract/ClearGate.h"
#include "extract/CsvReport.h"
#include "extract/FileSystem.h"
#include "extract/Journal.h"
#include "extract/ReportFile.h"
#include "link/DataProvider.h"
#include "link/Hex.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace z83 {

class ActionGuard;
class FlowFrontEnd;
struct FlowEnd;

// What collecting the logs of one module gave.
struct Collection {
    enum class Outcome {
        Collected,       // entries hold one entry per log number
        LinkLost,        // no record arrived for two logs in a row; entries hold those before them
        Raised,          // the component raised an error; entries hold the logs before it
        CountUnreadable, // the count read failed; its message has been shown
        NoLogs,          // the count was 0 or no number; "No Logs" has been shown
        ImpossibleCount, // not a whole number of logs a module can hold; an error box has been shown
    };
    Outcome outcome = Outcome::CountUnreadable;
    std::string countText;
    // Whether the count reply was a plain number; if not, the report may not hold every log and allows
    // no clear.
    bool countClean = false;
    std::vector<LogEntry> entries;
    int total = 0;  // the logs the module reported
    int lostAt = 0; // LinkLost, Raised: the first log of those that were not read

    // Raised: the error, delivered to the guard once the logs read before it are saved.
    struct RaisedError {
        std::exception_ptr error;
        std::int32_t number = 0;
        std::string description;
    };
    std::optional<RaisedError> raised;

    // Whether there is a report to deliver: every log, or those read before the run was cut short.
    bool hasReport() const { return outcome == Outcome::Collected || partial(); }
    // Whether the report holds only the logs before the run was cut short.
    bool partial() const { return outcome == Outcome::LinkLost || outcome == Outcome::Raised; }
    // How many entries carry a status text.
    std::size_t flaggedCount() const;
    // Raised: throws the error again, so that it ends the program as any raised error does.
    void rethrowRaised() const;
};

// What the user is told when a run was cut short (the link lost, or an error raised): where, what the
// report holds and where it went, and not to clear. One text and title for the window's box and the
// extractor's line.
std::string partialReportText(const Collection& collection, const SavedReport& saved);
std::string partialReportTitle(const Collection& collection);
inline constexpr const char* kLinkLostTitle = "Link Lost";
inline constexpr const char* kRaisedTitle = "Extraction Interrupted";

// Why a report whose count reply was not a plain number allows no clear, the reply quoted: the window's
// box and the extractor's line.
std::string uncleanCountText(const Collection& collection);
inline constexpr const char* kUncleanCountTitle = "Report May Be Incomplete";
// The same reason in the journal's words.
std::string uncleanCountReason(const std::string& countText);

// What a clear over flagged logs erases for good, for every clear question.
std::string flaggedLossText(std::size_t flagged, std::size_t entries);

// The module's log count as it answered the count read.
struct LogCount {
    enum class Kind {
        Unreadable, // the read failed; MRead has shown its message
        None,       // 0, or no number at all: no logs
        Impossible, // not a whole number from 1 to the most logs a module holds
        Logs,       // logs holds the count
    };
    Kind kind = Kind::Unreadable;
    int logs = 0;
    std::string text; // as the module sent it
    // Logs: the reply is that number and nothing else, white space aside. "3abc" or "1e1" read as 3 and 1
    // logs, but whether the module holds more cannot be known.
    bool clean = false;
};
// Whether a count reply is a whole decimal number and nothing else, blanks, tabs, CR and LF around it aside.
bool isCleanCount(std::string_view text);

// Where the journal goes and how a failure to write it is told.
struct JournalSettings {
    std::string folder;   // the program's per-user data folder
    std::string frontEnd; // "window" or "extractor"
    // The extractor says so each time, at once; the window once per run of the program, after the action
    // and its own messages.
    bool warnEachTime = false;
};
inline constexpr const char* kJournalWarningTitle = "Journal Not Written";

enum class Identification {
    Supported,       // the module answers with the supported model
    InvalidId,       // the typed ID cannot name a module; nothing was sent
    NotPaired,       // no module paired
    ModelUnreadable, // the model read failed
    Unsupported,     // the module is of another model
};

// The state the window's actions share, and the actions themselves, with no window in sight: the
// provider instance DP, ModuleID and ModuleModel live here, every effect on the window or the desktop
// goes through Desktop and every file through FileSystem.
class Session {
public:
    Session(Desktop& desktop, ProviderFactory createProvider, FileSystem& fileSystem);

    // Start-up checks. CloseAndEnd: the caller closes the window (running Unload) and ends the program;
    // EndAtOnce: the caller ends the program without unloading.
    enum class LoadResult { Running, CloseAndEnd, EndAtOnce };
    LoadResult Load();
    // Stores the ID text, closes the USB interface, waits 1 second and releases the provider.
    void Unload();
    // For a front end that starts, works and ends under one guard (the extractor, the diagnosis): Load, the
    // work while running, then Unload unless OpenUSB failed. A raised error ends it at once, unloading
    // nothing.
    struct GuardedRun {
        bool raised = false;
        LoadResult load = LoadResult::EndAtOnce;
        bool unloadFailed = false;
        bool worked() const { return !raised && load == LoadResult::Running; }
    };
    GuardedRun runGuarded(ActionGuard& guard, const std::function<void()>& whileRunning);

    // The three buttons of the window.
    void IKnow();
    void IDontKnow();
    void ClearLog();

    // The steps the buttons are made of, also used by the command-line extractor.
    Identification identifyByTypedId();
    Identification identifyByPairing();
    void ExtractLogs();
    Collection collectLogs();
    // After identification, for every front end: collect, save and journal the report, tell the ending,
    // and the clear when the front end asks for it at once. A raised error is raised again at the end.
    FlowEnd runFlow(FlowFrontEnd& frontEnd);
    // Reads the module's log count; shows nothing beyond MRead's own message.
    LogCount readLogCount();
    // The count read again just before a clear; an error raised by it is journalled as the clear's end.
    LogCount readLogCountBeforeClear();
    // The clearing write to ModuleID, without asking, journalled with the count read before it; true when
    // the module took it. An error raised by the write is journalled before it ends the program.
    bool clearAndJournal(const std::string& countText);
    // After a report was delivered: remembers it for a clear when it lets one follow, else why not.
    std::optional<ClearRefusal> admitReport(const Collection& collection, const SavedReport& saved,
                                            bool flaggedNeedForce);
    // The clear of the admitted report through the one gate: the refusals are told and journalled, the
    // clear is written and journalled.
    ClearEnd clearThroughGate(const ClearAsking& asking);

    // Reads the current log record of ModuleID into CSV (left as it was when none could be read).
    LogStatus cvLogToCSV(CsvLine& CSV);
    // As cvLogToCSV, but nothing when no record arrived (a failed read, or three wrong lengths).
    std::optional<LogStatus> readLogRecord(CsvLine& CSV);
    bool MRead(std::int32_t& ID, std::uint8_t& Command, std::string& Value, const std::string& Description);
    bool MWrite(std::int32_t& ID, std::uint8_t& Command, const std::string& Value,
                const std::string& Description);

    // From now on every extraction and clear is journalled; without it, none is.
    void keepJournal(JournalSettings settings);
    // The journal entry of a run whose report went where saved says. collectLogs writes the entries of
    // runs that end without a report itself.
    void journalExtraction(const Collection& collection, const SavedReport& saved);
    // The journal entry of a clear of ModuleID, relying on the report of the last extraction; countText
    // as the module answered the count read just before it.
    void journalClear(const std::string& countText, ClearOutcome outcome, const std::string& reason = {});

    // The provider while loaded (between Load and Unload), else none.
    DataProvider* provider() const { return DP.get(); }
    std::int32_t moduleId() const { return ModuleID; }
    const std::string& moduleModel() const { return ModuleModel; }

private:
    friend class WindowFlow; // the window's part in runFlow
    // collectLogs' steps: a count that names no logs told and journalled; every log read, until the link
    // is lost or an error is raised; one log read, its index set again when a record of another log came.
    Collection endWithoutReport(Collection result, const LogCount& count);
    void readEveryLog(Collection& result, std::uint8_t& setIndex);
    LogStatus readLog(int d, CsvLine& line, bool& arrived, std::uint8_t& setIndex);
    Identification checkModel();
    void finishIdentification(Identification outcome);
    // The count read again and what it forbids; without an admitted report, always a refusal.
    std::optional<ClearRefusal> recountRefusal(LogCount& count);
    std::optional<ClearRefusal> questionRefusal(const ClearAsking& asking, const std::string& countText);
    ClearEnd refuse(const ClearRefusal& refused, const ClearAsking& asking);
    // The window's question and boxes around the gate.
    std::optional<bool> askInBox(std::size_t flagged, std::size_t logs);
    void tellInBox(const ClearRefusal& refused);
    void disableClearLog();
    void journal(JournalEntry entry, const std::optional<JournalReport>& report);
    // The window's actions end with the journal's one warning of the program's run, when one is due.
    void warnOfJournalAfterAction();

    std::unique_ptr<DataProvider> DP;
    std::int32_t ModuleID = 0;
    std::string ModuleModel;

    Desktop& desktop_;
    ProviderFactory createProvider_;
    FileSystem& fileSystem_;
    bool idLoaded_ = false;
    // The report whose saving enabled Clear Log; none while Clear Log is disabled.
    struct ReportedLogs {
        std::size_t entries = 0;
        std::size_t flagged = 0; // entries with a status text: logs the report does not hold as they are
    };
    std::optional<ReportedLogs> reported_;
    std::optional<ClearRefusal> reportRefused_; // why the last delivered report allows no clear

    std::optional<JournalSettings> journal_;
    std::optional<JournalReport> lastReport_; // of the last extraction, for the clear that relies on it
    std::string journalWarning_;              // due after the action
    bool journalWarned_ = false;
};

// "ID: " and the ID in upper-case hexadecimal without leading zeros (negative IDs as 8 digits).
std::string idStatusText(std::int32_t id);

// The ID a typed text names, or nothing when it has more than eight significant hexadecimal digits.
std::optional<std::int32_t> parseTypedId(const std::string& text);

} // namespace z83
