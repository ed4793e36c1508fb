#include "runtime/fatal.h"

#include <gtest/gtest.h>

#include "runtime/array.h"
#include "runtime/event_suppression.h"
#include "runtime/memory.h"
#include "support/fatal_capture.h"

namespace wavlon::runtime {
namespace {

using testing::fatal_text_of;

class Names final : public FatalNameResolver {
public:
    std::optional<Text> window_name(std::uint32_t id) override {
        if (id == 0x52010001) {
            return "_启动窗口"_gb;
        }
        return std::nullopt;
    }
    std::optional<Text> unit_name(std::uint32_t, std::uint32_t unit) override {
        if (unit == 0x16010004) {
            return "按钮1"_gb;
        }
        return std::nullopt;
    }
};

TEST(FatalReport, RuntimeErrorTextByteForByte) {
    EXPECT_EQ(fatal_text_of([] { report_runtime_error(4, 7, 12); }),
              "运行时出错!\r\n\r\n错误代码：4\r\n\r\n错误信息：数组成员引用下标必须大于等于1"
              "\r\n\r\n7, 12\r\n");
}

TEST(FatalReport, DetailsNameWindowAndUnit) {
    Names names;
    set_fatal_name_resolver(&names);
    EXPECT_EQ(
        gbk_to_utf8(format_fatal_report(0, "未找到引发事件的窗口组件"_gb, 0x52010001, 0x16010004)),
        "运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口组件\r\n\r\n1375797249, "
        "369164292\r\n\"_启动窗口\"\r\n\"按钮1\"\r\n");
    EXPECT_EQ(gbk_to_utf8(format_fatal_report(0, ""_gb, 0x52010001, 0x16999999)),
              "运行时出错!\r\n\r\n1375797249, 379165081\r\n\"_启动窗口\"\r\n"
              "未找到所指定的窗口组件\r\n");
    EXPECT_EQ(gbk_to_utf8(format_fatal_report(0, ""_gb, 0x52010002, 0)),
              "运行时出错!\r\n\r\n1375797250, 0\r\n未找到所指定的窗口\r\n");
    set_fatal_name_resolver(nullptr);
}

TEST(FatalReport, CaptionIsErrorAndEventsStaySuppressedDuringTheReport) {
    struct Sink final : FatalReportSink {
        bool suppressed = false;
        Text caption;
        [[noreturn]] void report(const Text& c, const Text&) override {
            caption = c;
            suppressed = events_suppressed();
            lower_event_suppression();
            throw 1;
        }
    } sink;
    FatalReportSink* previous = set_fatal_report_sink(&sink);
    EXPECT_THROW(report_runtime_error(1), int);
    set_fatal_report_sink(previous);
    EXPECT_EQ(sink.caption, "错误"_gb);
    EXPECT_TRUE(sink.suppressed);
    EXPECT_FALSE(events_suppressed());
}

TEST(Arrays, AreOneBasedAndIndexErrorsAreFatal) {
    Array<Text> paths{"a", "b"};
    EXPECT_EQ(paths.at(1), "a");
    EXPECT_EQ(paths.at(2), "b");
    EXPECT_NE(fatal_text_of([&] { paths.at(0); }).find("错误代码：4"), std::string::npos);
    EXPECT_NE(fatal_text_of([&] { paths.at(3); }).find("错误代码：1\r\n"), std::string::npos);
    Array<int> empty;
    EXPECT_NE(fatal_text_of([&] { empty.at(1); }).find("数组成员引用下标超出定义范围"),
              std::string::npos);
}

TEST(Memory, JoinTextsAndCountBytes) {
    EXPECT_EQ(join_texts({"", "", ""}), "");
    EXPECT_EQ(join_texts({"正在播放："_gb, "a", ""}), "正在播放："_gb + "a");
    EXPECT_EQ(count_text_bytes("正在"_gb), 4);
    EXPECT_EQ(count_text_bytes(""), 0);
}

TEST(Memory, FailedAllocationReportsItsSize) {
    set_allocation_limit_for_tests(50);
    std::string text = fatal_text_of([] { join_texts({Text(99, 'x')}); });
    set_allocation_limit_for_tests(0);
    EXPECT_EQ(text, "运行时出错!\r\n\r\n错误信息：分配 100 字节内存失败!\r\n\r\n0, 0\r\n");
}

}  // namespace
}  // namespace wavlon::runtime
