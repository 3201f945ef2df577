#include "ScenarioFile.h"

#include "GeneratedLogs.h"
#include "LogRecord.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace z83::sim {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxFileBytes = 64u << 20;
constexpr std::uint32_t kMaxLogs = 65535;

struct KindName {
    FaultKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {FaultKind::Status, "status"},          {FaultKind::WrongLength, "wrong_length"},
    {FaultKind::NulPadding, "nul_padding"}, {FaultKind::OnlyNuls, "only_nuls"},
    {FaultKind::HugeReply, "huge_reply"},   {FaultKind::BadCrc, "bad_crc"},
    {FaultKind::SkipRecord, "skip_record"}, {FaultKind::Raise, "raise"},
};
constexpr const char* kCommandCodes[] = {"3", "S", "T", "U", "W"};
constexpr const char* kOperations[] = {"OpenUSB",      "CloseUSB",   "ProbeProvider",
                                       "ReadBaseByte", "PairModule", "DetectBase"};

// JSON pointer escaping, so a field name with "/" or "~" still gives an unambiguous path.
std::string pathStep(std::string_view key) {
    std::string out;
    for (char c : key) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

std::string inQuotes(std::string_view text) {
    return Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The offending value as the file shows it, shortened so one bad field cannot flood the message.
std::string shown(const Json& value) {
    if (value.is_object())
        return "an object";
    if (value.is_array())
        return "an array";
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (text.size() > 60)
        text.replace(57, std::string::npos, "...");
    return text;
}

class Reader {
public:
    explicit Reader(const std::string& fileName) : fileName_(fileName) {}

    [[noreturn]] void fail(const std::string& path, const std::string& what) const {
        throw ScenarioError(fileName_ + ": " + (path.empty() ? "/" : path) + ": " + what);
    }

    void object(const Json& value, const std::string& path, std::initializer_list<const char*> fields) const {
        if (!value.is_object())
            fail(path, "expected an object, got " + shown(value));
        for (const auto& [key, item] : value.items()) {
            bool known = false;
            for (const char* field : fields)
                known = known || key == field;
            if (!known) {
                std::string expected;
                for (const char* field : fields)
                    expected += (expected.empty() ? "" : ", ") + std::string(field);
                fail(path + "/" + pathStep(key), "unknown field (expected one of " + expected + ")");
            }
        }
    }

    const Json* find(const Json& object, const char* field) const {
        auto it = object.find(field);
        return it == object.end() ? nullptr : &*it;
    }

    const Json& require(const Json& object, const std::string& path, const char* field) const {
        const Json* value = find(object, field);
        if (!value)
            fail(path + "/" + field, "required field is missing");
        return *value;
    }

    bool boolean(const Json& value, const std::string& path) const {
        if (!value.is_boolean())
            fail(path, "expected true or false, got " + shown(value));
        return value.get<bool>();
    }

    std::string text(const Json& value, const std::string& path) const {
        if (!value.is_string())
            fail(path, "expected a text, got " + shown(value));
        return value.get<std::string>();
    }

    std::int64_t integer(const Json& value, const std::string& path, std::int64_t low,
                         std::int64_t high) const {
        bool inRange = false;
        std::int64_t result = 0;
        if (value.is_number_unsigned()) {
            const auto u = value.get<std::uint64_t>();
            inRange = u <= static_cast<std::uint64_t>(high) && static_cast<std::int64_t>(u) >= low;
            result = static_cast<std::int64_t>(u);
        } else if (value.is_number_integer()) {
            result = value.get<std::int64_t>();
            inRange = result >= low && result <= high;
        }
        if (!inRange)
            fail(path, "expected an integer from " + std::to_string(low) + " to " + std::to_string(high) +
                           ", got " + shown(value));
        return result;
    }

    double number(const Json& value, const std::string& path, int low, int high) const {
        if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < low ||
            value.get<double>() > high)
            fail(path, "expected a number from " + std::to_string(low) + " to " + std::to_string(high) +
                           ", got " + shown(value));
        return value.get<double>();
    }

    std::int32_t moduleId(const Json& value, const std::string& path) const {
        if (!value.is_string() || value.get_ref<const std::string&>().empty() ||
            value.get_ref<const std::string&>().size() > 8)
            fail(path, "expected a hexadecimal ID text of 1 to 8 digits, got " + shown(value));
        std::uint32_t id = 0;
        for (char c : value.get_ref<const std::string&>()) {
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                               : -1;
            if (digit < 0)
                fail(path, "expected a hexadecimal ID text of 1 to 8 digits, got " + shown(value));
            id = id << 4 | static_cast<std::uint32_t>(digit);
        }
        if (id == 0)
            fail(path, "0 is no module ID (it means that nothing paired)");
        return static_cast<std::int32_t>(id); // eight digits reach the negative IDs, as the ID box does
    }

    CurrentError error(const Json& value, const std::string& path, CurrentError defaults) const {
        object(value, path, {"number", "description"});
        if (const Json* v = find(value, "number"))
            defaults.number = static_cast<std::int32_t>(integer(*v, path + "/number", INT32_MIN, INT32_MAX));
        if (const Json* v = find(value, "description"))
            defaults.description = text(*v, path + "/description");
        return defaults;
    }

    LogMoment moment(const Json& value, const std::string& path) const {
        const std::string format = "expected a date and time \"YYYY-MM-DDTHH:MM:SS\", got " + shown(value);
        if (!value.is_string())
            fail(path, format);
        const std::string& s = value.get_ref<const std::string&>();
        static constexpr char pattern[] = "dddd-dd-ddTdd:dd:dd";
        if (s.size() != sizeof pattern - 1)
            fail(path, format);
        for (std::size_t i = 0; i < s.size(); ++i) {
            bool ok = pattern[i] == 'd' ? s[i] >= '0' && s[i] <= '9' : s[i] == pattern[i];
            if (!ok)
                fail(path, format);
        }
        auto field = [&](std::size_t at, std::size_t digits) {
            int n = 0;
            for (std::size_t i = at; i < at + digits; ++i)
                n = n * 10 + (s[i] - '0');
            return n;
        };
        const int year = field(0, 4), month = field(5, 2), day = field(8, 2);
        const int hour = field(11, 2), minute = field(14, 2), second = field(17, 2);
        if (year < 2000 || year > 2255)
            fail(path,
                 "year " + std::to_string(year) + " is outside 2000 to 2255, the years a record can hold");
        static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
        if (month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] ||
            (month == 2 && day == 29 && !leap))
            fail(path,
                 "no such date: " + inQuotes(s.substr(0, 10)) + " (use a raw record for impossible dates)");
        if (hour > 23 || minute > 59 || second > 59)
            fail(path, "no such time of day: " + inQuotes(s.substr(11)) +
                           " (use a raw record for impossible times)");
        LogMoment m;
        m.yearSince2000 = static_cast<std::uint8_t>(year - 2000);
        m.month = static_cast<std::uint8_t>(month);
        m.day = static_cast<std::uint8_t>(day);
        m.hour = static_cast<std::uint8_t>(hour);
        m.minute = static_cast<std::uint8_t>(minute);
        m.second = static_cast<std::uint8_t>(second);
        return m;
    }

    std::string log(const Json& value, const std::string& path, std::size_t position) const {
        if (value.is_object() && value.contains("raw")) {
            for (const auto& [key, item] : value.items())
                if (key != "raw")
                    fail(path + "/" + pathStep(key), "a log given as \"raw\" takes no other field");
            return text(*find(value, "raw"), path + "/raw");
        }
        object(value, path,
               {"raw", "number", "start", "peak", "end", "peak_value", "overload", "flags", "spare", "crc"});
        LogFields fields;
        fields.logNumber = static_cast<std::uint16_t>(position);
        if (const Json* v = find(value, "number"))
            fields.logNumber = static_cast<std::uint16_t>(integer(*v, path + "/number", 0, 65535));
        fields.start = moment(require(value, path, "start"), path + "/start");
        fields.peak = fields.start;
        if (const Json* v = find(value, "peak"))
            fields.peak = moment(*v, path + "/peak");
        fields.end = fields.peak;
        if (const Json* v = find(value, "end"))
            fields.end = moment(*v, path + "/end");
        if (const Json* v = find(value, "peak_value")) {
            if (!v->is_number() || !std::isfinite(v->get<double>()))
                fail(path + "/peak_value", "expected a finite number, got " + shown(*v));
            if (std::fabs(v->get<double>()) > FLT_MAX)
                fail(path + "/peak_value", "too large for a single-precision value: " + shown(*v));
            fields.peakValue = static_cast<float>(v->get<double>());
        }
        if (const Json* v = find(value, "flags"))
            fields.flags = static_cast<std::uint8_t>(integer(*v, path + "/flags", 0, 255));
        if (const Json* v = find(value, "overload")) {
            const bool overload = boolean(*v, path + "/overload");
            if (find(value, "flags") && overload != ((fields.flags & 1) != 0))
                fail(path + "/overload", "disagrees with bit 0 of \"flags\"");
            fields.flags = static_cast<std::uint8_t>(overload ? fields.flags | 1 : fields.flags & ~1);
        }
        if (const Json* v = find(value, "spare"))
            fields.spare = static_cast<std::uint8_t>(integer(*v, path + "/spare", 0, 255));
        LogRecord record = recordFrom(fields);
        if (const Json* v = find(value, "crc")) {
            const auto crc = integer(*v, path + "/crc", 0, 65535);
            record[26] = static_cast<std::uint8_t>(crc >> 8);
            record[27] = static_cast<std::uint8_t>(crc & 0xFF);
        }
        return encodeLogReply(record);
    }

    SimModule module(const Json& value, const std::string& path) const {
        object(value, path, {"id", "model", "logs", "generated"});
        SimModule module;
        module.id = moduleId(require(value, path, "id"), path + "/id");
        module.model = "Z83-PM-VX";
        if (const Json* v = find(value, "model"))
            module.model = text(*v, path + "/model");
        if (const Json* logs = find(value, "logs")) {
            if (!logs->is_array())
                fail(path + "/logs", "expected an array, got " + shown(*logs));
            if (logs->size() > kMaxLogs)
                fail(path + "/logs",
                     "a module holds at most 65535 logs, got " + std::to_string(logs->size()));
            module.records.reserve(logs->size());
            for (std::size_t i = 0; i < logs->size(); ++i)
                module.records.push_back(log((*logs)[i], path + "/logs/" + std::to_string(i), i + 1));
        }
        if (const Json* generated = find(value, "generated")) {
            const std::string at = path + "/generated";
            object(*generated, at, {"count", "seed"});
            const auto count = static_cast<std::uint32_t>(
                integer(require(*generated, at, "count"), at + "/count", 0, kMaxLogs));
            std::uint32_t seed = 1;
            if (const Json* v = find(*generated, "seed"))
                seed = static_cast<std::uint32_t>(integer(*v, at + "/seed", 0, UINT32_MAX));
            if (module.records.size() + count > kMaxLogs)
                fail(at + "/count", "a module holds at most 65535 logs, and \"logs\" already has " +
                                        std::to_string(module.records.size()));
            appendGeneratedLogs(module.records, count, seed);
        }
        return module;
    }

    Fault fault(const Json& value, const std::string& path) const {
        object(value, path, {"command", "operation", "kind", "start", "count", "status", "error"});
        Fault fault;
        const Json* command = find(value, "command");
        const Json* operation = find(value, "operation");
        if ((command == nullptr) == (operation == nullptr))
            fail(path, "give exactly one of \"command\" and \"operation\"");
        if (command) {
            fault.target = text(*command, path + "/command");
            if (std::ranges::find(kCommandCodes, fault.target) == std::end(kCommandCodes))
                fail(path + "/command", "unknown command code " + inQuotes(fault.target) +
                                            " (expected one of \"3\", \"S\", \"T\", \"U\", \"W\")");
        } else {
            fault.target = text(*operation, path + "/operation");
            if (std::ranges::find(kOperations, fault.target) == std::end(kOperations))
                fail(path + "/operation",
                     "unknown operation " + inQuotes(fault.target) +
                         " (expected one of OpenUSB, CloseUSB, ProbeProvider, ReadBaseByte, "
                         "PairModule, DetectBase)");
        }
        const std::string kindPath = path + "/kind";
        const std::string kind = text(require(value, path, "kind"), kindPath);
        const KindName* found = nullptr;
        for (const auto& k : kKindNames)
            if (kind == k.name)
                found = &k;
        if (!found) {
            std::string expected;
            for (const auto& k : kKindNames)
                expected += (expected.empty() ? "" : ", ") + std::string(k.name);
            fail(kindPath, "unknown fault kind " + inQuotes(kind) + " (expected one of " + expected + ")");
        }
        fault.kind = found->kind;
        if (!faultApplies(fault.target, fault.kind)) {
            std::string fitting;
            for (const auto& k : kKindNames)
                if (faultApplies(fault.target, k.kind))
                    fitting += (fitting.empty() ? "" : ", ") + std::string(k.name);
            fail(kindPath, "a " + inQuotes(kind) + " fault cannot hit " +
                               (command ? "command " : "operation ") + inQuotes(fault.target) +
                               " (it takes " + fitting + ")");
        }
        if (const Json* v = find(value, "start"))
            fault.start = static_cast<int>(integer(*v, path + "/start", 1, INT32_MAX));
        if (const Json* v = find(value, "count"))
            fault.count = static_cast<int>(integer(*v, path + "/count", 0, INT32_MAX));

        // Only the fields a fault uses are allowed, so a misplaced one is not silently ignored.
        const bool usesStatus = fault.kind == FaultKind::Status && (command || fault.target == "OpenUSB");
        const bool usesError = fault.kind == FaultKind::Raise ||
                               (fault.kind == FaultKind::Status && fault.target == "ProbeProvider");
        if (const Json* v = find(value, "status")) {
            if (!usesStatus)
                fail(path + "/status",
                     "not used by this fault (only by \"status\" faults on commands and OpenUSB)");
            fault.status = static_cast<std::int16_t>(integer(*v, path + "/status", INT16_MIN, INT16_MAX));
            if (fault.status == 0)
                fail(path + "/status", "a failing status must not be 0");
        }
        if (const Json* v = find(value, "error")) {
            if (!usesError)
                fail(path + "/error", "not used by this fault (only by \"raise\" faults and \"status\" "
                                      "faults on ProbeProvider)");
            CurrentError e = error(*v, path + "/error", {fault.errorNumber, fault.errorDescription});
            fault.errorNumber = e.number;
            fault.errorDescription = std::move(e.description);
        }
        return fault;
    }

    Scenario scenario(const Json& root) const {
        object(root, "", {"description", "base_station", "latency_ms", "pairing", "modules", "faults"});
        Scenario s;
        if (const Json* v = find(root, "description"))
            s.description = text(*v, "/description");
        if (const Json* base = find(root, "base_station")) {
            object(*base, "/base_station", {"present", "open_status", "open_error", "probe_error"});
            if (const Json* v = find(*base, "present"))
                s.basePresent = boolean(*v, "/base_station/present");
            if (const Json* v = find(*base, "open_status"))
                s.openStatus =
                    static_cast<std::int16_t>(integer(*v, "/base_station/open_status", INT16_MIN, INT16_MAX));
            if (const Json* v = find(*base, "open_error"))
                s.openError = error(*v, "/base_station/open_error", {});
            if (const Json* v = find(*base, "probe_error"))
                s.probeError = error(*v, "/base_station/probe_error", {});
        }
        if (const Json* v = find(root, "latency_ms"))
            s.latencySeconds = number(*v, "/latency_ms", 0, 60000) / 1000.0;
        if (const Json* modules = find(root, "modules")) {
            if (!modules->is_array())
                fail("/modules", "expected an array, got " + shown(*modules));
            for (std::size_t i = 0; i < modules->size(); ++i) {
                const std::string path = "/modules/" + std::to_string(i);
                s.modules.push_back(module((*modules)[i], path));
                for (std::size_t j = 0; j < i; ++j)
                    if (s.modules[j].id == s.modules[i].id)
                        fail(path + "/id", "the module ID of /modules/" + std::to_string(j) + " again");
            }
        }
        if (const Json* pairing = find(root, "pairing")) {
            object(*pairing, "/pairing", {"module", "delay_seconds"});
            if (const Json* v = find(*pairing, "module"); v && !v->is_null()) {
                s.pairs = moduleId(*v, "/pairing/module");
                bool known = false;
                for (const SimModule& m : s.modules)
                    known = known || m.id == *s.pairs;
                if (!known)
                    fail("/pairing/module", "no module in /modules has the ID " + shown(*v));
            }
            if (const Json* v = find(*pairing, "delay_seconds"))
                s.pairDelaySeconds = number(*v, "/pairing/delay_seconds", 0, 3600);
        }
        if (const Json* faults = find(root, "faults")) {
            if (!faults->is_array())
                fail("/faults", "expected an array, got " + shown(*faults));
            for (std::size_t i = 0; i < faults->size(); ++i)
                s.faults.push_back(fault((*faults)[i], "/faults/" + std::to_string(i)));
        }
        return s;
    }

private:
    const std::string& fileName_;
};

