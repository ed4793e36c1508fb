#include "runtime/byte_set_commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "runtime/conversions.h"
#include "support/fatal_capture.h"

namespace wavlon::runtime {
namespace {

using testing::fatal_text_of;
using Bytes = std::vector<std::uint8_t>;

TEST(ByteSetCommands, CutsAndSizesClampToTheByteSet) {
    const ByteSet five(Bytes{1, 2, 3, 4, 5});
    EXPECT_EQ(array_size(five), 5);
    EXPECT_EQ(array_size(ByteSet()), 0);
    EXPECT_EQ(array_size(Array<Text>{"a", "b"}), 2);

    EXPECT_EQ(byte_set_left(five, 2).bytes(), (Bytes{1, 2}));
    EXPECT_EQ(byte_set_left(five, 9).bytes(), five.bytes());
    EXPECT_TRUE(byte_set_left(five, 0).empty());
    EXPECT_TRUE(byte_set_left(five, -1).empty());

    EXPECT_EQ(byte_set_middle(five, 2, 2).bytes(), (Bytes{2, 3}));
    EXPECT_EQ(byte_set_middle(five, 4, 10).bytes(), (Bytes{4, 5}));
    EXPECT_EQ(byte_set_middle(five, -3, 2).bytes(), (Bytes{1, 2}));
    EXPECT_TRUE(byte_set_middle(five, 6, 1).empty());
    EXPECT_TRUE(byte_set_middle(five, 1, 0).empty());

    EXPECT_EQ(zero_byte_set(3).bytes(), (Bytes{0, 0, 0}));
    EXPECT_TRUE(zero_byte_set(0).empty());
    EXPECT_TRUE(zero_byte_set(-4).empty());

    const char raw[] = {'a', '\0', 'b'};
    EXPECT_EQ(bytes_from_pointer(raw, 3).bytes(), (Bytes{'a', 0, 'b'}));
    EXPECT_TRUE(bytes_from_pointer(raw, 0).empty());
    EXPECT_TRUE(bytes_from_pointer(nullptr, 3).empty());
}

struct ReadCase {
    const char* name;
    Bytes bytes;
    std::int32_t type;
    std::int32_t position;
    ValueType expected_type;
    std::string expected_text;  // the value as to_text shows it (UTF-8)
    std::int32_t next_position;
};

TEST(ByteSetCommands, ByteSetValueReadsPadsAndAdvances) {
    const std::vector<ReadCase> cases = {
        {"integer padded at the end", {1, 2, 3, 4}, 3, 3, ValueType::kInteger, "1027", -1},
        {"byte", {0xFF, 1}, 1, 1, ValueType::kByte, "255", 2},
        {"short", {0xFE, 0xFF, 9}, 2, 1, ValueType::kShort, "-2", 3},
        {"integer", {0, 1, 0, 0, 7}, 3, 1, ValueType::kInteger, "256", 5},
        {"integer exactly to the end", {1, 0, 0, 0}, 3, 1, ValueType::kInteger, "1", -1},
        {"long", {0, 0, 0, 0, 1, 0, 0, 0}, 4, 1, ValueType::kLong, "4294967296", -1},
        {"float", {0, 0, 0xC0, 0x3F, 0}, 5, 1, ValueType::kFloat, "1.5", 5},
        {"double", {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, 6, 1, ValueType::kDouble, "1.5", -1},
        {"logical", {0, 2, 0, 0}, 7, 1, ValueType::kLogical, "真", -1},
        {"date-time",
         {0, 0, 0, 0, 0, 0, 0xF0, 0x3F},
         8,
         1,
         ValueType::kDateTime,
         "1899年12月31日",
         -1},
        {"date-time NaN",
         {0, 0, 0, 0, 0, 0, 0xF8, 0x7F},
         8,
         1,
         ValueType::kDateTime,
         "1899年12月30日",
         -1},
        {"routine", {0x10, 0, 0x40, 0}, 9, 1, ValueType::kRoutine, "", -1},
        {"text to its zero byte", {'a', 'b', 0, 'c'}, 10, 1, ValueType::kText, "ab", 4},
        {"text to the end", {'a', 'b', 0, 'c'}, 10, 4, ValueType::kText, "c", -1},
        {"text ending on the last byte", {'a', 0}, 10, 1, ValueType::kText, "a", -1},
        {"empty text", {0, 'x'}, 10, 1, ValueType::kText, "", 2},
        {"position past the end", {1, 2}, 3, 3, ValueType::kInteger, "0", -1},
        {"finished position", {1, 2}, 3, -1, ValueType::kInteger, "0", -1},
        {"position zero", {1, 2}, 1, 0, ValueType::kByte, "0", -1},
        {"text past the end", {'a'}, 10, 5, ValueType::kText, "", -1},
        {"empty byte-set", {}, 6, 1, ValueType::kDouble, "0", -1},
    };
    for (const auto& c : cases) {
        std::int32_t position = c.position;
        Value value = byte_set_value(ByteSet(c.bytes), c.type, &position);
        EXPECT_EQ(value.type(), c.expected_type) << c.name;
        EXPECT_EQ(gbk_to_utf8(to_text(value)), c.expected_text) << c.name;
        EXPECT_EQ(position, c.next_position) << c.name;
    }
}

TEST(ByteSetCommands, ByteSetValueWalksARecordWithThePositionVariable) {
    ByteSet record;
    record.append("\x05\x00\x00\x00", 4);
    record.append("name\0", 5);
    record.append("\x01\x00", 2);
    std::int32_t position = 1;
    EXPECT_EQ(*byte_set_value(record, 3, &position).get<std::int32_t>(), 5);
    EXPECT_EQ(*byte_set_value(record, 10, &position).get<Text>(), "name");
    EXPECT_EQ(*byte_set_value(record, 2, &position).get<std::int16_t>(), 1);
    EXPECT_EQ(position, -1);
    // Without a position variable the read starts at byte 1 every time.
    EXPECT_EQ(*byte_set_value(record, 1).get<std::uint8_t>(), 5);
}

TEST(ByteSetCommands, UnknownTypeNumberIsFatal) {
    const char* expected =
        "运行时出错!\r\n\r\n错误信息：“欲取出数据的类型”参数值无效\r\n\r\n0, 0\r\n";
    for (std::int32_t type : {0, 11, -1}) {
        std::int32_t position = 1;
        EXPECT_EQ(fatal_text_of([&] {
                      byte_set_value(ByteSet(Bytes{1, 2}), type, &position);
                  }),
                  expected)
            << type;
        EXPECT_EQ(position, 1);
    }
}

}  // namespace
}  // namespace wavlon::runtime
