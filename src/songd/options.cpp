#include "songd/options.h"

#include <charconv>
#include <cstdlib>

namespace wavlon::songd {

bool parse_listen(const std::string& text, std::string& host, int& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string name = text.substr(0, colon);
    std::string number = text.substr(colon + 1);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    } else if (name.find(':') != std::string::npos) {
        return false;  // a bare IPv6 address needs brackets
    }
    int value = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc{} || end != number.data() + number.size() || value < 0 ||
        value > 65535) {
        return false;
    }
    host = name.empty() ? "127.0.0.1" : name;
    port = value;
    return true;
}

std::string default_database_path() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data_home != nullptr && data_home[0] == '/') {
        base = data_home;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : ".") + "/.local/share";
    }
    return base + "/wavlon/songd.db";
}

std::string usage_text() {
    return "Usage: wavlon-songd [--music DIR...] [--user-music-folder] [--player-config FILE]\n"
           "                    [--listen HOST:PORT] [--db FILE] [--public-url URL]\n"
           "                    [--idle-exit SECONDS]\n"
           "\n"
           "The song search for Wavlon: indexes the music in the folders given and answers the\n"
           "player's online search with the songs whose title or artist match, then streams\n"
           "them to it.\n"
           "\n"
           "  --music DIR        a folder of music, searched recursively (MP3, Ogg, Opus, FLAC,\n"
           "                     WAV); give it once per folder\n"
           "  --user-music-folder  also the user's music folder (XDG_MUSIC_DIR of\n"
           "                     user-dirs.dirs, or ~/Music)\n"
           "  --player-config FILE  also the folder chosen in the player, read from its\n"
           "                     config.ini and followed when it changes\n"
           "                     At least one of these three is needed. A folder that does not\n"
           "                     exist yet is served once it appears; but when only --music\n"
           "                     folders are given and none exists, the service stops\n"
           "  --listen HOST:PORT where to answer (default 127.0.0.1:8765; use 0.0.0.0:8765 or\n"
           "                     [::]:8765 to serve every Wavlon on the network)\n"
           "  --db FILE          the catalogue (default $XDG_DATA_HOME/wavlon/songd.db, or\n"
           "                     ~/.local/share/wavlon/songd.db); it is rebuilt from the\n"
           "                     folders when missing or damaged, and a file that is not a\n"
           "                     catalogue is renamed, never written into\n"
           "  --public-url URL   the address players reach this service by, used in the song\n"
           "                     addresses it hands out (default: the address the player used)\n"
           "  --idle-exit SECONDS  when started by systemd through its socket, end after that\n"
           "                     many seconds without a connection; the socket starts it again\n"
           "                     (default: never; ignored when started by hand)\n"
           "  --help             this text\n"
           "\n"
           "Changes in the folders are picked up while it runs. One line per request is logged\n"
           "on standard error. A listening socket handed over by systemd (LISTEN_FDS) is used\n"
           "instead of --listen.\n";
}

std::optional<Options> parse_options(const std::vector<std::string>& arguments,
                                     std::string& error) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string value;
        std::string name = argument;
        std::size_t equals = argument.find('=');
        bool inline_value = argument.rfind("--", 0) == 0 && equals != std::string::npos;
        if (inline_value) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        if (name == "--user-music-folder" && !inline_value) {
            options.user_music_folder = true;
            continue;
        }
        bool takes_value = name == "--music" || name == "--listen" || name == "--db" ||
                           name == "--public-url" || name == "--player-config" ||
                           name == "--idle-exit";
        if (!takes_value) {
            error = "unknown option " + argument;
            return std::nullopt;
        }
        if (!inline_value) {
            if (i + 1 >= arguments.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = arguments[++i];
        }
        if (value.empty()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        if (name == "--music") {
            options.music_folders.push_back(value);
        } else if (name == "--listen") {
            if (!parse_listen(value, options.host, options.port)) {
                error = "--listen wants HOST:PORT, for example 127.0.0.1:8765, not " + value;
                return std::nullopt;
            }
        } else if (name == "--idle-exit") {
            int seconds = -1;
            auto [end, failed] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (failed != std::errc{} || end != value.data() + value.size() || seconds < 0) {
                error = "--idle-exit wants a number of seconds, not " + value;
                return std::nullopt;
            }
            options.idle_exit_seconds = seconds;
        } else if (name == "--db") {
            options.database = value;
        } else if (name == "--player-config") {
            options.player_config = value;
        } else {
            if (value.rfind("http://", 0) != 0 && value.rfind("https://", 0) != 0) {
                error = "--public-url wants an http:// or https:// address, not " + value;
                return std::nullopt;
            }
            options.public_url = value.back() == '/' ? value : value + "/";
        }
    }
    if (!options.help && options.music_folders.empty() && !options.user_music_folder &&
        options.player_config.empty()) {
        error = "a folder to serve is needed: --music, --user-music-folder or --player-config";
        return std::nullopt;
    }
    if (options.database.empty()) {
        options.database = default_database_path();
    }
    return options;
}

}  // namespace wavlon::songd
