// The property lists of the standard unit types, and every own property of every type read
// back as it was written through the runtime's property access.
#include <string>

#include "runtime/conversions.h"
#include "runtime/font_value.h"
#include "runtime/unit_properties.h"
#include "runtime/units/standard_units.h"
#include "runtime/window_table.h"
#include "support/main_window_driver.h"

namespace wavlon::testing {
namespace {

using namespace runtime;

struct TypeCase {
    std::uint32_t type;
    const char* english_name;
    std::uint32_t flags;
    std::vector<int> own;             // value type codes of the properties from index 8 on
    std::vector<std::uint8_t> block;  // the stored block a unit of the type is made from
};

SliderBarBlock slider_block() {
    SliderBarBlock block;
    block.set_range(0, 100, 0);
    return block;
}

std::vector<int> repeated(int code, int times, std::vector<int> before = {}) {
    before.insert(before.end(), static_cast<std::size_t>(times), code);
    return before;
}

const std::vector<TypeCase>& type_cases() {
    static const std::vector<TypeCase> cases = {
        {unit_types::kWindow,
         "window",
         0x44,
         {1005, 1006, 1001, 1015, 1003, 1003, 1003, 1006, 1003, 1001, 1001, 1001,
          1001, 1001, 1001, 1001, 1001, 1003, 1001, 1005, 1009, 1010, 1012, 1005},
         {}},
        {unit_types::kEditBox, "EditBox", 0x44, repeated(1001, 16, {1005, 1006, 1014, 1015, 1013}),
         encode_block(EditBoxBlock{})},
        {unit_types::kButton,
         "Button",
         0x44,
         {1009, 1006, 1005, 1006, 1006, 1013},
         encode_block(ButtonBlock{})},
        {unit_types::kListBox, "ListBox", 0x44, repeated(1001, 10, {1006, 1014, 1015, 1013}),
         encode_block(ListBoxBlock{})},
        {unit_types::kSliderBar, "SliderBar", 0x44, repeated(1001, 12),
         encode_block(slider_block())},
        {unit_types::kTimer, "Timer", 0x8044, {1001}, encode_block(TimerBlock{})},
        {unit_types::kListView, "ListView", 0x44, repeated(1001, 27, {1006, 1014, 1015, 1013}),
         encode_block(ListViewBlock{})},
        {unit_types::kTransLabel,
         "TransLabel",
         0x44,
         {1005, 1006, 1013, 1014, 1006, 1003, 1006},
         encode_block(TransLabelBlock{})},
    };
    return cases;
}

TEST(UnitTypes, EachTypeListsTheCommonPropertiesThenItsOwn) {
    units::register_standard_units();
    const std::vector<int> common = {1001, 1001, 1001, 1001, 1005, 1003, 1003, 1011};
    for (const TypeCase& c : type_cases()) {
        SCOPED_TRACE(c.english_name);
        const UnitTypeInfo* info = find_unit_type(c.type);
        ASSERT_NE(info, nullptr);
        EXPECT_STREQ(info->english_name, c.english_name);
        EXPECT_EQ(info->flags, c.flags);
        std::vector<int> codes;
        for (const PropertyInfo& property : info->properties) {
            codes.push_back(static_cast<int>(property.type));
        }
        std::vector<int> expected = common;
        expected.insert(expected.end(), c.own.begin(), c.own.end());
        EXPECT_EQ(codes, expected);
    }
}

TEST(UnitTypes, DeviceTypesHaveNoPropertiesAtAll) {
    units::register_standard_units();
    for (std::uint32_t type : {unit_types::kMediaPlay, unit_types::kSysVolume}) {
        const UnitTypeInfo* info = find_unit_type(type);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->property_count(), 0);
        EXPECT_TRUE(info->non_visual());
    }
    EXPECT_FALSE(find_unit_type(unit_types::kMediaPlay)->may_raise_events());
    EXPECT_TRUE(find_unit_type(unit_types::kSysVolume)->may_raise_events());
}

// A value of the kind `type` asks for, different for every index.
Value sample(PropertyType type, int index) {
    switch (type) {
        case PropertyType::kLogical:
            return Value::logical(true);
        case PropertyType::kText:
            return Value::text(utf8_to_gbk("文字" + std::to_string(index)));
        case PropertyType::kFont:
            return font_value(make_font("楷体"_gb, index, index % 2 == 0));
        case PropertyType::kPicture:
        case PropertyType::kIcon:
        case PropertyType::kSound:
            return Value::byte_set(
                ByteSet(std::vector<std::uint8_t>{1, 2, static_cast<std::uint8_t>(index)}));
        default:
            return Value::integer(index * 3 + 1);
    }
}

class OwnProperties : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        std::vector<std::pair<std::uint32_t, UnitRecord>> records;
        std::uint32_t id = 0x16000001;
        for (const TypeCase& c : type_cases()) {
            if (c.type != unit_types::kWindow) {
                records.emplace_back(id++,
                                     record(c.type, c.english_name, {8, 8, 120, 24}, c.block));
            }
        }
        load(std::move(records));
    }
};

TEST_F(OwnProperties, EveryOwnPropertyReadsBackWhatWasWrittenToTheSameUnit) {
    std::uint32_t id = 0x16000001;
    for (const TypeCase& c : type_cases()) {
        std::uint32_t unit = c.type == unit_types::kWindow ? 0 : id++;
        const UnitTypeInfo* info = find_unit_type(c.type);
        for (int index = property::kFirstOwn; index < info->property_count(); ++index) {
            SCOPED_TRACE(std::string(c.english_name) + " property " + std::to_string(index));
            PropertyType type = info->properties[static_cast<std::size_t>(index)].type;
            Value written = sample(type, index);
            Unit* before = live_unit(kWindow, unit);
            write_unit_property(kWindow, unit, index, written);
            EXPECT_EQ(live_unit(kWindow, unit), before);  // shown without creating it anew
            Value read = read_unit_property(kWindow, unit, index);
            EXPECT_EQ(read.type(), written.type());
            // An empty list has no item to select: the selection stays "none".
            bool selection = (c.type == unit_types::kListBox && index == 16) ||
                             (c.type == unit_types::kListView && index == 35);
            Value expected = selection ? Value::integer(-1) : written;
            EXPECT_EQ(to_byte_set(read).bytes(), to_byte_set(expected).bytes());
        }
    }
}

}  // namespace
}  // namespace wavlon::testing
