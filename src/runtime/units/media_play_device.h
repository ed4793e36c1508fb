// The media player unit's device: one media-control alias and the nine operations the player
// routines use, each a fixed short sequence of media-control commands.
//
// Results follow the unit's contract: logical results are true on success; get_state gives
// 1 playing, 2 stopped, 3 paused, 0 otherwise; lengths and positions are milliseconds, with
// 0 (length) and -1 (position) for failure. Nothing is ever shown or raised.
//
// Thread: the user-interface thread only. open blocks until the source is ready or failed
// (see platform/media_control.h); the other operations return at once.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/text.h"

namespace wavlon::units {

// The unit's state, in the order the runtime stores it.
struct MciDevice {
    std::int32_t video_window = 0;  // window a video device draws into, 0 = none
    runtime::Text alias;            // 32 hexadecimal digits; empty when no id could be made
    std::int32_t video_flag = 0;    // 1 when the last opened name is not audio by extension
    std::int32_t pause_flag = 0;    // flipped by toggle_pause, cleared by play
    runtime::Text extension;        // lower-cased, at most three characters
    runtime::Text file_name;        // the name last given to open
};

class MediaPlayDevice {
public:
    // Tells whether a window handle names an existing window.
    using WindowCheck = std::function<bool(std::int32_t)>;

    // A device with a fresh alias from a new unique id.
    MediaPlayDevice();
    // A device with the given alias (an empty alias makes every operation fail).
    explicit MediaPlayDevice(runtime::Text alias);
    // Closes the device.
    ~MediaPlayDevice();
    MediaPlayDevice(const MediaPlayDevice&) = delete;
    MediaPlayDevice& operator=(const MediaPlayDevice&) = delete;

    // Without a check every handle counts as no window, so play never sends a window command.
    void set_window_check(WindowCheck check) { m_window_check = std::move(check); }

    // `file`: a local path or an http(s) address, GB18030.
    bool open(const runtime::Text& file);
    bool close();
    std::int32_t get_state();
    std::int32_t get_length();
    std::int32_t get_position();
    std::int32_t get_length_seconds();
    // From the current position when `position` is -1, else from `position` ms.
    bool play(std::int32_t position, std::optional<std::int32_t> window = std::nullopt);
    bool toggle_pause();
    bool stop();

    const MciDevice& record() const { return m_record; }

    // `listener` runs on the user-interface thread, from its event loop, soon after any open
    // device has played to its end (a stop or a seek does not count). The device's next query
    // shows the end. One listener for all devices; an empty function removes it.
    static void set_end_listener(std::function<void()> listener);

    // The media-control device type for a lower-cased extension.
    static std::string_view device_type_for(runtime::TextView extension);
    // The extension as open derives it from a name: up to three characters after the last
    // ".", or the first three without one, ASCII letters lower-cased.
    static runtime::Text extension_of(const runtime::Text& file);

private:
    // Sends "<verb> <alias><rest>".
    bool send(std::string_view verb, std::string_view rest = {}, std::string* answer = nullptr);

    MciDevice m_record;
    WindowCheck m_window_check;
};

}  // namespace wavlon::units
