#include "songd/catalogue.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <set>

#include "songd/search_text.h"

namespace wavlon::songd {
namespace {

constexpr int kSchemaVersion = 2;

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
    norm_title, norm_author, content='tracks', content_rowid='id', tokenize='trigram');
CREATE TRIGGER IF NOT EXISTS tracks_ai AFTER INSERT ON tracks BEGIN
    INSERT INTO tracks_fts(rowid, norm_title, norm_author)
        VALUES (new.id, new.norm_title, new.norm_author);
END;
CREATE TRIGGER IF NOT EXISTS tracks_ad AFTER DELETE ON tracks BEGIN
    INSERT INTO tracks_fts(tracks_fts, rowid, norm_title, norm_author)
        VALUES ('delete', old.id, old.norm_title, old.norm_author);
END;
CREATE TABLE IF NOT EXISTS grams(
    gram TEXT NOT NULL,
    id INTEGER NOT NULL,
    PRIMARY KEY (gram, id)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS grams_by_id ON grams(id);
CREATE TRIGGER IF NOT EXISTS tracks_grams_ad AFTER DELETE ON tracks BEGIN
    DELETE FROM grams WHERE id = old.id;
END;
CREATE TRIGGER IF NOT EXISTS tracks_au AFTER UPDATE ON tracks BEGIN
    INSERT INTO tracks_fts(tracks_fts, rowid, norm_title, norm_author)
        VALUES ('delete', old.id, old.norm_title, old.norm_author);
    INSERT INTO tracks_fts(rowid, norm_title, norm_author)
        VALUES (new.id, new.norm_title, new.norm_author);
END;
)sql";

// Terms shorter than this cannot use the trigram index; they are found through the table of
// every character and character pair (grams) of the folded titles and artists.
constexpr std::size_t kIndexedTermLength = 3;

// The distinct characters and pairs of adjacent characters of a folded text, without white
// space (a search term never holds any).
void add_grams(const std::string& folded, std::set<std::string>& grams) {
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < folded.size();) {
        std::size_t length = 1;
        while (i + length < folded.size() &&
               (static_cast<unsigned char>(folded[i + length]) & 0xC0) == 0x80) {
            ++length;
        }
        characters.push_back(folded.substr(i, length));
        i += length;
    }
    auto blank = [](const std::string& c) { return c == " " || c == "\t"; };
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (blank(characters[i]))
            continue;
        grams.insert(characters[i]);
        if (i + 1 < characters.size() && !blank(characters[i + 1])) {
            grams.insert(characters[i] + characters[i + 1]);
        }
    }
}

}  // namespace

// One SQLite connection with its statements prepared on demand.
class Catalogue::Connection {
public:
    Connection(const std::string& path, bool create) {
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
        for (auto& [sql, statement] : m_statements)
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* db() const { return m_db; }

    void exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : sqlite3_errmsg(m_db);
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
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &prepared, nullptr) != SQLITE_OK) {
            throw CatalogueError(std::string("catalogue: ") + sqlite3_errmsg(m_db));
        }
        // Searches build their text from the number of terms: keep only a bounded set.
        if (m_statements.size() > 64) {
            for (auto& [text, old] : m_statements)
                sqlite3_finalize(old);
            m_statements.clear();
        }
        m_statements.emplace(sql, prepared);
        return prepared;
    }

    // Steps a statement that returns no rows.
    void run(sqlite3_stmt* statement) {
        int result = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (result != SQLITE_DONE && result != SQLITE_ROW) {
            throw CatalogueError(std::string("catalogue: ") + sqlite3_errmsg(m_db));
        }
    }

private:
    sqlite3* m_db = nullptr;
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

bool is_current_catalogue(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) != SQLITE_OK) {
        return false;
    }
    int version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : -1;
    sqlite3_finalize(statement);
    return version == kSchemaVersion || version == 0;
}

// The FTS5 phrase for a term: in double quotes, inner quotes doubled.
std::string fts_phrase(const std::string& term) {
    std::string phrase = "\"";
    for (char c : term) {
        phrase += c;
        if (c == '"')
            phrase += '"';
    }
    return phrase + "\"";
}

}  // namespace

