#include "songd/folder_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "songd/log.h"

namespace wavlon::songd {
namespace {

constexpr std::uint32_t kEvents = IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                  IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                  IN_ONLYDIR;

}  // namespace

FolderWatcher::FolderWatcher() {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        log_line(std::string("cannot watch folders (") + std::strerror(errno) +
                 "); changes are found by periodic rescans");
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_wake[0] = m_wake[1] = -1;
    }
}

FolderWatcher::~FolderWatcher() {
    if (m_fd >= 0) {
        close(m_fd);
    }
    if (m_wake[0] >= 0) {
        close(m_wake[0]);
    }
    if (m_wake[1] >= 0) {
        close(m_wake[1]);
    }
}

bool FolderWatcher::watch(const std::string& folder) {
    if (m_fd < 0) {
        return false;
    }
    int descriptor = inotify_add_watch(m_fd, folder.c_str(), kEvents);
    std::lock_guard lock(m_mutex);
    if (descriptor < 0) {
        if (!m_watch_failed) {
            log_line("cannot watch " + printable(folder) + " (" + std::strerror(errno) +
                     "); changes there are found by periodic rescans");
        }
        m_watch_failed = true;
        return false;
    }
    m_folders[descriptor] = folder;
    return true;
}

bool FolderWatcher::complete() {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0 && !m_watch_failed;
}

void FolderWatcher::stop() {
    m_stopping = true;
    if (m_wake[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] auto written = write(m_wake[1], &byte, 1);
    }
}

void FolderWatcher::ask_for_rescan() {
    m_rescan_asked = true;
    if (m_wake[1] >= 0) {
        char byte = 2;
        [[maybe_unused]] auto written = write(m_wake[1], &byte, 1);
    }
}

bool FolderWatcher::read_events(FolderChanges& changes) {
    alignas(inotify_event) std::array<char, 16384> buffer{};
    bool any = false;
    for (;;) {
        ssize_t length = read(m_fd, buffer.data(), buffer.size());
        if (length <= 0) {
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + offset, sizeof event);
            const char* name = buffer.data() + offset + sizeof event;
            offset += static_cast<ssize_t>(sizeof event + event.len);
            any = true;
            if (event.mask & IN_Q_OVERFLOW) {
                changes.rescan_all = true;
                continue;
            }
            std::lock_guard lock(m_mutex);
            auto folder = m_folders.find(event.wd);
            if (folder == m_folders.end()) {
                continue;
            }
            if (event.mask & IN_IGNORED) {
                // The watch is gone with its folder: whatever was below it is checked.
                changes.paths.insert(folder->second);
                m_folders.erase(folder);
                continue;
            }
            if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                changes.paths.insert(folder->second);
            } else if (event.len > 0) {
                changes.paths.insert(folder->second + "/" + std::string(name));
            }
        }
    }
    return any;
}

FolderChanges FolderWatcher::wait_for_changes(std::chrono::milliseconds timeout,
                                              std::chrono::milliseconds quiet) {
    FolderChanges changes;
    std::array<pollfd, 2> fds{{{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}}};
    auto wait = timeout;
    for (;;) {
        int ready = poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (fds[1].revents & POLLIN) {
            char bytes[64];
            while (read(m_wake[0], bytes, sizeof bytes) > 0) {
            }
            if (m_stopping) {
                changes.stopped = true;
                return changes;
            }
        }
        if (m_rescan_asked.exchange(false)) {
            changes.rescan_all = true;
            return changes;
        }
        if (ready <= 0) {
            break;  // quiet (or the timeout passed)
        }
        if (m_fd < 0 || !read_events(changes)) {
            break;
        }
        wait = quiet;
    }
    return changes;
}

}  // namespace wavlon::songd
