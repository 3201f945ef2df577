#pragma once

#include "link/LogRecord.h"

#include <string>

namespace z83::test {

// The 56-digit reply of a plausible record with the given log number and a right CRC.
inline std::string recordReply(int logNumber, bool overload = false) {
    LogFields f;
    f.logNumber = static_cast<std::uint16_t>(logNumber);
    f.start = {5, 30, 14, 21, 6, 24};
    f.peak = {7, 30, 14, 21, 6, 24};
    f.end = {12, 31, 14, 21, 6, 24};
    f.peakValue = 12.5f;
    f.flags = overload ? 1 : 0;
    return encodeLogReply(recordFrom(f));
}

// The same reply with a stored CRC that does not match.
inline std::string badCrcReply(int logNumber) {
    std::string reply = recordReply(logNumber);
    reply.back() = reply.back() == '0' ? '1' : '0';
    return reply;
}

// The report line of recordReply, written out by hand.
inline std::string recordLine(int logNumber, bool overload = false) {
    return std::to_string(logNumber) + ",21/6/2024,14:30:5,21/6/2024,14:30:7,21/6/2024,14:31:12,12.5," +
           (overload ? "OVERLOAD" : "SAFE");
}

} // namespace z83::test
