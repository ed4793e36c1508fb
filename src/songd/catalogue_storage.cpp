#include "songd/catalogue_storage.h"

#include <sqlite3.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "songd/log.h"

namespace wavlon::songd {

enum class StorageStatement : int {
    IndexRows,
    Stamps,
    Stamp,
    IdOf,
    Insert,
    Update,
    WriteTrigrams,
    DeleteTrigrams,
    Remove,
    RemoveUnder,
    Begin,
    Commit,
    Rollback,
    Checkpoint,
    QuickCheck,
    Match,
    Track,
    TrackCount,
};

namespace {

using Sql = StorageStatement;

struct StatementRow {
    Sql sql;
    const char* text;
};

// Every statement run on the catalogue's connections.
constexpr StatementRow kStatements[] = {
    {Sql::IndexRows, "SELECT id, norm_title, norm_author FROM tracks"},
    {Sql::Stamps,
     "SELECT path, size, mtime_ns FROM tracks WHERE ?1 IS NULL OR (path >= ?1 AND path < ?2)"},
    {Sql::Stamp, "SELECT size, mtime_ns FROM tracks WHERE path = ?1"},
    {Sql::IdOf, "SELECT id FROM tracks WHERE path = ?1"},
    {Sql::Insert,
     "INSERT INTO tracks(path, size, mtime_ns, title, author, norm_title, norm_author) "
     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"},
    {Sql::Update,
     "UPDATE tracks SET size = ?2, mtime_ns = ?3, title = ?4, author = ?5, norm_title = ?6, "
     "norm_author = ?7 WHERE id = ?1"},
    {Sql::WriteTrigrams,
     "INSERT INTO tracks_fts(rowid, norm_title, norm_author) "
     "SELECT id, norm_title, norm_author FROM tracks WHERE id BETWEEN ?1 AND ?2"},
    {Sql::DeleteTrigrams,
     "INSERT INTO tracks_fts(tracks_fts, rowid, norm_title, norm_author) "
     "SELECT 'delete', id, norm_title, norm_author FROM tracks WHERE id = ?1"},
    {Sql::Remove, "DELETE FROM tracks WHERE path = ?1 RETURNING id"},
    {Sql::RemoveUnder, "DELETE FROM tracks WHERE path >= ?1 AND path < ?2 RETURNING id"},
    {Sql::Begin, "BEGIN IMMEDIATE"},
    {Sql::Commit, "COMMIT"},
    {Sql::Rollback, "ROLLBACK"},
    {Sql::Checkpoint, "PRAGMA wal_checkpoint(TRUNCATE)"},
    {Sql::QuickCheck, "PRAGMA quick_check"},
    {Sql::Match, "SELECT rowid FROM tracks_fts WHERE tracks_fts MATCH ?1"},
    {Sql::Track, "SELECT id, path, title, author FROM tracks WHERE id = ?1"},
    {Sql::TrackCount, "SELECT count(*) FROM tracks"},
};
constexpr std::size_t kStatementCount = std::size(kStatements);

constexpr bool rows_in_order() {
    for (std::size_t i = 0; i < kStatementCount; ++i) {
        if (static_cast<std::size_t>(kStatements[i].sql) != i) {
            return false;
        }
    }
    return static_cast<std::size_t>(Sql::TrackCount) + 1 == kStatementCount;
}
static_assert(rows_in_order(), "kStatements holds each statement once, in the order of its id");

constexpr int kSchemaVersion = 5;
// "WvSd": marks an SQLite file as a catalogue of this service.
constexpr std::int64_t kApplicationId = 0x57765364;

// Deleting a row deletes its trigram entries; they are written by WriteTrigrams, for a run of
// new rows at once.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS tracks(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    path BLOB NOT NULL UNIQUE,
    size INTEGER NOT NULL,
    mtime_ns INTEGER NOT NULL,
    title TEXT NOT NULL,
    author TEXT NOT NULL,
    norm_title TEXT NOT NULL,
    norm_author TEXT NOT NULL);
CREATE VIRTUAL TABLE IF NOT EXISTS tracks_fts USING fts5(
    norm_title, norm_author, content='tracks', content_rowid='id', tokenize='trigram', columnsize=0);
CREATE TRIGGER IF NOT EXISTS tracks_ad AFTER DELETE ON tracks BEGIN
    INSERT INTO tracks_fts(tracks_fts, rowid, norm_title, norm_author)
        VALUES ('delete', old.id, old.norm_title, old.norm_author);
END;
)sql";

// SQLite's quick check of the whole file, on a statement of its own: it runs on files not yet
// known to be ours, and while a statement of the table is failing.
bool quick_check_passes(sqlite3* db) {
    sqlite3_stmt* check = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK &&
              sqlite3_step(check) == SQLITE_ROW;
    const unsigned char* text = ok ? sqlite3_column_text(check, 0) : nullptr;
    ok = text != nullptr && std::strcmp(reinterpret_cast<const char*>(text), "ok") == 0;
    sqlite3_finalize(check);
    return ok;
}

}  // namespace

