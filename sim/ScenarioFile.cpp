#include "sim/ScenarioFile.h"

#include "link/Hex.h"
#include "link/LogRecord.h"
#include "link/Wire.h"
#include "sim/GeneratedLogs.h"
#include "sim/ModuleIdField.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace z83::sim {

namespace {

using Json = JsonFieldReader::Json;

constexpr std::size_t kMaxFileBytes = 64u << 20;
// Values from here up round to infinity as single-precision; everything below rounds to a finite one.
constexpr double kFloatOverflow = 0x1p128 - 0x1p103;

struct KindName {
    FaultKind kind;
    const char* name;
};
constexpr KindName kKindNames[] = {
    {FaultKind::Status, "status"},
    {FaultKind::WrongLength, "wrong_length"},
    {FaultKind::NulPadding, "nul_padding"},
    {FaultKind::OnlyNuls, "only_nuls"},
    {FaultKind::HugeReply, "huge_reply"},
    {FaultKind::BadCrc, "bad_crc"},
    {FaultKind::SkipRecord, "skip_record"},
    {FaultKind::NewLog, "new_log"},
    {FaultKind::Raise, "raise"},
};

std::vector<std::string> kindNames() {
    std::vector<std::string> names;
    for (const auto& k : kKindNames)
        names.emplace_back(k.name);
    return names;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const CommandFact& command : kCommands)
        names.emplace_back(1, static_cast<char>(command.code));
    return names;
}

// The operations a fault can name: every one but the two that carry commands, named by their codes.
std::vector<std::string> operationNames() {
    std::vector<std::string> names;
    for (std::string_view name : kOperationNames)
        if (faultApplies(name, FaultKind::Raise))
            names.emplace_back(name);
    return names;
}

// The scenario's fields, each read and checked by the strict reader.
class ScenarioReader : public JsonFieldReader {
public:
    using JsonFieldReader::JsonFieldReader;

    Scenario scenario(const Json& root) const {
        object(root, "", {"description", "base_station", "latency_ms", "pairing", "modules", "faults"});
        Scenario s;
        if (const Json* v = find(root, "description"))
            s.description = text(*v, "/description");
        if (const Json* base = find(root, "base_station"))
            baseStation(*base, s);
        if (const Json* v = find(root, "latency_ms"))
            s.latencySeconds = number(*v, "/latency_ms", 0, 60000) / 1000.0;
        if (const Json* modules = find(root, "modules")) {
            for (std::size_t i = 0; i < array(*modules, "/modules", 1000).size(); ++i) {
                const std::string path = "/modules/" + std::to_string(i);
                s.modules.push_back(module((*modules)[i], path));
                for (std::size_t j = 0; j < i; ++j)
                    if (s.modules[j].id == s.modules[i].id)
                        fail(path + "/id", "the module ID of /modules/" + std::to_string(j) + " again");
            }
        }
        if (const Json* pairing = find(root, "pairing"))
            pairingOf(*pairing, s);
        if (const Json* faults = find(root, "faults"))
            for (std::size_t i = 0; i < array(*faults, "/faults", 1000).size(); ++i)
                s.faults.push_back(fault((*faults)[i], "/faults/" + std::to_string(i)));
        return s;
    }

private:
    void baseStation(const Json& base, Scenario& s) const {
        object(base, "/base_station", {"present", "open_status", "open_error", "probe_error"});
        if (const Json* v = find(base, "present"))
            s.basePresent = boolean(*v, "/base_station/present");
        if (const Json* v = find(base, "open_status"))
            s.openStatus =
                static_cast<std::int16_t>(integer(*v, "/base_station/open_status", INT16_MIN, INT16_MAX));
        if (const Json* v = find(base, "open_error"))
            s.openError = error(*v, "/base_station/open_error", {});
        if (const Json* v = find(base, "probe_error"))
            s.probeError = error(*v, "/base_station/probe_error", {});
    }

