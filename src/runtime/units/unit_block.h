// The create routines of the unit types: from the decoded type-specific block, or from the
// create parameters alone.
#pragma once

#include <memory>
#include <utility>
#include <variant>

#include "runtime/template_blocks.h"
#include "runtime/unit.h"

namespace wavlon::units {

// The unit, or nullptr when its window or control could not be made.
template <typename UnitT>
std::unique_ptr<runtime::Unit> created_or_none(std::unique_ptr<UnitT> unit) {
    if constexpr (requires { unit->created(); }) {
        if (!unit->created()) {
            return nullptr;
        }
    }
    return unit;
}

// A type's create routine: decodes the optional block of the unit's type (a unit without one
// gets the block's defaults) and makes a `UnitT` from it. nullptr when the block does not
// decode or the unit's control cannot be made.
template <typename UnitT>
std::unique_ptr<runtime::Unit> create_unit_with_block(const runtime::UnitCreateParams& params) {
    runtime::UnitBlockOf<UnitT::kTypeId> block;
    if (!params.block.empty()) {
        auto decoded = runtime::decode_block<UnitT::kTypeId>(params.block);
        auto* stored = std::get_if<decltype(block)>(&decoded);
        if (!stored) {
            return nullptr;
        }
        block = std::move(*stored);
    }
    return created_or_none(std::make_unique<UnitT>(params, std::move(block)));
}

// A type's create routine for units that take no block (the stored one is ignored).
template <typename UnitT>
std::unique_ptr<runtime::Unit> create_unit(const runtime::UnitCreateParams& params) {
    return std::make_unique<UnitT>(params);
}

}  // namespace wavlon::units
