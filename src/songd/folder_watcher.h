// Watches the music folders with inotify and tells which paths changed.
//
// Changes arrive in bursts (a copy writes a file in many pieces, an unpacked album creates a
// folder and its files): wait_for_changes gathers them until the folders have been quiet for
// a moment, and hands back each changed path once. When the kernel drops events (its queue
// overflowed) or a folder cannot be watched (the user's watch limit is reached), the watcher
// asks for a full rescan instead. A watched folder that goes away (deleted, moved, or its file
// system unmounted) is reported as a changed path.
//
// Threads: one thread calls watch and wait_for_changes; stop may be called from any thread and
// wakes a waiting wait_for_changes.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

namespace wavlon::songd {

struct FolderChanges {
    std::set<std::string> paths;  // files or folders created, written, moved or deleted
    bool rescan_all = false;      // events were lost: every folder must be walked again
    bool stopped = false;         // stop() was called
};

class FolderWatcher {
public:
    FolderWatcher();
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // False when inotify is not available at all (the caller then rescans periodically).
    bool available() const { return m_fd >= 0; }

    // Watches one folder (not its sub-folders: each is watched as it is walked). Watching a
    // folder twice is harmless. False when it cannot be watched.
    bool watch(const std::string& folder);

    // Waits up to `timeout` for a change, then gathers further changes until none came for
    // `quiet`. Returns empty changes when the timeout passed without any.
    FolderChanges wait_for_changes(std::chrono::milliseconds timeout,
                                   std::chrono::milliseconds quiet);

    // True while every folder given to watch() is watched.
    bool complete();

    void stop();
    // Wakes a waiting wait_for_changes with rescan_all set (from any thread).
    void ask_for_rescan();

private:
    bool read_events(FolderChanges& changes);

    int m_fd = -1;
    int m_wake[2] = {-1, -1};
    std::mutex m_mutex;
    std::unordered_map<int, std::string> m_folders;  // watch descriptor → folder
    bool m_watch_failed = false;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_rescan_asked{false};
};

}  // namespace wavlon::songd
