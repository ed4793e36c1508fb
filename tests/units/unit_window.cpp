#include "unit_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

#include "runtime/event_dispatch.h"
#include "runtime/routine.h"
#include "runtime/units/standard_units.h"
#include "runtime/units/unit_look.h"
#include "runtime/window_loader.h"
#include "runtime/window_table.h"
#include "support/qt_app.h"

namespace wavlon::testing {

using namespace runtime;

void UnitWindowTest::SetUp() {
    qt_application();
    units::install_font_substitutions();
    units::register_standard_units();
}

void UnitWindowTest::TearDown() {
    uninstall_window_template();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

UnitRecord UnitWindowTest::record(std::uint32_t type, const char* name, UnitRect rect,
                                  std::vector<std::uint8_t> block, std::uint32_t flags) {
    UnitRecord r;
    r.type = type;
    r.name = from_utf8(name);
    r.left = rect.left;
    r.top = rect.top;
    r.width = rect.width;
    r.height = rect.height;
    r.flags = flags;
    r.type_block = std::move(block);
    r.events = {{0, 0}, {-3, 1}};
    return r;
}

void UnitWindowTest::load(std::vector<std::pair<std::uint32_t, UnitRecord>> units,
                          WindowFormBlock window) {
    WindowBlock block;
    block.id = kWindow;
    UnitRecord own;
    own.type = unit_types::kWindow;
    own.left = 50;
    own.top = 50;
    own.width = 640;
    own.height = 480;
    own.flags = kFlagVisible;
    own.type_block = encode_block(window);
    own.events = {{0, 2}};
    block.store.ids.push_back(0x06010000);
    block.store.records.push_back(own);
    for (auto& [id, r] : units) {
        block.store.ids.push_back(id);
        block.store.records.push_back(std::move(r));
    }
    WindowTemplate window_template;
    window_template.windows.push_back(std::move(block));
    static const char* const kNames[] = {"event", "double_click", "created"};
    install_window_template(encode_template(window_template), kNames,
                            [this](std::string_view name) -> Routine {
                                if (name == "created") {
                                    return [this](std::span<const Value>) {
                                        if (m_on_created) {
                                            m_on_created();
                                        }
                                        return Value{};
                                    };
                                }
                                std::int32_t event = name == "event" ? 0 : -3;
                                return [this, event](std::span<const Value>) {
                                    m_events.emplace_back(current_event_source()->unit_id, event);
                                    return Value{};
                                };
                            });
    ASSERT_TRUE(load_window(kWindow));
}

int UnitWindowTest::events_of(std::uint32_t unit_id, std::int32_t event) const {
    int count = 0;
    for (auto [unit, e] : m_events) {
        count += unit == unit_id && e == event;
    }
    return count;
}

void send_event(QObject* receiver, QEvent& event) {
    QApplication::sendEvent(receiver, &event);
}

}  // namespace wavlon::testing
