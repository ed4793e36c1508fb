// Keeps the catalogue in step with the music folders on a thread of its own: a full
// incremental scan at start, then the changes the folder watcher reports (a new file is
// searchable within about a second of being written), and a periodic rescan as a safety net
// (often when some folders could not be watched, rarely otherwise). With a MusicFolders, the
// set of folders follows it: a folder that appears, or another folder chosen in the player,
// is taken in (and one no longer wanted dropped) within about a second. A catalogue found
// damaged, by a search or by the check at each full rescan, is set aside and built again.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "songd/folder_watcher.h"
#include "songd/music_folders.h"
#include "songd/music_library.h"

namespace wavlon::songd {

class Indexer {
public:
    // `folders` (optional, outlives the indexer) says which folders to serve.
    explicit Indexer(MusicLibrary& library, MusicFolders* folders = nullptr);
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
    ScanReport full_scan();
    // Asks the MusicFolders again; true when the served folders changed.
    bool update_folders();
    // A damaged catalogue is set aside and filled again; true when that happened.
    bool rebuild_if_damaged();

    MusicLibrary& m_library;
    MusicFolders* m_folders;
    FolderWatcher m_watcher;
    std::thread m_thread;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_stopping{false};
};

}  // namespace wavlon::songd
