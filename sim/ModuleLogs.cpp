#include "sim/ModuleLogs.h"

namespace z83::sim {

void ModuleLogs::clear() {
    records_.clear();
    texts_.clear();
}

void ModuleLogs::push_back(const std::string& reply) {
    const LogRecord record = decodeLogReply(reply);
    if (reply.size() != kLogReplyDigits || encodeLogReply(record) != reply)
        texts_.emplace(records_.size(), reply);
    records_.push_back(record);
}

std::string ModuleLogs::operator[](std::size_t i) const {
    const auto text = texts_.find(i);
    return text != texts_.end() ? text->second : encodeLogReply(records_[i]);
}

} // namespace z83::sim
