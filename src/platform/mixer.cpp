#include "platform/mixer.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>

#include "platform/mixer_connection.h"

namespace wavlon::platform {

namespace {

struct LineDefinition {
    std::uint32_t component_type;
    MixerDeviceKind kind;
    std::uint32_t destination;  // 0 for a destination line
};

// A line's id is its component type. The speakers destination has one source, wave-out.
constexpr std::array kLines{
    LineDefinition{kMixerSpeakers, MixerDeviceKind::Sink, 0},
    LineDefinition{kMixerWaveOut, MixerDeviceKind::Sink, kMixerSpeakers},
    LineDefinition{kMixerLineIn, MixerDeviceKind::Source, 0},
    LineDefinition{kMixerMicrophone, MixerDeviceKind::Source, 0},
    LineDefinition{kMixerSynthesizer, MixerDeviceKind::Source, 0},
    LineDefinition{kMixerCompactDisc, MixerDeviceKind::Source, 0},
    LineDefinition{kMixerTelephone, MixerDeviceKind::Source, 0},
    LineDefinition{kMixerAnalog, MixerDeviceKind::Source, 0},
};

const LineDefinition* find_line(std::uint32_t line_id) {
    auto it = std::find_if(kLines.begin(), kLines.end(), [&](const LineDefinition& line) {
        return line.component_type == line_id;
    });
    return it == kLines.end() ? nullptr : &*it;
}

std::uint32_t connections_of(std::uint32_t line_id) {
    return static_cast<std::uint32_t>(
        std::count_if(kLines.begin(), kLines.end(),
                      [&](const LineDefinition& line) { return line.destination == line_id; }));
}

// Control ids: the line id in the high bits, the control type in the low four.
constexpr std::uint32_t kVolumeTag = 1;
constexpr std::uint32_t kMuteTag = 2;

std::uint32_t control_id_of(std::uint32_t line_id, MixerControlType type) {
    return (line_id << 4) | (type == MixerControlType::Volume ? kVolumeTag : kMuteTag);
}

struct ControlRef {
    const LineDefinition* line;
    MixerControlType type;
};

std::optional<ControlRef> decode_control(std::uint32_t control_id) {
    const LineDefinition* line = find_line(control_id >> 4);
    std::uint32_t tag = control_id & 0xF;
    if (line == nullptr || (tag != kVolumeTag && tag != kMuteTag)) {
        return std::nullopt;
    }
    return ControlRef{line, tag == kVolumeTag ? MixerControlType::Volume : MixerControlType::Mute};
}

std::uint32_t line_channels(const MixerDeviceState& state) {
    return std::min<std::uint32_t>(state.map.channels, 2);
}

// 0..65535 <-> 0..PA_VOLUME_NORM, rounded; louder than 100 % reads as the maximum.
std::uint32_t to_control(pa_volume_t volume) {
    double scaled = std::round(static_cast<double>(volume) * kMixerVolumeMaximum / PA_VOLUME_NORM);
    return static_cast<std::uint32_t>(std::min<double>(scaled, kMixerVolumeMaximum));
}

pa_volume_t to_device(std::uint32_t value) {
    return static_cast<pa_volume_t>(
        std::round(static_cast<double>(value) * PA_VOLUME_NORM / kMixerVolumeMaximum));
}

enum class Side { Left, Right, Middle };

Side side_of(pa_channel_position_t position) {
    switch (position) {
        case PA_CHANNEL_POSITION_FRONT_LEFT:
        case PA_CHANNEL_POSITION_REAR_LEFT:
        case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
        case PA_CHANNEL_POSITION_SIDE_LEFT:
        case PA_CHANNEL_POSITION_TOP_FRONT_LEFT:
        case PA_CHANNEL_POSITION_TOP_REAR_LEFT:
            return Side::Left;
        case PA_CHANNEL_POSITION_FRONT_RIGHT:
        case PA_CHANNEL_POSITION_REAR_RIGHT:
        case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
        case PA_CHANNEL_POSITION_SIDE_RIGHT:
        case PA_CHANNEL_POSITION_TOP_FRONT_RIGHT:
        case PA_CHANNEL_POSITION_TOP_REAR_RIGHT:
            return Side::Right;
        default:
            return Side::Middle;
    }
}

// The device's volume as `channels` control values. With as many device channels as
// requested the values map one to one; otherwise each value is the loudest device channel on
// its side (all channels when a side has none).
std::vector<std::uint32_t> read_volume(const MixerDeviceState& state, std::uint32_t channels) {
    const pa_cvolume& volume = state.volume;
    std::vector<std::uint32_t> values(channels, 0);
    if (volume.channels == channels) {
        for (std::uint32_t i = 0; i < channels; ++i) {
            values[i] = to_control(volume.values[i]);
        }
        return values;
    }
    pa_volume_t loudest = pa_cvolume_max(&volume);
    if (channels == 1) {
        values[0] = to_control(loudest);
        return values;
    }
    std::array<pa_volume_t, 2> sides{PA_VOLUME_MUTED, PA_VOLUME_MUTED};
    std::array<bool, 2> seen{false, false};
    for (unsigned i = 0; i < volume.channels && i < state.map.channels; ++i) {
        Side side = side_of(state.map.map[i]);
        if (side != Side::Middle) {
            auto s = static_cast<std::size_t>(side);
            sides[s] = std::max(sides[s], volume.values[i]);
            seen[s] = true;
        }
    }
    for (std::size_t s = 0; s < 2; ++s) {
        values[s] = to_control(seen[s] ? sides[s] : loudest);
    }
    return values;
}

// The inverse of read_volume: one device volume per device channel.
pa_cvolume write_volume(const MixerDeviceState& state, std::span<const std::uint32_t> values) {
    pa_cvolume volume{};
    volume.channels = state.volume.channels;
    if (volume.channels == values.size()) {
        for (std::size_t i = 0; i < values.size(); ++i) {
            volume.values[i] = to_device(values[i]);
        }
        return volume;
    }
    pa_volume_t left = to_device(values[0]);
    pa_volume_t right = values.size() > 1 ? to_device(values[1]) : left;
    for (unsigned i = 0; i < volume.channels; ++i) {
        Side side = i < state.map.channels ? side_of(state.map.map[i]) : Side::Middle;
        volume.values[i] = side == Side::Left    ? left
                           : side == Side::Right ? right
                                                 : std::max(left, right);
    }
    return volume;
}

}  // namespace

// The connection to the sound server, and a new one being made after it broke.
struct Mixer::Impl {
    struct Reconnection {
        using Clock = std::chrono::steady_clock;
        std::unique_ptr<MixerConnection> attempt;  // connecting now, or null between attempts
        Clock::time_point attempt_ends{};          // when a connecting attempt is given up
        Clock::time_point next_attempt{};
        std::chrono::milliseconds wait{kMixerRetryFirstMs};
    };
    struct Watch {
        std::uint32_t control_id;
        std::uint32_t line_id;
        MixerControlType type;
    };

