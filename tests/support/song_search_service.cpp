#include "support/song_search_service.h"

#include <cstdio>

#include "support/mp3_fixtures.h"

namespace wavlon::testing {

namespace {

// The code point of the UTF-8 sequence at `i`, advancing `i` past it. Malformed bytes count
// as themselves so that nothing is skipped.
char32_t next_code_point(const std::string& text, std::size_t& i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (i + extra >= text.size()) {
        extra = 0;
    }
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    i += extra + 1;
    return code;
}

void append_unit(std::string& out, unsigned unit) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", unit);
    out += escape;
}

std::string json_string(const std::string& text, bool escape_non_ascii) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            append_unit(out, c);
            ++i;
        } else if (c < 0x80 || !escape_non_ascii) {
            out += static_cast<char>(c);
            ++i;
        } else {
            const char32_t code = next_code_point(text, i);
            if (code > 0xFFFF) {
                append_unit(out, 0xD800 + ((code - 0x10000) >> 10));
                append_unit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                append_unit(out, code);
            }
        }
    }
    return out + "\"";
}

}  // namespace

SongSearchService::SongSearchService()
    : m_server([this](const HttpRequest& request) { return answer(request); }) {}

void SongSearchService::set_mode(Mode mode) {
    std::lock_guard lock(m_mutex);
    m_mode = mode;
}

void SongSearchService::set_songs_per_page(int count) {
    std::lock_guard lock(m_mutex);
    m_songs_per_page = count;
}

void SongSearchService::set_songs(std::vector<Song> songs) {
    std::lock_guard lock(m_mutex);
    m_songs = std::move(songs);
}

void SongSearchService::serve_mp3(std::string path) {
    std::lock_guard lock(m_mutex);
    m_mp3_path = std::move(path);
}

std::string SongSearchService::json_of(const std::vector<Song>& songs, bool escape_non_ascii) {
    std::string json = "{\"code\":200,\"data\":[";
    for (std::size_t i = 0; i < songs.size(); ++i) {
        json += i ? ",{" : "{";
        json += "\"title\":" + json_string(songs[i].title, escape_non_ascii);
        json += ",\"author\":" + json_string(songs[i].author, escape_non_ascii);
        json += ",\"url\":" + json_string(songs[i].url, escape_non_ascii) + "}";
    }
    return json + "]}";
}

std::optional<std::string> SongSearchService::form_value(const std::string& body,
                                                         const std::string& key) {
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('&', start);
        if (end == std::string::npos) {
            end = body.size();
        }
        const std::string pair = body.substr(start, end - start);
        if (pair.starts_with(key + "=")) {
            return pair.substr(key.size() + 1);
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::vector<Song> SongSearchService::page_songs(int page) const {
    if (m_songs) {
        return *m_songs;
    }
    std::vector<Song> songs;
    const std::string number = std::to_string(page);
    for (int i = 1; i <= m_songs_per_page; ++i) {
        const std::string index = std::to_string(i);
        songs.push_back({"歌" + number + "." + index, "歌手" + number,
                         m_server.url("/song/" + number + "/" + index + ".mp3")});
    }
    return songs;
}

HttpReply SongSearchService::answer(const HttpRequest& request) {
    std::lock_guard lock(m_mutex);
    if (request.method == "GET" && request.target == "/song.mp3" && !m_mp3_path.empty()) {
        return mp3_reply(request, read_file_bytes(m_mp3_path), true);
    }
    if (request.method != "POST") {
        return HttpReply::status(404, "Not Found");
    }
    const int page = std::atoi(form_value(request.body, "page").value_or("0").c_str());
    const std::vector<Song> songs = page_songs(page);
    switch (m_mode) {
        case Mode::kEscaped:
            return HttpReply::ok(json_of(songs, true), "application/json");
        case Mode::kRawUtf8:
            return HttpReply::ok(json_of(songs, false), "application/json; charset=utf-8");
        case Mode::kNotJson:
            return HttpReply::ok("<html><body>502 Bad Gateway</body></html>", "text/html");
        case Mode::kNoData:
            return HttpReply::ok("{\"code\":404,\"msg\":\"no songs\"}", "application/json");
        case Mode::kScript:
            return HttpReply::ok("(function(){return " + json_of(songs, true) + "})()",
                                 "application/json");
        case Mode::kTrailingPercent:
            return HttpReply::ok(json_of(songs, true) + "%", "application/json");
        case Mode::kHalfThenClosed:
        case Mode::kHalfThenReset: {
            const std::string json = json_of(songs, true);
            HttpReply reply;
            reply.raw = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                        std::to_string(json.size()) + "\r\nConnection: close\r\n\r\n" +
                        json.substr(0, json.size() / 2);
            if (m_mode == Mode::kHalfThenReset) {
                reply.mode = HttpReply::Mode::Reset;
            }
            return reply;
        }
        case Mode::kGarbageAfterHeaders: {
            HttpReply reply;
            reply.raw =
                "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: "
                "chunked\r\n\r\n\x1f\x8b\x08\xff{\"data\":[]}\r\n";
            reply.mode = HttpReply::Mode::Reset;
            return reply;
        }
    }
    return HttpReply::status(500, "Internal Server Error");
}

}  // namespace wavlon::testing
