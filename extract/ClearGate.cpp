#include "extract/ClearGate.h"

#include "desktop/ShownText.h"
#include "extract/Session.h"

namespace z83 {

namespace {

ClearRefusal refusal(ClearRefusal::Rule rule, std::string reason) {
    ClearRefusal refused;
    refused.rule = rule;
    refused.reason = std::move(reason);
    return refused;
}

} // namespace

std::optional<ClearRefusal> reportRefusal(const Collection& collection, const SavedReport& saved,
                                          bool flaggedNeedForce) {
    using Rule = ClearRefusal::Rule;
    std::optional<ClearRefusal> refused;
    if (collection.outcome == Collection::Outcome::LinkLost)
        refused = refusal(Rule::LinkLost, "link lost");
    else if (collection.partial())
        refused = refusal(Rule::ErrorRaised, "error raised");
    else if (!saved.saved())
        refused = refusal(Rule::ReportNotSaved, "report not saved");
    else if (!saved.safeToClear())
        refused = refusal(Rule::ReportNotInFile, "report not in a file");
    // "3abc" reads as 3, but a module holding 5 might have sent it: what it holds beyond the report is
    // unknown.
    else if (!collection.countClean)
        refused = refusal(Rule::CountNotPlain, uncleanCountReason(collection.countText));
    else if (flaggedNeedForce && collection.flaggedCount() > 0)
        refused = refusal(Rule::Flagged, "flagged logs without --force");
    if (refused) {
        refused->reportLogs = collection.entries.size();
        refused->flagged = collection.flaggedCount();
    }
    return refused;
}

std::optional<ClearRefusal> countRefusal(const LogCount& count, std::size_t reportLogs) {
    using Rule = ClearRefusal::Rule;
    const std::string holds = ", the report holds " + std::to_string(reportLogs);
    const std::string quoted = "\"" + shownDeviceText(count.text, 40) + "\"";
    std::optional<ClearRefusal> refused;
    switch (count.kind) {
    case LogCount::Kind::Unreadable:
        refused = refusal(Rule::CountUnreadable, "count unreadable");
        break;
    case LogCount::Kind::None:
        refused = refusal(Rule::CountNone, "count differs: the module reports no logs" + holds);
        break;
    case LogCount::Kind::Impossible:
        refused =
            refusal(Rule::CountDiffers, "count differs: the module reports " + quoted + " logs" + holds);
        refused->shownCount = quoted;
        break;
    case LogCount::Kind::Logs:
        if (!count.clean) {
            refused = refusal(Rule::CountNotPlainNow, uncleanCountReason(count.text));
            refused->shownCount = quoted;
        } else if (static_cast<std::size_t>(count.logs) != reportLogs) {
            refused = refusal(Rule::CountDiffers, "count differs: the module reports " +
                                                      std::to_string(count.logs) + " logs" + holds);
            refused->shownCount = std::to_string(count.logs);
        }
        break;
    }
    if (refused) {
        refused->countText = count.text;
        refused->reportLogs = reportLogs;
    }
    return refused;
}

std::string clearReminderText(const std::string& how) {
    return "When you have confirmed that the data has been extracted correctly you should clear the log data "
           "from the handheld " +
           how + ".";
}

} // namespace z83
