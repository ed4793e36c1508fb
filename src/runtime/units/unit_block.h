// What the Qt units with a type-specific block share: creating the unit from its decoded block,
// and keeping the integer properties that have no Qt counterpart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <variant>
#include <vector>

#include "runtime/conversions.h"
#include "runtime/template_blocks.h"
#include "runtime/unit.h"

namespace wavlon::units {

// A type's create routine: decodes the optional block with `decode` (a unit without one gets
// the block's defaults) and makes a `UnitT` from it. nullptr when the block does not decode.
template <typename UnitT, auto decode>
std::unique_ptr<runtime::Unit> create_unit_with_block(const runtime::UnitCreateParams& params) {
    using Block = std::variant_alternative_t<0, decltype(decode(params.block))>;
    Block block;
    if (!params.block.empty()) {
        auto decoded = decode(params.block);
        auto* stored = std::get_if<Block>(&decoded);
        if (!stored) {
            return nullptr;
        }
        block = std::move(*stored);
    }
    return std::make_unique<UnitT>(params, std::move(block));
}

// Properties without a Qt counterpart, kept as written (integers, 0 at first). Indexes
// outside [0, count) are ignored on writing and read as an empty value.
class OtherProperties {
public:
    explicit OtherProperties(int count) : m_values(static_cast<std::size_t>(count), 0) {}

    void set(int index, const runtime::Value& value) {
        if (in_range(index)) {
            m_values[static_cast<std::size_t>(index)] = runtime::to_integer(value);
        }
    }
    runtime::Value get(int index) const {
        if (in_range(index)) {
            return runtime::Value::integer(m_values[static_cast<std::size_t>(index)]);
        }
        return {};
    }

private:
    bool in_range(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < m_values.size();
    }

    std::vector<std::int32_t> m_values;
};

}  // namespace wavlon::units
