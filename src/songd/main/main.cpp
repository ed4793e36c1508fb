// wavlon-songd: the song search for Wavlon over the user's own music.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "songd/catalogue.h"
#include "songd/indexer.h"
#include "songd/listen_socket.h"
#include "songd/log.h"
#include "songd/music_folders.h"
#include "songd/music_library.h"
#include "songd/options.h"
#include "songd/song_server.h"

using namespace wavlon::songd;

namespace {

// Room for the connection limit of the server beside the catalogue's and the watcher's files.
void raise_file_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 4096) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

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

    raise_file_limit();
    std::string socket_error;
    int handed_over = inherited_listen_socket(socket_error);
    if (!socket_error.empty()) {
        log_line(socket_error);
        return 1;
    }
    if (handed_over < 0 && options->idle_exit_seconds > 0) {
        log_line("--idle-exit applies only when systemd hands over the socket; ignored");
        options->idle_exit_seconds = 0;
    }

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
        ServerOptions server_options{options->host, options->port, options->public_url, handed_over,
                                     options->idle_exit_seconds};
        SongServer server(catalogue, library, server_options);
        if (!server.bind()) {
            return 1;
        }
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
        log_line(std::string(handed_over >= 0 ? "answering on the socket systemd handed over"
                                              : "listening on http://" + host + ":" +
                                                    std::to_string(server.port()) + "/") +
                 " over " + std::to_string(library.roots().size()) +
                 " music folder(s); catalogue " + options->database);
        bool served = server.run();
        if (server.ended_idle()) {
            log_line("no connection for " + std::to_string(options->idle_exit_seconds) +
                     " s; ending until the socket is used again");
        }
        // run() also ends when the server fails; make sure the signal thread ends too.
        pthread_kill(signal_thread.native_handle(), SIGTERM);
        signal_thread.join();
        if (!served) {
            return 1;
        }
    } catch (const CatalogueError& failure) {
        log_line(failure.what());
        return 1;
    }
    return 0;
}
