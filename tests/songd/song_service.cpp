#include "songd/song_service.h"

#include <chrono>
#include <stdexcept>

namespace wavlon::testing {

RunningSongService::RunningSongService(const std::filesystem::path& music,
                                       songd::ServerOptions options) {
    std::filesystem::create_directories(music);
    start({music.string()}, options);
}

RunningSongService::RunningSongService(songd::FolderSources sources) {
    m_folders = std::make_unique<songd::MusicFolders>(std::move(sources));
    start(m_folders->wanted(), {"127.0.0.1", 0, ""});
}

void RunningSongService::start(std::vector<std::string> folders, songd::ServerOptions options) {
    m_catalogue = std::make_unique<songd::Catalogue>(database());
    m_library = std::make_unique<songd::MusicLibrary>(*m_catalogue, folders);
    m_server = std::make_unique<songd::SongServer>(*m_catalogue, *m_library, options);
    if (!m_server->bind())
        throw std::runtime_error("the song service cannot listen");
    m_indexer = std::make_unique<songd::Indexer>(*m_library, m_folders.get());
    m_indexer->start();
    m_thread = std::thread([this] { m_server->run(); });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!m_indexer->ready() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

RunningSongService::~RunningSongService() {
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_indexer.reset();
}

std::string RunningSongService::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_server->port()) + path;
}

bool RunningSongService::wait_for_count(const std::string& keyword, std::size_t count,
                                        int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        if (m_catalogue->search(keyword, songd::SearchField::TitleOrAuthor, 1).size() == count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace wavlon::testing
