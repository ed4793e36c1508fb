#include "player/countdown.h"

#include <algorithm>
#include <array>
#include <limits>

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "runtime/conversions.h"
#include "runtime/system_commands.h"

namespace wavlon::player {

using runtime::operator""_gb;
using runtime::Text;
using runtime::Value;
namespace u = units;

namespace {

constexpr std::int32_t kTickMs = 1000;
constexpr std::int32_t kPowerOff = 1;

const Text& idle_caption() {
    return "倒计时开始"_gb;
}
const Text& counting_caption() {
    return "倒计时ing（点击取消）"_gb;
}

const std::array<units::UnitRef<units::EditBoxUnit>, 3> kEntries = {u::编辑框5, u::编辑框6,
                                                                    u::编辑框7};

// The panel's units, shown and hidden together.
void set_panel_visible(bool visible) {
    set_visible(u::透明标签14, visible);
    set_visible(u::透明标签15, visible);
    set_visible(u::透明标签16, visible);
    for (const auto& entry : kEntries) {
        set_visible(entry, visible);
    }
    set_visible(u::按钮9, visible);
    set_visible(u::透明标签18, visible);
}

void set_entries_enabled(bool enabled) {
    for (const auto& entry : kEntries) {
        set_disabled(entry, !enabled);
    }
}

void clear_entries() {
    for (const auto& entry : kEntries) {
        set_text(entry, u::EditBoxUnit::kContent, {});
    }
}

void set_timer_interval(std::int32_t milliseconds) {
    set_integer(u::时钟4, u::TimerUnit::kInterval, milliseconds);
}

void show_stopped() {
    set_text(u::透明标签18, u::TransLabelUnit::kCaption, "倒计时已停止"_gb);
}

bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool is_whole_number(const Text& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_space(text[begin])) {
        ++begin;
    }
    while (end > begin && is_space(text[end - 1])) {
        --end;
    }
    if (begin < end && (text[begin] == '+' || text[begin] == '-')) {
        ++begin;
    }
    return begin < end && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(begin),
                                      text.begin() + static_cast<std::ptrdiff_t>(end),
                                      [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::int32_t> countdown_entry_value(const Text& entry) {
    if (entry.empty()) {
        return 0;
    }
    if (!is_whole_number(runtime::half_width(entry))) {
        return std::nullopt;
    }
    return runtime::to_integer(Value::text(entry));
}

std::int32_t countdown_total(std::int32_t hours, std::int32_t minutes, std::int32_t seconds) {
    // Exact in double: every term is far below 2^53.
    const double total = hours * 3600.0 + minutes * 60.0 + seconds;
    return static_cast<std::int32_t>(std::clamp(total,
                                                double{std::numeric_limits<std::int32_t>::min()},
                                                double{std::numeric_limits<std::int32_t>::max()}));
}

void toggle_countdown_panel() {
    if (!is_visible(u::透明标签14)) {
        set_panel_visible(true);
        return;
    }
    set_timer_interval(0);
    set_panel_visible(false);
    set_text(u::按钮9, u::ButtonUnit::kCaption, idle_caption());
    set_entries_enabled(true);
    show_stopped();
    clear_entries();
}

void toggle_countdown() {
    std::array<Text, 3> texts;
    std::array<std::int32_t, 3> values{};
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        texts[i] = text_of(kEntries[i], u::EditBoxUnit::kContent);
        const std::optional<std::int32_t> value = countdown_entry_value(texts[i]);
        if (!value) {
            return;  // not a number: the click is ignored, as with three empty entries
        }
        values[i] = *value;
    }
    if (std::all_of(texts.begin(), texts.end(), [](const Text& t) { return t.empty(); })) {
        return;
    }
    program_state().countdown_seconds = countdown_total(values[0], values[1], values[2]);
    set_timer_interval(kTickMs);
    const Text caption = text_of(u::按钮9, u::ButtonUnit::kCaption);
    if (caption == idle_caption()) {
        set_entries_enabled(false);
        set_text(u::按钮9, u::ButtonUnit::kCaption, counting_caption());
        set_visible(u::按钮7, false);
    } else if (caption == counting_caption()) {
        set_timer_interval(0);
        set_entries_enabled(true);
        set_text(u::按钮9, u::ButtonUnit::kCaption, idle_caption());
        show_stopped();
        set_panel_visible(false);
        clear_entries();
        set_visible(u::按钮7, true);
    }
}

void countdown_tick() {
    std::int32_t& countdown_seconds = program_state().countdown_seconds;
    // Held at the lowest int32 while the power-off keeps being refused.
    if (countdown_seconds > std::numeric_limits<std::int32_t>::min()) {
        --countdown_seconds;
    }
    set_text(u::透明标签18, u::TransLabelUnit::kCaption,
             "倒计时："_gb + runtime::to_text(Value::integer(countdown_seconds)) + "秒"_gb);
    if (countdown_seconds <= 0) {
        runtime::shut_down_system(kPowerOff, false);
    }
}

}  // namespace wavlon::player
