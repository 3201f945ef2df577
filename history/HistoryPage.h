#pragma once

#include "history/History.h"

#include <string>

namespace z83 {

// The chart's plot area in pixels: at most one mark is drawn in each of its pixels.
inline constexpr int kChartWidth = 640;
inline constexpr int kChartHeight = 220;

// The history as one self-contained HTML page: inline CSS and SVG, no script, nothing fetched, so it opens,
// prints and archives anywhere. madeBy names the program and its version.
std::string historyPage(const History& history, const std::string& madeBy);

// The events of the history, one row (or object) for each, with its module and the report it came from.
std::string historyCsv(const History& history);
std::string historyJson(const History& history);

} // namespace z83