// One SQLite connection with the statements it has prepared.
class CatalogueStorage::Connection {
public:
    Connection(const std::string& path, bool create, std::atomic<bool>* damaged)
        : m_damaged(damaged) {
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
        if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
            std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            throw CatalogueError("cannot open the catalogue " + path + ": " + message);
        }
        sqlite3_busy_timeout(m_db, 5000);
        sqlite3_extended_result_codes(m_db, 1);
    }
    ~Connection() {
        for (sqlite3_stmt* statement : m_statements) {
            sqlite3_finalize(statement);
        }
        sqlite3_close(m_db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Every result passes here: damage found by any statement marks the catalogue damaged.
    // Damage can also surface as a plain error (an FTS5 table whose pages are gone fails to
    // open): an unexplained error has the file checked.
    int noted(int result) {
        int primary = result & 0xFF;
        if (primary != SQLITE_OK && primary != SQLITE_ROW && primary != SQLITE_DONE) {
            m_message = sqlite3_errmsg(m_db);
            m_failure = result;
        }
        bool damage = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
        if (primary == SQLITE_ERROR && !m_checking) {
            m_checking = true;
            damage = !quick_check_passes(m_db);
            m_checking = false;
        }
        if (damage && m_damaged) {
            m_damaged->store(true);
        }
        return result;
    }

    // Runs set-up text of one or more statements.
    void exec(const std::string& sql) {
        char* error = nullptr;
        if (noted(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error)) != SQLITE_OK) {
            std::string message = error ? error : m_message;
            sqlite3_free(error);
            throw CatalogueError("catalogue: " + message);
        }
    }

    // The statement of the row, prepared on first use, reset and with its bindings cleared.
    sqlite3_stmt* statement(Sql sql) {
        sqlite3_stmt*& prepared = m_statements[static_cast<std::size_t>(sql)];
        if (prepared == nullptr) {
            const char* text = kStatements[static_cast<std::size_t>(sql)].text;
            if (noted(sqlite3_prepare_v2(m_db, text, -1, &prepared, nullptr)) != SQLITE_OK) {
                throw CatalogueError("catalogue: " + m_message);
            }
        } else {
            // Both give the codes of the last step, which were checked then.
            sqlite3_reset(prepared);
            sqlite3_clear_bindings(prepared);
        }
        return prepared;
    }

    [[noreturn]] void fail() { throw CatalogueError("catalogue: " + m_message); }
    // The (extended) code and the message of the last failure; a check after it replaces
    // neither.
    int failure() const { return m_failure; }
    sqlite3* db() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
    std::atomic<bool>* m_damaged;
    bool m_checking = false;
    int m_failure = SQLITE_OK;
    std::string m_message;
    std::array<sqlite3_stmt*, kStatementCount> m_statements{};
};

