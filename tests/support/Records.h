#pragma once

#include "LogRecord.h"

#include <string>

namespace z83::test {

// The 56-digit reply of a plausible record with the given log number and a right CRC.
inline std::string recordReply(int logNumber, float peak = 12.5f, bool overload = false) {
    LogFields f;
    f.logNumber = static_cast<std::uint16_t>(logNumber);
    f.start = {5, 30, 14, 21, 6, 24};
    f.peak = {7, 30, 14, 21, 6, 24};
    f.end = {12, 31, 14, 21, 6, 24};
    f.peakValue = peak;
    f.flags = overload ? 1 : 0;
    return encodeLogReply(recordFrom(f));
}

inline std::string recordLine(int logNumber, float peak = 12.5f, bool overload = false) {
    return csvLine(decodeLogReply(recordReply(logNumber, peak, overload)));
}

} // namespace z83::test
