// The HTTP side of the service: the search the player posts, a page about the service, and
// the music files themselves (with byte ranges, so the player can seek in a found song).
//
//   POST /                  form "input=…&filter=name|author&type=…&page=N" → JSON page
//   GET  /                  a short HTML page naming the service and the catalogue's size
//   GET|HEAD /song/<id>.<ext>  the file with that catalogue id; 206/416 for ranges
//
// Built for an exposed network: connections are served by a few event-driven threads
// (libmicrohttpd), so slow or idle clients hold a connection slot, never a thread. A request's
// head and body must arrive within kRequestSeconds of the connection opening or the previous
// answer ending; a kept-alive connection is closed after kIdleSeconds without a byte. Bodies
// over 64 KiB get 413, compressed bodies 415, two Content-Length headers 400, more than
// kMaxHeaders headers 431, and a Host that does not name this service 421. Every request gives
// one log line.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "songd/catalogue.h"
#include "songd/music_library.h"
#include "songd/request_rules.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace wavlon::songd {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 8765;  // 0: any free port (tests)
    // Base of the song addresses handed out, ending in "/". Empty: "http://" + the Host the
    // client reached the service by, when it names this machine; else the listen address.
    std::string public_url;
    // A listening socket handed over by the service manager, used as it is (host and port are
    // then ignored); -1: bind host:port.
    int listen_fd = -1;
    // When above 0, run() returns once no connection was open for that many seconds.
    int idle_exit_seconds = 0;
};

constexpr int kRequestSeconds = 10;
constexpr int kIdleSeconds = 5;
constexpr int kMaxConnections = 1000;
constexpr int kMaxHeaders = 64;

// The JSON answer for one page of tracks; `base_url` ends in "/". Every "%" in a text is
// written as \u0025: the player percent-decodes the whole answer before parsing it, and a
// title such as "100%AC" must reach it unchanged.
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

    // Binds the listening socket (or takes the one handed over); false, with a log line such
    // as "cannot listen on 127.0.0.1:8765: address in use ...", when the address cannot be used.
    bool bind();
    int port() const { return m_port; }
    // Serves until stop(), or until the idle time of the options passed; call after bind().
    // False when the server could not start.
    bool run();
    // True when run() ended because the service was idle.
    bool ended_idle() const { return m_ended_idle; }
    // Ends run(), also one that has not started yet (from any thread).
    void stop();

private:
    struct Handlers;
    friend struct Handlers;
    struct Tracked {
        int fd = -1;
        bool awaiting_request = true;  // a request head or body is due by `deadline`
        std::chrono::steady_clock::time_point deadline;
    };

    // Closes connections whose request is overdue; true when the service has been idle long
    // enough to end.
    bool watch_connections();
    bool host_allowed(const char* host);
    std::string base_url(MHD_Connection* connection, const char* host) const;

    Catalogue& m_catalogue;
    MusicLibrary& m_library;
    ServerOptions m_options;
    int m_listen_fd = -1;
    int m_port = 0;
    std::vector<int> m_host_ports;
    std::mutex m_names_mutex;
    std::vector<std::string> m_host_names;
    std::chrono::steady_clock::time_point m_names_read;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop_requested = false;
    std::unordered_map<MHD_Connection*, Tracked> m_connections;
    std::chrono::steady_clock::time_point m_last_activity;
    std::atomic<bool> m_ended_idle{false};
};

}  // namespace wavlon::songd
