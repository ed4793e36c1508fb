// wavlon-songd: the song search for Wavlon over the user's own music.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "songd/catalogue.h"
#include "songd/indexer.h"
#include "songd/log.h"
#include "songd/music_folders.h"
#include "songd/music_library.h"
#include "songd/options.h"
#include "songd/song_server.h"

using namespace wavlon::songd;

int main(int argc, char** argv) {
    std::string error;
    auto options = parse_options(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "wavlon-songd: %s\n\n%s", error.c_str(), usage_text().c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }

    // SIGINT and SIGTERM are taken by one thread that stops the server; every other thread
    // (made after this) has them blocked.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(options->database).parent_path(),
                                        ignored);
    try {
        Catalogue catalogue(options->database);
        MusicFolders folders(
            {options->music_folders, options->user_music_folder, options->player_config});
        MusicLibrary library(catalogue, folders.wanted());
        // Folders named by hand that all fail are a mistake worth stopping for; the user's and
        // the player's folders may simply not exist yet.
        bool only_named = !options->user_music_folder && options->player_config.empty();
        if (only_named && library.roots().empty()) {
            log_line("none of the music folders exists");
            return 1;
        }
        ServerOptions server_options{options->host, options->port, options->public_url};
        SongServer server(catalogue, library, server_options);
        if (!server.bind())
            return 1;
        Indexer indexer(library, &folders);
        indexer.start();

        std::thread signal_thread([&] {
            int received = 0;
            sigwait(&stop_signals, &received);
            log_line("stopping");
            server.stop();
        });
        std::string host = options->host.find(':') != std::string::npos ? "[" + options->host + "]"
                                                                        : options->host;
        log_line("listening on http://" + host + ":" + std::to_string(server.port()) + "/ over " +
                 std::to_string(library.roots().size()) + " music folder(s); catalogue " +
                 options->database);
        server.run();
        // run() also ends when the server fails; make sure the signal thread ends too.
        pthread_kill(signal_thread.native_handle(), SIGTERM);
        signal_thread.join();
    } catch (const CatalogueError& failure) {
        log_line(failure.what());
        return 1;
    }
    return 0;
}
