#pragma once

#include "DataProvider.h"
#include "Desktop.h"
#include "LogRecord.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace z83 {

inline constexpr const char* kSupportedModel = "Z83-PM-VX";

// One line of the report: the record its CSV line is made from (none before the first record was
// read) and its status text ("", "Bad CRC" or "Incorrect Log Number!"). Lines are formatted only
// when the report is written, so a module's worth of entries stays small.
struct LogEntry {
    std::optional<LogRecord> record;
    std::string_view status;

    std::string line() const { return record ? csvLine(*record) : std::string(); }
};

// What collecting the logs of one module gave.
struct Collection {
    enum class Outcome {
        Collected,       // entries hold one entry per log number
        CountUnreadable, // the count read failed; its message has been shown
        NoLogs,          // the count was 0 or no number; "No Logs" has been shown
        ImpossibleCount, // more logs than log numbers exist; an error box has been shown
    };
    Outcome outcome = Outcome::CountUnreadable;
    std::string countText;
    std::vector<LogEntry> entries;

    // How many entries carry a status text.
    std::size_t flaggedCount() const;
    // The entries as the report carries them, each followed by CR LF.
    std::string reportText() const;
};

// Where a report went, or why it was not saved.
struct Delivery {
    bool saved = false;
    std::string path;
    std::string error;
};

enum class Identification {
    Supported,       // the module answers with the supported model
    InvalidId,       // the typed ID cannot name a module; nothing was sent
    NotPaired,       // no module paired
    ModelUnreadable, // the model read failed
    Unsupported,     // the module is of another model
};

// The state the window's actions share, and the actions themselves, with no window in sight: the
// provider instance DP, ModuleID and ModuleModel live here, every effect on the window or the desktop
// goes through Desktop.
class Session {
public:
    using ProviderFactory = std::function<std::unique_ptr<DataProvider>()>;

    Session(Desktop& desktop, ProviderFactory createProvider);

    // Start-up checks. CloseAndEnd: the caller closes the window (running Unload) and ends the program;
    // EndAtOnce: the caller ends the program without unloading.
    enum class LoadResult { Running, CloseAndEnd, EndAtOnce };
    LoadResult Load();
    // Stores the ID text, closes the USB interface, waits 1 second and releases the provider.
    void Unload();

    // The three buttons of the window.
    void IKnow();
    void IDontKnow();
    void ClearLog();

    // The steps the buttons are made of, also used by the command-line extractor.
    Identification identifyByTypedId();
    Identification identifyByPairing();
    void ExtractLogs();
    Collection collectLogs();
    Delivery deliverReport(const Collection& collection);
    // The clearing write to ModuleID, without asking; true when the module took it.
    bool writeClearLog();

    // The current log record of ModuleID as a CSV line; the result is "" or "Bad CRC".
    std::string cvLogToCSV(std::string& CSV);
    bool MRead(std::int32_t& ID, std::uint8_t& Command, std::string& Value, const std::string& Description);
    bool MWrite(std::int32_t& ID, std::uint8_t& Command, const std::string& Value,
                const std::string& Description);

    std::unique_ptr<DataProvider> DP;
    std::int32_t ModuleID = 0;
    std::string ModuleModel;

private:
    Identification checkModel();
    void finishIdentification(Identification outcome);

    Desktop& desktop_;
    ProviderFactory createProvider_;
    bool idLoaded_ = false;
};

// "ID: " and the ID in upper-case hexadecimal without leading zeros (negative IDs as 8 digits).
std::string idStatusText(std::int32_t id);

// The ID a typed text names, or nothing when it has more than eight significant hexadecimal digits.
std::optional<std::int32_t> parseTypedId(const std::string& text);

} // namespace z83
