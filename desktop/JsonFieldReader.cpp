#include "desktop/JsonFieldReader.h"

#include "desktop/ShownText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace z83 {

namespace {

using Json = JsonFieldReader::Json;

// A bound as the file would give it: whole numbers without a decimal point.
std::string boundText(double bound) {
    return bound == std::floor(bound) && std::fabs(bound) < 1e15
               ? std::to_string(static_cast<long long>(bound))
               : JsonFieldReader::shown(Json(bound));
}

std::string listed(std::initializer_list<const char*> names) {
    std::string text;
    for (const char* name : names)
        text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

// Builds the document and refuses a field named twice in one object, where a plain parse would let the last
// one win silently. Driven by the parser's events directly: a call-back per event would cost a value per key.
//
// It also keeps the document's memory within kMemoryPerByte times the text's size: text such as "{},{},..."
// would otherwise take some 30 times its size, far beyond what any file of ours needs (5 to 7 times).
class DuplicateFieldCheck {
public:
    DuplicateFieldCheck(const JsonFieldReader& reader, Json& root, std::size_t textSize)
        : reader_(reader), dom_(root), size_(textSize), budget_(kMemoryPerByte * textSize + (1u << 20)) {}

    bool null() { return value(dom_.null()); }
    bool boolean(bool v) { return value(dom_.boolean(v)); }
    bool number_integer(Json::number_integer_t v) { return value(dom_.number_integer(v)); }
    bool number_unsigned(Json::number_unsigned_t v) { return value(dom_.number_unsigned(v)); }
    bool number_float(Json::number_float_t v, const Json::string_t& text) {
        return value(dom_.number_float(v, text));
    }
    bool string(Json::string_t& v) {
        spend(v.size() > 15 ? v.size() + 16 : 0);
        return value(dom_.string(v));
    }
    bool binary(Json::binary_t& v) { return value(dom_.binary(v)); }
    bool start_object(std::size_t n) {
        spend(kContainerBytes);
        frames_.push_back({false, {}, 0});
        return dom_.start_object(n);
    }
    bool start_array(std::size_t n) {
        spend(kContainerBytes);
        frames_.push_back({true, {}, 0});
        return dom_.start_array(n);
    }
    bool key(Json::string_t& key) {
        spend(kFieldBytes + (key.size() > 15 ? key.size() + 16 : 0));
        Frame& frame = frames_.back();
        // Objects of ours have a dozen fields at most: a list is quicker than a tree.
        const bool twice = std::find(frame.keys.begin(), frame.keys.end(), key) != frame.keys.end();
        frame.keys.push_back(key);
        if (twice)
            reader_.fail(path(), "field given twice");
        return dom_.key(key);
    }
    bool end_object() { return close(dom_.end_object()); }
    bool end_array() { return close(dom_.end_array()); }
    template <typename Exception>
    bool parse_error(std::size_t at, const std::string& token, const Exception& e) {
        return dom_.parse_error(at, token, e);
    }

private:
    // Each open object or array keeps only its own step; the path is put together when it is needed, so
    // that it costs no more than the text it stands for.
    struct Frame {
        bool array;
        std::vector<std::string> keys; // the last one is the current field's
        std::size_t index;
    };

    std::string path() const {
        std::string path;
        for (const Frame& frame : frames_)
            path += "/" + (frame.array ? std::to_string(frame.index)
                                       : JsonFieldReader::pathStep(frame.keys.back()));
        return path;
    }
    bool value(bool going) {
        if (!frames_.empty() && frames_.back().array) {
            ++frames_.back().index;
            spend(kElementBytes);
        }
        return going;
    }
    // What the document's parts cost, roughly: an object or array with its allocation, a field's tree node
    // with its name and value, an array element with the array's room to grow; long texts besides.
    static constexpr std::size_t kMemoryPerByte = 16, kContainerBytes = 64, kFieldBytes = 96,
                                 kElementBytes = 32;
    void spend(std::size_t bytes) {
        spent_ += bytes;
        if (spent_ > budget_)
            reader_.fail(path(), "too many values for a file of " + std::to_string(size_) +
                                     " bytes: no file of ours holds so many");
    }
    bool close(bool going) {
        frames_.pop_back();
        return value(going);
    }

    const JsonFieldReader& reader_;
    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    std::vector<Frame> frames_;
    std::size_t size_, budget_, spent_ = 0;
};

} // namespace

std::string_view jsonUtf8(std::string_view text, std::string& repaired) {
    // Most files are UTF-8 throughout: they are read where they lie, without a copy.
    if (isUtf8(text))
        return text;
    repaired = validUtf8(text);
    return repaired;
}

std::string jsonDump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string jsonDump(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string jsonQuoted(std::string_view text) {
    return jsonDump(nlohmann::json(std::string(text)));
}

void JsonFieldReader::failAt(std::string_view text, std::size_t at, std::size_t firstLine,
                             const std::string& what) const {
    std::size_t line = firstLine, column = 1;
    for (std::size_t i = 0; i < at && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    throw JsonFileError(fileName_ + ": line " + std::to_string(line) + ", column " + std::to_string(column) +
                            ": " + what,
                        what, line);
}

void JsonFieldReader::checkDepth(std::string_view text, std::size_t firstLine) const {
    if (const std::size_t at = jsonTooDeepAt(text); at != std::string_view::npos)
        failAt(text, at, firstLine, "nested deeper than " + std::to_string(kDeepestJson) + " levels");
}

Json JsonFieldReader::parse(std::string_view given, std::size_t firstLine, bool depthChecked) const {
    std::string repaired;
    const std::string_view text = jsonUtf8(given, repaired);
    // Before parsing: each level costs the parser memory and time, and no file of ours nests deeply.
    if (!depthChecked)
        checkDepth(text, firstLine);
    try {
        Json root;
        DuplicateFieldCheck check(*this, root, text.size());
        Json::sax_parse(text.begin(), text.end(), &check);
        return root;
    } catch (const Json::parse_error& e) {
        // The parser gives the count of bytes it read; the last of them is where it gave up.
        const std::size_t at = std::min<std::size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
        failAt(text, at, firstLine,
               "not valid JSON: " + (at < text.size() ? "unexpected " + inQuotes(text.substr(at, 1))
                                                      : std::string("the text ends too early")));
    } catch (const Json::out_of_range&) {
        // The one range error of parsing: a number beyond a double, such as 1e999.
        throw JsonFileError(fileName_ + ": not valid JSON: a number is too large",
                            "not valid JSON: a number is too large");
    }
}

void JsonFieldReader::fail(const std::string& path, const std::string& what) const {
    throw JsonFileError(fileName_ + ": " + (path.empty() ? "/" : path) + ": " + what, what);
}

void JsonFieldReader::object(const Json& value, const std::string& path,
                             std::initializer_list<const char*> fields) const {
    if (!value.is_object())
        fail(path, "expected an object, got " + shown(value));
    for (const auto& item : value.items()) {
        const std::string& key = item.key();
        if (std::none_of(fields.begin(), fields.end(), [&key](const char* field) { return key == field; }))
            fail(path + "/" + pathStep(key), "unknown field (expected one of " + listed(fields) + ")");
    }
}

const Json* JsonFieldReader::find(const Json& object, const char* field) const {
    auto it = object.find(field);
    return it == object.end() ? nullptr : &*it;
}

const Json& JsonFieldReader::require(const Json& object, const std::string& path, const char* field) const {
    const Json* value = find(object, field);
    if (!value)
        fail(path + "/" + field, "required field is missing");
    return *value;
}

bool JsonFieldReader::boolean(const Json& value, const std::string& path) const {
    if (!value.is_boolean())
        fail(path, "expected true or false, got " + shown(value));
    return value.get<bool>();
}

std::string JsonFieldReader::text(const Json& value, const std::string& path) const {
    if (!value.is_string())
        fail(path, "expected a text, got " + shown(value));
    return value.get<std::string>();
}

std::int64_t JsonFieldReader::integer(const Json& value, const std::string& path, std::int64_t low,
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

double JsonFieldReader::number(const Json& value, const std::string& path, double low, double high) const {
    if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < low ||
        value.get<double>() > high)
        fail(path,
             "expected a number from " + boundText(low) + " to " + boundText(high) + ", got " + shown(value));
    return value.get<double>();
}

std::string JsonFieldReader::choice(const Json& value, const std::string& path,
                                    const std::vector<std::string>& choices, std::string_view what) const {
    std::string given = text(value, path);
    if (std::find(choices.begin(), choices.end(), given) != choices.end())
        return given;
    std::string expected;
    for (const std::string& c : choices)
        expected += (expected.empty() ? "" : ", ") + c;
    fail(path,
         "unknown " + std::string(what) + " " + inQuotes(given) + " (expected one of " + expected + ")");
}

const Json& JsonFieldReader::array(const Json& value, const std::string& path, std::size_t maxSize) const {
    if (!value.is_array())
        fail(path, "expected an array, got " + shown(value));
    if (value.size() > maxSize)
        fail(path, "at most " + std::to_string(maxSize) + " elements, got " + std::to_string(value.size()));
    return value;
}

std::string JsonFieldReader::inQuotes(std::string_view text) {
    return jsonQuoted(text);
}

std::string JsonFieldReader::shown(const Json& value) {
    if (value.is_object())
        return "an object";
    if (value.is_array())
        return "an array";
    std::string text = jsonDump(value);
    if (text.size() > 60)
        text.replace(57, std::string::npos, "...");
    return text;
}

std::string JsonFieldReader::pathStep(std::string_view key) {
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

} // namespace z83
