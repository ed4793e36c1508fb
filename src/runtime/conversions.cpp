#include "runtime/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/fatal.h"

namespace wavlon::runtime {
namespace {

// Day 0 of date-times (30 December 1899) counted from 1 January 1970.
constexpr std::int64_t kEpochOffsetDays = 25569;
constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1 January 1970 of a proleptic Gregorian date (month 1-12, any day count).
std::int64_t days_from_civil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2 ? 1 : 0;
    std::int64_t era = floor_div(y, 400);
    std::int64_t yoe = y - era * 400;
    std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, DateTimeParts& parts) {
    z += 719468;
    std::int64_t era = floor_div(z, 146097);
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    parts.year = static_cast<int>(yoe + era * 400 + (parts.month <= 2 ? 1 : 0));
}

std::int32_t saturate(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return INT32_MAX;
    }
    if (v <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(v);
}

std::int32_t saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// printf's "%.<precision>g" as the C locale writes it. std::to_chars never looks at the
// locale, so a decimal comma of the user's locale (which the window toolkit switches on at
// start) cannot reach a text.
Text format_number(double v, int precision) {
    char buffer[64];
    std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, precision);
    return Text(buffer, written.ec == std::errc() ? written.ptr : buffer);
}

Text date_time_text(DateTime value) {
    DateTimeParts p = date_time_parts(value);
    Text out = decimal(p.year) + "年"_gb + decimal(p.month) + "月"_gb + decimal(p.day) + "日"_gb;
    if (p.hour == 0 && p.minute == 0 && p.second == 0) {
        return out;
    }
    out += decimal(p.hour) + "时"_gb;
    if (p.minute == 0 && p.second == 0) {
        return out;
    }
    out += decimal(p.minute) + "分"_gb;
    if (p.second != 0) {
        out += decimal(p.second) + "秒"_gb;
    }
    return out;
}

std::int32_t parse_integer(TextView text) {
    Text s = half_width(text);
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Accumulate the magnitude with a cap just past the int32 range, then saturate.
    std::int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (s[i] - '0'), INT64_C(1) << 32);
    }
    return saturate(negative ? -magnitude : magnitude);
}

template <class T>
ByteSet raw_bytes(T v) {
    return ByteSet(&v, sizeof v);
}

}  // namespace

