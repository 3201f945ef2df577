#pragma once

#include "link/LogRecord.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <vector>

namespace z83::sim {

// A simulated module's stored logs, each the module's reply to one "U" read. A full module holds 65,535, so
// they are kept compactly: a reply that is a record's 56 upper-case digits as the record's 28 bytes, any
// other text (a scenario's raw reply) as it was given.
class ModuleLogs {
public:
    ModuleLogs() = default;
    ModuleLogs(std::initializer_list<std::string> replies) {
        for (const auto& reply : replies)
            push_back(reply);
    }

    std::size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    void reserve(std::size_t logs) { records_.reserve(logs); }
    void clear();

    void push_back(const std::string& reply);
    void push_back(const LogRecord& record) { records_.push_back(record); }
    // The reply to the read of log i (0-based).
    std::string operator[](std::size_t i) const;

    bool operator==(const ModuleLogs& other) const = default;

private:
    std::vector<LogRecord> records_;                     // a placeholder where texts_ holds the reply
    std::unordered_map<std::size_t, std::string> texts_; // replies that are no record's digits
};

} // namespace z83::sim
