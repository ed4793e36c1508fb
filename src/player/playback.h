// Playback: one model of what plays on 媒体播放1 and the one place that shows it.
//
// The current track is the location in 编辑框2 (none while it is empty): a track of 列表框1,
// or a song found by the search. Whether it plays, is paused or stopped, where it stands and
// how long it is are what the device reports; the model keeps no copy of them. Everything the
// window shows of playback is written by Playback::show: the caption of 按钮2 ("播 放",
// "暂 停", "继 续"), the window caption, the current track's location (编辑框2) and name
// (编辑框1), the progress slider's range and the total time (透明标签1).
//
// The transport routines, the track list, the progress tick, the found-song routine and the
// desktop's media controls all act through this model. User-interface thread only. A track
// that cannot be opened is not reported: its length reads 0 and nothing plays. When it came
// from the list, the next progress tick skips it; a found song that cannot be opened starts
// nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "runtime/text.h"

namespace wavlon::player {

enum class Direction { kPrevious, kNext };

// What the user sees of the device: nothing open and a track at its end both count as
// stopped.
enum class PlayState { kStopped, kPlaying, kPaused };

class Playback {
public:
    // A track is current from the moment one is started until another folder is listed.
    bool has_track() const;
    PlayState state() const;
    // The current track's name as 编辑框1 shows it.
    runtime::Text track_name() const;
    // What the device opened last (the current track, or what the steps moved to).
    runtime::Text opened_location() const;
    // Milliseconds: the position (-1 when nothing is open) and the length (0 when unknown).
    std::int32_t position_ms() const;
    std::int32_t length_ms() const;
    // A track with a known length is open.
    bool can_seek() const;

    // Plays the selected item of 列表框1; nothing without a selection or a location for it.
    void play_selected();
    // Plays the track before or after the selected one, wrapping at both ends, selects it and
    // shows its name. False, doing nothing, when there is no track to open.
    bool step(Direction direction);
    // Plays a found song: the window caption reads "title-singer", the address goes into
    // 编辑框2 and 编辑框4, is appended to track_paths and listed in 列表框1 as
    // "title - singer". `may_open` false: the address is not handed to the device, and the
    // song reads as one that could not be opened.
    void play_found(const runtime::Text& title, const runtime::Text& singer,
                    const runtime::Text& address, bool may_open);
    // Play when stopped, pause when playing, continue when paused; nothing when no track is
    // open.
    void play_or_pause();
    // Back to the start of the track; 按钮2 reads "播 放", the window "Wavlon".
    void stop();
    // Plays on from the position of 滑块条1 (seconds), also when paused or stopped.
    void seek_to_slider();
    // Moves 滑块条1 to `seconds` (held within 0..32767) and plays on from there.
    void seek(std::int32_t seconds);
    // Every progress tick: the slider and the elapsed time (透明标签7) follow the device; at the
    // end of the current track the next one starts, and an unplayable list track is skipped.
    void follow_device();
    // Another track list was listed: the device is closed, no track is current, 按钮2 reads
    // "播 放" and the total time "00:00".
    void forget_track();

    // Runs `observer` after every seek, whoever asked for it; an empty one stops that.
    void set_seek_observer(std::function<void()> observer);

private:
    // What one action changes of what the window shows; what is not set stays.
    // Written in this order, as the fields stand.
    struct Shown {
        std::optional<PlayState> button = {};         // 按钮2
        std::optional<std::int32_t> position_s = {};  // 滑块条1's position
        std::optional<std::int32_t> length_ms = {};   // 滑块条1's maximum and the total time
        std::optional<runtime::Text> total_time = {};
        std::optional<runtime::Text> caption = {};  // the window's
        std::optional<runtime::Text> location = {};
        std::optional<runtime::Text> name = {};
        std::optional<std::int32_t> elapsed_s = {};  // 透明标签7
    };
    void show(const Shown& shown);
    // The window caption for a state: "正在播放：" or "暂停播放：" with the selected item's
    // name, "Wavlon" when stopped.
    static runtime::Text caption(PlayState state);
    static runtime::Text selected_name();

    void play_next_at_end();
    void skip_unplayable_track();
    void follow_length();
    bool has_reached_its_end() const;
    bool could_not_be_opened() const;

    std::function<void()> m_seek_observer;
};

// The one model.
Playback& playback();

// The event routines that act on it (the main window's event table).
void play_selected_track();      // selection of 列表框1 changed by the user
void play_previous_track();      // 按钮4
void play_next_track();          // 按钮5
void toggle_play_pause();        // 按钮2
void stop_playback();            // 按钮3
void update_progress();          // 时钟3, and the device at a track's end
void seek_to_slider();           // the user moved 滑块条1
void update_playback_buttons();  // 时钟2: 按钮2 to 按钮5 usable while a track is current
void clear_folder_hint();        // every write of 编辑框2: the empty-list hint goes

}  // namespace wavlon::player
