#include "songd/song_server.h"

#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "songd/form_body.h"
#include "songd/listen_socket.h"
#include "songd/log.h"
#include "songd/track_tags.h"

namespace wavlon::songd {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kMaxBody = 64 * 1024;
// Enough threads that a search never waits behind a file being opened or a catalogue read.
constexpr unsigned kThreads = 4;
// A paused player stops reading its song; its connection may wait that long.
constexpr unsigned kSongIdleSeconds = 600;

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

// One request on its way through the handler, and what its log line tells.
struct Request {
    std::string method;
    std::string path;
    std::string remote;
    std::string range;
    std::string keyword;
    std::string body;
    int status = 0;
    bool body_too_large = false;
    // A refusal answered once the body is read: the client then sees it, where closing with
    // its body unread would reset the connection first.
    int deferred_status = 0;
    std::string deferred_text;
};

struct HeaderCount {
    int all = 0;
    int content_length = 0;
    bool transfer_encoding = false;
};

MHD_Result count_header(void* cls, MHD_ValueKind, const char* key, const char*) {
    auto& count = *static_cast<HeaderCount*>(cls);
    ++count.all;
    if (strcasecmp(key, "Content-Length") == 0) {
        ++count.content_length;
    }
    if (strcasecmp(key, "Transfer-Encoding") == 0) {
        count.transfer_encoding = true;
    }
    return MHD_YES;
}

const char* header(MHD_Connection* connection, const char* name) {
    return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
}

std::string numeric_address(const sockaddr* address) {
    if (address == nullptr) {
        return "?";
    }
    char host[NI_MAXHOST];
    socklen_t length = address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) {
        return "?";
    }
    return host;
}

MHD_Result send_answer(MHD_Connection* connection, Request& request, int status,
                       MHD_Response* response, const char* type) {
    if (type != nullptr) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    }
    request.status = status;
    MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(status), response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result send_text(MHD_Connection* connection, Request& request, int status,
                     const std::string& body, const char* type = "text/plain; charset=utf-8") {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    return send_answer(connection, request, status, response, type);
}

// "/song/<id>.<ext>" → id and extension; false for any other path.
bool song_path(const std::string& path, std::int64_t& id, std::string& extension) {
    constexpr std::string_view prefix = "/song/";
    if (path.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    std::size_t dot = path.find('.', prefix.size());
    if (dot == std::string::npos || dot == prefix.size() || dot - prefix.size() > 18) {
        return false;
    }
    auto [end, error] = std::from_chars(path.data() + prefix.size(), path.data() + dot, id);
    extension = path.substr(dot + 1);
    auto alphanumeric = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    return error == std::errc{} && end == path.data() + dot && id >= 0 && !extension.empty() &&
           extension.size() <= 8 && std::all_of(extension.begin(), extension.end(), alphanumeric);
}

}  // namespace

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
            if (name == key) {
                return value;
            }
        }
        return std::nullopt;
    };
    std::string keyword = to_utf8_lenient(field("input").value_or(""));
    SearchField searched = field("filter").value_or("name") == "author"
                               ? SearchField::Author
                               : SearchField::TitleOrAuthor;
    std::optional<long> page = page_number(field("page"));
    std::vector<CatalogueTrack> tracks;
    if (page && !keyword.empty()) {
        tracks = catalogue.search(keyword, searched, *page);
    }
    return search_answer_json(tracks, base_url);
}

// The callbacks libmicrohttpd calls, on its own threads.
struct SongServer::Handlers {
    // The request's head checked (limits, Host, encodings): MHD_YES to go on, or the refusal
    // queued.
    static MHD_Result check_head(SongServer& server, MHD_Connection* connection, Request& request);
    static MHD_Result refuse(SongServer& server, MHD_Connection* connection, Request& request,
                             int status, const std::string& text);
    // The request is in: no deadline for it any more.
    static void request_received(SongServer& server, MHD_Connection* connection);
    static MHD_Result answer(SongServer& server, MHD_Connection* connection, Request& request);
    static MHD_Result answer_song(SongServer& server, MHD_Connection* connection, Request& request,
                                  std::int64_t id, const std::string& extension);

