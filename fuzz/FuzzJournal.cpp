// The journal reader on any text (a journal is a file anyone can edit): no crash, every line either an entry
// or named as damaged, and every entry read written again the same.
#include "extract/Journal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const z83::JournalReading reading = z83::readJournal(text);
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    if (reading.entries.size() + reading.damaged.size() > lines)
        std::abort();
    for (const z83::JournalEntry& entry : reading.entries) {
        const std::string line = z83::journalLine(entry);
        const z83::JournalReading again = z83::readJournal(line);
        if (again.entries.size() != 1 || !again.damaged.empty() || z83::journalLine(again.entries[0]) != line)
            std::abort();
    }
    return 0;
}
