#include "songd/indexer.h"

#include <malloc.h>

#include <string>

#include "songd/log.h"

namespace wavlon::songd {
namespace {

using namespace std::chrono_literals;

constexpr auto kQuiet = 300ms;              // changes gathered until this long silent
constexpr auto kRescanWhenWatched = 15min;  // safety net while every folder is watched
constexpr auto kRescanWhenUnwatched = 30s;  // some folders are not watched
constexpr auto kLookForFolders = 10s;       // a wanted folder is missing: look again this often

std::string describe(const ScanReport& report) {
    return std::to_string(report.files) + " files, " + std::to_string(report.indexed) + " read, " +
           std::to_string(report.removed) + " removed, " + std::to_string(report.skipped) +
           " skipped";
}

}  // namespace

Indexer::Indexer(MusicLibrary& library, MusicFolders* folders)
    : m_library(library), m_folders(folders) {
    m_library.set_folder_listener([this](const std::string& folder) { m_watcher.watch(folder); });
    m_library.set_cancel_flag(&m_stopping);
    m_library.catalogue().set_damage_listener([this] { m_watcher.ask_for_rescan(); });
}

Indexer::~Indexer() {
    m_stopping = true;
    m_watcher.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void Indexer::start() {
    m_thread = std::thread([this] { run(); });
}

ScanReport Indexer::guarded(const std::function<ScanReport()>& step) {
    try {
        ScanReport report = step();
        if (report.indexed + report.removed > 0) {
            // Written pages go from the log into the catalogue file, where searches map them,
            // and what reading the tags allocated (on the reading thread's own heap) goes back
            // to the system rather than staying with an idle service.
            m_library.catalogue().checkpoint();
            malloc_trim(0);
        }
        return report;
    } catch (const std::exception& error) {
        log_line(std::string("catalogue update failed: ") + error.what());
        return {};
    }
}

ScanReport Indexer::full_scan() {
    return guarded([this] {
        ScanReport report = m_library.scan_all();
        m_library.catalogue().check();
        return report;
    });
}

bool Indexer::update_folders() {
    if (m_folders == nullptr) {
        return false;
    }
    bool changed = m_library.set_folders(m_folders->wanted());
    for (const auto& folder : m_folders->folders_to_watch()) {
        m_watcher.watch(folder);
    }
    // Asked again: what changed before the watches began is not missed.
    changed = m_library.set_folders(m_folders->wanted()) || changed;
    return changed;
}

bool Indexer::rebuild_if_damaged() {
    if (!m_library.catalogue().damaged()) {
        return false;
    }
    try {
        m_library.catalogue().rebuild();
    } catch (const std::exception& error) {
        // Without a catalogue to write, nothing more can be indexed.
        log_line(std::string("catalogue rebuild failed, updates stop: ") + error.what());
        m_stopping = true;
        return false;
    }
    ScanReport report = full_scan();
    log_line("catalogue rebuilt: " + describe(report));
    return true;
}

void Indexer::run() {
    auto started = std::chrono::steady_clock::now();
    update_folders();
    ScanReport first = full_scan();
    if (m_stopping) {
        return;
    }
    rebuild_if_damaged();
    if (m_stopping) {
        return;
    }
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    log_line("catalogue ready: " + describe(first) + " in " + std::to_string(took.count()) + " ms");
    m_ready = true;

    auto last_full = std::chrono::steady_clock::now();
    for (;;) {
        auto interval = m_watcher.complete() ? std::chrono::milliseconds(kRescanWhenWatched)
                                             : std::chrono::milliseconds(kRescanWhenUnwatched);
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            last_full + interval - std::chrono::steady_clock::now());
        bool looking = m_folders != nullptr && m_folders->any_missing();
        if (looking) {
            wait = std::min<std::chrono::milliseconds>(wait, kLookForFolders);
        }
        FolderChanges changes = m_watcher.wait_for_changes(std::max(wait, 0ms), kQuiet);
        if (changes.stopped) {
            return;
        }
        bool rebuilt = rebuild_if_damaged();
        if (m_stopping) {
            return;
        }
        if (rebuilt) {
            last_full = std::chrono::steady_clock::now();
            continue;
        }
        // Changes outside the served folders are those of the player's settings or of the
        // places where a missing folder may appear.
        bool elsewhere = looking && changes.paths.empty();
        for (const auto& path : changes.paths) {
            elsewhere = elsewhere || !m_library.under_roots(path);
        }
        bool folders_changed = elsewhere && update_folders();
        if (folders_changed || changes.rescan_all ||
            std::chrono::steady_clock::now() >= last_full + interval) {
            ScanReport report = full_scan();
            if (report.indexed + report.removed > 0) {
                log_line("rescan: " + describe(report));
            }
            last_full = std::chrono::steady_clock::now();
            rebuild_if_damaged();
            if (m_stopping) {
                return;
            }
            continue;
        }
        for (const auto& path : changes.paths) {
            if (!m_library.under_roots(path)) {
                continue;
            }
            ScanReport report = guarded([&] { return m_library.refresh(path); });
            if (report.indexed + report.removed > 0) {
                log_line("updated " + printable(path) + ": " + describe(report));
            }
        }
        if (rebuild_if_damaged()) {  // met by a write
            last_full = std::chrono::steady_clock::now();
        }
        if (m_stopping) {
            return;
        }
    }
}

}  // namespace wavlon::songd
