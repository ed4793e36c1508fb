#include "runtime/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "support/fatal_capture.h"
#include "support/german_locale.h"

namespace wavlon::runtime {
namespace {

using testing::fatal_text_of;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct TextCase {
    Value value;
    std::string expected_utf8;
};

TEST(Conversions, ToTextFormatsEachKind) {
    const std::vector<TextCase> cases = {
        {Value::integer(-42), "-42"},
        {Value::short_integer(-7), "-7"},
        {Value::byte(200), "200"},
        {Value::long_integer(1234567890123), "1234567890123"},
        {Value::single(1.5f), "1.5"},
        {Value::single(0.1f), "0.1"},
        {Value::real(1.5), "1.5"},
        {Value::real(1.0 / 3.0), "0.3333333333333"},
        {Value::real(1e20), "1e+20"},
        {Value::logical(true), "真"},
        {Value::logical(false), "假"},
        {Value::text("abc"), "abc"},
        {Value::byte_set(ByteSet::from_string(std::string("ab\0cd", 5))), "ab"},
        {Value(), ""},
        {Value::routine(RoutinePointer{0x401000}), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gbk_to_utf8(to_text(c.value)), c.expected_utf8);
    }
}

// The window toolkit switches the C library to the user's locale at start; a decimal comma
// there must not reach the program's texts.
TEST(Conversions, ToTextWritesNumbersTheSameUnderADecimalCommaLocale) {
    testing::GermanLocale german;
    ASSERT_TRUE(german.active()) << german.error();
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << "the locale does not use a decimal comma";
    const std::vector<TextCase> cases = {
        {Value::real(1.5), "1.5"},
        {Value::real(-0.25), "-0.25"},
        {Value::real(1.0 / 3.0), "0.3333333333333"},
        {Value::real(1234567.125), "1234567.125"},
        {Value::real(2.5e-7), "2.5e-07"},
        {Value::single(1.5f), "1.5"},
        {Value::single(0.1f), "0.1"},
        {Value::integer(1234567), "1234567"},
        {Value::long_integer(-1234567890123), "-1234567890123"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gbk_to_utf8(to_text(c.value)), c.expected_utf8) << c.expected_utf8;
    }
}

TEST(Conversions, DateTimeTextShowsOnlyTheTimePartsNeeded) {
    const double second = 1.0 / 86400.0;
    const std::vector<std::pair<double, std::string>> cases = {
        {0, "1899年12月30日"},
        {45292, "2024年1月1日"},
        {45292.5, "2024年1月1日12时"},
        {45292.5 + 30 * 60 * second, "2024年1月1日12时30分"},
        {45292 + 5 * second, "2024年1月1日0时0分5秒"},
        {45292 + 59.6 * second, "2024年1月1日0时1分"},
        {45292 - 0.4 * second, "2024年1月1日"},  // 23:59:59.6 rounds into the next day
        {-1.25, "1899年12月29日6时"},
        {-1.9999999, "1899年12月30日"},
        {-0.5, "1899年12月30日12时"},
        {60, "1900年2月28日"},
        {61, "1900年3月1日"},
        {1e9, "9999年12月31日"},
        {-1e9, "100年1月1日"},
        {kNaN, "1899年12月30日"},
    };
    for (const auto& [days, expected] : cases) {
        EXPECT_EQ(gbk_to_utf8(to_text(Value::date_time(DateTime{days}))), expected) << days;
    }
}

TEST(Conversions, DateTimePartsRoundTripAcrossTheCalendar) {
    struct Case {
        DateTimeParts parts;
        double days;
    };
    const std::vector<Case> cases = {
        {{1899, 12, 30, 0, 0, 0}, 0},
        {{1899, 12, 29, 6, 0, 0}, -1.25},
        {{1900, 1, 1, 0, 0, 0}, 2},
        {{2000, 2, 29, 18, 0, 0}, 36585.75},
        {{100, 1, 1, 0, 0, 0}, DateTime::kMinDays},
        {{9999, 12, 31, 0, 0, 0}, DateTime::kMaxDays},
        {{1600, 2, 29, 0, 0, 0}, -109512},
    };
    for (const auto& c : cases) {
        const DateTimeParts& p = c.parts;
        EXPECT_DOUBLE_EQ(
            date_time_from_parts(p.year, p.month, p.day, p.hour, p.minute, p.second).days, c.days)
            << p.year << "-" << p.month << "-" << p.day;
        EXPECT_EQ(date_time_parts(DateTime{c.days}), p) << c.days;
    }
    // Every second of a day before and after day 0 survives the round trip.
    for (int year : {1066, 1899, 1970, 2024}) {
        for (int s = 0; s < 86400; s += 7) {
            DateTimeParts p{year, 12, 29, s / 3600, s / 60 % 60, s % 60};
            EXPECT_EQ(
                date_time_parts(date_time_from_parts(year, 12, 29, p.hour, p.minute, p.second)), p);
        }
    }
}

TEST(Conversions, DateTimeFromPartsCarriesOverflowingFields) {
    EXPECT_EQ(date_time_parts(date_time_from_parts(2024, 13, 1, 0, 0, 0)),
              (DateTimeParts{2025, 1, 1, 0, 0, 0}));
    EXPECT_EQ(date_time_parts(date_time_from_parts(2024, 3, 0, 24, 0, 60)),
              (DateTimeParts{2024, 3, 1, 0, 1, 0}));
    EXPECT_EQ(date_time_parts(date_time_from_parts(2024, 1, 1, 0, 0, -1)),
              (DateTimeParts{2023, 12, 31, 23, 59, 59}));
    EXPECT_EQ(date_time_from_parts(20000, 1, 1, 0, 0, 0).days, DateTime::kMaxDays);
    EXPECT_EQ(date_time_from_parts(-5, 1, 1, 0, 0, 0).days, DateTime::kMinDays);
}

TEST(Conversions, ToIntegerReadsTextsAndSaturatesNumbers) {
    const std::vector<std::pair<Value, std::int32_t>> cases = {
        {Value::text("  42abc"), 42},
        {Value::text("\t-7"), -7},
        {Value::text("+3"), 3},
        {Value::text("abc"), 0},
        {Value::text("- 5"), 0},
        {Value::text(""), 0},
        {Value::text("１２"_gb), 12},
        {Value::text("　－３４"_gb), -34},
        {Value::text("99999999999"), INT32_MAX},
        {Value::text("-2147483648"), INT32_MIN},
        {Value::text("-99999999999999999999999"), INT32_MIN},
        {Value::real(-2.7), -2},
        {Value::real(2.7), 2},
        {Value::real(1e20), INT32_MAX},
        {Value::real(-1e20), INT32_MIN},
        {Value::real(kNaN), 0},
        {Value::single(3e10f), INT32_MAX},
        {Value::long_integer(INT64_C(1) << 40), INT32_MAX},
        {Value::long_integer(-5), -5},
        {Value::byte(255), 255},
        {Value::short_integer(-300), -300},
        {Value::logical(true), 1},
        {Value::date_time(DateTime{45292.5}), 0},
        {Value(), 0},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(to_integer(value), expected) << gbk_to_utf8(to_text(value));
    }
}

TEST(Conversions, HexAndFloorConversions) {
    EXPECT_EQ(to_hex_text(0), "0");
    EXPECT_EQ(to_hex_text(0x0A), "A");
    EXPECT_EQ(to_hex_text(0xBEEF), "BEEF");
    EXPECT_EQ(to_hex_text(-1), "FFFFFFFF");

    const std::vector<std::pair<double, std::int32_t>> floors = {
        {2.5, 2},     {-2.5, -3}, {2.9999999999999, 3}, {-2.9999999999999, -3},
        {2.99999, 2}, {-0.0, 0},  {1e300, INT32_MAX},   {-1e300, INT32_MIN},
        {kNaN, 0},
    };
    for (const auto& [value, expected] : floors) {
        EXPECT_EQ(floor_to_integer(value), expected) << value;
    }
}

TEST(Conversions, RemainderKeepsTheSignOfTheDividend) {
    EXPECT_DOUBLE_EQ(runtime::remainder(7, 3), 1);
    EXPECT_DOUBLE_EQ(runtime::remainder(-7, 3), -1);
    EXPECT_DOUBLE_EQ(runtime::remainder(7.5, 2), 1.5);
    EXPECT_DOUBLE_EQ(runtime::remainder(100, 30, {7}), 3);
}

TEST(Conversions, RemainderByZeroIsFatal) {
    const char* expected = "运行时出错!\r\n\r\n错误信息：不能求余数于零\r\n\r\n0, 0\r\n";
    EXPECT_EQ(fatal_text_of([] { runtime::remainder(1, 0); }), expected);
    EXPECT_EQ(fatal_text_of([] { runtime::remainder(10, 3, {2, 0}); }), expected);
}

TEST(Conversions, ToByteSetGivesRawLittleEndianBytes) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(to_byte_set(Value::integer(0x01020304)).bytes(), (Bytes{4, 3, 2, 1}));
    EXPECT_EQ(to_byte_set(Value::short_integer(-2)).bytes(), (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(to_byte_set(Value::logical(true)).bytes(), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(to_byte_set(Value::real(1.0)).bytes(), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    EXPECT_EQ(to_byte_set(Value::text("a中"_gb)).bytes(), (Bytes{'a', 0xD6, 0xD0}));
    EXPECT_EQ(to_byte_set(Value::byte_set(ByteSet(Bytes{0, 9}))).bytes(), (Bytes{0, 9}));
    EXPECT_TRUE(to_byte_set(Value()).empty());
    EXPECT_EQ(to_byte_set(Array<std::int16_t>{1, -1}).bytes(), (Bytes{1, 0, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace wavlon::runtime
