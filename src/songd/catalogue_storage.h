// The catalogue's storage: the SQLite file, its connections and every statement run on it.
// What is stored when, and how it is searched, is the Catalogue's (catalogue_search.cpp).
//
// Rules:
// - Every statement is a row of one table (kStatements); a connection prepares a row on its
//   first use and keeps it as long as the connection lives.
// - Every SQLite result code is checked. A step gives a row (SQLITE_ROW) or the end
//   (SQLITE_DONE); any other code fails the call with a CatalogueError carrying SQLite's
//   message, so no read ends early in silence. The caller answers it: the writing thread's
//   owner logs it, the reading calls log it and answer "nothing found".
// - Damage (SQLITE_CORRUPT, SQLITE_NOTADB, or an error that a quick check of the file explains)
//   marks the storage damaged; the listener is told by the reading call that met it.
// - The writer's connection serves the writing thread only (its reads see its own open
//   transaction). Reading calls each borrow a read-only connection and hold the shared side
//   of a lock that rebuild() takes alone.
// - A file is written into only once it is known to be a sound catalogue of this version.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "songd/catalogue.h"

namespace wavlon::songd {

enum class StorageStatement : int;  // a row of the table of statements

class CatalogueStorage {
public:
    // Opens or creates the catalogue at `path`, setting aside a file that is not a sound
    // catalogue of this version (see Catalogue).
    explicit CatalogueStorage(std::string path);
    ~CatalogueStorage();
    CatalogueStorage(const CatalogueStorage&) = delete;
    CatalogueStorage& operator=(const CatalogueStorage&) = delete;

    // The writing thread's calls.
    using RowVisitor =
        std::function<void(std::int64_t id, std::string_view title, std::string_view author)>;
    // Visits the folded title and artist of every track.
    void visit_rows(const RowVisitor& visit);
    std::unordered_map<std::string, FileStamp> stamps(const std::string& folder);
    std::optional<FileStamp> stamp(const std::string& path);
    std::optional<std::int64_t> id_of(const std::string& path);
    struct Row {
        FileStamp stamp;
        const std::string& title;
        const std::string& author;
        const std::string& folded_title;
        const std::string& folded_author;
    };
    // The new row's id, or nullopt when the path is catalogued already.
    std::optional<std::int64_t> insert(const std::string& path, const Row& row);
    void update(std::int64_t id, const Row& row);
    // Writes the trigram entries of the rows from `first` to `last`; deletes those of `id`
    // (by the texts it has now, so they must have been written).
    void write_trigrams(std::int64_t first, std::int64_t last);
    void delete_trigrams(std::int64_t id);
    // Deletes rows (their trigram entries with them) and gives their ids.
    std::vector<std::int64_t> remove(const std::string& path);
    std::vector<std::int64_t> remove_under(const std::string& folder);
    void begin();
    void commit();
    // Gives up the open transaction, if SQLite has not already.
    void rollback();
    void checkpoint();
    bool check();
    // Sets the file aside as damaged and begins an empty one; `refill` runs before any
    // reading call can see the new file.
    void rebuild(const std::function<void()>& refill);

    bool damaged() const { return m_damaged; }
    void set_damage_listener(std::function<void()> listener);

    class Connection;
    // One reading call's hold on the catalogue, from any thread.
    class Reading {
    public:
        explicit Reading(const CatalogueStorage& storage);
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

        // Ids of the tracks whose trigram entries match the FTS5 query.
        std::vector<std::int64_t> matching(const std::string& query);
        std::optional<CatalogueTrack> track(std::int64_t id);
        std::int64_t track_count();

    private:
        // Destroyed in reverse: the connection goes back, the lock is let go, then damage
        // is told (the listener may wait for the writing thread, which may wait for the lock).
        struct DamageNote {
            const CatalogueStorage* storage;
            ~DamageNote();
        } m_note;
        std::shared_lock<std::shared_mutex> m_swap;
        std::unique_ptr<Connection> m_connection;
    };

private:
    void open();
    void log_aside(const std::string& why, const std::string& aside) const;
    std::unique_ptr<Connection> borrow_reader() const;

    std::string m_path;
    std::unique_ptr<Connection> m_writer;
    mutable std::atomic<bool> m_damaged{false};
    mutable std::atomic<bool> m_damage_told{false};
    std::function<void()> m_on_damage;
    // Held shared by every Reading, alone by rebuild().
    mutable std::shared_mutex m_swap;
    mutable std::mutex m_readers_mutex;
    mutable std::vector<std::unique_ptr<Connection>> m_idle_readers;
};

}  // namespace wavlon::songd
