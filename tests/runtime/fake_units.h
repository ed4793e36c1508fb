// Unit types without a toolkit, for testing the window runtime's loader, dispatcher and
// property access: every unit records what the runtime asked of it in a shared journal.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/event_dispatch.h"
#include "runtime/template_blocks.h"
#include "runtime/template_format.h"
#include "runtime/unit.h"
#include "runtime/window_table.h"

namespace wavlon::testing {

// Type ids of the fake types (ids the template decoder keeps as opaque blocks).
constexpr std::uint32_t kFakeWindow = 0x00010001;     // the window type: its record needs it
constexpr std::uint32_t kFakeButton = 0x00010041;     // may raise events
constexpr std::uint32_t kFakeOther = 0x00010042;      // may raise events, another type
constexpr std::uint32_t kFakeMute = 0x00010043;       // may not raise events
constexpr std::uint32_t kFakeTimer = 0x00010044;      // non-visual
constexpr std::uint32_t kFakeContainer = 0x00010045;  // paged container

// Own properties of the fake types: 8 integer, 9 text, 10 font, 11 integer whose write asks
// for re-creation.
constexpr int kPropNumber = 8;
constexpr int kPropText = 9;
constexpr int kPropFont = 10;
constexpr int kPropRecreate = 11;

struct Journal {
    std::vector<std::string> entries;
    void add(std::string entry) { entries.push_back(std::move(entry)); }
    bool contains(const std::string& entry) const;
    void clear() { entries.clear(); }
};
Journal& journal();

class FakeUnit : public runtime::Unit {
public:
    explicit FakeUnit(const runtime::UnitCreateParams& params);
    ~FakeUnit() override;

    runtime::UnitRect rect() const override { return m_rect; }
    void set_rect(const runtime::UnitRect& rect) override { m_rect = rect; }
    bool visible() const override { return m_visible; }
    void set_visible(bool visible) override;
    bool enabled() const override { return m_enabled; }
    void set_enabled(bool enabled) override { m_enabled = enabled; }
    void set_parent(runtime::Unit& parent) override;
    void raise_to_top() override;
    void stack_under(runtime::Unit& above) override;
    bool has_focus() const override { return m_focus; }
    void take_focus() override { m_focus = true; }
    void show_window() override;
    void bring_to_front() override;
    bool set_property(int index, const runtime::Value& value) override;
    runtime::Value get_property(int index) const override;
    std::vector<std::uint8_t> property_data() const override;

    const std::string& name() const { return m_name; }
    std::int32_t control_id() const { return m_control_id; }
    FakeUnit* parent() const { return m_parent; }

private:
    std::uint32_t m_window_id;
    std::uint32_t m_unit_id;
    std::string m_name;  // UTF-8
    std::int32_t m_control_id;
    runtime::UnitRect m_rect;
    bool m_visible = false;
    bool m_enabled;
    bool m_focus = false;
    FakeUnit* m_parent = nullptr;
    std::map<int, runtime::Value> m_values;
};

// Registers the fake types (again: each test may replace them).
void register_fake_types();

// A record of `type` named `name` at (left, top, width, height) with `flags`.
runtime::UnitRecord fake_record(std::uint32_t type, const std::string& name,
                                std::uint32_t flags = runtime::kFlagVisible,
                                runtime::UnitRect rect = {10, 20, 30, 40});

// A window block: record 0 is the window (flags visible), then the units with their ids.
runtime::WindowBlock fake_window(std::uint32_t window_id,
                                 std::vector<std::pair<std::uint32_t, runtime::UnitRecord>> units);

// The live unit of a loaded window, as a FakeUnit (nullptr when not created).
FakeUnit* fake_unit(std::uint32_t window_id, std::uint32_t unit_id);

// Installs templates made of fake windows with a few routines, and forgets them afterwards.
// Routine numbers in bindings: 0 "on_created", 1 "on_click", 2 "not_written_yet" (the
// program has no such routine), 3 "on_other".
class WindowRuntimeTest : public ::testing::Test {
public:
    static constexpr std::uint32_t kCreated = 0;
    static constexpr std::uint32_t kClick = 1;
    static constexpr std::uint32_t kMissing = 2;
    static constexpr std::uint32_t kOther = 3;

protected:
    void SetUp() override;
    void TearDown() override;
    void install(std::vector<runtime::WindowBlock> windows);

    // Routine calls as "routine window-id/unit-id", in order.
    std::vector<std::string> m_calls;
    // Runs inside on_created when set.
    std::function<void()> m_on_created;
};

}  // namespace wavlon::testing
