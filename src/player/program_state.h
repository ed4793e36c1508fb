// The values the program keeps for itself between event routines, in one object.
//
// Everything else the program keeps lives in unit properties of the main window (see
// window_units.h): the caption of 按钮2 is the playback state, the content of 编辑框2 the
// current track's location, the caption of 按钮9 the countdown state, the caption of 按钮8 the
// search mode. User-interface thread only; the object lives as long as the process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/array.h"
#include "runtime/text.h"

namespace wavlon::player {

struct ProgramState {
    // Location of every listed track (local paths and addresses of found songs). Entry n
    // belongs to the 列表框1 item whose value is n. Filled by the folder scan, appended to by
    // a played found song, emptied when another folder is chosen.
    runtime::Array<runtime::Text> track_paths;

    // Remaining seconds of the power-off countdown; may go below zero while a power-off is
    // refused.
    std::int32_t countdown_seconds = 0;

    // The two below are the playback model's (playback.h); nothing else reads or writes them.
    // Set while the current track was started from the track list (a click, next, previous or
    // the move at a track's end): such a track that cannot be opened is skipped on the next
    // progress tick. A found song started from the search results is never skipped that way.
    bool skip_if_unplayable = false;

    // Tracks of the list skipped one after another because none could be opened. When it
    // reaches the list's length every track has failed once, and playback stops.
    std::int32_t unplayable_in_a_row = 0;

    // The result page the last search request asked for. Every click adds 1, a new search
    // sets 1.
    std::int32_t search_page = 0;

    // The song-search service's address when it is not the built-in one (tests point the
    // search at a local service); empty for the built-in address.
    std::string search_service_url;

    // The service address the user set in config.ini, read at start-up; it wins over both
    // addresses above. Empty when none (or none usable) is set.
    std::string configured_service_url;
};

// The one program state. Every value starts as at program start.
ProgramState& program_state();

// Every value back to what it is at program start, for a run that starts over (a test).
void reset_program_state();

// Entry `index` of track_paths, or nullopt when the index lies outside it, so that no item
// value, selection or timer tick can reach past the list.
std::optional<runtime::Text> track_path(std::int64_t index);

}  // namespace wavlon::player
