#include "desktop/IsoTime.h"

#include <chrono>
#include <cstdio>

namespace z83 {

std::string isoTime(const LocalDateTime& time, char separator) {
    char text[80]; // room for any int in each field: a record's date may be nonsense
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d", time.year, time.month, time.day,
                  separator, time.hour, time.minute, time.second);
    return text;
}

std::string isoUtcNow() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    return isoTime({static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
                    static_cast<int>(static_cast<unsigned>(date.day())),
                    static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                    static_cast<int>(time.seconds().count())}) +
           "Z";
}

} // namespace z83
