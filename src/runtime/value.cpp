#include "runtime/value.h"

#include <algorithm>

namespace wavlon::runtime {

DateTime DateTime::clamped() const {
    return DateTime{std::clamp(days, kMinDays, kMaxDays)};
}

ValueType Value::type() const {
    static constexpr ValueType kTypes[] = {
        ValueType::kNone,    ValueType::kByte,   ValueType::kShort,   ValueType::kInteger,
        ValueType::kLong,    ValueType::kFloat,  ValueType::kDouble,  ValueType::kLogical,
        ValueType::kDateTime, ValueType::kText,  ValueType::kByteSet, ValueType::kRoutine,
    };
    return kTypes[m_value.index()];
}

}  // namespace wavlon::runtime
