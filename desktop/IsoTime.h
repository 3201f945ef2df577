#pragma once

#include "desktop/Desktop.h"

#include <string>

namespace z83 {

// A date and time as ISO 8601 writes it, 2024-06-21T14:03:09: the journal, the reports' JSON, a
// recording's start. Text meant only to be read by people may take a blank for the T.
std::string isoTime(const LocalDateTime& time, char separator = 'T');

// Now in UTC, with the Z that says so: 2024-06-21T12:03:09Z.
std::string isoUtcNow();

} // namespace z83
