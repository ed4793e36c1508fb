#include "runtime/unit_properties.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_units.h"
#include "runtime/event_suppression.h"
#include "runtime/font_value.h"
#include "runtime/window_loader.h"
#include "support/fatal_capture.h"

namespace wavlon::testing {
namespace {

using namespace runtime;

constexpr std::uint32_t kWindow = 0x52010001;
constexpr std::uint32_t kShown = 0x16000001;
constexpr std::uint32_t kHidden = 0x16000002;
constexpr std::uint32_t kEdit = 0x16000003;

std::int32_t integer_of(const Value& value) {
    const std::int32_t* number = value.get<std::int32_t>();
    return number ? *number : -12345;
}

bool logical_of(const Value& value) {
    const bool* logical = value.get<bool>();
    EXPECT_TRUE(logical);
    return logical && *logical;
}

class UnitProperties : public WindowRuntimeTest {
protected:
    void SetUp() override {
        WindowRuntimeTest::SetUp();
        UnitRecord edit = fake_record(kFakeOther, "编辑框2", kFlagVisible | kFlagDisabled);
        edit.events = {{0, kClick}};
        edit.tag = "标记"_gb;
        install({fake_window(kWindow, {{kShown, fake_record(kFakeButton, "按钮1")},
                                       {kHidden, fake_record(kFakeButton, "按钮2", 0)},
                                       {kEdit, edit}})});
    }
};

TEST_F(UnitProperties, UnitsOfAWindowNotCreatedAnswerFromTheirRecords) {
    EXPECT_TRUE(logical_of(read_unit_property(kWindow, kShown, property::kVisible)));
    EXPECT_FALSE(logical_of(read_unit_property(kWindow, kHidden, property::kVisible)));
    EXPECT_TRUE(logical_of(read_unit_property(kWindow, kEdit, property::kDisabled)));
    EXPECT_EQ(integer_of(read_unit_property(kWindow, kShown, property::kTop)), 20);
    EXPECT_EQ(*read_unit_property(kWindow, kEdit, property::kTag).get<Text>(), "标记"_gb);

    // Writes of common properties go to the record and show once the window is made.
    write_unit_property(kWindow, kHidden, property::kVisible, Value::logical(true));
    write_unit_property(kWindow, kShown, property::kWidth, Value::integer(77));
    ASSERT_TRUE(load_window(kWindow));
    EXPECT_TRUE(fake_unit(kWindow, kHidden)->visible());
    EXPECT_EQ(fake_unit(kWindow, kShown)->rect().width, 77);
}

TEST_F(UnitProperties, CommonPropertiesOfCreatedUnitsComeFromTheUnit) {
    ASSERT_TRUE(load_window(kWindow));
    write_unit_property(kWindow, kShown, property::kVisible, Value::logical(false));
    write_unit_property(kWindow, kEdit, property::kDisabled, Value::integer(0));
    write_unit_property(kWindow, kShown, property::kLeft, Value::integer(-5));
    EXPECT_FALSE(fake_unit(kWindow, kShown)->visible());
    EXPECT_FALSE(logical_of(read_unit_property(kWindow, kShown, property::kVisible)));
    EXPECT_TRUE(fake_unit(kWindow, kEdit)->enabled());
    EXPECT_EQ(integer_of(read_unit_property(kWindow, kShown, property::kLeft)), -5);
}

TEST_F(UnitProperties, WidthAndHeightAreHeldWithinTheLimit) {
    ASSERT_TRUE(load_window(kWindow));
    struct Case {
        int index;
        std::int32_t written;
        std::int32_t expected;
    };
    for (Case c : {Case{property::kWidth, 40000, 32627}, Case{property::kHeight, 32628, 32627},
                   Case{property::kWidth, 32627, 32627}, Case{property::kHeight, -3, 0}}) {
        write_unit_property(kWindow, kShown, c.index, Value::integer(c.written));
        EXPECT_EQ(integer_of(read_unit_property(kWindow, kShown, c.index)), c.expected);
        UnitRect rect = fake_unit(kWindow, kShown)->rect();
        EXPECT_EQ(c.index == property::kWidth ? rect.width : rect.height, c.expected);
    }
}

TEST_F(UnitProperties, OwnPropertiesAreConvertedByTheirTypeCode) {
    ASSERT_TRUE(load_window(kWindow));
    write_unit_property(kWindow, kShown, kPropNumber, Value::real(41.9));
    EXPECT_EQ(integer_of(read_unit_property(kWindow, kShown, kPropNumber)), 41);
    write_unit_property(kWindow, kShown, kPropText, Value{});  // none: the empty text
    EXPECT_EQ(*read_unit_property(kWindow, kShown, kPropText).get<Text>(), "");
    write_unit_property(kWindow, kShown, kPropText, Value::integer(12));
    EXPECT_EQ(*read_unit_property(kWindow, kShown, kPropText).get<Text>(), "12");
    // Past the type's property count: nothing to read or write.
    write_unit_property(kWindow, kShown, 40, Value::integer(1));
    EXPECT_TRUE(read_unit_property(kWindow, kShown, 40).empty());
}

TEST_F(UnitProperties, FontSubFieldsChangeOnePartOfTheFont) {
    ASSERT_TRUE(load_window(kWindow));
    write_unit_property(kWindow, kShown, kPropFont, font_value(make_font("楷体"_gb, 19, false)));
    write_unit_property(kWindow, kShown, kPropFont, font_field::kBold, Value::logical(true));
    write_unit_property(kWindow, kShown, kPropFont, font_field::kAngle, Value::integer(-450));
    write_unit_property(kWindow, kShown, kPropFont, font_field::kSize, Value::integer(24));
    FontSetting font = font_from_value(read_unit_property(kWindow, kShown, kPropFont));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->face, "楷体"_gb);
    EXPECT_EQ(font->weight, 700);
    EXPECT_EQ(font->escapement, 3150);
    EXPECT_EQ(font->height, -24);
    EXPECT_EQ(integer_of(read_unit_property(kWindow, kShown, kPropFont, font_field::kSize)), 24);

