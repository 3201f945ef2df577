#include "extract/Journal.h"

#include "desktop/JsonFieldReader.h"
#include "desktop/Sha256.h"
#include "desktop/TextLines.h"

#include <map>

namespace z83 {

namespace {

using Json = nlohmann::ordered_json; // written in this order
using Read = JsonFieldReader::Json;

std::string failed(const std::string& step, std::error_code e) {
    return step + ": " + e.message();
}

// Reads the fields of one entry, noting the first that is not what an entry holds.
class FieldReader {
public:
    explicit FieldReader(const Read& object) : object_(object) {}

    void text(const char* key, std::string& into, bool required = false) {
        const auto it = object_.find(key);
        if (it == object_.end()) {
            if (required)
                fail(std::string("no \"") + key + "\"");
        } else if (it->is_string()) {
            into = it->get<std::string>();
        } else {
            fail(std::string("\"") + key + "\" is not a text");
        }
    }
    void number(const char* key, std::optional<std::uint64_t>& into) {
        const auto it = object_.find(key);
        if (it == object_.end())
            return;
        if (it->is_number_unsigned())
            into = it->get<std::uint64_t>();
        else
            fail(std::string("\"") + key + "\" is not a whole number");
    }
    void flag(const char* key, bool& into) {
        const auto it = object_.find(key);
        if (it == object_.end())
            return;
        if (it->is_boolean())
            into = it->get<bool>();
        else
            fail(std::string("\"") + key + "\" is not true or false");
    }
    const Read* object(const char* key) {
        const auto it = object_.find(key);
        if (it == object_.end())
            return nullptr;
        if (it->is_object())
            return &*it;
        fail(std::string("\"") + key + "\" is not an object");
        return nullptr;
    }
    void fail(std::string why) {
        if (why_.empty())
            why_ = std::move(why);
    }
    const std::string& why() const { return why_; }

private:
    const Read& object_;
    std::string why_;
};

std::optional<JournalEntry> parseEntry(std::string_view line, std::string& why) {
    // A line edited in another encoding keeps its entry; only the odd characters are lost.
    Read document;
    try {
        document = JsonFieldReader(kJournalFileName).parse(line);
    } catch (const JsonFileError& error) {
        why = error.fault(); // the line is named by its number
        return std::nullopt;
    }
    if (!document.is_object()) {
        why = "not a JSON object";
        return std::nullopt;
    }
    JournalEntry entry;
    FieldReader fields(document);
    std::string kind;
    fields.text("kind", kind, true);
    if (kind == "clear")
        entry.kind = JournalEntry::Kind::Clear;
    else if (kind == "import")
        entry.kind = JournalEntry::Kind::Import;
    else if (kind != "extraction" && fields.why().empty())
        fields.fail("\"kind\" is neither extraction, clear nor import");
    fields.text("time", entry.time, true);
    fields.text("utc", entry.utc);
    fields.text("program", entry.program);
    fields.text("version", entry.version);
    fields.text("front_end", entry.frontEnd);
    fields.text("module", entry.module, true);
    fields.text("model", entry.model);
    fields.text("count", entry.count);
    fields.number("logs", entry.logs);
    fields.number("flagged", entry.flagged);
    fields.text("outcome", entry.outcome, true);
    fields.text("reason", entry.reason);
    if (const Read* report = fields.object("report")) {
        FieldReader reportFields(*report);
        JournalReport named;
        reportFields.text("path", named.path, true);
        reportFields.number("size", named.size);
        reportFields.text("sha256", named.sha256);
        reportFields.flag("stream", named.stream);
        if (!reportFields.why().empty())
            fields.fail("report: " + reportFields.why());
        entry.report = std::move(named);
    }
    if (!fields.why().empty()) {
        why = fields.why();
        return std::nullopt;
    }
    return entry;
}

} // namespace

// In the order of the enumerations.
std::string_view outcomeText(ExtractionOutcome outcome) {
    static constexpr std::string_view kTexts[] = {"saved",   "partial",          "not saved",
                                                  "no logs", "impossible count", "count unreadable"};
    return kTexts[static_cast<std::size_t>(outcome)];
}

std::string_view outcomeText(ClearOutcome outcome) {
    static constexpr std::string_view kTexts[] = {"cleared", "refused", "write failed"};
    return kTexts[static_cast<std::size_t>(outcome)];
}

std::string_view stateText(ReportCheck::State state) {
    static constexpr std::string_view kTexts[] = {"intact", "changed", "missing", "unreadable", "replaced"};
    return kTexts[static_cast<std::size_t>(state)];
}

std::string_view kindText(JournalEntry::Kind kind) {
    static constexpr std::string_view kTexts[] = {"extraction", "clear", "import"};
    return kTexts[static_cast<std::size_t>(kind)];
}

std::string journalLine(const JournalEntry& entry) {
    const bool extraction = entry.kind != JournalEntry::Kind::Clear;
    Json line = {{"kind", std::string(kindText(entry.kind))},
                 {"time", entry.time},
                 {"utc", entry.utc},
                 {"program", entry.program},
                 {"version", entry.version},
                 {"front_end", entry.frontEnd},
                 {"module", entry.module}};
    if (extraction)
        line["model"] = entry.model;
    line["count"] = entry.count;
    if (entry.logs)
        line["logs"] = *entry.logs;
    if (entry.flagged)
        line["flagged"] = *entry.flagged;
    line["outcome"] = entry.outcome;
    if (!entry.reason.empty())
        line["reason"] = entry.reason;
    if (const auto& report = entry.report) {
        Json named = {{"path", report->path}};
        if (report->size)
            named["size"] = *report->size;
        if (!report->sha256.empty())
            named["sha256"] = report->sha256;
        if (report->stream)
            named["stream"] = true;
        line["report"] = std::move(named);
    }
    return jsonDump(line);
}

JournalReading readJournal(std::string_view text) {
    JournalReading reading;
    std::size_t number = 0;
    while (!text.empty()) {
        const std::string_view line = takeLine(text);
        ++number;
        if (line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        std::string why;
        if (auto entry = parseEntry(line, why)) {
            entry->line = number;
            reading.entries.push_back(std::move(*entry));
        } else {
            reading.damaged.push_back({number, std::move(why)});
        }
    }
    return reading;
}

std::string appendToJournal(FileSystem& fs, const std::string& folder, const JournalEntry& entry) {
    if (folder.empty())
        return "no folder for the program's data is known (no home folder)";
    if (fs.kindOf(folder) == PathKind::Missing)
        if (auto e = fs.makeFolders(folder))
            return failed("could not create the folder " + folder, e);
    const std::string path = fs.join(folder, kJournalFileName);
    const bool fresh = fs.kindOf(path) == PathKind::Missing;
    if (auto e = fs.appendLine(path, journalLine(entry)))
        return failed("could not append to it", e);
    // A new journal's name must be on disk as surely as its first entry.
    if (fresh)
        if (auto e = fs.syncFolder(folder))
            return failed("could not flush the folder to disk", e);
    return {};
}

std::vector<ReportCheck> checkReports(const std::vector<JournalEntry>& entries, FileSystem& fs) {
    auto savedFile = [](const JournalEntry& e) {
        return e.kind != JournalEntry::Kind::Clear && e.report && !e.report->stream &&
               !e.report->sha256.empty() && e.report->size;
    };
    // The newest entry for each path is what the file should hold now.
    std::map<std::string, const JournalEntry*> newest;
    for (const auto& entry : entries)
        if (savedFile(entry))
            newest[entry.report->path] = &entry;

    std::vector<ReportCheck> checks;
    for (const auto& entry : entries) {
        if (!savedFile(entry))
            continue;
        ReportCheck check{&entry, ReportCheck::State::Intact, {}};
        const std::string& path = entry.report->path;
        Sha256 hash; // in blocks: a full module's report is not held twice
        std::uint64_t size = 0;
        const auto read = [&](std::string_view block) {
            hash.update(block);
            size += block.size();
            return true;
        };
        if (const JournalEntry* later = newest[path]; later != &entry) {
            check.state = ReportCheck::State::Replaced;
            check.detail = later->time;
        } else if (std::string target;
                   fs.resolveLinks(path, target) || fs.kindOf(target) == PathKind::Missing) {
            check.state = ReportCheck::State::Missing;
        } else if (fs.kindOf(target) != PathKind::File) {
            // Never opened: a FIFO there would wait for a writer that never comes.
            check.state = ReportCheck::State::Unreadable;
            check.detail = "not a regular file";
        } else if (auto e = fs.readBlocks(path, read)) {
            check.state = ReportCheck::State::Unreadable;
            check.detail = e.message();
        } else if (size != *entry.report->size || hash.hexDigest() != entry.report->sha256) {
            check.state = ReportCheck::State::Changed;
        }
        checks.push_back(std::move(check));
    }
    return checks;
}

} // namespace z83
