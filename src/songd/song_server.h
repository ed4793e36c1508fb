// The HTTP side of the service: the search the player posts, a page about the service, and
// the music files themselves (with byte ranges, so the player can seek in a found song).
//
//   POST /                  form "input=…&filter=name|author&type=…&page=N" → JSON page
//   GET  /                  a short HTML page naming the service and the catalogue's size
//   GET|HEAD /song/<id>.<ext>  the file with that catalogue id; 206/416 for ranges
//
// Requests are served by a pool of threads; the catalogue answers them concurrently. Bodies
// over 64 KiB are refused with 413. Every request gives one log line.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "songd/catalogue.h"
#include "songd/music_library.h"

namespace httplib {
class Server;
}

namespace wavlon::songd {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8765;  // 0: any free port (tests)
    // Base of the song addresses handed out, ending in "/". Empty: "http://" + the Host the
    // client reached the service by (what a player on the LAN used), else the listen address.
    std::string public_url;
};

// The JSON answer for one page of tracks; `base_url` ends in "/". Every "%" in a text is
// written as \u0025: the player percent-decodes the whole answer before parsing it, and a
// title such as "100%AC" must reach it unchanged.
// What a Range header asks of a file of `size` bytes. One range is served as asked (clamped
// to the file); several ranges, other units and malformed values are answered with the whole
// file, which HTTP allows.
struct RangeAsk {
    enum Kind { Whole, Part, Unsatisfiable } kind = Whole;
    std::int64_t first = 0;
    std::int64_t last = 0;  // inclusive
};
RangeAsk parse_range(std::string_view header, std::int64_t size);

std::string search_answer_json(const std::vector<CatalogueTrack>& tracks,
                               const std::string& base_url);

// The answer to a search form body (as posted), with song addresses under `base_url`.
std::string answer_search(const Catalogue& catalogue, const std::string& form_body,
                          const std::string& base_url);

class SongServer {
public:
    SongServer(Catalogue& catalogue, MusicLibrary& library, ServerOptions options);
    ~SongServer();
    SongServer(const SongServer&) = delete;
    SongServer& operator=(const SongServer&) = delete;

    // Binds the listening socket; false (with a log line) when the address cannot be used.
    bool bind();
    int port() const { return m_port; }
    // Serves until stop(); call after bind().
    void run();
    // Ends run(), also one that has not started yet (from any thread).
    void stop();

private:
    void install_routes();

    Catalogue& m_catalogue;
    MusicLibrary& m_library;
    ServerOptions m_options;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    // stop() may come before run() has started listening, or while it starts.
    std::atomic<bool> m_stop_requested{false};
    std::atomic<bool> m_run_started{false};
    std::atomic<bool> m_run_done{false};
};

}  // namespace wavlon::songd
