// Conversions between values: to text, to integer, to byte-set, rounding and remainders, and
// the calendar arithmetic of date-times.
//
// Conversions to int32 saturate at INT32_MIN / INT32_MAX instead of wrapping, so that a huge
// number never turns into a negative one; NaN converts to 0.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

#include "runtime/array.h"
#include "runtime/byte_set.h"
#include "runtime/value.h"

namespace wavlon::runtime {

// Integers in decimal (a byte unsigned), single floats "%.6g", doubles "%.13g", logicals
// "真"/"假", date-times as "Y年M月D日" plus "H时M分S秒", "H时M分" or "H时" (whichever is the
// shortest form that shows every non-zero part), a byte-set's bytes up to its first zero byte,
// a text copied. Other kinds (empty value, routine pointer) give the empty text.
Text to_text(const Value& value);

// Logical 0/1; texts parsed as below; byte, short, integer by value; long integers and floats
// saturated into int32 (floats truncated toward zero first); a routine pointer's low 32 bits;
// anything else 0. A text has its full-width characters (A3A1-A3FE, the full-width space A1A1)
// turned into half-width ones, then leading white space is skipped and an optional sign with
// the decimal digits that follow is read; no digits give 0.
std::int32_t to_integer(const Value& value);

// The full-width forms (A3A1-A3FE) and the full-width space (A1A1) of the text as their ASCII
// counterparts, every other character kept: how to_integer reads a text's digits.
Text half_width(TextView text);

// Upper-case hexadecimal of the value's 32 bits, no prefix, no leading zeros ("0" for 0).
Text to_hex_text(std::int32_t value);

// The largest integer not above `value`, saturated into int32. A value within 1e-12 of the
// next whole number away from zero is first moved onto it, so 2.9999999999999 gives 3.
std::int32_t floor_to_integer(double value);

// a mod b with the sign of a, then that result mod each further divisor in turn. A divisor of 0
// is fatal ("不能求余数于零").
double remainder(double a, double b, std::initializer_list<double> further = {});

// The value's raw little-endian bytes: a text's bytes, a number's bytes in its own size (a
// logical and a routine pointer as 4 bytes), a byte-set copied; the empty value gives none.
ByteSet to_byte_set(const Value& value);

// The element bytes of an array of numbers, in order.
template <class T>
requires std::is_arithmetic_v<T> ByteSet to_byte_set(const Array<T>& array) {
    ByteSet out;
    for (const T& item : array) {
        out.append(&item, sizeof item);
    }
    return out;
}

// A date-time taken apart: proleptic Gregorian calendar, time of day rounded to the nearest
// second (a time that rounds up to midnight moves to the next day). The date-time is clamped
// into 1 January 100 .. 31 December 9999 first; NaN counts as 0 (30 December 1899).
struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateTimeParts&, const DateTimeParts&) = default;
};
DateTimeParts date_time_parts(DateTime value);

// The date-time of a calendar date and time of day. Out-of-range fields carry over (month 13
// is January of the next year, second 60 the next minute); the result is clamped.
DateTime date_time_from_parts(int year, int month, int day, int hour, int minute, int second);

}  // namespace wavlon::runtime
