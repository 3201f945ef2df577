// A report read back on any bytes (an imported file may be anything): no crash, a refusal names a line of
// the file, and the page made of what was read shows the text it was given as text only.
#include "history/HistoryPage.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const z83::ReadReport report = z83::readReport(text);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (!report.ok() && (report.badLine > lines || report.why.empty()))
        std::abort();
    z83::ModuleHistory module;
    module.id = "1A";
    module.model = std::string(text.substr(0, 64));
    for (const z83::ReadRecord& record : report.records) {
        module.events.push_back({record, 0, false});
        if (record.hasRecord && record.status == z83::LogStatus::Good) {
            ++module.figures.events;
            module.figures.first = std::min(module.figures.first.value_or(record.peak), record.peak);
            module.figures.last = std::max(module.figures.last.value_or(record.peak), record.peak);
        }
    }
    std::sort(module.events.begin(), module.events.end(),
              [](const auto& a, const auto& b) { return a.record.peak < b.record.peak; });
    // The text as a model name adds no markup: the page holds as many tags with it as without it.
    const auto tags = [](z83::ModuleHistory shown) {
        z83::History history;
        history.modules.push_back(std::move(shown));
        const std::string page = z83::historyPage(history, "fuzz");
        return std::count(page.begin(), page.end(), '<');
    };
    z83::ModuleHistory plain = module;
    plain.model = module.model.empty() ? "" : "Z";
    if (tags(module) != tags(plain))
        std::abort();
    return 0;
}