    void pairingOf(const Json& pairing, Scenario& s) const {
        object(pairing, "/pairing", {"module", "delay_seconds"});
        if (const Json* v = find(pairing, "module"); v && !v->is_null()) {
            s.pairs = moduleId(*v, "/pairing/module");
            if (std::none_of(s.modules.begin(), s.modules.end(),
                             [&](const SimModule& m) { return m.id == *s.pairs; }))
                fail("/pairing/module", "no module in /modules has the ID " + shown(*v));
        }
        if (const Json* v = find(pairing, "delay_seconds"))
            s.pairDelaySeconds = number(*v, "/pairing/delay_seconds", 0, 3600);
    }

    std::int32_t moduleId(const Json& value, const std::string& path) const {
        const std::int32_t id = moduleIdField(*this, value, path);
        if (id == 0)
            fail(path, "0 is no module ID (it means that nothing paired)");
        return id;
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
        for (std::size_t i = 0; i < s.size(); ++i)
            if (pattern[i] == 'd' ? s[i] < '0' || s[i] > '9' : s[i] != pattern[i])
                fail(path, format);
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
        return {static_cast<std::uint8_t>(second), static_cast<std::uint8_t>(minute),
                static_cast<std::uint8_t>(hour),   static_cast<std::uint8_t>(day),
                static_cast<std::uint8_t>(month),  static_cast<std::uint8_t>(year - 2000)};
    }

    float peakValue(const Json& value, const std::string& path) const {
        if (!value.is_number() || !std::isfinite(value.get<double>()))
            fail(path, "expected a finite number, got " + shown(value));
        if (std::fabs(value.get<double>()) >= kFloatOverflow)
            fail(path, "too large for a single-precision value: " + shown(value));
        return static_cast<float>(value.get<double>());
    }

    std::string log(const Json& value, const std::string& path, std::size_t position) const {
        if (value.is_object() && value.contains("raw")) {
            for (const auto& [key, item] : value.items())
                if (key != "raw")
                    fail(path + "/" + pathStep(key), "a log given as \"raw\" takes no other field");
            return text(value.at("raw"), path + "/raw");
        }
        object(value, path,
               {"raw", "number", "start", "peak", "end", "peak_value", "overload", "flags", "spare", "crc"});
        LogFields fields;
        fields.logNumber = static_cast<std::uint16_t>(position);
        if (const Json* v = find(value, "number"))
            fields.logNumber = static_cast<std::uint16_t>(integer(*v, path + "/number", 0, kMaxLogs));
        fields.start = moment(require(value, path, "start"), path + "/start");
        fields.peak = fields.start;
        if (const Json* v = find(value, "peak"))
            fields.peak = moment(*v, path + "/peak");
        fields.end = fields.peak;
        if (const Json* v = find(value, "end"))
            fields.end = moment(*v, path + "/end");
        if (const Json* v = find(value, "peak_value"))
            fields.peakValue = peakValue(*v, path + "/peak_value");
        if (const Json* v = find(value, "flags"))
            fields.flags = static_cast<std::uint8_t>(integer(*v, path + "/flags", 0, 255));
        if (const Json* v = find(value, "overload")) {
            const bool overload = boolean(*v, path + "/overload");
            if (find(value, "flags") && overload != fields.overload())
                fail(path + "/overload", "disagrees with bit 0 of \"flags\"");
            fields.flags = static_cast<std::uint8_t>(overload ? fields.flags | 1 : fields.flags & ~1);
        }
        if (const Json* v = find(value, "spare"))
            fields.spare = static_cast<std::uint8_t>(integer(*v, path + "/spare", 0, 255));
        LogRecord record = recordFrom(fields);
        if (const Json* v = find(value, "crc"))
            record = withStoredCRC(record, static_cast<std::uint16_t>(integer(*v, path + "/crc", 0, 65535)));
        return encodeLogReply(record);
    }

