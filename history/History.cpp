#include "history/History.h"

#include "desktop/Sha256.h"
#include "extract/Session.h"
#include "link/Hex.h"
#include "link/NumberReaders.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <map>

namespace z83 {

namespace {

using State = HistorySource::State;

// What makes two records the same event: every field they carry.
struct RecordKey {
    ReadRecord r;
    bool operator==(const RecordKey& other) const {
        return r.logNumber == other.r.logNumber && r.start == other.r.start && r.peak == other.r.peak &&
               r.end == other.r.end &&
               std::bit_cast<std::uint32_t>(r.peakValue) == std::bit_cast<std::uint32_t>(other.r.peakValue) &&
               r.overload == other.r.overload && r.status == other.r.status;
    }
};
struct RecordHash {
    std::size_t operator()(const RecordKey& key) const {
        std::uint32_t value = 0;
        std::memcpy(&value, &key.r.peakValue, sizeof value);
        std::uint64_t h = 1469598103934665603ull;
        for (const std::uint64_t part :
             {std::uint64_t(key.r.logNumber), std::uint64_t(key.r.start), std::uint64_t(key.r.peak),
              std::uint64_t(key.r.end), std::uint64_t(value),
              std::uint64_t(key.r.overload) | std::uint64_t(key.r.status) << 1})
            h = (h ^ part) * 1099511628211ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

State stateOf(ReportCheck::State state) {
    switch (state) {
    case ReportCheck::State::Intact:
        return State::Used;
    case ReportCheck::State::Changed:
        return State::Changed;
    case ReportCheck::State::Missing:
        return State::Missing;
    case ReportCheck::State::Unreadable:
        return State::Unreadable;
    case ReportCheck::State::Replaced:
        break;
    }
    return State::Replaced;
}

// Reads a report the journal vouches for; only bytes of the size and SHA-256 it lists are used, so a
// file changed between the check and this read is caught as well.
void readSource(HistorySource& source, FileSystem& fs, ReadReport& report) {
    const JournalReport& named = *source.entry->report;
    std::string content;
    if (auto e = fs.readWhole(named.path, content)) {
        source.state = State::Unreadable;
        source.detail = e.message();
        return;
    }
    if (content.size() != *named.size || sha256Hex(content) != named.sha256) {
        source.state = State::Changed;
        return;
    }
    report = readReport(content);
    if (!report.ok()) {
        source.state = State::NotReport;
        source.detail = "line " + std::to_string(report.badLine) + ": " + report.why;
    }
}

// An open-addressing set of event indices, looked up by a key of the event: a node per event (the standard
// map's way) costs most of the time of a million events.
template <typename Hash, typename Same> class IndexSet {
public:
    IndexSet(Hash hash, Same same) : hash_(hash), same_(same) {}

    // The index of an event with the key of event index, else index after taking it in.
    std::uint32_t findOrAdd(std::uint32_t index) {
        if ((used_ + 1) * 2 > slots_.size())
            grow();
        const std::size_t at = place(index);
        if (slots_[at] == 0) {
            slots_[at] = index + 1;
            ++used_;
            return index;
        }
        return slots_[at] - 1;
    }

private:
    std::size_t place(std::uint32_t index) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = hash_(index) & mask;
        while (slots_[at] != 0 && !same_(slots_[at] - 1, index))
            at = (at + 1) & mask;
        return at;
    }
    void grow() {
        std::vector<std::uint32_t> old(std::max<std::size_t>(1024, slots_.size() * 2), 0);
        old.swap(slots_);
        for (const std::uint32_t slot : old)
            if (slot != 0)
                slots_[place(slot - 1)] = slot;
    }

    Hash hash_;
    Same same_;
    std::vector<std::uint32_t> slots_;
    std::size_t used_ = 0;
};

std::uint64_t mixed(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    return h ^ (h >> 33);
}

class ModuleBuilder {
public:
    explicit ModuleBuilder(ModuleHistory& module)
        : module_(module), seen_([this](std::uint32_t i) { return RecordHash{}(RecordKey{event(i).record}); },
                                 [this](std::uint32_t a, std::uint32_t b) {
                                     return RecordKey{event(a).record} == RecordKey{event(b).record};
                                 }),
          numbers_([this](std::uint32_t i) { return mixed(slot(i)); },
                   [this](std::uint32_t a, std::uint32_t b) { return slot(a) == slot(b); }) {}

