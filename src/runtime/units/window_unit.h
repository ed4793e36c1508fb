// The window unit (type 0x00010001): a top-level window whose client area holds the units.
//
// The stored rectangle is the outer one (frame and title bar included); the client area is
// what is left inside the frame, but never less than the area the window's units occupy, so
// a frame thicker than the stored one cannot clip a unit. The border style decides the frame
// (2: fixed size with title bar, minimise button, no maximise button); start position 1
// centres the window on the screen when it is shown.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class WindowUnit final : public WithPropertyTable<WindowUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kWindow;
    static constexpr int kCaption = 8;

    WindowUnit(const runtime::UnitCreateParams& params, runtime::WindowFormBlock block);
    ~WindowUnit() override;
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<WindowUnit>& properties();

    runtime::UnitRect rect() const override;
    void set_rect(const runtime::UnitRect& rect) override;
    void show_window() override;
    void bring_to_front() override;
    void adopt_children(runtime::Unit& old) override;
    void on_units_created() override;
    std::vector<std::uint8_t> property_data() const override;

    // Called when the platform reports (new) frame margins: the client area follows.
    void frame_changed();
    // The stored background colour (kSystemColour: the system's or the skin's).
    std::uint32_t background() const { return m_block.background; }

private:
    void apply_window_flags();
    // The frame after a change of the settings that shape it.
    void apply_frame();
    void apply_background();
    void apply_caption();
    bool fixed_size() const;
    // The client area's width and height as the frame leaves them (see the header comment).
    runtime::UnitRect client_size() const;

    runtime::WindowFormBlock m_block;
    runtime::UnitRect m_outer;         // stored outer rectangle
    runtime::UnitRect m_units_extent;  // width and height: the farthest unit's right and bottom
};

}  // namespace wavlon::units
