#pragma once

#include "desktop/JsonDepth.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace z83 {

// The one rule for JSON text that is not UTF-8, in every file the programs read or write (scenarios,
// recordings, the journal, the reports' JSON): a byte that is not part of a UTF-8 character stands for
// U+FFFD, so that a file edited in another encoding keeps all but those characters. Where text must come
// back byte for byte (a recording's argument text), its writer gives the bytes in hexadecimal instead.
//
// The text as read: text itself when it is UTF-8, otherwise its repair, kept in repaired.
std::string_view jsonUtf8(std::string_view text, std::string& repaired);
// A document as written, with the rule above.
std::string jsonDump(const nlohmann::json& value);
std::string jsonDump(const nlohmann::ordered_json& value);
// Text in JSON quotes: a field of a report the programs write.
std::string jsonQuoted(std::string_view text);

// A JSON file that cannot be used. what() names the file, the field as a JSON path and the fault, e.g.
// "flaky.json: /modules/0/id: expected a hexadecimal ID text, got 12".
class JsonFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    JsonFileError(const std::string& what, std::string fault, std::size_t line = 0)
        : std::runtime_error(what), fault_(std::move(fault)), line_(line) {}
    // The fault alone, without the file, line and field, for a reader that names the place its own way;
    // the line of the text it lies on, 0 when it is a field's.
    const std::string& fault() const { return fault_; }
    std::size_t line() const { return line_; }

private:
    std::string fault_;
    std::size_t line_ = 0;
};

// Reads the fields of a JSON document strictly: every field checked for its type and range, unknown and
// duplicate fields refused, and every refusal naming the file and the field's JSON path.
class JsonFieldReader {
public:
    using Json = nlohmann::json;

    explicit JsonFieldReader(std::string fileName) : fileName_(std::move(fileName)) {}

    // The document, its text read by the rule above; refuses malformed JSON (naming line and column, counted
    // from firstLine), fields given twice and nesting deeper than kDeepestJson (unless the text it is part of
    // was checked for it).
    Json parse(std::string_view given, std::size_t firstLine = 1, bool depthChecked = false) const;
    // Refuses a text nested deeper than kDeepestJson before it is parsed: each level costs the parser memory.
    void checkDepth(std::string_view text, std::size_t firstLine = 1) const;

    [[noreturn]] void fail(const std::string& path, const std::string& what) const;
    // A fault of the text itself, named by its line and column.
    [[noreturn]] void failAt(std::string_view text, std::size_t at, std::size_t firstLine,
                             const std::string& what) const;

    // Checks that value is an object whose fields are all among fields.
    void object(const Json& value, const std::string& path, std::initializer_list<const char*> fields) const;
    const Json* find(const Json& object, const char* field) const;
    const Json& require(const Json& object, const std::string& path, const char* field) const;

    bool boolean(const Json& value, const std::string& path) const;
    std::string text(const Json& value, const std::string& path) const;
    std::int64_t integer(const Json& value, const std::string& path, std::int64_t low,
                         std::int64_t high) const;
    double number(const Json& value, const std::string& path, double low, double high) const;
    // A text among the given choices.
    std::string choice(const Json& value, const std::string& path, const std::vector<std::string>& choices,
                       std::string_view what) const;
    // A value of the array at path, checked to be an array of at most maxSize elements.
    const Json& array(const Json& value, const std::string& path, std::size_t maxSize) const;

    // Text in JSON quotes, and a value as the file shows it, shortened so one bad field cannot flood the
    // message.
    static std::string inQuotes(std::string_view text);
    static std::string shown(const Json& value);
    // A JSON-pointer step, escaped so that "/" and "~" in a field name keep the path unambiguous.
    static std::string pathStep(std::string_view key);

private:
    std::string fileName_;
};

} // namespace z83
