// The music folder and the track list: choosing the folder, remembering it in config.ini,
// and listing its .mp3 files in 列表框1 and track_paths.
//
// config.ini holds one item: section "config", key "路径", the folder as the dialog returned
// it (GB18030). It is written only when the user picks a folder; nothing else writes it. It
// lives beside the program, or in the user's settings folder when the program's folder
// refuses writes (runtime/config_location.h). User-interface thread only.
#pragma once

#include <vector>

#include "runtime/text.h"

namespace wavlon::player {

// The value of `key` in config.ini's section "config"; the empty text when missing.
runtime::Text read_setting(const runtime::Text& key);

// The stored music folder; the empty text when config.ini, its section or its key is missing.
runtime::Text read_stored_music_folder();
// Stores the music folder in config.ini: beside the program, or in the user's settings folder
// when the program's folder refuses the write. False when neither could be written.
bool store_music_folder(const runtime::Text& folder);

// What a file name shows as in the track list: the part after the last "/" (all of it when
// there is none), up to its first "." ("01.Intro.mp3" shows as "01", ".mp3" as "").
runtime::Text display_name(const runtime::Text& file_name);

// Appends the folder's .mp3 files (matched case-insensitively, folders skipped, in the file
// search's order) to 列表框1 and track_paths; each item's value is its entry's index. Neither
// list is cleared first. An empty folder text lists nothing: the empty text means "no folder
// chosen", never the root of the file system.
void scan_music_folder(const runtime::Text& folder);

// The names of the folder's .mp3 files (matched case-insensitively, folders skipped), in the
// file search's order; none for the empty folder text.
std::vector<runtime::Text> music_files(const runtime::Text& folder);

// Appends these files of the folder to 列表框1 and track_paths, as scan_music_folder does.
void list_music_files(const runtime::Text& folder, const std::vector<runtime::Text>& names);

// The list rebuilt from these files of the folder, as after a folder was chosen: the media
// device closed, the total time reset, no track current, 按钮2 "播 放". The stored folder and
// the mute switch are left alone.
void replace_track_list(const runtime::Text& folder, const std::vector<runtime::Text>& names);

// Start-up: lists the stored folder's tracks.
void load_stored_music_folder();

// Start-up hint: 透明标签3 asks for a folder while 列表框1 is empty, and is empty otherwise.
void show_folder_hint();

// 按钮1 clicked. Shows the folder dialog first; a cancelled dialog changes nothing. Otherwise
// closes the media device, resets the total time, rebuilds the list from the chosen folder,
// stores the folder, forgets the current track and switches the system mute off.
void choose_music_folder();

}  // namespace wavlon::player