namespace {

// One run of a row's statement: bound, stepped through its rows, and reset when done with
// (a statement left stepping would keep its read transaction open).
class Query {
public:
    Query(CatalogueStorage::Connection& connection, Sql sql)
        : m_connection(connection), m_statement(connection.statement(sql)) {}
    ~Query() { sqlite3_reset(m_statement); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, std::int64_t value) {
        return checked(sqlite3_bind_int64(m_statement, index, value));
    }
    Query& bind_text(int index, const std::string& text) {
        return checked(sqlite3_bind_text(m_statement, index, text.data(),
                                         static_cast<int>(text.size()), SQLITE_TRANSIENT));
    }
    Query& bind_blob(int index, const std::string& bytes) {
        return checked(sqlite3_bind_blob(m_statement, index, bytes.data(),
                                         static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    }

    // True with a row to read, false at the end; any other result fails.
    bool next() {
        int result = m_connection.noted(sqlite3_step(m_statement));
        if (result == SQLITE_ROW) {
            return true;
        }
        if (result != SQLITE_DONE) {
            m_connection.fail();
        }
        return false;
    }
    // Steps to the end, its rows unread.
    void run() {
        while (next()) {
        }
    }

    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::string bytes(int column) const {
        const void* data = sqlite3_column_blob(m_statement, column);
        int size = sqlite3_column_bytes(m_statement, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
    }
    std::string_view text(int column) const {
        const unsigned char* data = sqlite3_column_text(m_statement, column);
        int size = sqlite3_column_bytes(m_statement, column);
        return data ? std::string_view(reinterpret_cast<const char*>(data),
                                       static_cast<std::size_t>(size))
                    : std::string_view();
    }

private:
    Query& checked(int result) {
        if (m_connection.noted(result) != SQLITE_OK) {
            m_connection.fail();
        }
        return *this;
    }

    CatalogueStorage::Connection& m_connection;
    sqlite3_stmt* m_statement;
};

std::vector<std::int64_t> removed_ids(Query& query) {
    std::vector<std::int64_t> ids;
    while (query.next()) {
        ids.push_back(query.integer(0));
    }
    return ids;
}

// What a file at the catalogue's place holds.
enum class Found { Nothing, Ours, Damaged, OldVersion, Foreign };

// One integer of a pragma, or nullopt when it cannot be read (a connection of its own, on a
// file not yet known to be a catalogue, so not a row of the table).
std::optional<std::int64_t> pragma_value(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return std::nullopt;
    }
    std::optional<std::int64_t> value;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return value;
}

// Looks at the file read-only: nothing is written into a file before it is known to be ours.
Found inspect(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (error || size == 0) {
        return Found::Nothing;
    }
    char header[16] = {};
    std::ifstream(path, std::ios::binary).read(header, sizeof header);
    if (std::memcmp(header, "SQLite format 3", 16) != 0) {
        return Found::Foreign;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return Found::Damaged;
    }
    auto application = pragma_value(db, "PRAGMA application_id");
    auto version = pragma_value(db, "PRAGMA user_version");
    auto objects = pragma_value(db, "SELECT count(*) FROM sqlite_schema");
    auto tracks = pragma_value(
        db, "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = 'tracks'");
    Found found = Found::Ours;
    if (!application || !version || !objects || !tracks) {
        found = Found::Damaged;
    } else if (*application == kApplicationId) {
        found = *version == kSchemaVersion ? Found::Ours : Found::OldVersion;
    } else if (*application == 0 && *objects == 0) {
        found = Found::Nothing;
    } else if (*application == 0 && *tracks == 1 && *version >= 1 && *version < kSchemaVersion) {
        found = Found::OldVersion;  // written before catalogues carried their application id
    } else {
        found = Found::Foreign;
    }
    if (found == Found::Ours && !quick_check_passes(db)) {
        found = Found::Damaged;
    }
    sqlite3_close(db);
    return found;
}

// Renames the file (with its write-ahead log and shared-memory index) to `<path>.<reason>`,
// numbered when that name is taken by a file that is not ours to replace.
std::string set_aside(const std::string& path, const std::string& reason, bool replace) {
    std::string aside = path + "." + reason;
    std::error_code error;
    for (int n = 1; !replace && std::filesystem::exists(aside, error); ++n) {
        aside = path + "." + reason + "." + std::to_string(n);
    }
    std::filesystem::rename(path, aside, error);
    if (error) {
        throw CatalogueError("catalogue " + path + " cannot be set aside as " + aside + ": " +
                             error.message());
    }
    for (const char* companion : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (std::filesystem::exists(path + companion, ignored)) {
            std::filesystem::rename(path + companion, aside + companion, ignored);
        }
    }
    return aside;
}

}  // namespace

CatalogueStorage::CatalogueStorage(std::string path) : m_path(std::move(path)) {
    open();
}

CatalogueStorage::~CatalogueStorage() = default;

void CatalogueStorage::open() {
    // The catalogue is only a mirror of the music folders: a damaged or older one is set
    // aside and built again. A file of anything else is set aside and never written into.
    switch (inspect(m_path)) {
        case Found::Nothing:
        case Found::Ours:
            break;
        case Found::Damaged:
            log_aside("is damaged", set_aside(m_path, "damaged", true));
            break;
        case Found::OldVersion:
            log_aside("was written by an older version", set_aside(m_path, "old-version", true));
            break;
        case Found::Foreign:
            log_aside("is not a catalogue of wavlon-songd",
                      set_aside(m_path, "not-a-catalogue", false));
            break;
    }
    auto connection = std::make_unique<Connection>(m_path, true, &m_damaged);
    connection->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    connection->exec(kSchema);
    connection->exec("PRAGMA application_id=" + std::to_string(kApplicationId) +
                     "; PRAGMA user_version=" + std::to_string(kSchemaVersion));
    m_writer = std::move(connection);
}

void CatalogueStorage::log_aside(const std::string& why, const std::string& aside) const {
    log_line("catalogue " + printable(m_path) + " " + why + "; set aside as " + printable(aside) +
             ", a new one is built");
}

void CatalogueStorage::set_damage_listener(std::function<void()> listener) {
    m_on_damage = std::move(listener);
}

void CatalogueStorage::visit_rows(const RowVisitor& visit) {
    Query query(*m_writer, Sql::IndexRows);
    while (query.next()) {
        visit(query.integer(0), query.text(1), query.text(2));
    }
}

std::unordered_map<std::string, FileStamp> CatalogueStorage::stamps(const std::string& folder) {
    std::unordered_map<std::string, FileStamp> result;
    Query query(*m_writer, Sql::Stamps);
    if (!folder.empty()) {
        // Paths below a folder sort between "folder/" and "folder0" ('0' follows '/').
        query.bind_blob(1, folder + "/").bind_blob(2, folder + "0");
    }
    while (query.next()) {
        result.emplace(query.bytes(0), FileStamp{query.integer(1), query.integer(2)});
    }
    return result;
}

std::optional<FileStamp> CatalogueStorage::stamp(const std::string& path) {
    Query query(*m_writer, Sql::Stamp);
    query.bind_blob(1, path);
    if (!query.next()) {
        return std::nullopt;
    }
    return FileStamp{query.integer(0), query.integer(1)};
}

std::optional<std::int64_t> CatalogueStorage::id_of(const std::string& path) {
    Query query(*m_writer, Sql::IdOf);
    query.bind_blob(1, path);
    if (!query.next()) {
        return std::nullopt;
    }
    return query.integer(0);
}

std::optional<std::int64_t> CatalogueStorage::insert(const std::string& path, const Row& row) {
    Query query(*m_writer, Sql::Insert);
    query.bind_blob(1, path).bind(2, row.stamp.size).bind(3, row.stamp.mtime_ns);
    query.bind_text(4, row.title).bind_text(5, row.author);
    query.bind_text(6, row.folded_title).bind_text(7, row.folded_author);
    try {
        query.run();
    } catch (const CatalogueError&) {
        if (m_writer->failure() == SQLITE_CONSTRAINT_UNIQUE) {
            return std::nullopt;
        }
        throw;
    }
    return sqlite3_last_insert_rowid(m_writer->db());
}

void CatalogueStorage::update(std::int64_t id, const Row& row) {
    Query query(*m_writer, Sql::Update);
    query.bind(1, id).bind(2, row.stamp.size).bind(3, row.stamp.mtime_ns);
    query.bind_text(4, row.title).bind_text(5, row.author);
    query.bind_text(6, row.folded_title).bind_text(7, row.folded_author);
    query.run();
}

void CatalogueStorage::write_trigrams(std::int64_t first, std::int64_t last) {
    Query(*m_writer, Sql::WriteTrigrams).bind(1, first).bind(2, last).run();
}

void CatalogueStorage::delete_trigrams(std::int64_t id) {
    Query(*m_writer, Sql::DeleteTrigrams).bind(1, id).run();
}

std::vector<std::int64_t> CatalogueStorage::remove(const std::string& path) {
    Query query(*m_writer, Sql::Remove);
    query.bind_blob(1, path);
    return removed_ids(query);
}

std::vector<std::int64_t> CatalogueStorage::remove_under(const std::string& folder) {
    Query query(*m_writer, Sql::RemoveUnder);
    query.bind_blob(1, folder + "/").bind_blob(2, folder + "0");
    return removed_ids(query);
}

void CatalogueStorage::begin() {
    Query(*m_writer, Sql::Begin).run();
}

void CatalogueStorage::commit() {
    Query(*m_writer, Sql::Commit).run();
}

void CatalogueStorage::rollback() {
    // A failed COMMIT (a full disk, say) may have rolled the transaction back already.
    if (sqlite3_get_autocommit(m_writer->db())) {
        return;
    }
    try {
        Query(*m_writer, Sql::Rollback).run();
    } catch (const CatalogueError& error) {
        log_line(error.what());
    }
}

void CatalogueStorage::checkpoint() {
    // Best effort: a reader still busy with the log leaves it for the next time.
    try {
        Query(*m_writer, Sql::Checkpoint).run();
    } catch (const CatalogueError& error) {
        log_line(error.what());
    }
}

bool CatalogueStorage::check() {
    if (!m_damaged) {
        bool ok = false;
        try {
            Query query(*m_writer, Sql::QuickCheck);
            ok = query.next() && query.text(0) == "ok";
        } catch (const CatalogueError& error) {
            log_line(error.what());
        }
        if (!ok) {
            m_damaged = true;
        }
    }
    return !m_damaged;
}

void CatalogueStorage::rebuild(const std::function<void()>& refill) {
    std::unique_lock lock(m_swap);
    m_idle_readers.clear();
    m_writer.reset();
    log_aside("is damaged", set_aside(m_path, "damaged", true));
    m_damaged = false;
    m_damage_told = false;
    open();
    refill();
}

std::unique_ptr<CatalogueStorage::Connection> CatalogueStorage::borrow_reader() const {
    {
        std::lock_guard lock(m_readers_mutex);
        if (!m_idle_readers.empty()) {
            auto connection = std::move(m_idle_readers.back());
            m_idle_readers.pop_back();
            return connection;
        }
    }
    auto connection = std::make_unique<Connection>(m_path, false, &m_damaged);
    // Map the file rather than read pages through system calls again and again.
    connection->exec("PRAGMA query_only=1; PRAGMA mmap_size=268435456;");
    return connection;
}

CatalogueStorage::Reading::Reading(const CatalogueStorage& storage)
    : m_note{&storage}, m_swap(storage.m_swap), m_connection(storage.borrow_reader()) {}

CatalogueStorage::Reading::~Reading() {
    std::lock_guard lock(m_note.storage->m_readers_mutex);
    m_note.storage->m_idle_readers.push_back(std::move(m_connection));
}

CatalogueStorage::Reading::DamageNote::~DamageNote() {
    if (storage->m_damaged && !storage->m_damage_told.exchange(true) && storage->m_on_damage) {
        storage->m_on_damage();
    }
}

std::vector<std::int64_t> CatalogueStorage::Reading::matching(const std::string& query_text) {
    Query query(*m_connection, Sql::Match);
    query.bind_text(1, query_text);
    std::vector<std::int64_t> ids;
    while (query.next()) {
        ids.push_back(query.integer(0));
    }
    return ids;
}

std::optional<CatalogueTrack> CatalogueStorage::Reading::track(std::int64_t id) {
    Query query(*m_connection, Sql::Track);
    query.bind(1, id);
    if (!query.next()) {
        return std::nullopt;
    }
    return CatalogueTrack{query.integer(0), query.bytes(1), query.bytes(2), query.bytes(3)};
}

std::int64_t CatalogueStorage::Reading::track_count() {
    Query query(*m_connection, Sql::TrackCount);
    return query.next() ? query.integer(0) : 0;
}

}  // namespace wavlon::songd
