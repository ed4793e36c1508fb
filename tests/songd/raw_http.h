// A bare HTTP client on 127.0.0.1 for the song-service tests: it sends exactly the bytes it is
// given (malformed, pipelined, trickled) and reads answers framed by Content-Length.
#pragma once

#include <string>
#include <vector>

namespace wavlon::testing {

// The value of the first header `name` (exact case) in a header block, or empty.
std::string header_value(const std::string& head, const std::string& name);

struct RawAnswer {
    int status = 0;  // 0: none came
    std::string head;
    std::string body;
    // The value of the first header `name` (exact case), or empty.
    std::string header(const std::string& name) const { return header_value(head, name); }
};

class RawConnection {
public:
    explicit RawConnection(int port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return m_fd >= 0; }
    bool send(const std::string& bytes);
    // Up to `count` answers, in the order they came; fewer when the service closed the
    // connection or nothing more came within `timeout_ms`.
    std::vector<RawAnswer> read_answers(std::size_t count = 1, int timeout_ms = 5000);
    // True when the service closes the connection within `timeout_ms` (what it still sent is
    // read and dropped).
    bool closed_within(int timeout_ms);

private:
    int m_fd = -1;
    std::string m_pending;
};

// One request on a fresh connection and its answer.
RawAnswer raw_exchange(int port, const std::string& request);

// A free TCP port on 127.0.0.1 (free when asked; the caller binds it soon after).
int free_port();

}  // namespace wavlon::testing
