// Playing a file or folder handed to the program from outside: its command line ("Open with"
// in a file manager), a second start, or a desktop's media controls (OpenUri).
//
// User-interface thread only.
#pragma once

#include "runtime/text.h"

namespace wavlon::player {

// A music file: the track list shows its folder by the usual listing rules and the file
// plays, exactly as after a click on its item. A folder: the list shows it and its first
// track plays. The stored music folder stays as it is (the user chose nothing in the folder
// dialog). `location` is an absolute path.
//
// False, changing nothing, for anything else: a name that does not exist, a file the listing
// would not show (not .mp3), a folder without tracks.
bool play_location(const runtime::Text& location);

}  // namespace wavlon::player
