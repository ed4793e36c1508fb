// The system's audio mixer: lines, their volume and mute controls, and change notifications.
//
// On Linux, mixer device 0 is the sound server that libpulse reaches (PulseAudio, or PipeWire's
// pulse server; PULSE_SERVER is honoured, a server is never spawned). Lines are chosen by the
// runtime's component types:
//   4     speakers destination       -> the default sink
//   4104  wave-out source (of 4)     -> the default sink as well
//   4098-4102, 4106  input sources   -> the default source
// The default device is looked up again on every call, so a line follows the user when the
// output or input is switched. Any other component type has no line.
//
// Each line has a volume control (0..65535, mapped linearly onto 0..100 % of the device's
// volume; a device volume above 100 % reads as 65535) and a mute switch (0 or 1). A volume
// control exchanges one value per channel of the line. Devices with more than two channels
// are shown as two-channel lines: the left value stands for the channels placed on the left,
// the right value for those on the right, and a centred or unplaced channel reads as the
// louder of both and is written with the louder of both.
//
// Threading: a Mixer belongs to the thread that opened it, which must be the thread of the
// QCoreApplication (the user-interface thread). Every call is synchronous and waits at most
// a few seconds; a server that is gone or stops answering makes calls fail, never hang.
// libpulse runs its own event thread per handle (a pa_threaded_mainloop); change notifications
// found there are posted to the QCoreApplication's thread with a queued call and delivered
// only while the Mixer still exists, so a listener may destroy the Mixer it is called from.
// Without a QCoreApplication no notification is delivered. Destroy every Mixer before the
// QCoreApplication.
//
// Losing the server: once the connection breaks, the handle connects again by itself, first
// after kMixerRetryFirstMs, then waiting twice as long after each failed attempt, up to
// kMixerRetryLongestMs. Attempts run in the background (a timer of the QCoreApplication's
// thread; without one, at the next call) and never block a call; calls fail until a new
// connection stands, then work on it as before, on the server's default devices of then.
// Controls looked up before keep their ids and are watched again.
//
// On Windows, the mixer functions of the system (winmm) stand behind the same interface: the
// devices, lines and controls are the system's own, looked up by the same component and
// control types, and their change notices arrive as window messages on the thread that opened
// the Mixer, which must run a message loop for them to be delivered. Only a handle that the
// system itself closes fails; there is nothing to reconnect.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/mixer_types.h"

namespace wavlon::platform {

// Line component types that have a line.
constexpr std::uint32_t kMixerSpeakers = 4;
constexpr std::uint32_t kMixerLineIn = 4098;
constexpr std::uint32_t kMixerMicrophone = 4099;
constexpr std::uint32_t kMixerSynthesizer = 4100;
constexpr std::uint32_t kMixerCompactDisc = 4101;
constexpr std::uint32_t kMixerTelephone = 4102;
constexpr std::uint32_t kMixerWaveOut = 4104;
constexpr std::uint32_t kMixerAnalog = 4106;

// Bounds of every volume control.
constexpr std::uint32_t kMixerVolumeMinimum = 0;
constexpr std::uint32_t kMixerVolumeMaximum = 65535;

// Waits between reconnection attempts after the server was lost.
constexpr int kMixerRetryFirstMs = 250;
constexpr int kMixerRetryLongestMs = 4000;

struct MixerLineInfo {
    std::uint32_t line_id = 0;
    std::uint32_t component_type = 0;
    std::uint32_t channels = 0;     // 1 or 2
    std::uint32_t connections = 0;  // number of sources of a destination line
    std::string name;               // UTF-8, the device's description
};

struct MixerControlInfo {
    std::uint32_t control_id = 0;
    MixerControlType type = MixerControlType::Volume;
    std::string name;  // UTF-8
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
};

class Mixer {
public:
    // Called on the user-interface thread with the id of a control whose value was changed
    // by someone else. Only controls looked up through this Mixer are reported; a change
    // made through this same Mixer is not.
    using ChangeListener = std::function<void(std::uint32_t control_id)>;

    // Opens mixer device `device` (on Linux only 0 exists). Returns nullptr when there is no such
    // device or no server answers within kMixerConnectTimeoutMs.
    static std::unique_ptr<Mixer> open(std::uint32_t device, ChangeListener listener);

    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // The line of a component type, or std::nullopt for a type without a line or when the
    // server does not answer.
    std::optional<MixerLineInfo> line_by_component_type(std::uint32_t component_type);
    // Source `index` (0 .. connections - 1) of the destination line `destination_line_id`.
    std::optional<MixerLineInfo> source_line(std::uint32_t destination_line_id,
                                             std::uint32_t index);
    // The line's control of `type`; from then on its changes are reported to the listener.
    std::optional<MixerControlInfo> control_by_type(std::uint32_t line_id, MixerControlType type);

    // The control's values, `channels` of them (1 or 2; a mute switch has one). std::nullopt
    // when the control id is unknown, `channels` is out of range or the server fails.
    std::optional<std::vector<std::uint32_t>> read_values(std::uint32_t control_id,
                                                          std::uint32_t channels);
    // Writes one value per channel (1 or 2). Refused (false) when a value is outside the
    // control's bounds, the count is out of range or the server fails; nothing changes then.
    bool write_values(std::uint32_t control_id, std::span<const std::uint32_t> values);

    // True while the connection to the server stands.
    bool connected() const;

private:
    // What the backend keeps: the connection to the sound server or the system's handle.
    struct Impl;
    explicit Mixer(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> m_impl;
};

}  // namespace wavlon::platform
