#pragma once

#include "extract/Session.h"

#include <cstdint>
#include <string>

namespace z83::cli {

// The logs of a collection as a JSON document: module ID (hexadecimal text), model, the count text and
// one object per entry with its decoded fields and status. Ends with a line break.
std::string jsonReport(const Collection& collection, std::int32_t moduleId, const std::string& model);

// A moment of a record as "YYYY-MM-DDTHH:MM:SS" (local time, year 2000 + the stored byte), exactly as
// stored, even when the module stored an impossible date.
std::string isoMoment(const LogMoment& moment);

} // namespace z83::cli
