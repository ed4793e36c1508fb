// The service's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wavlon::songd {

struct Options {
    std::vector<std::string> music_folders;
    bool user_music_folder = false;  // also serve the user's music folder
    std::string player_config;       // also serve the folder stored in this config.ini
    std::string host = "127.0.0.1";
    int port = 8765;
    std::string database;    // empty: the default under the user's data folder
    std::string public_url;  // empty: from the Host the client used
    // Seconds without a connection after which a socket-activated service ends; 0: never.
    int idle_exit_seconds = 0;
    bool help = false;
};

// Parses argv. On a mistake returns nullopt and sets `error` to a one-line explanation.
std::optional<Options> parse_options(const std::vector<std::string>& arguments, std::string& error);

// "--listen" values: "HOST:PORT", "[V6]:PORT" or ":PORT" (loopback). False when malformed.
bool parse_listen(const std::string& text, std::string& host, int& port);

// $XDG_DATA_HOME/wavlon/songd.db, or ~/.local/share/wavlon/songd.db.
std::string default_database_path();

std::string usage_text();

}  // namespace wavlon::songd
