// The whole song service for tests, as its program runs it: a catalogue in a real SQLite file,
// the music folder it indexes and watches, and the HTTP server on a free port of 127.0.0.1.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "songd/catalogue.h"
#include "songd/indexer.h"
#include "songd/music_folders.h"
#include "songd/music_library.h"
#include "songd/song_server.h"
#include "songd/tagged_files.h"

namespace wavlon::testing {

class RunningSongService {
public:
    // Indexes `music` (made when missing) and serves it; returns once the first scan is done.
    explicit RunningSongService(const std::filesystem::path& music,
                                songd::ServerOptions options = {"127.0.0.1", 0, ""});
    // Serves the folders `sources` name (none need exist), followed as the program does.
    explicit RunningSongService(songd::FolderSources sources);
    ~RunningSongService();

    std::string url(const std::string& path = "/") const;
    int port() const { return m_server->port(); }
    songd::Catalogue& catalogue() { return *m_catalogue; }
    std::string database() const { return (m_data.path() / "songd.db").string(); }
    // Waits until a search for `keyword` finds `count` tracks (the watcher took a change in).
    bool wait_for_count(const std::string& keyword, std::size_t count, int timeout_ms = 10000);

private:
    void start(std::vector<std::string> folders, songd::ServerOptions options);

    TemporaryFolder m_data;
    std::unique_ptr<songd::MusicFolders> m_folders;
    std::unique_ptr<songd::Catalogue> m_catalogue;
    std::unique_ptr<songd::MusicLibrary> m_library;
    std::unique_ptr<songd::SongServer> m_server;
    std::unique_ptr<songd::Indexer> m_indexer;
    std::thread m_thread;
};

}  // namespace wavlon::testing