Catalogue::Catalogue(const std::string& path) : m_path(path) {
    auto open_writer = [&] {
        auto connection = std::make_unique<Connection>(path, true);
        if (!is_current_catalogue(connection->db())) {
            throw CatalogueError("not a catalogue of this version");
        }
        connection->exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        connection->exec(kSchema);
        connection->exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str());
        return connection;
    };
    try {
        m_writer = open_writer();
    } catch (const CatalogueError& error) {
        // The catalogue is only a mirror of the music folders: set the unreadable file aside
        // (nothing of the user's is lost) and start again.
        std::fprintf(stderr, "wavlon-songd: catalogue %s unusable (%s); starting a new one\n",
                     path.c_str(), error.what());
        std::error_code ignored;
        std::filesystem::rename(path, path + ".damaged", ignored);
        std::filesystem::remove(path + "-wal", ignored);
        std::filesystem::remove(path + "-shm", ignored);
        m_writer = open_writer();
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
    auto connection = std::make_unique<Connection>(m_path, false);
    // Searches touch rows all over the table: map the file and keep a generous page cache
    // rather than read pages through system calls again and again.
    connection->exec("PRAGMA query_only=1; PRAGMA mmap_size=268435456; PRAGMA cache_size=-32768;");
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
    while (sqlite3_step(statement) == SQLITE_ROW) {
        result.emplace(column_bytes(statement, 0), FileStamp{sqlite3_column_int64(statement, 1),
                                                             sqlite3_column_int64(statement, 2)});
    }
    sqlite3_reset(statement);
    return result;
}

void Catalogue::put(const std::string& path, FileStamp stamp, const std::string& title,
                    const std::string& author) {
    sqlite3_stmt* statement = m_writer->statement(
        "INSERT INTO tracks(path, size, mtime_ns, title, author, norm_title, norm_author) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT(path) DO UPDATE SET "
        "size = excluded.size, mtime_ns = excluded.mtime_ns, title = excluded.title, "
        "author = excluded.author, norm_title = excluded.norm_title, "
        "norm_author = excluded.norm_author");
    bind_blob(statement, 1, path);
    sqlite3_bind_int64(statement, 2, stamp.size);
    sqlite3_bind_int64(statement, 3, stamp.mtime_ns);
    bind_text(statement, 4, title);
    bind_text(statement, 5, author);
    std::string norm_title = fold_for_search(title);
    std::string norm_author = fold_for_search(author);
    bind_text(statement, 6, norm_title);
    bind_text(statement, 7, norm_author);
    m_writer->run(statement);

    statement = m_writer->statement("SELECT id FROM tracks WHERE path = ?1");
    bind_blob(statement, 1, path);
    std::int64_t id =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
    sqlite3_reset(statement);
    statement = m_writer->statement("DELETE FROM grams WHERE id = ?1");
    sqlite3_bind_int64(statement, 1, id);
    m_writer->run(statement);
    std::set<std::string> grams;
    add_grams(norm_title, grams);
    add_grams(norm_author, grams);
    statement = m_writer->statement("INSERT OR IGNORE INTO grams(gram, id) VALUES (?1, ?2)");
    for (const std::string& gram : grams) {
        sqlite3_reset(statement);
        bind_text(statement, 1, gram);
        sqlite3_bind_int64(statement, 2, id);
        m_writer->run(statement);
    }
}

std::optional<FileStamp> Catalogue::stamp(const std::string& path) const {
    sqlite3_stmt* statement =
        m_writer->statement("SELECT size, mtime_ns FROM tracks WHERE path = ?1");
    bind_blob(statement, 1, path);
    std::optional<FileStamp> result;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        result = FileStamp{sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1)};
    }
    sqlite3_reset(statement);
    return result;
}

bool Catalogue::remove(const std::string& path) {
    sqlite3_stmt* statement = m_writer->statement("DELETE FROM tracks WHERE path = ?1");
    bind_blob(statement, 1, path);
    m_writer->run(statement);
    return sqlite3_changes(m_writer->db()) > 0;
}

// Paths below a folder sort between "folder/" and "folder0" ('0' follows '/').
std::int64_t Catalogue::remove_under(const std::string& folder) {
    std::string low = folder + "/";
    std::string high = folder + "0";
    sqlite3_stmt* statement =
        m_writer->statement("DELETE FROM tracks WHERE path >= ?1 AND path < ?2");
    bind_blob(statement, 1, low);
    bind_blob(statement, 2, high);
    m_writer->run(statement);
    return sqlite3_changes(m_writer->db());
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
    if (!m_open)
        return;
    m_open = false;
    m_catalogue->m_writer->exec("COMMIT");
}

