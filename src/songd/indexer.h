// Keeps the catalogue in step with the music folders on a thread of its own: a full
// incremental scan at start, then the changes the folder watcher reports (a new file is
// searchable within about a second of being written), and a periodic rescan as a safety net
// (often when some folders could not be watched, rarely otherwise).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "songd/folder_watcher.h"
#include "songd/music_library.h"

namespace wavlon::songd {

class Indexer {
public:
    explicit Indexer(MusicLibrary& library);
    // Stops the thread and waits for it (a scan in progress finishes its current file).
    ~Indexer();
    Indexer(const Indexer&) = delete;
    Indexer& operator=(const Indexer&) = delete;

    void start();
    // True once the first full scan has finished.
    bool ready() const { return m_ready; }

private:
    void run();
    // Runs one scan or refresh; a failing catalogue (a full disk) is logged, not fatal.
    ScanReport guarded(const std::function<ScanReport()>& step);

    MusicLibrary& m_library;
    FolderWatcher m_watcher;
    std::thread m_thread;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_stopping{false};
};

}  // namespace wavlon::songd