    static MHD_Result on_request(void* cls, MHD_Connection* connection, const char* url,
                                 const char* method, const char*, const char* upload_data,
                                 size_t* upload_data_size, void** request_slot) {
        auto& server = *static_cast<SongServer*>(cls);
        auto* request = static_cast<Request*>(*request_slot);
        if (request == nullptr) {
            request = new Request;
            *request_slot = request;
            request->method = method;
            request->path = url;
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
            request->remote = numeric_address(info != nullptr ? info->client_addr : nullptr);
            if (const char* range = header(connection, MHD_HTTP_HEADER_RANGE)) {
                request->range = range;
            }
            return check_head(server, connection, *request);
        }
        if (request->status != 0) {  // refused at its head; whatever follows is dropped
            return MHD_YES;
        }
        if (*upload_data_size > 0) {
            // The body of a request refused already, or grown too large, is read and dropped.
            bool keep = request->deferred_status == 0 && !request->body_too_large;
            if (keep && request->body.size() + *upload_data_size > kMaxBody) {
                request->body_too_large = true;
                request->body.clear();
            } else if (keep) {
                request->body.append(upload_data, *upload_data_size);
            }
            *upload_data_size = 0;
            return MHD_YES;
        }
        request_received(server, connection);
        return answer(server, connection, *request);
    }

    static void on_completed(void* cls, MHD_Connection* connection, void** request_slot,
                             MHD_RequestTerminationCode code) {
        auto& server = *static_cast<SongServer*>(cls);
        std::unique_ptr<Request> request(static_cast<Request*>(*request_slot));
        *request_slot = nullptr;
        if (request != nullptr) {
            std::string line = request->remote + " " + request->method + " " +
                               printable(request->path) + " " + std::to_string(request->status);
            if (!request->range.empty()) {
                line += " range " + request->range;
            }
            if (!request->keyword.empty()) {
                line += " keyword " + printable(request->keyword);
            }
            if (code != MHD_REQUEST_TERMINATED_COMPLETED_OK) {
                line += code == MHD_REQUEST_TERMINATED_TIMEOUT_REACHED ? " (timed out)"
                                                                       : " (not completed)";
            }
            log_line(line);
        }
        // The next request on this connection is due within the same bound as a first one.
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT,
                                  static_cast<unsigned>(kIdleSeconds));
        std::lock_guard lock(server.m_mutex);
        server.m_last_activity = Clock::now();
        auto it = server.m_connections.find(connection);
        if (it != server.m_connections.end()) {
            it->second.awaiting_request = true;
            it->second.deadline = Clock::now() + std::chrono::seconds(kRequestSeconds);
        }
    }

    static void on_connection(void* cls, MHD_Connection* connection, void**,
                              MHD_ConnectionNotificationCode code) {
        auto& server = *static_cast<SongServer*>(cls);
        std::lock_guard lock(server.m_mutex);
        server.m_last_activity = Clock::now();
        if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            server.m_connections.erase(connection);
            return;
        }
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        Tracked tracked;
        tracked.fd = info != nullptr ? info->connect_fd : -1;
        tracked.deadline = Clock::now() + std::chrono::seconds(kRequestSeconds);
        // Each answer leaves in one write; nothing waits for the client's acknowledgement.
        int one = 1;
        setsockopt(tracked.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        server.m_connections[connection] = tracked;
    }

    static void on_log(void*, const char* format, va_list arguments) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, arguments);
        std::string_view line = text;
        while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        log_line(std::string("http: ").append(line));
    }
};

SongServer::SongServer(Catalogue& catalogue, MusicLibrary& library, ServerOptions options)
    : m_catalogue(catalogue), m_library(library), m_options(std::move(options)) {}

SongServer::~SongServer() {
    stop();
    if (m_listen_fd >= 0) {
        close(m_listen_fd);
    }
}

bool SongServer::bind() {
    std::string error;
    m_listen_fd = m_options.listen_fd >= 0
                      ? m_options.listen_fd
                      : open_listen_socket(m_options.host, m_options.port, error);
    std::string host;
    if (m_listen_fd < 0 || !socket_address(m_listen_fd, host, m_port)) {
        log_line(error.empty() ? "cannot use the listening socket" : error);
        return false;
    }
    m_options.host = host;
    m_host_ports = {m_port};
    m_host_names = own_host_names();
    m_names_read = Clock::now();
    std::string public_name;
    int public_port = 0;
    std::string_view url = m_options.public_url;
    if (std::size_t scheme = url.find("://"); scheme != std::string_view::npos) {
        std::string_view authority = url.substr(scheme + 3);
        authority = authority.substr(0, authority.find('/'));
        if (split_host(authority, public_name, public_port)) {
            bool https = url.substr(0, scheme) == "https";
            m_host_ports.push_back(authority.find("]:") == std::string_view::npos &&
                                           authority.find(':') == std::string_view::npos && https
                                       ? 443
                                       : public_port);
        }
    }
    return true;
}