std::vector<CatalogueTrack> Catalogue::search(const std::string& keyword, SearchField field,
                                              std::int64_t page, int page_size) const {
    std::vector<CatalogueTrack> result;
    std::vector<std::string> terms = search_terms(keyword);
    if (terms.empty() || page < 1 || page_size < 1 ||
        page - 1 > std::numeric_limits<std::int64_t>::max() / page_size) {
        return result;
    }
    std::string whole;
    for (const auto& term : terms)
        whole += (whole.empty() ? "" : " ") + term;

    bool author_only = field == SearchField::Author;
    std::string match;
    for (const auto& term : terms) {
        if (character_count(term) < kIndexedTermLength)
            continue;
        match += match.empty() ? "" : " AND ";
        match +=
            (author_only ? "norm_author : " : "{norm_title norm_author} : ") + fts_phrase(term);
    }
    std::string sql = "SELECT t.id, t.path, t.title, t.author, CASE ";
    sql += author_only ? "WHEN t.norm_author = ?1 THEN 0 WHEN instr(t.norm_author, ?1) = 1 "
                         "THEN 1 ELSE 2 END"
                       : "WHEN t.norm_title = ?1 THEN 0 WHEN instr(t.norm_title, ?1) = 1 THEN 1 "
                         "WHEN t.norm_author = ?1 THEN 2 WHEN instr(t.norm_title, ?1) > 0 THEN 3 "
                         "WHEN instr(t.norm_author, ?1) = 1 THEN 4 ELSE 5 END";
    sql += " AS rank FROM ";
    sql += match.empty() ? "tracks t WHERE 1"
                         : "tracks_fts JOIN tracks t ON t.id = tracks_fts.rowid "
                           "WHERE tracks_fts MATCH ?2";
    for (std::size_t i = 0; i < terms.size(); ++i) {
        std::string parameter = "?" + std::to_string(i + 5);
        if (character_count(terms[i]) < kIndexedTermLength) {
            sql += " AND t.id IN (SELECT id FROM grams WHERE gram = " + parameter + ")";
        }
        sql += author_only ? " AND instr(t.norm_author, " + parameter + ") > 0"
                           : " AND (instr(t.norm_title, " + parameter +
                                 ") > 0 OR instr(t.norm_author, " + parameter + ") > 0)";
    }
    sql += " ORDER BY rank, t.norm_title, t.norm_author, t.id LIMIT ?3 OFFSET ?4";

    auto reader = borrow_reader();
    sqlite3_stmt* statement = reader->statement(sql);
    bind_text(statement, 1, whole);
    if (!match.empty())
        bind_text(statement, 2, match);
    sqlite3_bind_int(statement, 3, page_size);
    sqlite3_bind_int64(statement, 4, (page - 1) * page_size);
    for (std::size_t i = 0; i < terms.size(); ++i) {
        bind_text(statement, static_cast<int>(i + 5), terms[i]);
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        result.push_back({sqlite3_column_int64(statement, 0), column_bytes(statement, 1),
                          column_bytes(statement, 2), column_bytes(statement, 3)});
    }
    sqlite3_reset(statement);
    give_back(std::move(reader));
    return result;
}

std::optional<CatalogueTrack> Catalogue::track(std::int64_t id) const {
    auto reader = borrow_reader();
    sqlite3_stmt* statement =
        reader->statement("SELECT id, path, title, author FROM tracks WHERE id = ?1");
    sqlite3_bind_int64(statement, 1, id);
    std::optional<CatalogueTrack> result;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        result = CatalogueTrack{sqlite3_column_int64(statement, 0), column_bytes(statement, 1),
                                column_bytes(statement, 2), column_bytes(statement, 3)};
    }
    sqlite3_reset(statement);
    give_back(std::move(reader));
    return result;
}

std::int64_t Catalogue::track_count() const {
    auto reader = borrow_reader();
    sqlite3_stmt* statement = reader->statement("SELECT count(*) FROM tracks");
    std::int64_t count =
        sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
    sqlite3_reset(statement);
    give_back(std::move(reader));
    return count;
}

}  // namespace wavlon::songd
