#pragma once

#include "extract/ClearGate.h"
#include "extract/ReportFile.h"
#include "extract/Session.h"

#include <optional>

namespace z83 {

// How a front end takes part in the one flow after identification (Session::runFlow): what it writes and
// where, and how it tells. The order of the steps, the journal and whether a clear may follow are the flow's.
class FlowFrontEnd {
public:
    virtual ~FlowFrontEnd() = default;
    // The logs are read (some or all); nothing is saved yet.
    virtual void collected(const Collection& collection) = 0;
    // Writes the report where this front end keeps reports, telling where it went or that it did not.
    virtual SavedReport save(const Collection& collection) = 0;
    // Whether flagged logs forbid a clear; otherwise the question says what a clear over them erases.
    virtual bool flaggedNeedForce() const = 0;
    // The ending once the report is saved and journalled: a run cut short, flagged logs, why no clear may
    // follow, or the reminder.
    virtual void tellEnding(const Collection& collection, const SavedReport& saved,
                            const std::optional<ClearRefusal>& refused) = 0;
    // How to ask for the clear that follows the report at once; nothing when none is asked for now.
    virtual std::optional<ClearAsking> clearNow(const Collection& collection, const SavedReport& saved) = 0;
};

// What the flow did, for the front end's exit code or summary.
struct FlowEnd {
    Collection collection;
    SavedReport saved;                   // when collection.hasReport()
    std::optional<ClearRefusal> refused; // why the report allows no clear
    std::optional<ClearEnd> cleared;     // when a clear was asked for at once
};

} // namespace z83
