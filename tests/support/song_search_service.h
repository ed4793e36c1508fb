// A song-search service on 127.0.0.1 for tests: answers the search's POST form requests
// ("input=...&filter=name&type=netease&page=N") with {"data":[{"title":..,"author":..,"url":..}]}
// and records every request. GET requests for "/song.mp3" are answered with the MP3 file set
// by serve_mp3, so a found song can really be played.
//
// Songs are UTF-8. Unless set_songs fixed them, page N brings `songs_per_page` songs named
// "歌<N>.<i>" by "歌手<N>" at <url>song/<N>/<i>.mp3 (i from 1).
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/local_http_server.h"

namespace wavlon::testing {

struct Song {
    std::string title;
    std::string author;
    std::string url;
};

class SongSearchService {
public:
    enum class Mode {
        kEscaped,          // JSON with every non-ASCII character as \uXXXX, no charset
        kRawUtf8,          // JSON in raw UTF-8, "Content-Type: application/json; charset=utf-8"
        kNotJson,          // an HTML error page
        kNoData,           // a JSON object without "data"
        kScript,           // script text that would list songs if it were run, not JSON
        kTrailingPercent,  // the JSON answer followed by a lone "%"
        // Answers broken off after the headers:
        kHalfThenClosed,       // half the JSON of a longer Content-Length, then the end
        kHalfThenReset,        // half the JSON, then the connection is reset
        kGarbageAfterHeaders,  // a chunked answer whose first chunk size is not a number
    };

    SongSearchService();

    void set_mode(Mode mode);
    void set_songs_per_page(int count);
    // Every page brings exactly these songs.
    void set_songs(std::vector<Song> songs);
    // The file answered for GET /song.mp3.
    void serve_mp3(std::string path);

    std::string url(const std::string& path = "/") const { return m_server.url(path); }
    std::vector<HttpRequest> requests() const { return m_server.requests(); }

    // The JSON text of a page of songs, non-ASCII escaped or raw.
    static std::string json_of(const std::vector<Song>& songs, bool escape_non_ascii);
    // The value of `key` in a form body, as sent (still percent-encoded).
    static std::optional<std::string> form_value(const std::string& body, const std::string& key);

private:
    HttpReply answer(const HttpRequest& request);
    std::vector<Song> page_songs(int page) const;

    mutable std::mutex m_mutex;
    Mode m_mode = Mode::kEscaped;
    int m_songs_per_page = 2;
    std::optional<std::vector<Song>> m_songs;
    std::string m_mp3_path;
    LocalHttpServer m_server;  // last: stops before the settings above go
};

}  // namespace wavlon::testing