bool SongServer::host_allowed(const char* host) {
    if (host == nullptr) {  // HTTP/1.0 without a Host: the address it connected to is used
        return true;
    }
    std::lock_guard lock(m_names_mutex);
    if (host_names_us(host, m_host_names, m_host_ports)) {
        return true;
    }
    // The machine may have gained an address (a network came up) since the names were read.
    if (Clock::now() - m_names_read < std::chrono::seconds(10)) {
        return false;
    }
    m_host_names = own_host_names();
    m_names_read = Clock::now();
    return host_names_us(host, m_host_names, m_host_ports);
}

std::string SongServer::base_url(MHD_Connection* connection, const char* host) const {
    if (!m_options.public_url.empty()) {
        return m_options.public_url;
    }
    if (host != nullptr) {
        return "http://" + std::string(host) + "/";
    }
    // The local address this connection reached, which a wildcard listen address is not.
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    std::string local = m_options.host;
    int port = m_port;
    if (info != nullptr) {
        socket_address(info->connect_fd, local, port);
    }
    if (local.find(':') != std::string::npos) {
        local = "[" + local + "]";
    }
    return "http://" + local + ":" + std::to_string(port) + "/";
}

MHD_Result SongServer::Handlers::check_head(SongServer& server, MHD_Connection* connection,
                                            Request& request) {
    HeaderCount count;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, count_header, &count);
    const char* encoding = header(connection, MHD_HTTP_HEADER_CONTENT_ENCODING);
    const char* length = header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    std::int64_t announced = 0;
    if (length != nullptr) {
        std::from_chars(length, length + std::strlen(length), announced);
    }
    if (count.all > kMaxHeaders) {
        return refuse(server, connection, request, 431, "Too many header fields.\n");
    }
    if (count.content_length > 1 || (count.content_length == 1 && count.transfer_encoding)) {
        return refuse(server, connection, request, 400,
                      "One Content-Length at most, and not chunked.\n");
    }
    if (announced > static_cast<std::int64_t>(kMaxBody)) {
        return refuse(server, connection, request, 413, "The body is too large.\n");
    }
    if (!server.host_allowed(header(connection, MHD_HTTP_HEADER_HOST))) {
        request.deferred_status = 421;
        request.deferred_text = "This service is not reached by that name.\n";
    } else if (encoding != nullptr && strcasecmp(encoding, "identity") != 0) {
        // Compressed bodies are not unpacked: a few kilobytes of gzip can stand for gigabytes.
        request.deferred_status = 415;
        request.deferred_text = "Compressed bodies are not accepted.\n";
    }
    return MHD_YES;
}

