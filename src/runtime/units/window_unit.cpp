#include "runtime/units/window_unit.h"

#include "runtime/units/unit_block.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::WindowFormBlock;
namespace {

std::unique_ptr<runtime::Unit> create_window(const runtime::UnitCreateParams& params) {
    auto decoded = runtime::decode_block<WindowUnit::kTypeId>(params.block);
    auto* block = std::get_if<WindowFormBlock>(&decoded);
    if (!block) {
        return nullptr;
    }
    return created_or_none(std::make_unique<WindowUnit>(params, std::move(*block)));
}

}  // namespace

const PropertyTable<WindowUnit>& WindowUnit::properties() {
    using Rows = PropertyRows<&WindowUnit::m_block>;
    using B = WindowFormBlock;
    constexpr auto frame = &WindowUnit::apply_frame;
    static constexpr auto rows = Rows::list(
        Rows::text<&B::caption, &WindowUnit::apply_caption>(kCaption, "caption"),
        Rows::number<&B::border_style, frame>(9, "border style", PropertyType::kChoice),
        Rows::number<&B::field2, frame>(10, "field2", PropertyType::kInteger),
        Rows::number<&B::background, &WindowUnit::apply_background>(11, "background",
                                                                    PropertyType::kBackColour),
        Rows::number<&B::maximise_button, frame>(12, "maximise button", PropertyType::kLogical),
        Rows::number<&B::minimise_button, frame>(13, "minimise button", PropertyType::kLogical),
        Rows::number<&B::control_box, frame>(14, "control box", PropertyType::kLogical),
        Rows::number<&B::start_position, frame>(15, "start position", PropertyType::kChoice),
        Rows::number<&B::movable, frame>(16, "movable", PropertyType::kLogical),
        Rows::numbers<&B::values, frame>(17, 21, "values", PropertyType::kInteger),
        Rows::number<&B::v2_value, frame>(22, "v2 value", PropertyType::kInteger),
        Rows::numbers<&B::v3_values, frame>(23, 24, "v3 values", PropertyType::kInteger),
        Rows::number<&B::top_most, frame>(25, "top-most", PropertyType::kLogical),
        Rows::number<&B::v5_value, frame>(26, "v5 value", PropertyType::kInteger),
        Rows::text<&B::class_name>(27, "class name"),
        Rows::bytes<&B::picture>(28, "picture", PropertyType::kPicture),
        Rows::bytes<&B::icon>(29, "icon", PropertyType::kIcon),
        Rows::bytes<&B::sound>(30, "sound", PropertyType::kSound),
        Rows::text<&B::extra_text>(31, "extra text"));
    static constexpr PropertyTable<WindowUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& WindowUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<WindowUnit>(
        "窗口"_gb, "window", runtime::kTypeRaisesEvents, create_window);
    return info;
}

bool WindowUnit::fixed_size() const {
    return m_block.border_style == 2 || m_block.border_style == 4 || m_block.border_style == 6;
}

std::vector<std::uint8_t> WindowUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
