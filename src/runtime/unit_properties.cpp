#include "runtime/unit_properties.h"

#include <algorithm>

#include "runtime/conversions.h"
#include "runtime/fatal.h"
#include "runtime/font_value.h"
#include "runtime/live_window.h"
#include "runtime/window_loader.h"

namespace wavlon::runtime {
namespace {

struct Target {
    LiveWindow* window = nullptr;
    std::size_t record = 0;

    UnitRecord& stored() const { return window->block.store.records[record]; }
    Unit* unit() const { return window->unit(record); }
};

Target find_target(std::uint32_t window_id, std::uint32_t unit_id) {
    LiveWindow* window = find_live_window(window_id);
    int record = window ? find_record(*window, unit_id) : -1;
    if (record < 0) {
        fatal_error("未载入欲访问窗口组件所在的窗口"_gb, window_id, unit_id);
    }
    return {window, static_cast<std::size_t>(record)};
}

const PropertyInfo* own_property(const UnitRecord& record, int index) {
    const UnitTypeInfo* type = find_unit_type(record.type);
    if (!type || index < property::kFirstOwn || index >= type->property_count()) {
        return nullptr;
    }
    return &type->properties[static_cast<std::size_t>(index)];
}

bool is_true(const Value& value) {
    if (const double* d = value.get<double>()) {
        return *d != 0;
    }
    if (const float* f = value.get<float>()) {
        return *f != 0;
    }
    return to_integer(value) != 0;
}

double to_real(const Value& value) {
    if (const double* d = value.get<double>()) {
        return *d;
    }
    if (const float* f = value.get<float>()) {
        return *f;
    }
    if (const DateTime* t = value.get<DateTime>()) {
        return t->days;
    }
    if (const std::int64_t* l = value.get<std::int64_t>()) {
        return static_cast<double>(*l);
    }
    return to_integer(value);
}

// The value in the kind its property type code asks for.
Value as_property_type(PropertyType type, const Value& value) {
    switch (type) {
        case PropertyType::kInteger:
        case PropertyType::kChoice:
        case PropertyType::kColour:
        case PropertyType::kBackColour:
        case PropertyType::kColour3:
            return Value::integer(to_integer(value));
        case PropertyType::kLogical:
            return Value::logical(is_true(value));
        case PropertyType::kDouble:
            return Value::real(to_real(value));
        case PropertyType::kDateTime:
            return Value::date_time(DateTime{to_real(value)});
        case PropertyType::kText:
            return Value::text(to_text(value));
        default:  // byte data, cursors, fonts
            if (value.get<ByteSet>()) {
                return value;
            }
            return Value::byte_set(to_byte_set(value));
    }
}

// Menu items keep caption and state in their own record form; their state flags are the
// first word of the 12 bytes after the name.
std::uint32_t menu_flags(const UnitRecord& record) {
    std::uint32_t flags = 0;
    for (std::size_t i = 0; i < 4 && i < record.menu_fields.size(); ++i) {
        flags |= std::uint32_t{record.menu_fields[i]} << (8 * i);
    }
    return flags;
}

void set_menu_flag(UnitRecord& record, std::uint32_t bit, bool on) {
    record.menu_fields.resize(std::max<std::size_t>(record.menu_fields.size(), 12));
    std::uint32_t flags = on ? menu_flags(record) | bit : menu_flags(record) & ~bit;
    for (std::size_t i = 0; i < 4; ++i) {
        record.menu_fields[i] = static_cast<std::uint8_t>(flags >> (8 * i));
    }
}

Value read_menu_item(const UnitRecord& record, int index) {
    std::uint32_t flags = menu_flags(record);
    switch (index) {
        case 0:
            return Value::text(record.menu_text);
        case 1:
            return Value::logical((flags & 4) != 0);
        case 2:
            return Value::logical((flags & 2) != 0);
        case 3:
            return Value::logical((flags & 1) == 0);
        default:
            return {};
    }
}

void write_menu_item(UnitRecord& record, int index, const Value& value) {
    switch (index) {
        case 0:
            record.menu_text = to_text(value);
            break;
        case 1:
            set_menu_flag(record, 4, is_true(value));
            break;
        case 2:
            set_menu_flag(record, 2, is_true(value));
            break;
        case 3:
            set_menu_flag(record, 1, !is_true(value));
            break;
        default:
            break;
    }
}

Value read_common(const Target& target, int index) {
    const UnitRecord& record = target.stored();
    Unit* unit = target.unit();
    UnitRect rect =
        unit ? unit->rect() : UnitRect{record.left, record.top, record.width, record.height};
    switch (index) {
        case property::kLeft:
            return Value::integer(rect.left);
        case property::kTop:
            return Value::integer(rect.top);
        case property::kWidth:
            return Value::integer(rect.width);
        case property::kHeight:
            return Value::integer(rect.height);
        case property::kTag:
            return Value::text(record.tag);
        case property::kVisible:
            return Value::logical(unit ? unit->visible() : (record.flags & kFlagVisible) != 0);
        case property::kDisabled:
            return Value::logical(unit ? !unit->enabled() : (record.flags & kFlagDisabled) != 0);
        default:
            return Value::byte_set(ByteSet(record.cursor));
    }
}

void write_common(const Target& target, int index, const Value& value) {
    UnitRecord& record = target.stored();
    Unit* unit = target.unit();
    switch (index) {
        case property::kLeft:
        case property::kTop:
        case property::kWidth:
        case property::kHeight: {
            std::int32_t number = to_integer(value);
            if (index == property::kWidth || index == property::kHeight) {
                number = std::clamp(number, 0, kMaxUnitExtent);
            }
            std::int32_t* fields[] = {&record.left, &record.top, &record.width, &record.height};
            *fields[index] = number;
            if (unit) {
                UnitRect rect = unit->rect();
                std::int32_t* now[] = {&rect.left, &rect.top, &rect.width, &rect.height};
                *now[index] = number;
                unit->set_rect(rect);
            }
            break;
        }
        case property::kTag:
            record.tag = to_text(value);
            break;
        case property::kVisible:
            if (unit) {
                unit->set_visible(is_true(value));
            } else {
                record.flags =
                    is_true(value) ? record.flags | kFlagVisible : record.flags & ~kFlagVisible;
            }
            break;
        case property::kDisabled:
            if (unit) {
                unit->set_enabled(!is_true(value));
            } else {
                record.flags =
                    is_true(value) ? record.flags | kFlagDisabled : record.flags & ~kFlagDisabled;
            }
            break;
        default: {
            const ByteSet* bytes = value.get<ByteSet>();
            record.cursor = bytes ? bytes->bytes() : std::vector<std::uint8_t>{0, 0, 0, 0};
            if (unit) {
                unit->set_cursor(record.cursor);
            }
            break;
        }
    }
}

}  // namespace

Value read_unit_property(std::uint32_t window_id, std::uint32_t unit_id, int index, int element) {
    Target target = find_target(window_id, unit_id);
    const UnitRecord& record = target.stored();
    if (record.is_menu_item()) {
        return read_menu_item(record, index);
    }
    if (index < 0) {
        return {};
    }
    if (index < property::kFirstOwn) {
        return read_common(target, index);
    }
    if (!target.unit()) {
        fatal_error("读取组件属性时发现指定窗口尚未载入"_gb, window_id, unit_id);
    }
    const PropertyInfo* info = own_property(record, index);
    if (!info) {
        return {};
    }
    Value value = as_property_type(info->type, target.unit()->get_property(index));
    if (info->type == PropertyType::kFont && element >= 0) {
        return font_field_value(font_from_value(value), element);
    }
    return value;
}

void write_unit_property(std::uint32_t window_id, std::uint32_t unit_id, int index, int element,
                         const Value& value) {
    Target target = find_target(window_id, unit_id);
    UnitRecord& record = target.stored();
    if (record.is_menu_item()) {
        write_menu_item(record, index, value);
        return;
    }
    if (index < 0) {
        return;
    }
    if (index < property::kFirstOwn) {
        write_common(target, index, value);
        return;
    }
    if (!target.unit()) {
        fatal_error("修改组件属性时发现指定窗口尚未载入"_gb, window_id, unit_id);
    }
    const PropertyInfo* info = own_property(record, index);
    if (!info) {
        return;
    }
    Value converted = as_property_type(info->type, value);
    if (info->type == PropertyType::kFont && element >= 0) {
        FontSetting current = font_from_value(target.unit()->get_property(index));
        converted = font_value(with_font_field(current, element, value));
    }
    if (target.unit()->set_property(index, converted) && target.unit()) {
        recreate_unit(*target.window, target.record);
    }
}

}  // namespace wavlon::runtime
