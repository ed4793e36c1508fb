// Typed values: what the commands that take "any value" receive (to_text, to_integer,
// message_box), with the type tags of the runtime's value model.
#pragma once

#include <cstdint>
#include <variant>

#include "runtime/byte_set.h"
#include "runtime/text.h"

namespace wavlon::runtime {

enum class ValueType : std::uint32_t {
    kNone = 0,
    kByte = 0x80000101,
    kShort = 0x80000201,
    kInteger = 0x80000301,
    kLong = 0x80000401,
    kFloat = 0x80000501,
    kDouble = 0x80000601,
    kLogical = 0x80000002,
    kDateTime = 0x80000003,
    kText = 0x80000004,
    kByteSet = 0x80000005,
    kRoutine = 0x80000006,
    kOwn8 = 0x80000008,
};

// An array of values of one kind carries the kind's tag with this bit added.
constexpr std::uint32_t kArrayTypeBit = 0x20000000;

// Days since 30 December 1899; the fraction is the time of day.
struct DateTime {
    double days = 0;

    // Date-times stored into a variable are clamped to 1 January 100 .. 31 December 9999.
    static constexpr double kMinDays = -657434;
    static constexpr double kMaxDays = 2958465;
    DateTime clamped() const;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

struct RoutinePointer {
    std::uintptr_t address = 0;
    friend bool operator==(const RoutinePointer&, const RoutinePointer&) = default;
};

// A value with its type tag. The empty value (tag None) is an argument left out.
class Value {
public:
    Value() = default;

    static Value byte(std::uint8_t v) { return Value(v); }
    static Value short_integer(std::int16_t v) { return Value(v); }
    static Value integer(std::int32_t v) { return Value(v); }
    static Value long_integer(std::int64_t v) { return Value(v); }
    static Value single(float v) { return Value(v); }
    static Value real(double v) { return Value(v); }
    static Value logical(bool v) { return Value(v); }
    static Value date_time(DateTime v) { return Value(v.clamped()); }
    static Value text(Text v) { return Value(std::move(v)); }
    static Value byte_set(ByteSet v) { return Value(std::move(v)); }
    static Value routine(RoutinePointer v) { return Value(v); }

    ValueType type() const;
    bool empty() const { return std::holds_alternative<std::monostate>(m_value); }

    template <class T>
    const T* get() const {
        return std::get_if<T>(&m_value);
    }

private:
    using Storage = std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t,
                                 std::int64_t, float, double, bool, DateTime, Text, ByteSet,
                                 RoutinePointer>;
    template <class T>
    explicit Value(T v) : m_value(std::move(v)) {}

    Storage m_value;
};

}  // namespace wavlon::runtime