    SimModule module(const Json& value, const std::string& path) const {
        object(value, path, {"id", "model", "logs", "generated", "count_text"});
        SimModule module;
        module.id = moduleId(require(value, path, "id"), path + "/id");
        module.model = std::string(kSupportedModel);
        if (const Json* v = find(value, "model"))
            module.model = text(*v, path + "/model");
        if (const Json* v = find(value, "count_text"))
            module.countText = text(*v, path + "/count_text");
        if (const Json* logs = find(value, "logs")) {
            array(*logs, path + "/logs", kMaxLogs);
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
                fail(at + "/count", "a module holds at most " + std::to_string(kMaxLogs) +
                                        " logs, and \"logs\" already has " +
                                        std::to_string(module.records.size()));
            appendGeneratedLogs(module.records, count, seed);
        }
        return module;
    }

    [[noreturn]] void failUnfitting(const std::string& target, const std::string& kind, bool command,
                                    const std::string& path) const {
        std::string fitting;
        for (const auto& k : kKindNames)
            if (faultApplies(target, k.kind))
                fitting += (fitting.empty() ? "" : ", ") + std::string(k.name);
        fail(path, "a " + inQuotes(kind) + " fault cannot hit " + (command ? "command " : "operation ") +
                       inQuotes(target) + " (it takes " + fitting + ")");
    }

    Fault fault(const Json& value, const std::string& path) const {
        object(value, path, {"command", "operation", "kind", "start", "count", "status", "error"});
        Fault fault;
        const Json* command = find(value, "command");
        const Json* operation = find(value, "operation");
        if ((command == nullptr) == (operation == nullptr))
            fail(path, "give exactly one of \"command\" and \"operation\"");
        fault.target = command ? choice(*command, path + "/command", commandNames(), "command code")
                               : choice(*operation, path + "/operation", operationNames(), "operation");
        const std::string kind =
            choice(require(value, path, "kind"), path + "/kind", kindNames(), "fault kind");
        fault.kind = std::find_if(std::begin(kKindNames), std::end(kKindNames), [&](const KindName& k) {
                         return kind == k.name;
                     })->kind;
        if (!faultApplies(fault.target, fault.kind))
            failUnfitting(fault.target, kind, command != nullptr, path + "/kind");
        if (const Json* v = find(value, "start"))
            fault.start = static_cast<int>(integer(*v, path + "/start", 1, INT32_MAX));
        if (const Json* v = find(value, "count"))
            fault.count = static_cast<int>(integer(*v, path + "/count", 0, INT32_MAX));

        // Only the fields a fault uses are allowed, so a misplaced one is not silently ignored.
        const bool usesStatus =
            fault.kind == FaultKind::Status && (command || fault.target == operationName(Operation::OpenUSB));
        const bool usesError =
            fault.kind == FaultKind::Raise ||
            (fault.kind == FaultKind::Status && fault.target == operationName(Operation::ProbeProvider));
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
};

} // namespace

Scenario parseScenario(std::string_view jsonText, const std::string& fileName) {
    const ScenarioReader reader(fileName);
    return reader.scenario(reader.parse(jsonText));
}

Scenario scenarioFrom(const JsonFieldReader::Json& root, const std::string& fileName) {
    return ScenarioReader(fileName).scenario(root);
}

Scenario loadScenarioFile(const std::string& path) {
    return parseScenario(readStationText(path), path);
}

std::string readStationText(const std::string& path) {
    auto systemReason = [] { return std::generic_category().message(errno); };
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        throw ScenarioError(path + ": cannot open: " + systemReason());
    // Refuse a large regular file before reading it; the read below still bounds pipes and the like.
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    if (!sizeError && size > kMaxFileBytes)
        throw ScenarioError(path + ": larger than 64 MiB, too large for a scenario or recording");
    std::string text;
    // A recording is kept as read while it replays: no room to spare in it.
    if (!sizeError)
        text.reserve(static_cast<std::size_t>(size) + 1);
    char buffer[65536];
    while (true) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        text.append(buffer, n);
        if (text.size() > kMaxFileBytes)
            throw ScenarioError(path + ": larger than 64 MiB, too large for a scenario or recording");
        if (n < sizeof buffer) {
            if (std::ferror(file.get()))
                throw ScenarioError(path + ": cannot read: " + systemReason());
            break;
        }
    }
    return text;
}

} // namespace z83::sim
