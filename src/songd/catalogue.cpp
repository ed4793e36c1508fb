#include "songd/catalogue.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "songd/search_text.h"

namespace wavlon::songd {
namespace {

constexpr int kSchemaVersion = 5;
// "WvSd": marks an SQLite file as a catalogue of this service.
constexpr std::int64_t kApplicationId = 0x57765364;

// A row's trigram entries are written when its transaction ends (see
// Catalogue::flush_pending): one statement for a run of new rows costs a fraction of one per
// row. Deleting a row deletes its entries.
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

// Terms shorter than this cannot use the trigram index; they are found through the search
// index's lists of the tracks holding each character.
constexpr std::size_t kIndexedTermLength = 3;

}  // namespace

// One SQLite connection with its statements prepared on demand.
class Catalogue::Connection {
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
        for (auto& [sql, statement] : m_statements) {
            sqlite3_finalize(statement);
        }
        sqlite3_close(m_db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* db() const { return m_db; }

    // Every result passes here: damage found by any statement marks the catalogue damaged.
    // Damage can also surface as a plain error (an FTS5 table whose pages are gone fails to
    // open): an unexplained error has the file checked.
    int noted(int result) {
        int primary = result & 0xFF;
        if (primary != SQLITE_OK && primary != SQLITE_ROW && primary != SQLITE_DONE) {
            m_message = sqlite3_errmsg(m_db);
        }
        bool damage = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
        if (primary == SQLITE_ERROR && !m_checking) {
            m_checking = true;
            sqlite3_stmt* check = nullptr;
            if (sqlite3_prepare_v2(m_db, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK) {
                int step = sqlite3_step(check);
                damage = step != SQLITE_ROW || std::string_view(reinterpret_cast<const char*>(
                                                   sqlite3_column_text(check, 0))) != "ok";
            } else {
                damage = true;
            }
            sqlite3_finalize(check);
            m_checking = false;
        }
        if (damage && m_damaged) {
            m_damaged->store(true);
        }
        return result;
    }
    int step(sqlite3_stmt* statement) { return noted(sqlite3_step(statement)); }
    // The message of the last failure (a check after it does not replace it).
    const std::string& message() const { return m_message; }

    void exec(const char* sql) {
        char* error = nullptr;
        if (noted(sqlite3_exec(m_db, sql, nullptr, nullptr, &error)) != SQLITE_OK) {
            std::string message = error ? error : m_message;
            sqlite3_free(error);
            throw CatalogueError("catalogue: " + message);
        }
    }

    // A statement for `sql`, reset and with its bindings cleared.
    sqlite3_stmt* statement(const std::string& sql) {
        auto found = m_statements.find(sql);
        if (found != m_statements.end()) {
            sqlite3_reset(found->second);
            sqlite3_clear_bindings(found->second);
            return found->second;
        }
        sqlite3_stmt* prepared = nullptr;
        if (noted(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &prepared, nullptr)) != SQLITE_OK) {
            throw CatalogueError("catalogue: " + m_message);
        }
        // Searches build their text from the number of terms: keep only a bounded set.
        if (m_statements.size() > 64) {
            for (auto& [text, old] : m_statements) {
                sqlite3_finalize(old);
            }
            m_statements.clear();
        }
        m_statements.emplace(sql, prepared);
        return prepared;
    }

    // Steps a statement that returns no rows.
    void run(sqlite3_stmt* statement) {
        int result = step(statement);
        sqlite3_reset(statement);
        if (result != SQLITE_DONE && result != SQLITE_ROW) {
            throw CatalogueError("catalogue: " + m_message);
        }
    }

private:
    sqlite3* m_db = nullptr;
    std::atomic<bool>* m_damaged;
    bool m_checking = false;
    std::string m_message;
    std::unordered_map<std::string, sqlite3_stmt*> m_statements;
};

namespace {

void bind_text(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void bind_blob(sqlite3_stmt* statement, int index, const std::string& bytes) {
    sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
}

std::string column_bytes(sqlite3_stmt* statement, int column) {
    const void* data = sqlite3_column_blob(statement, column);
    int size = sqlite3_column_bytes(statement, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                : std::string();
}

// What a file at the catalogue's place holds.
enum class Found { Nothing, Ours, Damaged, OldVersion, Foreign };

// One integer of a pragma, or nullopt when it cannot be read.
std::optional<std::int64_t> pragma_value(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
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
    if (found == Found::Ours) {
        sqlite3_stmt* statement = nullptr;
        bool ok =
            sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW &&
            std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))) ==
                "ok";
        sqlite3_finalize(statement);
        if (!ok) {
            found = Found::Damaged;
        }
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

// The FTS5 phrase for a term: in double quotes, inner quotes doubled.
std::string fts_phrase(const std::string& term) {
    std::string phrase = "\"";
    for (char c : term) {
        phrase += c;
        if (c == '"') {
            phrase += '"';
        }
    }
    return phrase + "\"";
}

}  // namespace

Catalogue::Catalogue(const std::string& path) : m_path(path) {
    open();
}

void Catalogue::open() {
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
    connection->exec(("PRAGMA application_id=" + std::to_string(kApplicationId) +
                      "; PRAGMA user_version=" + std::to_string(kSchemaVersion))
                         .c_str());
    m_writer = std::move(connection);
    sqlite3_stmt* statement = m_writer->statement("SELECT id, norm_title, norm_author FROM tracks");
    while (m_writer->step(statement) == SQLITE_ROW) {
        m_index.put(sqlite3_column_int64(statement, 0), column_bytes(statement, 1),
                    column_bytes(statement, 2));
    }
    sqlite3_reset(statement);
}

void Catalogue::log_aside(const std::string& why, const std::string& aside) {
    std::fprintf(stderr, "wavlon-songd: catalogue %s %s; set aside as %s, a new one is built\n",
                 m_path.c_str(), why.c_str(), aside.c_str());
}

void Catalogue::set_damage_listener(std::function<void()> listener) {
    m_on_damage = std::move(listener);
}

bool Catalogue::check() {
    if (!m_damaged) {
        sqlite3_stmt* statement = m_writer->statement("PRAGMA quick_check");
        int result = m_writer->step(statement);
        bool ok = result == SQLITE_ROW && std::string_view(reinterpret_cast<const char*>(
                                              sqlite3_column_text(statement, 0))) == "ok";
        sqlite3_reset(statement);
        if (!ok) {
            m_damaged = true;
        }
    }
    return !m_damaged;
}

void Catalogue::rebuild() {
    std::unique_lock lock(m_swap);
    m_idle_readers.clear();
    m_writer.reset();
    m_index.clear();
    m_pending_rows.clear();
    m_pending_index.clear();
    log_aside("is damaged", set_aside(m_path, "damaged", true));
    m_damaged = false;
    m_damage_told = false;
    open();
}

Catalogue::DamageNote::~DamageNote() {
    m_catalogue->note_damage();
}

void Catalogue::note_damage() const {
    if (m_damaged && !m_damage_told.exchange(true) && m_on_damage) {
        m_on_damage();
    }
}

Catalogue::~Catalogue() = default;

std::unique_ptr<Catalogue::Connection> Catalogue::borrow_reader() const {
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

void Catalogue::give_back(std::unique_ptr<Connection> connection) const {
    std::lock_guard lock(m_readers_mutex);
    m_idle_readers.push_back(std::move(connection));
}

std::unordered_map<std::string, FileStamp> Catalogue::stamps(const std::string& folder) const {
    std::unordered_map<std::string, FileStamp> result;
    sqlite3_stmt* statement = m_writer->statement(
        "SELECT path, size, mtime_ns FROM tracks WHERE ?1 IS NULL OR (path >= ?1 AND path < ?2)");
    if (!folder.empty()) {
        bind_blob(statement, 1, folder + "/");
        bind_blob(statement, 2, folder + "0");
    }
    while (m_writer->step(statement) == SQLITE_ROW) {
        result.emplace(column_bytes(statement, 0), FileStamp{sqlite3_column_int64(statement, 1),
                                                             sqlite3_column_int64(statement, 2)});
    }
    sqlite3_reset(statement);
    return result;
}

void Catalogue::put(const std::string& path, FileStamp stamp, const std::string& title,
                    const std::string& author, bool replacing) {
    std::string norm_title = fold_for_search(title);
    std::string norm_author = fold_for_search(author);
    std::optional<std::int64_t> id;
    if (replacing) {
        sqlite3_stmt* statement = m_writer->statement("SELECT id FROM tracks WHERE path = ?1");
        bind_blob(statement, 1, path);
        if (m_writer->step(statement) == SQLITE_ROW) {
            id = sqlite3_column_int64(statement, 0);
        }
        sqlite3_reset(statement);
    }
    sqlite3_stmt* statement = nullptr;
    if (id) {
        // The old trigram entries are deleted by their old texts, so they must all be written
        // first (the row may have been put earlier in this transaction).
        flush_pending();
        statement = m_writer->statement(
            "INSERT INTO tracks_fts(tracks_fts, rowid, norm_title, norm_author) "
            "SELECT 'delete', id, norm_title, norm_author FROM tracks WHERE id = ?1");
        sqlite3_bind_int64(statement, 1, *id);
        m_writer->run(statement);
        statement = m_writer->statement(
            "UPDATE tracks SET size = ?2, mtime_ns = ?3, title = ?4, author = ?5, "
            "norm_title = ?6, norm_author = ?7 WHERE id = ?1");
        sqlite3_bind_int64(statement, 1, *id);
    } else {
        statement = m_writer->statement(
            "INSERT INTO tracks(path, size, mtime_ns, title, author, norm_title, norm_author) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        bind_blob(statement, 1, path);
    }
    sqlite3_bind_int64(statement, 2, stamp.size);
    sqlite3_bind_int64(statement, 3, stamp.mtime_ns);
    bind_text(statement, 4, title);
    bind_text(statement, 5, author);
    bind_text(statement, 6, norm_title);
    bind_text(statement, 7, norm_author);
    int result = m_writer->step(statement);
    if (!id && result == SQLITE_DONE) {
        id = sqlite3_last_insert_rowid(m_writer->db());
    }
    std::string message = m_writer->message();
    int code = sqlite3_extended_errcode(m_writer->db());
    sqlite3_reset(statement);
    if (!id && code == SQLITE_CONSTRAINT_UNIQUE && !replacing) {
        put(path, stamp, title, author, true);  // it was known after all
        return;
    }
    if (!id || result != SQLITE_DONE) {
        throw CatalogueError("catalogue: " + message);
    }

    m_pending_rows.push_back(*id);
    m_pending_index.push_back({*id, std::move(norm_title), std::move(norm_author), false});
    if (m_batch_depth == 0) {
        flush_pending();
        apply_to_index();
    }
}

void Catalogue::flush_pending() {
    // One trigram statement for each run of consecutive ids (a scan's new rows are one run).
    std::sort(m_pending_rows.begin(), m_pending_rows.end());
    sqlite3_stmt* statement = m_writer->statement(
        "INSERT INTO tracks_fts(rowid, norm_title, norm_author) "
        "SELECT id, norm_title, norm_author FROM tracks WHERE id BETWEEN ?1 AND ?2");
    for (std::size_t first = 0; first < m_pending_rows.size();) {
        std::size_t last = first;
        while (last + 1 < m_pending_rows.size() &&
               m_pending_rows[last + 1] == m_pending_rows[last] + 1) {
            ++last;
        }
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, 1, m_pending_rows[first]);
        sqlite3_bind_int64(statement, 2, m_pending_rows[last]);
        m_writer->run(statement);
        first = last + 1;
    }
    m_pending_rows.clear();
}

void Catalogue::apply_to_index() {
    for (auto& change : m_pending_index) {
        if (change.removed) {
            m_index.remove(change.id);
        } else {
            m_index.put(change.id, change.title, change.author);
        }
    }
    m_pending_index.clear();
}

std::int64_t Catalogue::removed_rows(sqlite3_stmt* statement) {
    int result = SQLITE_ROW;
    std::int64_t count = 0;
    while ((result = m_writer->step(statement)) == SQLITE_ROW) {
        m_pending_index.push_back({sqlite3_column_int64(statement, 0), {}, {}, true});
        ++count;
    }
    std::string message = m_writer->message();
    sqlite3_reset(statement);
    if (result != SQLITE_DONE) {
        throw CatalogueError("catalogue: " + message);
    }
    if (m_batch_depth == 0) {
        apply_to_index();
    }
    return count;
}

std::optional<FileStamp> Catalogue::stamp(const std::string& path) const {
    sqlite3_stmt* statement =
        m_writer->statement("SELECT size, mtime_ns FROM tracks WHERE path = ?1");
    bind_blob(statement, 1, path);
    std::optional<FileStamp> result;
    if (m_writer->step(statement) == SQLITE_ROW) {
        result = FileStamp{sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1)};
    }
    sqlite3_reset(statement);
    return result;
}

bool Catalogue::remove(const std::string& path) {
    flush_pending();  // the delete trigger removes index entries, which must exist
    sqlite3_stmt* statement =
        m_writer->statement("DELETE FROM tracks WHERE path = ?1 RETURNING id");
    bind_blob(statement, 1, path);
    return removed_rows(statement) > 0;
}

// Paths below a folder sort between "folder/" and "folder0" ('0' follows '/').
std::int64_t Catalogue::remove_under(const std::string& folder) {
    std::string low = folder + "/";
    std::string high = folder + "0";
    flush_pending();
    sqlite3_stmt* statement =
        m_writer->statement("DELETE FROM tracks WHERE path >= ?1 AND path < ?2 RETURNING id");
    bind_blob(statement, 1, low);
    bind_blob(statement, 2, high);
    return removed_rows(statement);
}

void Catalogue::checkpoint() {
    if (m_batch_depth == 0) {
        sqlite3_exec(m_writer->db(), "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    }
}

Catalogue::Batch::Batch(Catalogue& catalogue) : m_catalogue(&catalogue) {
    if (m_catalogue->m_batch_depth++ == 0) {
        m_catalogue->m_writer->exec("BEGIN IMMEDIATE");
        m_open = true;
    }
}

Catalogue::Batch::~Batch() {
    try {
        commit();
    } catch (const CatalogueError& error) {
        std::fprintf(stderr, "wavlon-songd: %s\n", error.what());
    }
    --m_catalogue->m_batch_depth;
}

void Catalogue::Batch::commit() {
    if (!m_open) {
        return;
    }
    m_open = false;
    try {
        m_catalogue->flush_pending();
        m_catalogue->m_writer->exec("COMMIT");
        m_catalogue->apply_to_index();
    } catch (const CatalogueError&) {
        // A full disk, say: give the batch up whole so that the next one can begin.
        m_catalogue->m_pending_rows.clear();
        m_catalogue->m_pending_index.clear();
        sqlite3_exec(m_catalogue->m_writer->db(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

namespace {

// Where a match ranks, best first: exact title, title prefix, exact artist, title containing,
// artist prefix, artist containing (by artist only: exact, prefix, containing).
int rank_of(std::string_view title, std::string_view author, std::string_view whole,
            bool author_only) {
    auto starts = [](std::string_view text, std::string_view start) {
        return text.substr(0, start.size()) == start;
    };
    if (author_only) {
        return author == whole ? 0 : starts(author, whole) ? 1 : 2;
    }
    if (title == whole) {
        return 0;
    }
    if (starts(title, whole)) {
        return 1;
    }
    if (author == whole) {
        return 2;
    }
    if (title.find(whole) != std::string_view::npos) {
        return 3;
    }
    return starts(author, whole) ? 4 : 5;
}

// A match while the best ones are chosen; the texts are the folded ones.
template <typename Text>
struct Hit {
    int rank;
    Text title;
    Text author;
    std::int64_t id;
};

template <typename A, typename B>
bool ranks_before(const Hit<A>& a, const Hit<B>& b) {
    if (a.rank != b.rank) {
        return a.rank < b.rank;
    }
    if (int order = std::string_view(a.title).compare(b.title)) {
        return order < 0;
    }
    if (int order = std::string_view(a.author).compare(b.author)) {
        return order < 0;
    }
    return a.id < b.id;
}

}  // namespace

std::vector<CatalogueTrack> Catalogue::search(const std::string& keyword, SearchField field,
                                              std::int64_t page, int page_size) const {
    std::vector<CatalogueTrack> result;
    std::vector<std::string> terms = search_terms(keyword);
    if (terms.empty() || page < 1 || page_size < 1 ||
        page - 1 > std::numeric_limits<std::int64_t>::max() / page_size) {
        return result;
    }
    std::int64_t offset = (page - 1) * page_size;
    std::int64_t wanted = offset > std::numeric_limits<std::int64_t>::max() - page_size
                              ? std::numeric_limits<std::int64_t>::max()
                              : offset + page_size;
    std::string whole;
    for (const auto& term : terms) {
        whole += (whole.empty() ? "" : " ") + term;
    }
    bool author_only = field == SearchField::Author;

    // Every term is looked for in each candidate's texts, and only the best `wanted`
    // candidates are kept (the worst of them on top), rather than sorting every match.
    std::vector<Hit<std::string>> best;
    auto worse = [](const Hit<std::string>& a, const Hit<std::string>& b) {
        return ranks_before(a, b);
    };
    auto consider = [&](std::int64_t id, std::string_view title, std::string_view author) {
        for (const auto& term : terms) {
            if (author.find(term) == std::string_view::npos &&
                (author_only || title.find(term) == std::string_view::npos)) {
                return;
            }
        }
        Hit<std::string_view> hit{rank_of(title, author, whole, author_only), title, author, id};
        bool full = static_cast<std::int64_t>(best.size()) >= wanted;
        if (full && !ranks_before(hit, best.front())) {
            return;
        }
        best.push_back({hit.rank, std::string(title), std::string(author), id});
        std::push_heap(best.begin(), best.end(), worse);
        if (full) {
            std::pop_heap(best.begin(), best.end(), worse);
            best.pop_back();
        }
    };

    // The candidates: the trigram index's matches of the long terms, or else the tracks
    // holding the short term that the fewest tracks hold.
    std::string match;
    const std::string* rarest = nullptr;
    std::size_t rarest_count = 0;
    for (const auto& term : terms) {
        if (character_count(term) < kIndexedTermLength) {
            std::size_t count = m_index.count_with(term);
            if (!rarest || count < rarest_count) {
                rarest = &term;
                rarest_count = count;
            }
            continue;
        }
        match += match.empty() ? "" : " AND ";
        match +=
            (author_only ? "norm_author : " : "{norm_title norm_author} : ") + fts_phrase(term);
    }
    DamageNote note{this};  // told after the lock is let go, even when this throws
    std::shared_lock swap(m_swap);
    auto reader = borrow_reader();
    if (match.empty()) {
        m_index.visit_with(*rarest, consider);
    } else {
        sqlite3_stmt* statement =
            reader->statement("SELECT rowid FROM tracks_fts WHERE tracks_fts MATCH ?1");
        bind_text(statement, 1, match);
        std::vector<std::int64_t> ids;
        while (reader->step(statement) == SQLITE_ROW) {
            ids.push_back(sqlite3_column_int64(statement, 0));
        }
        sqlite3_reset(statement);
        m_index.visit_ids(ids, consider);
    }
    std::sort_heap(best.begin(), best.end(), worse);

    sqlite3_stmt* statement =
        reader->statement("SELECT path, title, author FROM tracks WHERE id = ?1");
    auto first = std::min<std::int64_t>(offset, static_cast<std::int64_t>(best.size()));
    for (auto hit = best.begin() + first; hit != best.end(); ++hit) {
        sqlite3_reset(statement);
        sqlite3_bind_int64(statement, 1, hit->id);
        if (reader->step(statement) == SQLITE_ROW) {
            result.push_back({hit->id, column_bytes(statement, 0), column_bytes(statement, 1),
                              column_bytes(statement, 2)});
        }
    }
    sqlite3_reset(statement);
    give_back(std::move(reader));
    return result;
}

std::optional<CatalogueTrack> Catalogue::track(std::int64_t id) const {
    DamageNote note{this};  // told after the lock is let go, even when this throws
    std::shared_lock swap(m_swap);
    auto reader = borrow_reader();
    sqlite3_stmt* statement =
        reader->statement("SELECT id, path, title, author FROM tracks WHERE id = ?1");
    sqlite3_bind_int64(statement, 1, id);
    std::optional<CatalogueTrack> result;
    if (reader->step(statement) == SQLITE_ROW) {
        result = CatalogueTrack{sqlite3_column_int64(statement, 0), column_bytes(statement, 1),
                                column_bytes(statement, 2), column_bytes(statement, 3)};
    }
    sqlite3_reset(statement);
    give_back(std::move(reader));
    return result;
}

std::int64_t Catalogue::track_count() const {
    DamageNote note{this};  // told after the lock is let go, even when this throws
    std::shared_lock swap(m_swap);
    auto reader = borrow_reader();
    sqlite3_stmt* statement = reader->statement("SELECT count(*) FROM tracks");
    std::int64_t count =
        reader->step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
    sqlite3_reset(statement);
    give_back(std::move(reader));
    return count;
}

}  // namespace wavlon::songd
