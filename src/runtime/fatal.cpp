#include "runtime/fatal.h"

#include <array>
#include <cstdio>

#include "platform/dialogs.h"
#include "runtime/event_suppression.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

FatalNameResolver* g_resolver = nullptr;

class MessageBoxSink final : public FatalReportSink {
public:
    [[noreturn]] void report(const Text& caption, const Text& text) override {
        platform::MessageBoxRequest request;
        request.text = gbk_to_utf8(text);
        request.caption = gbk_to_utf8(caption);
        request.flags = platform::kMessageBoxIconError | platform::kMessageBoxTaskModal;
        platform::dialogs().message_box(request);
        end_program(-1);
    }
};

MessageBoxSink g_default_sink;
FatalReportSink* g_sink = &g_default_sink;

// An id as the report shows it: its bits read as a signed number.
Text id_text(std::uint32_t value) {
    return decimal(static_cast<std::int32_t>(value));
}

bool is_window_id(std::uint32_t id) { return ((id >> 24) & 0x0F) == 2; }

}  // namespace

const Text& runtime_error_text(int number) {
    static const std::array<const Text*, 12> texts = {
        &""_gb,
        &"数组成员引用下标超出定义范围"_gb,
        &"未得到所需要的数值型数据"_gb,
        &"引用数组成员时维数不为1且不等于该数组目前所具有的维数"_gb,
        &"数组成员引用下标必须大于等于1"_gb,
        &"数据或数组类型不匹配"_gb,
        &"调用DLL命令后发现堆栈错误"_gb,
        &"子语句参数未返回数据或者返回了非系统基本类型或数组型数据"_gb,
        &"被比较数据只能使用等于或不等于命令比较"_gb,
        &"“多项选择”命令的索引值参数小于零或超出了所提供参数表范围"_gb,
        &"“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零"_gb,
        &"所提供参数的数据类型不符合要求"_gb,
    };
    if (number < 0 || number >= static_cast<int>(texts.size())) {
        return *texts[0];
    }
    return *texts[static_cast<std::size_t>(number)];
}

void set_fatal_name_resolver(FatalNameResolver* resolver) { g_resolver = resolver; }

FatalReportSink* set_fatal_report_sink(FatalReportSink* sink) {
    FatalReportSink* previous = g_sink == &g_default_sink ? nullptr : g_sink;
    g_sink = sink ? sink : &g_default_sink;
    return previous;
}

Text format_fatal_report(int number, const Text& message, std::uint32_t first_id,
                         std::uint32_t second_id) {
    const Text crlf = "\r\n";
    Text details = crlf + id_text(first_id) + ", " + id_text(second_id);
    if (is_window_id(first_id)) {
        std::optional<Text> window = g_resolver ? g_resolver->window_name(first_id) : std::nullopt;
        if (window) {
            details += crlf + "\"" + *window + "\"";
            std::optional<Text> unit =
                g_resolver->unit_name(first_id, second_id);
            if (unit) {
                details += crlf + "\"" + *unit + "\"";
            } else {
                details += crlf + "未找到所指定的窗口组件"_gb;
            }
        } else {
            details += crlf + "未找到所指定的窗口"_gb;
        }
    }
    details += crlf;

    Text text = "运行时出错!"_gb + crlf;
    if (number != 0) {
        text += crlf + "错误代码："_gb + decimal(number) + crlf;
    }
    if (!message.empty()) {
        text += crlf + "错误信息："_gb + message + crlf;
    }
    return text + details;
}

void report_runtime_error(int number, std::uint32_t routine_id, std::uint32_t position) {
    fatal_error(runtime_error_text(number), routine_id, position, number);
}

void fatal_error(const Text& message, std::uint32_t first_id, std::uint32_t second_id,
                 int number) {
    // No event routine may run while the report is up; the program ends after it.
    raise_event_suppression();
    Text text = format_fatal_report(number, message, first_id, second_id);
    std::fprintf(stderr, "%s\n", gbk_to_utf8(text).c_str());
    g_sink->report("错误"_gb, text);
    end_program(-1);  // a sink that returns anyway still ends the program
}

}  // namespace wavlon::runtime
