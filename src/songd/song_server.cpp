#include "songd/song_server.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <thread>

#include "songd/form_body.h"
#include "songd/log.h"
#include "songd/track_tags.h"

namespace wavlon::songd {
namespace {

constexpr std::size_t kMaxBody = 64 * 1024;
constexpr std::size_t kReadPiece = 64 * 1024;

void append_json_string(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '%':
                out += "\\u0025";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

// An open file shared by the pieces of one answer; closed with the last of them.
class OpenFile {
public:
    explicit OpenFile(int fd) : m_fd(fd) {}
    ~OpenFile() { close(m_fd); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// "http://<host>/" from a Host header made only of host-name characters, else empty.
std::string base_from_host(const std::string& host) {
    if (host.empty() || host.size() > 255)
        return {};
    for (char c : host) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
        if (!allowed)
            return {};
    }
    return "http://" + host + "/";
}

}  // namespace

RangeAsk parse_range(std::string_view header, std::int64_t size) {
    if (header.substr(0, 6) != "bytes=")
        return {};
    header.remove_prefix(6);
    while (!header.empty() && header.front() == ' ')
        header.remove_prefix(1);
    while (!header.empty() && header.back() == ' ')
        header.remove_suffix(1);
    std::size_t dash = header.find('-');
    if (dash == std::string_view::npos || header.find(',') != std::string_view::npos)
        return {};
    auto number = [](std::string_view text, std::int64_t& out) {
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
        return !text.empty() && error == std::errc{} && end == text.data() + text.size();
    };
    std::string_view first_text = header.substr(0, dash);
    std::string_view last_text = header.substr(dash + 1);
    std::int64_t first = 0;
    std::int64_t last = size - 1;
    if (first_text.empty()) {  // the last N bytes
        std::int64_t suffix = 0;
        if (!number(last_text, suffix) || suffix < 0)
            return {};
        if (suffix == 0 || size == 0)
            return {RangeAsk::Unsatisfiable};
        first = std::max<std::int64_t>(0, size - suffix);
    } else {
        if (!number(first_text, first))
            return {};
        if (!last_text.empty()) {
            if (!number(last_text, last) || last < first)
                return {};
            last = std::min(last, size - 1);
        }
        if (first >= size)
            return {RangeAsk::Unsatisfiable};
    }
    return {RangeAsk::Part, first, last};
}

std::string search_answer_json(const std::vector<CatalogueTrack>& tracks,
                               const std::string& base_url) {
    std::string json = "{\"data\":[";
    bool first = true;
    for (const auto& track : tracks) {
        json += first ? "{" : ",{";
        first = false;
        json += "\"title\":";
        append_json_string(json, track.title);
        json += ",\"author\":";
        append_json_string(json, track.author);
        json += ",\"url\":";
        append_json_string(json, base_url + "song/" + std::to_string(track.id) + "." +
                                     playable_extension(track.path));
        json += "}";
    }
    json += "],\"code\":200}";
    return json;
}

std::string answer_search(const Catalogue& catalogue, const std::string& form_body,
                          const std::string& base_url) {
    auto fields = parse_form(form_body);
    auto field = [&](std::string_view key) -> std::optional<std::string> {
        for (const auto& [name, value] : fields) {
            if (name == key)
                return value;
        }
        return std::nullopt;
    };
    std::string keyword = to_utf8_lenient(field("input").value_or(""));
    SearchField searched = field("filter").value_or("name") == "author"
                               ? SearchField::Author
                               : SearchField::TitleOrAuthor;
    std::optional<long> page = page_number(field("page"));
    std::vector<CatalogueTrack> tracks;
    if (page && !keyword.empty())
        tracks = catalogue.search(keyword, searched, *page);
    return search_answer_json(tracks, base_url);
}

SongServer::SongServer(Catalogue& catalogue, MusicLibrary& library, ServerOptions options)
    : m_catalogue(catalogue),
      m_library(library),
      m_options(std::move(options)),
      m_server(std::make_unique<httplib::Server>()) {
    install_routes();
}

SongServer::~SongServer() {
    stop();
}

void SongServer::install_routes() {
    httplib::Server& server = *m_server;
    server.set_payload_max_length(kMaxBody);
    server.set_read_timeout(10, 0);
    server.set_write_timeout(30, 0);
    server.set_keep_alive_timeout(5);

    auto base_url = [this](const httplib::Request& request) {
        if (!m_options.public_url.empty())
            return m_options.public_url;
        std::string from_host = base_from_host(request.get_header_value("Host"));
        if (!from_host.empty())
            return from_host;
        return "http://" + m_options.host + ":" + std::to_string(m_port) + "/";
    };

    server.Post(
        "/", [this, base_url](const httplib::Request& request, httplib::Response& response) {
            response.set_content(answer_search(m_catalogue, request.body, base_url(request)),
                                 "application/json; charset=utf-8");
        });

    server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
        std::string count = std::to_string(m_catalogue.track_count());
        response.set_content(
            "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>wavlon-songd</title>"
            "</head>\n<body><h1>wavlon-songd</h1>\n<p>The song search for Wavlon: " +
                count + " tracks in the catalogue.</p></body></html>\n",
            "text/html; charset=utf-8");
    });