// Rejects a field named twice in one object, which a plain parse would let the last one win silently.
class DuplicateFieldCheck {
public:
    explicit DuplicateFieldCheck(const Reader& reader) : reader_(reader) {}

    bool operator()(int, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
        case Json::parse_event_t::array_start:
            frames_.push_back({event == Json::parse_event_t::array_start, childPath(), {}, {}, 0});
            break;
        case Json::parse_event_t::key: {
            Frame& frame = frames_.back();
            frame.key = parsed.get<std::string>();
            if (!frame.keys.insert(frame.key).second)
                reader_.fail(frame.path + "/" + pathStep(frame.key), "field given twice");
            break;
        }
        case Json::parse_event_t::object_end:
        case Json::parse_event_t::array_end:
            frames_.pop_back();
            elementDone();
            break;
        case Json::parse_event_t::value:
            elementDone();
            break;
        }
        return true;
    }

private:
    struct Frame {
        bool array;
        std::string path;
        std::set<std::string> keys;
        std::string key;
        std::size_t index;
    };

    std::string childPath() const {
        if (frames_.empty())
            return "";
        const Frame& parent = frames_.back();
        return parent.path + "/" + (parent.array ? std::to_string(parent.index) : pathStep(parent.key));
    }
    void elementDone() {
        if (!frames_.empty() && frames_.back().array)
            ++frames_.back().index;
    }

    const Reader& reader_;
    std::vector<Frame> frames_;
};

} // namespace

