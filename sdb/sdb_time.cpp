// The dates that databases store as ISO 8601 text, computed without the C library's
// time functions, whose range and time zone handling differ between platforms.
#include "sdb_time.h"

#include <string>

namespace sdb {

namespace {

const uint64_t TICKS_PER_SECOND = 10000000;
const uint64_t SECONDS_PER_DAY = 86400;
// Days from 1601-01-01 to 1970-01-01.
const int64_t DAYS_1601_TO_1970 = 134774;

// The civil date of a day count since 1970-01-01 (proleptic Gregorian calendar).
void civil_date(int64_t days, int64_t* year, unsigned* month, unsigned* day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    uint64_t doe = static_cast<uint64_t>(days - era * 146097);
    uint64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    uint64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    uint64_t mp = (5 * doy + 2) / 153;
    *day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    *month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    *year = static_cast<int64_t>(yoe) + era * 400 + (*month <= 2 ? 1 : 0);
}

// Appends value in decimal, padded with zeros to at least width digits.
void put_digits(uint64_t value, int width, std::string* text) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (; width > count; --width) {
        text->push_back('0');
    }
    while (count > 0) {
        text->push_back(digits[--count]);
    }
}

// days since 1970 and the second of that day, with an optional fraction of 7 digits. Written
// by hand: an inventory writes a date for every registration and database.
std::string date_text(int64_t days, uint64_t second_of_day, uint64_t ticks) {
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_date(days, &year, &month, &day);
    std::string text;
    text.reserve(28);
    put_digits(static_cast<uint64_t>(year), 4, &text); // a FILETIME starts in 1601
    text.push_back('-');
    put_digits(month, 2, &text);
    text.push_back('-');
    put_digits(day, 2, &text);
    text.push_back('T');
    put_digits(second_of_day / 3600, 2, &text);
    text.push_back(':');
    put_digits(second_of_day / 60 % 60, 2, &text);
    text.push_back(':');
    put_digits(second_of_day % 60, 2, &text);
    if (ticks != 0) {
        text.push_back('.');
        put_digits(ticks, 7, &text);
    }
    text.push_back('Z');
    return text;
}

} // namespace

std::string filetime_text(uint64_t filetime) {
    uint64_t seconds = filetime / TICKS_PER_SECOND;
    return date_text(static_cast<int64_t>(seconds / SECONDS_PER_DAY) - DAYS_1601_TO_1970,
                     seconds % SECONDS_PER_DAY, filetime % TICKS_PER_SECOND);
}

std::string link_date_text(uint32_t seconds) {
    return date_text(seconds / SECONDS_PER_DAY, seconds % SECONDS_PER_DAY, 0);
}

bool tag_date_text(TAG tag, uint64_t value, std::string* text) {
    if (tag == TAG_TIME) {
        *text = filetime_text(value);
        return true;
    }
    if (tag == TAG_LINK_DATE || tag == TAG_UPTO_LINK_DATE || tag == TAG_FROM_LINK_DATE) {
        *text = link_date_text(static_cast<uint32_t>(value));
        return true;
    }
    return false;
}

} // namespace sdb
