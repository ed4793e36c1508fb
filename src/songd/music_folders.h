// Which folders the service serves: those named on the command line, the user's music folder,
// and the folder chosen in the player (stored in its config.ini), followed while it runs.
//
// The player's config.ini is an INI file in GB18030 (GBK) bytes; the folder is the value of
// the key "路径" in the section "config". The user's music folder is XDG_MUSIC_DIR from
// $XDG_CONFIG_HOME/user-dirs.dirs (what `xdg-user-dir MUSIC` reads), or else $HOME/Music; a
// setting that names the home folder itself means "none" there, so $HOME/Music is used too.
//
// Threads: one (the indexer's).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "songd/catalogue.h"

namespace wavlon::songd {

struct FolderSources {
    std::vector<std::string> folders;  // given by name
    bool user_music = false;
    std::string player_config;  // empty: none
};

class MusicFolders {
public:
    explicit MusicFolders(FolderSources sources);

    // Every folder wanted now, in order and without repeats (existing or not). Reads the
    // player's config again only when its size or modification time changed.
    std::vector<std::string> wanted();
    // Folders whose changes may change wanted(): the player config's folder, and for each
    // wanted folder that does not exist the nearest folder above it that does.
    std::vector<std::string> folders_to_watch() const;
    // True when a folder of the last wanted() does not exist (then it is looked for now and
    // then too, in case its appearance was not seen).
    bool any_missing() const;

private:
    FolderSources m_sources;
    std::optional<FileStamp> m_config_stamp;
    std::string m_config_folder;  // from the player's config, as last read
    std::vector<std::string> m_wanted;
};

// The value of `key` in `[section]` of INI text (section and key compared byte for byte after
// ASCII case folding), white space around it removed; nullopt when absent.
std::optional<std::string> ini_value(const std::string& text, const std::string& section,
                                     const std::string& key);

// The folder stored in the player's config.ini at `path` as a file-system path; empty when
// the file or the key is missing.
std::string player_config_folder(const std::string& path);

// The user's music folder (see above).
std::string user_music_folder();

}  // namespace wavlon::songd