Scenario parseScenario(std::string_view jsonText, const std::string& fileName) {
    Reader reader(fileName);
    Json root;
    try {
        root = Json::parse(jsonText.begin(), jsonText.end(), DuplicateFieldCheck(reader));
    } catch (const Json::parse_error& e) {
        // Line and column of the byte where the parser gave up, counted from 1.
        const std::size_t at = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, jsonText.size());
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < at; ++i) {
            if (jsonText[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        std::string reason = e.what();
        if (auto columnAt = reason.find("column "); columnAt != std::string::npos)
            if (auto colon = reason.find(": ", columnAt); colon != std::string::npos)
                reason = reason.substr(colon + 2);
        throw ScenarioError(fileName + ": line " + std::to_string(line) + ", column " +
                            std::to_string(column) + ": not valid JSON: " + reason);
    } catch (const Json::out_of_range& e) {
        // A number beyond the range of a double, such as 1e999; the parser gives no position for it.
        std::string reason = e.what();
        if (auto bracket = reason.find("] "); bracket != std::string::npos)
            reason = reason.substr(bracket + 2);
        throw ScenarioError(fileName + ": not valid JSON: " + reason);
    }
    return reader.scenario(root);
}

Scenario loadScenarioFile(const std::string& path) {
    auto systemReason = [] { return std::generic_category().message(errno); };
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw ScenarioError(path + ": cannot open: " + systemReason());
    // Refuse a large regular file before reading it; the read below still bounds pipes and the like.
    std::error_code sizeError;
    if (const auto size = std::filesystem::file_size(path, sizeError); !sizeError && size > kMaxFileBytes)
        throw ScenarioError(path + ": larger than 64 MiB, too large for a scenario");
    std::string text;
    char buffer[65536];
    while (true) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        text.append(buffer, n);
        if (text.size() > kMaxFileBytes)
            throw ScenarioError(path + ": larger than 64 MiB, too large for a scenario");
        if (n < sizeof buffer) {
            if (std::ferror(file.get()))
                throw ScenarioError(path + ": cannot read: " + systemReason());
            break;
        }
    }
    return parseScenario(text, path);
}

} // namespace z83::sim