    void add(const ReadReport& report, std::uint32_t visit, int epoch) {
        HistorySource& source = module_.visits[visit];
        source.records = report.records.size();
        for (const ReadRecord& record : report.records) {
            const auto index = static_cast<std::uint32_t>(module_.events.size());
            module_.events.push_back({record, visit, false});
            epochs_.push_back(epoch);
            if (record.hasRecord && seen_.findOrAdd(index) != index) { // a log read twice
                module_.events.pop_back();
                epochs_.pop_back();
                continue;
            }
            ++source.newEvents;
            // The same number in the same visit with other fields: a report disagrees with another.
            if (record.hasRecord && epoch >= 0 && record.status == LogStatus::Good)
                if (const std::uint32_t other = numbers_.findOrAdd(index); other != index)
                    module_.events[other].disagrees = module_.events[index].disagrees = true;
        }
    }

private:
    const HistoryEvent& event(std::uint32_t i) const { return module_.events[i]; }
    std::uint64_t slot(std::uint32_t i) const {
        return std::uint64_t(epochs_[i]) << 16 | std::uint64_t(module_.events[i].record.logNumber);
    }

    ModuleHistory& module_;
    std::vector<int> epochs_; // of each event
    IndexSet<std::function<std::size_t(std::uint32_t)>, std::function<bool(std::uint32_t, std::uint32_t)>>
        seen_, numbers_;
};

void keepWithin(ModuleHistory& module, const HistoryFilter& filter) {
    const auto from = filter.since.empty() ? std::nullopt : fromIso(filter.since + "T00:00:00");
    const auto to = filter.until.empty() ? std::nullopt : fromIso(filter.until + "T23:59:59");
    if (from || to)
        std::erase_if(module.events, [&](const HistoryEvent& e) {
            return e.record.hasRecord && ((from && e.record.peak < *from) || (to && e.record.peak > *to));
        });
    std::stable_sort(module.events.begin(), module.events.end(), [](const auto& a, const auto& b) {
        return a.record.hasRecord && (!b.record.hasRecord || a.record.peak < b.record.peak);
    });
}

void countFigures(ModuleHistory& module) {
    HistoryFigures& f = module.figures;
    for (std::size_t i = 0; i < module.events.size(); ++i) {
        const HistoryEvent& e = module.events[i];
        if (e.record.status != LogStatus::Good || !e.record.hasRecord) {
            ++f.flagged;
            continue;
        }
        ++f.events;
        f.overloads += e.record.overload;
        f.disagreements += e.disagrees;
        // A value that is not a number is never the highest.
        if (e.record.peakValue == e.record.peakValue &&
            (!f.highest || e.record.peakValue > module.events[*f.highest].record.peakValue))
            f.highest = i;
        if (!f.first)
            f.first = e.record.peak;
        f.last = e.record.peak;
    }
    for (const HistorySource& visit : module.visits) {
        const JournalEntry& entry = *visit.entry;
        if (entry.kind == JournalEntry::Kind::Extraction)
            f.lastExtraction = std::max(f.lastExtraction, entry.time);
        if (entry.kind == JournalEntry::Kind::Clear && entry.outcome == outcomeText(ClearOutcome::Cleared))
            f.lastClear = std::max(f.lastClear, entry.time);
        f.unusedReports +=
            visit.state != State::Used && visit.state != State::Stream && visit.state != State::NoReport;
    }
}

bool within(const std::string& time, const HistoryFilter& filter) {
    const std::string date = time.substr(0, 10);
    return (filter.since.empty() || date >= filter.since) && (filter.until.empty() || date <= filter.until);
}

} // namespace

std::string_view stateText(HistorySource::State state) {
    static constexpr std::string_view kTexts[] = {
        "intact",   "changed", "missing", "unreadable", "replaced", "not a report", "written to a stream",
        "no report"};
    return kTexts[static_cast<std::size_t>(state)];
}

bool History::reportsFailed() const {
    for (const auto& module : modules)
        for (const auto& visit : module.visits)
            if (visit.state == State::Changed || visit.state == State::Missing ||
                visit.state == State::Unreadable || visit.state == State::NotReport)
                return true;
    return false;
}

std::string normalModuleId(const std::string& text) {
    const auto id = readLeadingHex(text).digits > 0 ? parseTypedId(text) : std::nullopt;
    return id ? idHex(*id) : std::string();
}

namespace {

// An extraction or an import with what its report still gives (check is its report's, if one was saved).
// A report whose entry lies outside the dates still gives the events that lie inside them.
void addVisit(const JournalEntry& entry, const ReportCheck* check, ModuleHistory& module,
              ModuleBuilder& builder, int epoch, FileSystem& fs) {
    HistorySource source{&entry, HistorySource::State::NoReport, {}, 0, 0};
    ReadReport report;
    if (check) {
        source.state = stateOf(check->state);
        source.detail = check->detail;
        if (source.state == State::Used)
            readSource(source, fs, report);
    } else if (entry.report && entry.report->stream) {
        source.state = State::Stream;
    }
    if (!entry.model.empty())
        module.model = entry.model;
    else if (!report.model.empty())
        module.model = report.model;
    module.visits.push_back(std::move(source));
    if (module.visits.back().state == State::Used)
        builder.add(report, static_cast<std::uint32_t>(module.visits.size() - 1),
                    entry.kind == JournalEntry::Kind::Import ? -1 : epoch);
}

} // namespace

History buildHistory(const JournalReading& journal, const HistoryFilter& filter, FileSystem& fs) {
    History history;
    history.filter = filter;
    std::map<const JournalEntry*, ReportCheck> checks;
    for (const ReportCheck& check : checkReports(journal.entries, fs))
        checks.emplace(check.entry, check);

    std::map<std::string, ModuleHistory> modules;
    std::map<std::string, ModuleBuilder> builders;
    std::map<std::string, int> epochs; // clears of each module so far
    for (const JournalEntry& entry : journal.entries) {
        const std::string id = normalModuleId(entry.module);
        if (id.empty()) {
            history.warnings.push_back("journal line " + std::to_string(entry.line) + " names no module (\"" +
                                       entry.module + "\"): left out");
            continue;
        }
        if (filter.module && *filter.module != id)
            continue;
        ModuleHistory& module = modules[id];
        module.id = id;
        ModuleBuilder& builder = builders.try_emplace(id, module).first->second;
        int& epoch = epochs[id];
        if (entry.kind == JournalEntry::Kind::Clear) {
            if (within(entry.time, filter))
                module.visits.push_back(HistorySource{&entry, HistorySource::State::NoReport, {}, 0, 0});
            epoch += entry.outcome == outcomeText(ClearOutcome::Cleared);
            continue;
        }
        const auto check = checks.find(&entry);
        addVisit(entry, check == checks.end() ? nullptr : &check->second, module, builder, epoch, fs);
        if (!within(entry.time, filter) && module.visits.back().newEvents == 0)
            module.visits.pop_back();
    }
    for (const DamagedLine& damaged : journal.damaged)
        history.warnings.push_back("journal line " + std::to_string(damaged.line) +
                                   " is skipped: " + damaged.why);
    for (auto& [id, module] : modules) {
        keepWithin(module, filter);
        countFigures(module);
        history.modules.push_back(std::move(module));
    }
    return history;
}

} // namespace z83
