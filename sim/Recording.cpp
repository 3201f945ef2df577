#include "sim/Recording.h"

#include "link/Hex.h"
#include "sim/ModuleIdField.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <utility>

namespace z83::sim {

namespace {

using Json = JsonFieldReader::Json;
using Ordered = nlohmann::ordered_json;

constexpr std::string_view kFormat = "z83-recording";
constexpr int kVersion = 1;
constexpr std::size_t kMostCalls = 2'000'000;
// Where the calls begin; what the writer puts there, and what a cut-off recording is recognised by.
constexpr std::string_view kCallsStart = "\n\"calls\":[";

// Text as JSON text when it is UTF-8; otherwise its bytes in hexadecimal, so that nothing is lost.
Ordered textJson(const std::string& text) {
    try {
        (void)Ordered(text).dump();
        return text;
    } catch (const Ordered::type_error&) {
    }
    std::string hex;
    for (unsigned char c : text) {
        hex += hexDigit(c >> 4);
        hex += hexDigit(c);
    }
    return Ordered{{"bytes", hex}};
}

Ordered argumentJson(Passing passing, const ArgumentValue& value) {
    switch (passing) {
    case Passing::IdRef:
        return idHex(static_cast<std::int32_t>(value.number));
    case Passing::CommandRef:
        if (value.number >= 0x20 && value.number < 0x7F)
            return std::string(1, static_cast<char>(value.number));
        return value.number;
    case Passing::TextRef:
        return textJson(value.text);
    case Passing::Value:
    case Passing::ByteRef:
    case Passing::Int32Ref:
        break;
    }
    return value.number;
}

double milliseconds(double seconds) {
    return std::round(seconds * 1e6) / 1e3; // to the microsecond
}

// The range of each operation's result, from the contract's own declarations.
template <typename T> constexpr std::pair<std::int64_t, std::int64_t> rangeOf() {
    return {std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
}
std::pair<std::int64_t, std::int64_t> resultRange(Operation operation) {
    DataProvider* p = nullptr;
    std::int32_t i = 0;
    std::uint8_t b = 0;
    std::string t;
    switch (operation) {
    case Operation::OpenUSB:
        return rangeOf<decltype(p->OpenUSB(0, 0))>();
    case Operation::CloseUSB:
        return {0, 0};
    case Operation::ProbeProvider:
        return rangeOf<decltype(p->ProbeProvider())>();
    case Operation::ReadBaseByte:
        return rangeOf<decltype(p->ReadBaseByte(0))>();
    case Operation::PairModule:
        return rangeOf<decltype(p->PairModule(0, 0, 0, i, i))>();
    case Operation::DetectBase:
        return rangeOf<decltype(p->DetectBase(0))>();
    case Operation::WriteCommand:
        return rangeOf<decltype(p->WriteCommand(b, i, b, t))>();
    case Operation::ReadCommand:
        return rangeOf<decltype(p->ReadCommand(b, i, b, t))>();
    }
    return {0, 0};
}

class RecordingReader : public JsonFieldReader {
public:
    using JsonFieldReader::JsonFieldReader;

    // The header; the calls of a document laid out otherwise than one a line are checked here and written
    // out so, to be read as the program's own.
    Recording recording(const Json& root) const {
        object(root, "",
               {"format", "version", "program", "platform", "provider", "arguments", "started",
                "replay_times", "calls"});
        if (text(require(root, "", "format"), "/format") != kFormat)
            fail("/format", "expected \"" + std::string(kFormat) + "\"");
        const auto version = integer(require(root, "", "version"), "/version", 1, INT32_MAX);
        if (version > kVersion)
            fail("/version", "recorded by a newer program (format version " + std::to_string(version) +
                                 "); this one reads version " + std::to_string(kVersion));
        Recording r;
        for (auto [field, into] : {std::pair{"program", &r.header.program},
                                   {"platform", &r.header.platform},
                                   {"provider", &r.header.provider},
                                   {"started", &r.header.started}})
            if (const Json* v = find(root, field))
                *into = text(*v, std::string("/") + field);
        if (const Json* v = find(root, "arguments"))
            for (std::size_t i = 0; i < array(*v, "/arguments", 1000).size(); ++i)
                r.header.arguments.push_back(text((*v)[i], "/arguments/" + std::to_string(i)));
        if (const Json* v = find(root, "replay_times"))
            r.replayTimes = boolean(*v, "/replay_times");
        const Json& calls = array(require(root, "", "calls"), "/calls", kMostCalls);
        std::string lines;
        for (std::size_t i = 0; i < calls.size(); ++i) {
            call(calls[i], "/calls/" + std::to_string(i));
            lines += calls[i].dump() + "\n";
        }
        r.text = std::make_shared<const std::string>(lines + recordingClosing());
        return r;
    }

    RecordedCall call(const Json& value, const std::string& path) const {
        object(value, path,
               {"call", "operation", "in", "out", "result", "current_error", "raised", "at_ms", "ms"});
        RecordedCall c;
        if (const Json* v = find(value, "call"))
            integer(*v, path + "/call", 1, INT64_MAX); // what a mismatch names it by; calls count by place
        static const std::vector<std::string> names(std::begin(kOperationNames), std::end(kOperationNames));
        const std::string name =
            choice(require(value, path, "operation"), path + "/operation", names, "operation");
        c.operation = static_cast<Operation>(std::find(names.begin(), names.end(), name) - names.begin());
        const auto facts = contractOf(c.operation).arguments();
        c.in = arguments(require(value, path, "in"), path + "/in", facts, false);
        if (const Json* v = find(value, "raised")) {
            c.raised = raisedError(*v, path + "/raised");
            for (const char* field : {"out", "result"})
                if (find(value, field))
                    fail(path + "/" + field, "a call that raised an error gives nothing back");
        } else {
            const bool anyByReference = std::any_of(
                facts.begin(), facts.end(), [](const ArgumentFact& f) { return byReference(f.passing); });
            c.out = c.in;
            if (anyByReference || find(value, "out"))
                c.out = arguments(require(value, path, "out"), path + "/out", facts, true, c.in);
            const auto [low, high] = resultRange(c.operation);
            if (c.operation != Operation::CloseUSB)
                c.result = static_cast<std::int32_t>(
                    integer(require(value, path, "result"), path + "/result", low, high));
            else if (const Json* v = find(value, "result"))
                integer(*v, path + "/result", 0, 0);
        }
        if (const Json* v = find(value, "current_error"))
            c.currentError = currentError(*v, path + "/current_error");
        if (const Json* v = find(value, "at_ms"))
            c.startSeconds = number(*v, path + "/at_ms", 0, 1e12) / 1e3;
        if (const Json* v = find(value, "ms"))
            c.seconds = number(*v, path + "/ms", 0, 3.6e6) / 1e3;
        return c;
    }

    RaisedError raisedError(const Json& value, const std::string& at) const {
        object(value, at, {"number", "source", "description"});
        RaisedError raised;
        raised.number = static_cast<std::int32_t>(
            integer(require(value, at, "number"), at + "/number", INT32_MIN, INT32_MAX));
        if (const Json* s = find(value, "source"))
            raised.source = textOrBytes(*s, at + "/source");
        if (const Json* d = find(value, "description"))
            raised.description = textOrBytes(*d, at + "/description");
        return raised;
    }

    CurrentError currentError(const Json& value, const std::string& at) const {
        object(value, at, {"number", "description"});
        CurrentError error;
        if (const Json* n = find(value, "number"))
            error.number = static_cast<std::int32_t>(integer(*n, at + "/number", INT32_MIN, INT32_MAX));
        if (const Json* d = find(value, "description"))
            error.description = textOrBytes(*d, at + "/description");
        return error;
    }

    // The arguments by name: all of them going in, the by-reference ones coming out (the others keep the
    // values they went in with).
    std::vector<ArgumentValue> arguments(const Json& value, const std::string& path,
                                         std::span<const ArgumentFact> facts, bool out,
                                         std::vector<ArgumentValue> values = {}) const {
        if (!value.is_object())
            fail(path, "expected an object, got " + shown(value));
        for (const auto& item : value.items()) {
            const auto fact = std::find_if(facts.begin(), facts.end(),
                                           [&](const ArgumentFact& f) { return f.name == item.key(); });
            if (fact == facts.end() || (out && !byReference(fact->passing))) {
                std::string expected;
                for (const ArgumentFact& f : facts)
                    if (!out || byReference(f.passing))
                        expected += (expected.empty() ? "" : ", ") + std::string(f.name);
                fail(path + "/" + pathStep(item.key()),
                     expected.empty()
                         ? "no argument of this operation goes " + std::string(out ? "out" : "in")
                         : "unknown argument (expected " + expected + ")");
            }
        }
        values.resize(facts.size());
        for (std::size_t i = 0; i < facts.size(); ++i) {
            if (out && !byReference(facts[i].passing))
                continue;
            const std::string name(facts[i].name);
            const std::string at = std::string(path).append("/").append(name);
            values[i] = argument(require(value, path, name.c_str()), at, facts[i].passing);
        }
        return values;
    }

    ArgumentValue argument(const Json& value, const std::string& path, Passing passing) const {
        switch (passing) {
        case Passing::Value:
        case Passing::Int32Ref:
            return {integer(value, path, INT32_MIN, INT32_MAX), {}};
        case Passing::ByteRef:
            return {integer(value, path, 0, 255), {}};
        case Passing::CommandRef:
            if (value.is_string()) {
                const std::string code = value.get<std::string>();
                if (code.size() != 1)
                    fail(path, "expected one character or a byte value, got " + shown(value));
                return {static_cast<unsigned char>(code[0]), {}};
            }
            return {integer(value, path, 0, 255), {}};
        case Passing::IdRef:
            return {moduleIdField(*this, value, path), {}};
        case Passing::TextRef:
            return {0, textOrBytes(value, path)};
        }
        return {};
    }

    std::string textOrBytes(const Json& value, const std::string& path) const {
        if (!value.is_object())
            return text(value, path);
        object(value, path, {"bytes"});
        const std::string hex = text(require(value, path, "bytes"), path + "/bytes");
        if (hex.size() % 2 != 0 ||
            std::any_of(hex.begin(), hex.end(), [](char c) { return hexDigitValue(c) < 0; }))
            fail(path + "/bytes", "expected pairs of hexadecimal digits");
        std::string bytes;
        for (std::size_t i = 0; i < hex.size(); i += 2)
            bytes += static_cast<char>(hexDigitValue(hex[i]) << 4 | hexDigitValue(hex[i + 1]));
        return bytes;
    }
};

} // namespace

std::string recordingOpening(const RecordingHeader& header) {
    Ordered opening;
    opening["format"] = kFormat;
    opening["version"] = kVersion;
    opening["program"] = header.program;
    opening["platform"] = header.platform;
    opening["provider"] = header.provider;
    opening["arguments"] = header.arguments;
    opening["started"] = header.started;
    opening["replay_times"] = false;
    std::string text = jsonDump(opening);
    text.pop_back(); // the closing brace: the calls follow
    return text + "," + std::string(kCallsStart);
}

std::string recordingCallLine(const RecordedCall& call, std::size_t number) {
    Ordered line;
    line["call"] = number;
    line["operation"] = operationName(call.operation);
    const auto facts = contractOf(call.operation).arguments();
    Ordered in = Ordered::object(), out = Ordered::object();
    for (std::size_t i = 0; i < facts.size() && i < call.in.size(); ++i) {
        in[std::string(facts[i].name)] = argumentJson(facts[i].passing, call.in[i]);
        if (i < call.out.size() && byReference(facts[i].passing))
            out[std::string(facts[i].name)] = argumentJson(facts[i].passing, call.out[i]);
    }
    line["in"] = std::move(in);
    if (!call.raised) {
        if (!out.empty())
            line["out"] = std::move(out);
        if (call.operation != Operation::CloseUSB)
            line["result"] = call.result;
    }
    if (call.currentError.number != 0 || !call.currentError.description.empty())
        line["current_error"] = {{"number", call.currentError.number},
                                 {"description", textJson(call.currentError.description)}};
    if (call.raised)
        line["raised"] = {{"number", call.raised->number},
                          {"source", textJson(call.raised->source)},
                          {"description", textJson(call.raised->description)}};
    line["at_ms"] = milliseconds(call.startSeconds);
    line["ms"] = milliseconds(call.seconds);
    return (number == 1 ? "\n" : ",\n") + line.dump();
}

std::string recordingClosing() {
    return "\n]}\n";
}

bool looksLikeRecording(std::string_view text) {
    const std::string_view start = text.substr(0, 200);
    return start.find("\"format\"") != std::string_view::npos &&
           start.find("\"" + std::string(kFormat) + "\"") != std::string_view::npos;
}

bool isRecording(const Json& root) {
    return root.is_object() && root.contains("calls");
}

Recording recordingFrom(const Json& root, const std::string& fileName) {
    Recording recording = RecordingReader(fileName).recording(root);
    recording.fileName = fileName;
    return recording;
}

std::optional<Recording> recordingOfLines(std::shared_ptr<const std::string> text,
                                          const std::string& fileName) {
    const std::size_t calls = text->find(kCallsStart);
    if (calls == std::string::npos || !looksLikeRecording(*text))
        return std::nullopt;
    // The header as a document of its own: what comes before the calls, and none of them.
    std::string header = text->substr(0, calls);
    while (!header.empty() && std::isspace(static_cast<unsigned char>(header.back())))
        header.pop_back();
    if (!header.ends_with(','))
        return std::nullopt;
    const RecordingReader reader(fileName);
    Recording recording = reader.recording(reader.parse(header + "\"calls\":[]}"));
    recording.fileName = fileName;
    recording.text = std::move(text);
    recording.callsAt = calls + kCallsStart.size();
    return recording;
}

RecordedCalls::RecordedCalls(std::shared_ptr<const Recording> recording)
    : recording_(std::move(recording)), at_(recording_->callsAt),
      line_(static_cast<std::size_t>(std::count(
                recording_->text->begin(),
                recording_->text->begin() + static_cast<std::ptrdiff_t>(recording_->callsAt), '\n')) +
            1) {}

namespace {

// A call's line without the comma before the next one, or after the one before, and without blanks.
std::string_view callText(std::string_view line) {
    const auto blank = [](char c) { return c == ',' || std::isspace(static_cast<unsigned char>(c)); };
    while (!line.empty() && blank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && blank(line.back()))
        line.remove_suffix(1);
    return line;
}

} // namespace

std::optional<RecordedCall> RecordedCalls::next() {
    const std::string& text = *recording_->text;
    while (at_ < text.size()) {
        const std::size_t start = at_, lineNumber = line_;
        const std::size_t end = std::min(text.find('\n', start), text.size());
        at_ = end == text.size() ? end : end + 1;
        ++line_;
        const std::string_view line = callText(std::string_view(text.data() + start, end - start));
        if (line.empty())
            continue;
        const RecordingReader reader(recording_->fileName);
        if (line == "]}") {
            complete_ = true;
            at_ = text.size();
            return std::nullopt;
        }
        Json value;
        try {
            value = reader.parse(line, lineNumber, recording_->depthChecked);
        } catch (const JsonFileError&) {
            // A last line cut through is where a killed program stopped; anywhere else it is a fault.
            if (text.find_first_not_of(" \t\r\n", at_) != std::string::npos)
                throw;
            at_ = text.size();
            return std::nullopt;
        }
        if (read_ >= kMostCalls)
            reader.fail("/calls", "at most " + std::to_string(kMostCalls) + " calls");
        // Fields are named within the line, the line in the file: short paths cost nothing to make.
        RecordedCall call;
        try {
            call = reader.call(value, "");
        } catch (const JsonFileError& error) {
            const std::string what = error.what();
            const std::string name = recording_->fileName + ": ";
            throw JsonFileError(name + "line " + std::to_string(lineNumber) + ": " + what.substr(name.size()),
                                error.fault(), lineNumber);
        }
        ++read_;
        const auto number = value.find("call");
        number_ =
            number != value.end() && number->is_number_unsigned() ? number->get<std::uint64_t>() : read_;
        return call;
    }
    return std::nullopt;
}

std::vector<RecordedCall> recordedCalls(const Recording& recording) {
    RecordedCalls calls(std::shared_ptr<const Recording>(&recording, [](const Recording*) {}));
    std::vector<RecordedCall> all;
    while (auto call = calls.next())
        all.push_back(std::move(*call));
    return all;
}

} // namespace z83::sim