    bool connected() const { return connection && connection->alive(); }
    // The standing connection, or nullptr while there is none; moves reconnection on.
    MixerConnection* current();
    void tend_reconnection();

    std::shared_ptr<MixerHooks> hooks = std::make_shared<MixerHooks>();
    std::unique_ptr<MixerConnection> connection;
    std::unique_ptr<Reconnection> reconnection;  // null while connected
    std::unique_ptr<QTimer> retry_timer;
    std::vector<Watch> watches;
};

namespace {

// How often an attempt under way is looked at.
constexpr std::chrono::milliseconds kAttemptPoll{50};

}  // namespace

Mixer::Mixer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Mixer::~Mixer() = default;

std::unique_ptr<Mixer> Mixer::open(std::uint32_t device, ChangeListener listener) {
    if (device != 0) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    Impl* state = impl.get();
    impl->hooks->changed = std::move(listener);
    impl->hooks->lost = [state] { state->tend_reconnection(); };
    impl->connection = MixerConnection::connect(impl->hooks);
    if (!impl->connection) {
        return nullptr;
    }
    return std::unique_ptr<Mixer>(new Mixer(std::move(impl)));
}

bool Mixer::connected() const {
    return m_impl->connected();
}

MixerConnection* Mixer::Impl::current() {
    if (!connected()) {
        tend_reconnection();
    }
    return connected() ? connection.get() : nullptr;
}

// One step of reconnection: adopts an attempt that stands, gives up one that failed or ran
// out of time, starts the next when its wait is over, and sets the timer for what comes next.
// Never waits itself.
void Mixer::Impl::tend_reconnection() {
    using Clock = Reconnection::Clock;
    if (connected()) {
        reconnection.reset();
        return;
    }
    const auto now = Clock::now();
    if (!reconnection) {
        reconnection = std::make_unique<Reconnection>();
        reconnection->next_attempt = now + reconnection->wait;
    }
    if (!retry_timer && QCoreApplication::instance() != nullptr) {
        retry_timer = std::make_unique<QTimer>();
        retry_timer->setSingleShot(true);
        QObject::connect(retry_timer.get(), &QTimer::timeout, [this] { tend_reconnection(); });
    }
    Reconnection& r = *reconnection;
    if (r.attempt && r.attempt->ready()) {
        connection = std::move(r.attempt);
        for (const Watch& watch : watches) {
            connection->watch(watch.control_id, find_line(watch.line_id)->kind, watch.type);
        }
        reconnection.reset();
        return;
    }
    if (r.attempt && (!r.attempt->alive() || now >= r.attempt_ends)) {
        r.attempt.reset();
        r.next_attempt = now + r.wait;
        r.wait = std::min(r.wait * 2, std::chrono::milliseconds(kMixerRetryLongestMs));
    }
    if (!r.attempt && now >= r.next_attempt) {
        r.attempt = MixerConnection::begin(hooks);
        r.attempt_ends = now + std::chrono::milliseconds(kMixerConnectTimeoutMs);
        if (!r.attempt) {
            r.next_attempt = now + r.wait;
            r.wait = std::min(r.wait * 2, std::chrono::milliseconds(kMixerRetryLongestMs));
        }
    }
    if (retry_timer) {
        auto due =
            r.attempt ? kAttemptPoll
                      : std::chrono::duration_cast<std::chrono::milliseconds>(r.next_attempt - now);
        retry_timer->start(std::max(due, std::chrono::milliseconds(1)));
    }
}

std::optional<MixerLineInfo> Mixer::line_by_component_type(std::uint32_t component_type) {
    const LineDefinition* line = find_line(component_type);
    if (line == nullptr) {
        return std::nullopt;
    }
    MixerConnection* connection = m_impl->current();
    auto state = connection ? connection->default_device(line->kind) : std::nullopt;
    if (!state || state->map.channels == 0) {
        return std::nullopt;
    }
    return MixerLineInfo{line->component_type, line->component_type, line_channels(*state),
                         connections_of(line->component_type), state->description};
}

std::optional<MixerLineInfo> Mixer::source_line(std::uint32_t destination_line_id,
                                                std::uint32_t index) {
    const LineDefinition* destination = find_line(destination_line_id);
    if (destination == nullptr || destination->destination != 0) {
        return std::nullopt;
    }
    std::uint32_t seen = 0;
    for (const LineDefinition& line : kLines) {
        if (line.destination == destination_line_id && seen++ == index) {
            return line_by_component_type(line.component_type);
        }
    }
    return std::nullopt;
}

std::optional<MixerControlInfo> Mixer::control_by_type(std::uint32_t line_id,
                                                       MixerControlType type) {
    const LineDefinition* line = find_line(line_id);
    if (line == nullptr) {
        return std::nullopt;
    }
    MixerConnection* connection = m_impl->current();
    auto state = connection ? connection->default_device(line->kind) : std::nullopt;
    if (!state || state->map.channels == 0) {
        return std::nullopt;
    }
    std::uint32_t id = control_id_of(line_id, type);
    connection->watch(id, line->kind, type, *state);
    std::erase_if(m_impl->watches,
                  [&](const Impl::Watch& watch) { return watch.control_id == id; });
    m_impl->watches.push_back({id, line_id, type});
    MixerControlInfo control;
    control.control_id = id;
    control.type = type;
    if (type == MixerControlType::Volume) {
        control.name = state->description + " Volume";
        control.minimum = kMixerVolumeMinimum;
        control.maximum = kMixerVolumeMaximum;
    } else {
        control.name = state->description + " Mute";
        control.maximum = 1;
    }
    return control;
}

std::optional<std::vector<std::uint32_t>> Mixer::read_values(std::uint32_t control_id,
                                                             std::uint32_t channels) {
    auto control = decode_control(control_id);
    if (!control || channels < 1 || channels > 2) {
        return std::nullopt;
    }
    MixerConnection* connection = m_impl->current();
    auto state = connection ? connection->default_device(control->line->kind) : std::nullopt;
    if (!state || state->volume.channels == 0) {
        return std::nullopt;
    }
    if (control->type == MixerControlType::Mute) {
        return std::vector<std::uint32_t>(channels, state->mute ? 1 : 0);
    }
    return read_volume(*state, channels);
}

bool Mixer::write_values(std::uint32_t control_id, std::span<const std::uint32_t> values) {
    auto control = decode_control(control_id);
    if (!control || values.empty() || values.size() > 2) {
        return false;
    }
    std::uint32_t maximum = control->type == MixerControlType::Volume ? kMixerVolumeMaximum : 1;
    if (std::any_of(values.begin(), values.end(), [&](std::uint32_t v) { return v > maximum; })) {
        return false;
    }
    MixerConnection* connection = m_impl->current();
    auto state = connection ? connection->default_device(control->line->kind) : std::nullopt;
    if (!state || state->volume.channels == 0) {
        return false;
    }
    if (control->type == MixerControlType::Mute) {
        return connection->set_mute(control->line->kind, state->index, values[0] != 0);
    }
    return connection->set_volume(control->line->kind, state->index, write_volume(*state, values));
}

}  // namespace wavlon::platform
