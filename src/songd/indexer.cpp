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

std::string describe(const ScanReport& report) {
    return std::to_string(report.files) + " files, " + std::to_string(report.indexed) + " read, " +
           std::to_string(report.removed) + " removed, " + std::to_string(report.skipped) +
           " skipped";
}

}  // namespace

Indexer::Indexer(MusicLibrary& library) : m_library(library) {
    m_library.set_folder_listener([this](const std::string& folder) { m_watcher.watch(folder); });
    m_library.set_cancel_flag(&m_stopping);
}

Indexer::~Indexer() {
    m_stopping = true;
    m_watcher.stop();
    if (m_thread.joinable())
        m_thread.join();
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

void Indexer::run() {
    auto started = std::chrono::steady_clock::now();
    ScanReport first = guarded([this] { return m_library.scan_all(); });
    if (m_stopping)
        return;
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    log_line("catalogue ready: " + describe(first) + " in " + std::to_string(took.count()) + " ms");
    m_ready = true;

    auto last_full = std::chrono::steady_clock::now();
    for (;;) {
        auto interval = m_watcher.complete() ? std::chrono::milliseconds(kRescanWhenWatched)
                                             : std::chrono::milliseconds(kRescanWhenUnwatched);
        auto due = last_full + interval;
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            due - std::chrono::steady_clock::now());
        FolderChanges changes = m_watcher.wait_for_changes(std::max(wait, 0ms), kQuiet);
        if (changes.stopped)
            return;
        if (changes.rescan_all || std::chrono::steady_clock::now() >= due) {
            ScanReport report = guarded([this] { return m_library.scan_all(); });
            if (report.indexed + report.removed > 0)
                log_line("rescan: " + describe(report));
            last_full = std::chrono::steady_clock::now();
            continue;
        }
        for (const auto& path : changes.paths) {
            ScanReport report = guarded([&] { return m_library.refresh(path); });
            if (report.indexed + report.removed > 0) {
                log_line("updated " + printable(path) + ": " + describe(report));
            }
        }
    }
}

}  // namespace wavlon::songd
