#include "desktop/IsoTime.h"

#include <chrono>
#include <cstdio>

namespace z83 {

std::string isoTime(const LocalDateTime& time, char separator) {
    const auto fits = [](int value, int digits) { return value >= 0 && value < (digits == 4 ? 10000 : 100); };
    if (!fits(time.year, 4) || !fits(time.month, 2) || !fits(time.day, 2) || !fits(time.hour, 2) ||
        !fits(time.minute, 2) || !fits(time.second, 2)) {
        char text[80]; // a record's date may be nonsense: every digit shown
        std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d", time.year, time.month, time.day,
                      separator, time.hour, time.minute, time.second);
        return text;
    }
    // Written digit by digit: a history export formats three for each of up to millions of events.
    char text[] = "0000-00-00T00:00:00";
    text[10] = separator;
    const auto put = [&text](int at, int value, int digits) {
        for (int k = digits - 1; k >= 0; --k, value /= 10)
            text[at + k] = static_cast<char>('0' + value % 10);
    };
    put(0, time.year, 4);
    put(5, time.month, 2);
    put(8, time.day, 2);
    put(11, time.hour, 2);
    put(14, time.minute, 2);
    put(17, time.second, 2);
    return std::string(text, 19);
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
