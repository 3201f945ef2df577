// Any reply a module may send, through decoding, the CRC check and the CSV line.
#include "extract/CsvReport.h"
#include "link/LogRecord.h"
#include "link/NumberReaders.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    z83::LogRecord record = z83::decodeLogReply(reply);
    std::string line = z83::csvLine(record);
    (void)z83::crcMatches(record);

    // The line has nine fields, its first the log number, and encoding gives the bytes back.
    int commas = 0;
    for (char c : line)
        commas += c == ',';
    if (commas != 8)
        std::abort();
    if (z83::readLeadingDecimal(line) != z83::fieldsOf(record).logNumber)
        std::abort();
    if (z83::decodeLogReply(z83::encodeLogReply(record)) != record)
        std::abort();
    return 0;
}
