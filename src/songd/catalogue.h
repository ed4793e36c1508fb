// The catalogue: every indexed music file with its title and artist, in an SQLite file.
//
// Tracks are found by folded title and artist (see search_text.h): an FTS5 index with the
// trigram tokenizer serves terms of three or more characters, a scan of the folded columns the
// shorter ones. Ids are never reused, so an address handed out for a file that was deleted can
// never serve another file.
//
// Threads: the writing calls (put, remove, remove_under, the Batch) come from one thread at a
// time; search, track, track_count and stamps may be called from any number of threads at
// once, each on its own connection (WAL mode: readers never wait for the writer).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;

namespace wavlon::songd {

class CatalogueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtime_ns = 0;
    bool operator==(const FileStamp&) const = default;
};

struct CatalogueTrack {
    std::int64_t id = 0;
    std::string path;  // bytes as the file system has them
    std::string title;
    std::string author;
};

enum class SearchField { TitleOrAuthor, Author };

class Catalogue {
public:
    // Opens or creates the catalogue at `path` (its folder must exist). A file that is not a
    // catalogue of this version (damaged, foreign or older) is set aside as "<path>.damaged"
    // or emptied, and a fresh catalogue begins: it only mirrors the music folders.
    // Throws CatalogueError when no catalogue can be opened there.
    explicit Catalogue(const std::string& path);
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Size and modification time of every catalogued file, by path; with a folder, of the
    // files below it only.
    std::unordered_map<std::string, FileStamp> stamps(const std::string& folder = {}) const;
    // Adds the file or updates its entry (the id of a known path stays).
    void put(const std::string& path, FileStamp stamp, const std::string& title,
             const std::string& author);
    std::optional<FileStamp> stamp(const std::string& path) const;
    // Removes the file's entry; false when there was none.
    bool remove(const std::string& path);
    // Removes every file below `folder`; gives how many there were.
    std::int64_t remove_under(const std::string& folder);

    // Groups writes into one transaction until destroyed (or commit()); nests by doing nothing.
    class Batch {
    public:
        explicit Batch(Catalogue& catalogue);
        ~Batch();
        void commit();

    private:
        Catalogue* m_catalogue;
        bool m_open = false;
    };

    // One page of tracks matching every term of `keyword` (case, width and script folded),
    // best first: exact title, title prefix, exact artist, title containing, artist prefix,
    // artist containing; within a rank by title, artist and id. `page` counts from 1.
    std::vector<CatalogueTrack> search(const std::string& keyword, SearchField field,
                                       std::int64_t page, int page_size = 10) const;
    std::optional<CatalogueTrack> track(std::int64_t id) const;
    std::int64_t track_count() const;

private:
    class Connection;
    std::unique_ptr<Connection> borrow_reader() const;
    void give_back(std::unique_ptr<Connection> connection) const;

    std::string m_path;
    std::unique_ptr<Connection> m_writer;
    mutable std::mutex m_readers_mutex;
    mutable std::vector<std::unique_ptr<Connection>> m_idle_readers;
    int m_batch_depth = 0;
};

}  // namespace wavlon::songd
