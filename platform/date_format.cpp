#include "platform/date_format.h"

#include <array>

namespace platform {
namespace {

constexpr std::array<const char*, 12> kMonths = {"January",   "February", "March",    "April",
                                                 "May",       "June",     "July",     "August",
                                                 "September", "October",  "November", "December"};
constexpr std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};

int DayOfWeek(int y, int m, int d) {  // 0 = Sunday (Sakamoto)
    static constexpr int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) {
        y -= 1;
    }
    return (y + y / 4 - y / 100 + y / 400 + offsets[(m + 11) % 12] + d) % 7;
}

std::string TwoDigits(int value) {
    std::string s = std::to_string(value % 100);
    return s.size() < 2 ? "0" + s : s;
}

}  // namespace

std::string FormatDatePicture(const runtime::DateTime& date, std::string_view picture) {
    std::string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {
            const auto close = picture.find('\'', i + 1);
            const auto end = close == std::string_view::npos ? picture.size() : close;
            out += picture.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) {
            ++run;
        }
        const int month = (date.month >= 1 && date.month <= 12) ? date.month : 1;
        switch (c) {
            case 'd':
                if (run == 1) {
                    out += std::to_string(date.day);
                } else if (run == 2) {
                    out += TwoDigits(date.day);
                } else {
                    const std::string day = kDays[DayOfWeek(date.year, month, date.day)];
                    out += run == 3 ? day.substr(0, 3) : day;
                }
                break;
            case 'M':
                if (run == 1) {
                    out += std::to_string(date.month);
                } else if (run == 2) {
                    out += TwoDigits(date.month);
                } else {
                    const std::string name = kMonths[month - 1];
                    out += run == 3 ? name.substr(0, 3) : name;
                }
                break;
            case 'y':
                if (run <= 2) {
                    out += run == 1 ? std::to_string(date.year % 100) : TwoDigits(date.year);
                } else {
                    out += std::to_string(date.year);
                }
                break;
            default:
                out.append(run, c);
                break;
        }
        i += run;
    }
    return out;
}

}  // namespace platform
