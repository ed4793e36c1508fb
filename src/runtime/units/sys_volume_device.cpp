#include "runtime/units/sys_volume_device.h"

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace wavlon::units {

namespace {

using platform::Mixer;
using platform::MixerControlType;
using platform::MixerLineInfo;

// The line a component type selects: a destination, and a source on it (0 for none).
struct LineChoice {
    std::uint32_t destination;
    std::uint32_t source;
};

std::optional<LineChoice> line_choice(std::int32_t component_type) {
    switch (component_type) {
        case platform::kMixerSpeakers:
            return LineChoice{platform::kMixerSpeakers, 0};
        case platform::kMixerWaveOut:
            return LineChoice{platform::kMixerSpeakers, platform::kMixerWaveOut};
        case platform::kMixerLineIn:
        case platform::kMixerMicrophone:
        case platform::kMixerSynthesizer:
        case platform::kMixerCompactDisc:
        case platform::kMixerTelephone:
        case platform::kMixerAnalog:
            return LineChoice{static_cast<std::uint32_t>(component_type), 0};
        default:
            return std::nullopt;
    }
}

// The destination line, or the first of its sources with the wanted component type.
std::optional<MixerLineInfo> find_line(Mixer& mixer, LineChoice choice) {
    auto line = mixer.line_by_component_type(choice.destination);
    if (!line || choice.source == 0) {
        return line;
    }
    for (std::uint32_t i = 0; i < line->connections; ++i) {
        auto source = mixer.source_line(line->line_id, i);
        if (source && source->component_type == choice.source) {
            return source;
        }
    }
    return std::nullopt;
}

// A control found on an open mixer, with the line it is on.
struct OpenControl {
    std::unique_ptr<Mixer> mixer;
    MixerLineInfo line;
    platform::MixerControlInfo control;
};

// The control of `type` on the chosen line; std::nullopt when the mixer did not open (null)
// or has no such line or control.
std::optional<OpenControl> open_control(std::unique_ptr<Mixer> mixer, LineChoice choice,
                                        MixerControlType type) {
    if (!mixer) {
        return std::nullopt;
    }
    auto line = find_line(*mixer, choice);
    if (!line) {
        return std::nullopt;
    }
    auto control = mixer->control_by_type(line->line_id, type);
    if (!control) {
        return std::nullopt;
    }
    return OpenControl{std::move(mixer), std::move(*line), std::move(*control)};
}

}  // namespace

SysVolumeDevice::SysVolumeDevice() {
    m_volume.owner = this;
    m_mute.owner = this;
}

SysVolumeDevice::~SysVolumeDevice() = default;

void SysVolumeDevice::set_event_callback(EventCallback callback) {
    m_callback = std::move(callback);
}

std::unique_ptr<Mixer> SysVolumeDevice::open_mixer() {
    return Mixer::open(0, [this](std::uint32_t control_id) { on_control_changed(control_id); });
}

bool SysVolumeDevice::open_volume(std::uint32_t destination, std::uint32_t source) {
    m_volume.mixer.reset();
    auto found = open_control(open_mixer(), {destination, source}, MixerControlType::Volume);
    if (!found) {
        return false;
    }
    m_volume.name = runtime::utf8_to_gbk(found->control.name);
    m_volume.channels = found->line.channels;
    m_volume.control_id = found->control.control_id;
    m_volume.minimum = found->control.minimum;
    m_volume.maximum = found->control.maximum;
    m_volume.mixer = std::move(found->mixer);
    return true;
}

bool SysVolumeDevice::open_mute(std::uint32_t destination, std::uint32_t source) {
    m_mute.mixer.reset();
    auto found = open_control(open_mixer(), {destination, source}, MixerControlType::Mute);
    if (!found) {
        return false;
    }
    m_mute.control_id = found->control.control_id;
    m_mute.name = runtime::utf8_to_gbk(found->control.name);
    m_mute.mixer = std::move(found->mixer);
    return true;
}

std::int32_t SysVolumeDevice::select_line(std::int32_t component_type) {
    m_volume.mixer.reset();
    m_mute.mixer.reset();
    auto choice = line_choice(component_type);
    if (!choice) {
        return 0;
    }
    bool volume = open_volume(choice->destination, choice->source);
    bool mute = open_mute(choice->destination, choice->source);
    if (volume && mute) {
        return 1;
    }
    if (volume) {
        return -2;
    }
    return mute ? -1 : 0;
}

std::int32_t SysVolumeDevice::get_mute() {
    if (!m_mute.mixer) {
        return -1;
    }
    auto values = m_mute.mixer->read_values(m_mute.control_id, 1);
    if (!values) {
        return -1;
    }
    return (*values)[0] != 0 ? 1 : 0;
}

bool SysVolumeDevice::set_mute(bool on) {
    if (!m_mute.mixer) {
        return false;
    }
    std::array<std::uint32_t, 1> value{on ? 1u : 0u};
    return m_mute.mixer->write_values(m_mute.control_id, value);
}

std::int32_t SysVolumeDevice::get_max_volume() const {
    return static_cast<std::int32_t>(m_volume.maximum);
}

std::int32_t SysVolumeDevice::get_min_volume() const {
    return static_cast<std::int32_t>(m_volume.minimum);
}

std::int32_t SysVolumeDevice::get_volume(std::int32_t& left, std::int32_t& right) {
    if (!m_volume.mixer) {
        return -1;
    }
    left = -1;
    right = -1;
    auto values = m_volume.mixer->read_values(m_volume.control_id, m_volume.channels);
    if (!values) {
        return -1;
    }
    left = static_cast<std::int32_t>((*values)[0]);
    if (m_volume.channels == 2) {
        right = static_cast<std::int32_t>((*values)[1]);
    }
    return 1;
}

bool SysVolumeDevice::set_volume(std::int32_t left, std::int32_t right) {
    if (!m_volume.mixer) {
        return false;
    }
    std::vector<std::uint32_t> values;
    for (std::int32_t value : {left, right}) {
        // A negative value would wrap into a huge unsigned one; it is out of range either way.
        if (value < 0 || static_cast<std::uint32_t>(value) < m_volume.minimum ||
            static_cast<std::uint32_t>(value) > m_volume.maximum) {
            return false;
        }
        values.push_back(static_cast<std::uint32_t>(value));
        if (values.size() == m_volume.channels) {
            break;
        }
    }
    return m_volume.mixer->write_values(m_volume.control_id, values);
}

void SysVolumeDevice::on_control_changed(std::uint32_t control_id) {
    int event = -1;
    if (m_volume.mixer && control_id == m_volume.control_id) {
        event = kVolumeChanged;
    } else if (m_mute.mixer && control_id == m_mute.control_id) {
        event = kMuteChanged;
    }
    if (event < 0 || !m_callback) {
        return;
    }
    // The routine behind the callback may destroy this device: call a copy, touch nothing after.
    EventCallback callback = m_callback;
    callback(event);
}

}  // namespace wavlon::units
