#include "fake_units.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "runtime/conversions.h"
#include "runtime/window_table.h"

namespace wavlon::testing {

using namespace runtime;

bool Journal::contains(const std::string& entry) const {
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

Journal& journal() {
    static Journal* j = new Journal;  // outlives units that are destroyed at exit
    return *j;
}

namespace {

// Fake block: u32 number, then the text's bytes.
std::vector<std::uint8_t> encode_fake_block(std::int32_t number, const Text& text) {
    std::vector<std::uint8_t> out(4);
    std::memcpy(out.data(), &number, 4);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

std::unique_ptr<Unit> create_fake(const UnitCreateParams& params) {
    if (gbk_to_utf8(params.record->name) == "broken") {
        return nullptr;
    }
    return std::make_unique<FakeUnit>(params);
}

}  // namespace

FakeUnit::FakeUnit(const UnitCreateParams& params)
    : m_window_id(params.window_id),
      m_unit_id(params.unit_id),
      m_name(gbk_to_utf8(params.record->name)),
      m_control_id(params.control_id),
      m_rect(params.rect),
      m_enabled(!params.disabled) {
    m_values[kPropNumber] = Value::integer(0);
    if (params.block.size() >= 4) {
        std::int32_t number = 0;
        std::memcpy(&number, params.block.data(), 4);
        m_values[kPropNumber] = Value::integer(number);
        m_values[kPropText] = Value::text(
            Text(reinterpret_cast<const char*>(params.block.data()) + 4, params.block.size() - 4));
    }
    journal().add("create " + m_name + " " + std::to_string(m_control_id));
    if (m_name == "eager") {
        // Like a unit that reports its initial value while its window is still being made.
        dispatch_event(m_window_id, m_unit_id, 0);
    }
}

FakeUnit::~FakeUnit() {
    journal().add("destroy " + m_name);
}

void FakeUnit::set_visible(bool visible) {
    m_visible = visible;
    journal().add((visible ? "show " : "hide ") + m_name);
}

void FakeUnit::set_parent(Unit& parent) {
    m_parent = dynamic_cast<FakeUnit*>(&parent);
    journal().add("parent " + m_name + " in " + (m_parent ? m_parent->m_name : "?"));
}

void FakeUnit::raise_to_top() {
    journal().add("top " + m_name);
}

void FakeUnit::stack_under(Unit& above) {
    auto* other = dynamic_cast<FakeUnit*>(&above);
    journal().add("under " + m_name + " " + (other ? other->m_name : "?"));
}

void FakeUnit::show_window() {
    m_visible = true;
    journal().add("show window");
}

void FakeUnit::bring_to_front() {
    journal().add("front " + m_name);
}

bool FakeUnit::set_property(int index, const Value& value) {
    m_values[index] = value;
    if (index == kPropText) {
        // Like an edit box: a program write of the content raises the change event.
        dispatch_event(m_window_id, m_unit_id, 0);
    }
    return index == kPropRecreate;
}

Value FakeUnit::get_property(int index) const {
    auto it = m_values.find(index);
    return it == m_values.end() ? Value{} : it->second;
}

std::vector<std::uint8_t> FakeUnit::property_data() const {
    Value text = get_property(kPropText);
    return encode_fake_block(to_integer(get_property(kPropNumber)),
                             text.get<Text>() ? *text.get<Text>() : Text{});
}

void register_fake_types() {
    auto props = common_properties_and(
        {PropertyType::kInteger, PropertyType::kText, PropertyType::kFont, PropertyType::kInteger});
    auto type = [&](std::uint32_t id, std::uint32_t flags) {
        UnitTypeInfo info;
        info.type_id = id;
        info.name = "假"_gb;
        info.english_name = "Fake";
        info.flags = flags;
        info.properties = props;
        info.create = create_fake;
        register_unit_type(info);
    };
    type(kFakeWindow, 0x44);
    type(kFakeButton, 0x04);
    type(kFakeOther, 0x40);
    type(kFakeMute, 0);
    type(kFakeTimer, kTypeNonVisual | 0x40);
    type(kFakeContainer, kTypePagedContainer | 0x04);
}

UnitRecord fake_record(std::uint32_t type, const std::string& name, std::uint32_t flags,
                       UnitRect rect) {
    UnitRecord record;
    record.type = type;
    record.name = utf8_to_gbk(name);
    record.flags = flags;
    record.left = rect.left;
    record.top = rect.top;
    record.width = rect.width;
    record.height = rect.height;
    return record;
}

WindowBlock fake_window(std::uint32_t window_id,
                        std::vector<std::pair<std::uint32_t, UnitRecord>> units) {
    WindowBlock block;
    block.id = window_id;
    block.store.ids.push_back(0x06000000 | (window_id & 0xFFFFFF));
    block.store.records.push_back(fake_record(kFakeWindow, "", kFlagVisible, {50, 50, 640, 480}));
    block.store.records.back().type_block = encode_block(WindowFormBlock{});
    for (auto& [id, record] : units) {
        block.store.ids.push_back(id);
        block.store.records.push_back(std::move(record));
    }
    return block;
}

FakeUnit* fake_unit(std::uint32_t window_id, std::uint32_t unit_id) {
    LiveWindow* window = find_live_window(window_id);
    int record = window ? find_record(*window, unit_id) : -1;
    if (record < 0) {
        return nullptr;
    }
    return dynamic_cast<FakeUnit*>(window->unit(static_cast<std::size_t>(record)));
}

void WindowRuntimeTest::SetUp() {
    register_fake_types();
    journal().clear();
}

void WindowRuntimeTest::TearDown() {
    uninstall_window_template();
}

void WindowRuntimeTest::install(std::vector<WindowBlock> windows) {
    static const char* const kNames[] = {"on_created", "on_click", "not_written_yet", "on_other"};
    auto routine = [this](std::string name) -> Routine {
        return [this, name](std::span<const Value>) {
            auto source = current_event_source();
            char where[32];
            std::snprintf(where, sizeof where, " %08X/%08X", source ? source->window_id : 0,
                          source ? source->unit_id : 0);
            m_calls.push_back(name + where);
            if (name == "on_created" && m_on_created) {
                m_on_created();
            }
            return Value::integer(static_cast<std::int32_t>(m_calls.size()));
        };
    };
    WindowTemplate window_template;
    window_template.windows = std::move(windows);
    std::vector<std::uint8_t> bytes = encode_template(window_template);
    install_window_template(bytes, kNames, [&](std::string_view name) -> Routine {
        if (name == "not_written_yet") {
            return {};
        }
        return routine(std::string(name));
    });
}

}  // namespace wavlon::testing
