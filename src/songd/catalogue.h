// The catalogue: every indexed music file with its title and artist, in an SQLite file.
//
// Tracks are found by folded title and artist (see search_text.h): an FTS5 index with the
// trigram tokenizer serves terms of three or more characters, the search index in memory (see
// search_index.h) the shorter ones, and ranks every match. Ids are never reused, so an
// address handed out for a file that was deleted can never serve another file.
//
// The storage (the SQLite file and its statements) is catalogue_storage.h's; the indexes, what
// keeps them in step and the ranking are catalogue_search.cpp's.
//
// Threads: the writing calls (put, remove, remove_under, the Batch, check, rebuild,
// checkpoint) and stamp and stamps, which read through the writer's connection and see its
// open transaction, come from one thread at a time; search, track and track_count may be
// called from any number of threads at once, each on its own connection (WAL mode: readers
// never wait for the writer).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "songd/search_index.h"

namespace wavlon::songd {

class CatalogueStorage;

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
    // Opens or creates the catalogue at `path` (its folder must exist), checked whole first
    // (SQLite's quick check). A file that is not a sound catalogue of this version is renamed
    // and a fresh catalogue begins (it only mirrors the music folders): a damaged one to
    // "<path>.damaged", an older one to "<path>.old-version", any other file to
    // "<path>.not-a-catalogue" (numbered when taken); such a file is never written into.
    // Throws CatalogueError when no catalogue can be opened there or a file not set aside.
    explicit Catalogue(const std::string& path);
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Size and modification time of every catalogued file, by path; with a folder, of the
    // files below it only. The writing calls and these two throw CatalogueError when SQLite
    // fails.
    std::unordered_map<std::string, FileStamp> stamps(const std::string& folder = {}) const;
    // Adds the file or updates its entry (the id of a known path stays). `replacing` false
    // tells that the path is new, which spares looking for its old index entries.
    void put(const std::string& path, FileStamp stamp, const std::string& title,
             const std::string& author, bool replacing = true);
    std::optional<FileStamp> stamp(const std::string& path) const;
    // Removes the file's entry; false when there was none.
    bool remove(const std::string& path);
    // Removes every file below `folder`; gives how many there were.
    std::int64_t remove_under(const std::string& folder);

    // True once any statement met damage (SQLITE_CORRUPT, SQLITE_NOTADB) since opening.
    bool damaged() const;
    // Told (once, on the thread that met it) when damage is first met: the owner of the
    // writing thread then calls rebuild(). Set before searches begin.
    void set_damage_listener(std::function<void()> listener);
    // Runs SQLite's quick check of the whole file; false (and damaged()) when it fails.
    bool check();
    // Sets the damaged file aside and begins an empty catalogue, to be filled by a full
    // scan. From the writing thread, outside any Batch; waits for searches in progress.
    void rebuild();

    // Copies what the write-ahead log holds into the catalogue file and empties the log, so
    // that searches read every page from the mapped file again (pages still in the log are
    // read with a system call each). Best effort: a busy reader only delays it.
    void checkpoint();

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
    // A failure of the catalogue file is logged, and these three answer that there is no
    // such track.
    std::vector<CatalogueTrack> search(const std::string& keyword, SearchField field,
                                       std::int64_t page, int page_size = 10) const;
    std::optional<CatalogueTrack> track(std::int64_t id) const;
    std::int64_t track_count() const;

private:
    void load_index();
    // Writes the trigram entries of the rows put since the last flush (at the end of a batch,
    // and before anything that deletes entries).
    void flush_pending();
    // Brings the search index up to date with what was committed.
    void apply_to_index();
    // The removed tracks leave the search index once committed; gives how many there were.
    std::int64_t removed(const std::vector<std::int64_t>& ids);

    std::unique_ptr<CatalogueStorage> m_storage;
    struct IndexChange {
        std::int64_t id;
        std::string title;  // folded
        std::string author;
        bool removed;
    };
    SearchIndex m_index;
    int m_batch_depth = 0;
    std::vector<std::int64_t> m_pending_rows;
    std::vector<IndexChange> m_pending_index;
};

}  // namespace wavlon::songd
