// A window of real Qt units for the unit tests: built from records through the stored
// template, loaded offscreen, every unit's event 0 and double-click (-3) bound to routines
// that record (unit id, event).
#pragma once

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <functional>
#include <utility>
#include <vector>

#include "runtime/template_blocks.h"
#include "runtime/template_format.h"
#include "runtime/unit.h"

namespace wavlon::testing {

class UnitWindowTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kWindow = 0x52010001;

    void SetUp() override;
    void TearDown() override;

    // A unit record: visible and enabled unless `flags` says otherwise.
    static runtime::UnitRecord record(std::uint32_t type, const char* name, runtime::UnitRect rect,
                                      std::vector<std::uint8_t> block,
                                      std::uint32_t flags = runtime::kFlagVisible);
    // Installs a template with this window and its units and loads it.
    void load(std::vector<std::pair<std::uint32_t, runtime::UnitRecord>> units,
              runtime::WindowFormBlock window = {});

    template <class T>
    T& unit(std::uint32_t unit_id);
    int events_of(std::uint32_t unit_id, std::int32_t event) const;

    std::vector<std::pair<std::uint32_t, std::int32_t>> m_events;  // (unit, event)
    std::function<void()> m_on_created;
};

// Sends `event` to `receiver` as the platform would deliver user input.
void send_event(QObject* receiver, QEvent& event);

}  // namespace wavlon::testing

#include "runtime/units/unit_access.h"

template <class T>
T& wavlon::testing::UnitWindowTest::unit(std::uint32_t unit_id) {
    return units::unit_as<T>(kWindow, unit_id);
}