    server.Get(R"(/song/(\d{1,18})\.([A-Za-z0-9]{1,8}))", [this](const httplib::Request& request,
                                                                 httplib::Response& response) {
        std::int64_t id = 0;
        const std::string id_text = request.matches[1];
        std::from_chars(id_text.data(), id_text.data() + id_text.size(), id);
        auto track = m_catalogue.track(id);
        if (!track || playable_extension(track->path) != std::string(request.matches[2]) ||
            !m_library.is_servable(track->path)) {
            response.status = 404;
            response.set_content("No such song.\n", "text/plain; charset=utf-8");
            return;
        }
        int fd = open(track->path.c_str(), O_RDONLY | O_CLOEXEC);
        struct ::stat info {};
        if (fd < 0 || fstat(fd, &info) != 0) {
            if (fd >= 0)
                close(fd);
            response.status = 404;
            response.set_content("No such song.\n", "text/plain; charset=utf-8");
            return;
        }
        auto file = std::make_shared<OpenFile>(fd);
        auto size = static_cast<std::int64_t>(info.st_size);
        response.set_header("Accept-Ranges", "bytes");
        RangeAsk range = parse_range(request.get_header_value("Range"), size);
        // The range is answered here, whole: the HTTP library's own range handling would read
        // past the end of the file for ranges that reach beyond it.
        const_cast<httplib::Request&>(request).ranges.clear();
        if (range.kind == RangeAsk::Unsatisfiable) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            return;
        }
        std::int64_t first = 0;
        std::int64_t length = size;
        if (range.kind == RangeAsk::Part) {
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                     std::to_string(range.last) + "/" +
                                                     std::to_string(size));
            first = range.first;
            length = range.last - range.first + 1;
        }
        response.set_content_provider(
            static_cast<std::size_t>(length), content_type_of(playable_extension(track->path)),
            [file, first](std::size_t offset, std::size_t wanted, httplib::DataSink& sink) {
                std::string piece(std::min(wanted, kReadPiece), '\0');
                ssize_t got = pread(file->fd(), piece.data(), piece.size(),
                                    static_cast<off_t>(first + static_cast<std::int64_t>(offset)));
                if (got <= 0)
                    return false;  // the file shrank or failed: end the answer
                return sink.write(piece.data(), static_cast<std::size_t>(got));
            });
    });

    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::string line = request.remote_addr;
        line.append(" ").append(request.method).append(" ").append(printable(request.path));
        line.append(" ").append(std::to_string(response.status));
        if (request.has_header("Range"))
            line.append(" ").append(request.get_header_value("Range"));
        log_line(line);
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
            std::string what = "unknown error";
            try {
                if (error)
                    std::rethrow_exception(error);
            } catch (const std::exception& exception) {
                what = exception.what();
            } catch (...) {
            }
            log_line("request failed: " + what);
            response.status = 500;
            response.set_content("Internal error.\n", "text/plain; charset=utf-8");
        });
}

bool SongServer::bind() {
    if (m_options.port == 0) {
        m_port = m_server->bind_to_any_port(m_options.host);
        if (m_port > 0)
            return true;
    } else if (m_server->bind_to_port(m_options.host, m_options.port)) {
        m_port = m_options.port;
        return true;
    }
    log_line("cannot listen on " + m_options.host + ":" + std::to_string(m_options.port) +
             " (in use, or not an address of this machine)");
    return false;
}

void SongServer::run() {
    m_run_started = true;
    if (!m_stop_requested)
        m_server->listen_after_bind();
    m_run_done = true;
}

void SongServer::stop() {
    m_stop_requested = true;
    // A run() that is starting is waited for until it listens (or gave up), so that the stop
    // reaches it; one that has not started will return at once.
    while (m_run_started && !m_run_done && !m_server->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_server->stop();
}

}  // namespace wavlon::songd