    for (const Text& bad_face : {Text{}, Text(32, 'x')}) {
        write_unit_property(kWindow, kShown, kPropFont, font_field::kFace, Value::text(bad_face));
        font = font_from_value(read_unit_property(kWindow, kShown, kPropFont));
        EXPECT_EQ(font->face, "宋体"_gb);
    }
    write_unit_property(kWindow, kShown, kPropFont, font_field::kFace, Value::text(Text(31, 'y')));
    EXPECT_EQ(font_from_value(read_unit_property(kWindow, kShown, kPropFont))->face, Text(31, 'y'));
}

TEST_F(UnitProperties, ProgramWriteMayRaiseTheUnitsEvent) {
    ASSERT_TRUE(load_window(kWindow));
    write_unit_property(kWindow, kEdit, kPropText, Value::text("a"));
    write_unit_property(kWindow, kEdit, kPropText, Value::text("a"));
    EXPECT_EQ(m_calls.size(), 2u);
}

TEST_F(UnitProperties, WriteThatNeedsANewUnitRecreatesItWithEventsSuppressed) {
    ASSERT_TRUE(load_window(kWindow));
    write_unit_property(kWindow, kEdit, kPropText, Value::text("kept"));
    write_unit_property(kWindow, kEdit, property::kLeft, Value::integer(3));
    write_unit_property(kWindow, kEdit, property::kDisabled, Value::logical(false));
    FakeUnit* before = fake_unit(kWindow, kEdit);
    std::int32_t control_id = before->control_id();
    m_calls.clear();
    journal().clear();

    // The new unit would raise its change event while being made: suppressed.
    write_unit_property(kWindow, kEdit, kPropText, Value::text("kept"));
    m_calls.clear();
    write_unit_property(kWindow, kEdit, kPropRecreate, Value::integer(1));
    FakeUnit* after = fake_unit(kWindow, kEdit);
    EXPECT_TRUE(journal().contains("create 编辑框2 " + std::to_string(control_id)));
    EXPECT_TRUE(journal().contains("destroy 编辑框2"));
    EXPECT_TRUE(m_calls.empty());
    EXPECT_FALSE(events_suppressed());
    EXPECT_EQ(after->rect().left, 3);
    EXPECT_TRUE(after->enabled());
    EXPECT_TRUE(after->visible());
    EXPECT_EQ(*read_unit_property(kWindow, kEdit, kPropText).get<Text>(), "kept");
}

TEST_F(UnitProperties, AccessToAMissingWindowOrUnitCreatedUnitIsFatal) {
    struct Case {
        std::function<void()> access;
        std::string text;
    };
    const std::string unit_details = "\r\n\r\n1375797249, 369098753\r\n\"\"\r\n\"按钮1\"\r\n";
    const Case cases[] = {
        {[] { read_unit_property(0x52010005, kShown, property::kVisible); },
         "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n\r\n1375797253, "
         "369098753\r\n未找到所指定的窗口\r\n"},
        {[] { write_unit_property(0x52010005, kShown, property::kVisible, Value::logical(1)); },
         "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n\r\n1375797253, "
         "369098753\r\n未找到所指定的窗口\r\n"},
        {[] { read_unit_property(kWindow, kShown, kPropNumber); },
         "运行时出错!\r\n\r\n错误信息：读取组件属性时发现指定窗口尚未载入" + unit_details},
        {[] { write_unit_property(kWindow, kShown, kPropNumber, Value::integer(1)); },
         "运行时出错!\r\n\r\n错误信息：修改组件属性时发现指定窗口尚未载入" + unit_details},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fatal_text_of(c.access), c.text);
    }
}

}  // namespace
}  // namespace wavlon::testing
