#include <array>
#include <cassert>
#include <optional>

#include "runtime/unit.h"

namespace wavlon::runtime {
namespace {

// One type table per support library (1 core ... 8 special functions): the high half of a
// type id numbers the library, the low half the type inside it, both counted from 1.
constexpr std::size_t kLibraryCount = 8;
std::array<std::vector<std::optional<UnitTypeInfo>>, kLibraryCount> g_libraries;

std::optional<UnitTypeInfo>* slot(std::uint32_t type_id, bool grow) {
    std::uint32_t library = type_id >> 16;
    std::uint32_t type = type_id & 0xFFFF;
    if (library == 0 || library > kLibraryCount || type == 0) {
        return nullptr;
    }
    auto& types = g_libraries[library - 1];
    if (type > types.size()) {
        if (!grow) {
            return nullptr;
        }
        types.resize(type);
    }
    return &types[type - 1];
}

}  // namespace

std::vector<PropertyInfo> common_properties_and(std::initializer_list<PropertyType> own) {
    std::vector<PropertyInfo> properties = {
        {PropertyType::kInteger, 0}, {PropertyType::kInteger, 0}, {PropertyType::kInteger, 0},
        {PropertyType::kInteger, 0}, {PropertyType::kText, 0},    {PropertyType::kLogical, 0},
        {PropertyType::kLogical, 0}, {PropertyType::kCursor, 0},
    };
    for (PropertyType type : own) {
        properties.push_back({type, 0});
    }
    return properties;
}

void register_unit_type(UnitTypeInfo info) {
    auto* entry = slot(info.type_id, true);
    assert(entry && "unit type id outside the eight libraries");
    if (entry) {
        *entry = std::move(info);
    }
}

const UnitTypeInfo* find_unit_type(std::uint32_t type_id) {
    auto* entry = slot(type_id, false);
    return entry && *entry ? &**entry : nullptr;
}

}  // namespace wavlon::runtime