Text half_width(TextView text) {
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = char_size(text, i);
        auto lead = static_cast<unsigned char>(text[i]);
        auto trail = n == 2 ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (n == 2 && lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.push_back(static_cast<char>(trail - 0x80));
        } else if (n == 2 && lead == 0xA1 && trail == 0xA1) {
            out.push_back(' ');
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out;
}

Text to_text(const Value& value) {
    switch (value.type()) {
        case ValueType::kByte:
            return decimal(*value.get<std::uint8_t>());
        case ValueType::kShort:
            return decimal(*value.get<std::int16_t>());
        case ValueType::kInteger:
            return decimal(*value.get<std::int32_t>());
        case ValueType::kLong:
            return decimal(*value.get<std::int64_t>());
        case ValueType::kFloat:
            return format_number(static_cast<double>(*value.get<float>()), 6);
        case ValueType::kDouble:
            return format_number(*value.get<double>(), 13);
        case ValueType::kLogical:
            return *value.get<bool>() ? "真"_gb : "假"_gb;
        case ValueType::kDateTime:
            return date_time_text(*value.get<DateTime>());
        case ValueType::kText:
            return *value.get<Text>();
        case ValueType::kByteSet: {
            std::string_view bytes = value.get<ByteSet>()->view();
            return Text(bytes.substr(0, bytes.find('\0')));
        }
        default:
            return {};
    }
}

std::int32_t to_integer(const Value& value) {
    switch (value.type()) {
        case ValueType::kByte:
            return *value.get<std::uint8_t>();
        case ValueType::kShort:
            return *value.get<std::int16_t>();
        case ValueType::kInteger:
            return *value.get<std::int32_t>();
        case ValueType::kLong:
            return saturate(*value.get<std::int64_t>());
        case ValueType::kFloat:
            return saturate(static_cast<double>(*value.get<float>()));
        case ValueType::kDouble:
            return saturate(*value.get<double>());
        case ValueType::kLogical:
            return *value.get<bool>() ? 1 : 0;
        case ValueType::kText:
            return parse_integer(*value.get<Text>());
        case ValueType::kRoutine:
            return static_cast<std::int32_t>(
                static_cast<std::uint32_t>(value.get<RoutinePointer>()->address));
        default:
            return 0;
    }
}

Text to_hex_text(std::int32_t value) {
    char buffer[16];
    int n = std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
    return Text(buffer, static_cast<std::size_t>(n));
}

std::int32_t floor_to_integer(double value) {
    double whole = std::trunc(value);
    if (std::fabs(value - whole) > 0.999999999999) {
        value = whole + (value < 0 ? -1.0 : 1.0);
    }
    return saturate(std::floor(value));
}

double remainder(double a, double b, std::initializer_list<double> further) {
    auto step = [](double x, double divisor) {
        if (divisor == 0) {
            fatal_error("不能求余数于零"_gb);
        }
        return std::fmod(x, divisor);
    };
    double result = step(a, b);
    for (double divisor : further) {
        result = step(result, divisor);
    }
    return result;
}

ByteSet to_byte_set(const Value& value) {
    switch (value.type()) {
        case ValueType::kByte:
            return raw_bytes(*value.get<std::uint8_t>());
        case ValueType::kShort:
            return raw_bytes(*value.get<std::int16_t>());
        case ValueType::kInteger:
            return raw_bytes(*value.get<std::int32_t>());
        case ValueType::kLong:
            return raw_bytes(*value.get<std::int64_t>());
        case ValueType::kFloat:
            return raw_bytes(*value.get<float>());
        case ValueType::kDouble:
            return raw_bytes(*value.get<double>());
        case ValueType::kLogical:
            return raw_bytes(std::int32_t{*value.get<bool>() ? 1 : 0});
        case ValueType::kDateTime:
            return raw_bytes(value.get<DateTime>()->days);
        case ValueType::kRoutine:
            return raw_bytes(static_cast<std::uint32_t>(value.get<RoutinePointer>()->address));
        case ValueType::kText:
            return ByteSet::from_string(value.get<Text>()->bytes());
        case ValueType::kByteSet:
            return *value.get<ByteSet>();
        default:
            return {};
    }
}

DateTimeParts date_time_parts(DateTime value) {
    double days = std::isnan(value.days) ? 0.0 : value.clamped().days;
    double whole = std::trunc(days);
    // Before day 0 the whole part counts days backwards but the fraction still counts the time
    // of day forwards: -1.25 is 29 December 1899, 06:00.
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
    auto day = static_cast<std::int64_t>(whole);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        day += 1;
    }
    DateTimeParts parts;
    civil_from_days(day - kEpochOffsetDays, parts);
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    return parts;
}

DateTime date_time_from_parts(int year, int month, int day, int hour, int minute, int second) {
    std::int64_t seconds = std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    std::int64_t carry_days = floor_div(seconds, kSecondsPerDay);
    seconds -= carry_days * kSecondsPerDay;
    std::int64_t month0 = std::int64_t{month} - 1;
    std::int64_t y = year + floor_div(month0, 12);
    std::int64_t m = month0 - floor_div(month0, 12) * 12 + 1;
    std::int64_t whole =
        days_from_civil(y, m, 1) + (std::int64_t{day} - 1) + carry_days + kEpochOffsetDays;
    double time = static_cast<double>(seconds) / 86400.0;
    double days =
        whole >= 0 ? static_cast<double>(whole) + time : static_cast<double>(whole) - time;
    return DateTime{days}.clamped();
}

}  // namespace wavlon::runtime