MHD_Result SongServer::Handlers::refuse(SongServer& server, MHD_Connection* connection,
                                        Request& request, int status, const std::string& text) {
    request_received(server, connection);
    MHD_Response* response = MHD_create_response_from_buffer(
        text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    return send_answer(connection, request, status, response, "text/plain; charset=utf-8");
}

void SongServer::Handlers::request_received(SongServer& server, MHD_Connection* connection) {
    std::lock_guard lock(server.m_mutex);
    auto it = server.m_connections.find(connection);
    if (it != server.m_connections.end()) {
        it->second.awaiting_request = false;
    }
}

MHD_Result SongServer::Handlers::answer(SongServer& server, MHD_Connection* connection,
                                        Request& request) {
    if (request.deferred_status != 0) {
        return refuse(server, connection, request, request.deferred_status, request.deferred_text);
    }
    const char* host = header(connection, MHD_HTTP_HEADER_HOST);
    bool get = request.method == "GET" || request.method == "HEAD";
    if (request.path == "/") {
        if (request.method == "POST") {
            if (request.body_too_large) {
                return refuse(server, connection, request, 413, "The body is too large.\n");
            }
            request.keyword = form_value(request.body, "input").value_or("");
            return send_text(
                connection, request, 200,
                answer_search(server.m_catalogue, request.body, server.base_url(connection, host)),
                "application/json; charset=utf-8");
        }
        if (get) {
            std::string count = std::to_string(server.m_catalogue.track_count());
            return send_text(
                connection, request, 200,
                "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>wavlon-songd</title>"
                "</head>\n<body><h1>wavlon-songd</h1>\n<p>The song search for Wavlon: " +
                    count + " tracks in the catalogue.</p></body></html>\n",
                "text/html; charset=utf-8");
        }
        return send_text(connection, request, 405, "Not allowed here.\n");
    }
    std::int64_t id = 0;
    std::string extension;
    if (!song_path(request.path, id, extension)) {
        return send_text(connection, request, 404, "Not found.\n");
    }
    if (!get) {
        return send_text(connection, request, 405, "Not allowed here.\n");
    }
    return answer_song(server, connection, request, id, extension);
}

MHD_Result SongServer::Handlers::answer_song(SongServer& server, MHD_Connection* connection,
                                             Request& request, std::int64_t id,
                                             const std::string& extension) {
    auto track = server.m_catalogue.track(id);
    int fd = -1;
    struct ::stat info {};
    if (track && playable_extension(track->path) == extension &&
        server.m_library.is_servable(track->path)) {
        fd = open(track->path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return send_text(connection, request, 404, "No such song.\n");
    }
    auto size = static_cast<std::int64_t>(info.st_size);
    RangeAsk range = parse_range(request.range, size);
    MHD_Response* response = nullptr;
    int status = 200;
    if (range.kind == RangeAsk::Unsatisfiable) {
        close(fd);
        status = 416;
        response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE,
                                ("bytes */" + std::to_string(size)).c_str());
    } else {
        std::int64_t first = range.kind == RangeAsk::Part ? range.first : 0;
        std::int64_t last = range.kind == RangeAsk::Part ? range.last : size - 1;
        // The response owns the descriptor from here and closes it.
        response = MHD_create_response_from_fd_at_offset64(
            static_cast<std::uint64_t>(last - first + 1), fd, static_cast<std::uint64_t>(first));
        if (range.kind == RangeAsk::Part) {
            status = 206;
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE,
                                    ("bytes " + std::to_string(first) + "-" + std::to_string(last) +
                                     "/" + std::to_string(size))
                                        .c_str());
        }
        MHD_set_connection_option(connection, MHD_CONNECTION_OPTION_TIMEOUT, kSongIdleSeconds);
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_ACCEPT_RANGES, "bytes");
    return send_answer(connection, request, status, response,
                       content_type_of(playable_extension(track->path)).c_str());
}

bool SongServer::run() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stop_requested) {
            return true;
        }
        m_last_activity = Clock::now();
    }
    // The logger comes first so that the daemon's own complaints go through it too.
    MHD_Daemon* daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | MHD_USE_ERROR_LOG, 0,
        nullptr, nullptr, &Handlers::on_request, this, MHD_OPTION_EXTERNAL_LOGGER,
        &Handlers::on_log, this, MHD_OPTION_LISTEN_SOCKET, m_listen_fd, MHD_OPTION_THREAD_POOL_SIZE,
        kThreads, MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(kMaxConnections),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(kIdleSeconds),
        MHD_OPTION_NOTIFY_COMPLETED, &Handlers::on_completed, this, MHD_OPTION_NOTIFY_CONNECTION,
        &Handlers::on_connection, this, MHD_OPTION_STRICT_FOR_CLIENT, 1, MHD_OPTION_END);
    if (daemon == nullptr) {
        log_line("cannot start the HTTP server");
        return false;
    }
    std::unique_lock lock(m_mutex);
    while (!m_stop_requested) {
        m_wake.wait_for(lock, std::chrono::milliseconds(250));
        if (watch_connections()) {
            m_ended_idle = true;
            break;
        }
    }
    lock.unlock();
    // The daemon lets go of the socket first: stopping with it would shut it down, and a socket
    // handed over is shared with the service manager, which listens on it again.
    MHD_quiesce_daemon(daemon);
    MHD_stop_daemon(daemon);
    return true;
}

bool SongServer::watch_connections() {
    auto now = Clock::now();
    for (auto& [connection, tracked] : m_connections) {
        if (tracked.awaiting_request && tracked.deadline < now) {
            // Shut down, not closed: the descriptor stays the daemon's until it sees the end.
            shutdown(tracked.fd, SHUT_RDWR);
            tracked.awaiting_request = false;
            log_line("closed a connection whose request did not arrive within " +
                     std::to_string(kRequestSeconds) + " s");
        }
    }
    return m_options.idle_exit_seconds > 0 && m_connections.empty() &&
           now - m_last_activity >= std::chrono::seconds(m_options.idle_exit_seconds);
}

void SongServer::stop() {
    std::lock_guard lock(m_mutex);
    m_stop_requested = true;
    m_wake.notify_all();
}

}  // namespace wavlon::songd
