// The system volume unit's device: the volume and mute switch of one line of the system mixer.
//
// select_line() opens two parts on the line, each with its own mixer handle: the volume
// control and the mute switch. Methods on a part that is closed return failure values: -1 for
// get_mute and get_volume, false for set_mute and set_volume; the bounds keep their last
// values (0 until a line was opened).
//
// Events: kVolumeChanged and kMuteChanged reach the event callback when another program (or
// another handle) changes the selected line's volume or mute. Changes made through this
// device raise nothing. Call everything on the user-interface thread; events arrive there too,
// through the Qt event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/mixer.h"
#include "runtime/text.h"

namespace wavlon::units {

class SysVolumeDevice;

struct MixerVolumeControl {
    runtime::Text name;
    std::uint32_t channels = 0;
    std::uint32_t control_id = 0;
    SysVolumeDevice* owner = nullptr;
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    std::unique_ptr<platform::Mixer> mixer;  // null while closed
};

struct MixerMuteControl {
    std::uint32_t control_id = 0;
    runtime::Text name;
    std::unique_ptr<platform::Mixer> mixer;  // null while closed
    SysVolumeDevice* owner = nullptr;
};

class SysVolumeDevice {
public:
    static constexpr int kVolumeChanged = 0;
    static constexpr int kMuteChanged = 1;
    using EventCallback = std::function<void(int event)>;

    SysVolumeDevice();
    ~SysVolumeDevice();
    SysVolumeDevice(const SysVolumeDevice&) = delete;
    SysVolumeDevice& operator=(const SysVolumeDevice&) = delete;

    // The callback may destroy this device or select another line.
    void set_event_callback(EventCallback callback);

    // Opens both parts on the line of `component_type` (4 speakers, 4104 wave-out of the
    // speakers, 4098-4102 and 4106 inputs). 1 both opened, 0 neither, -1 only the mute
    // switch, -2 only the volume control. Any other type closes both parts and gives 0.
    std::int32_t select_line(std::int32_t component_type);

    // 0 or 1; -1 when the mute part is closed or the mixer refuses.
    std::int32_t get_mute();
    bool set_mute(bool on);

    std::int32_t get_max_volume() const;
    std::int32_t get_min_volume() const;

    // 1 with the first channel's value in `left` and, on a two-channel line, the second in
    // `right` (-1 on a one-channel line). -1 on failure: both stay untouched when the volume
    // part is closed and become -1 when the mixer refuses.
    std::int32_t get_volume(std::int32_t& left, std::int32_t& right);
    // Writes left to the first channel and right to the second (a one-channel line takes left
    // alone). False when the part is closed, the mixer refuses, or a value lies outside the
    // bounds; the line is unchanged then.
    bool set_volume(std::int32_t left, std::int32_t right);

    const MixerVolumeControl& volume_control() const { return m_volume; }
    const MixerMuteControl& mute_control() const { return m_mute; }

private:
    bool open_volume(std::uint32_t destination, std::uint32_t source);
    bool open_mute(std::uint32_t destination, std::uint32_t source);
    std::unique_ptr<platform::Mixer> open_mixer();
    void on_control_changed(std::uint32_t control_id);

    MixerVolumeControl m_volume;
    MixerMuteControl m_mute;
    EventCallback m_callback;
};

}  // namespace wavlon::units
