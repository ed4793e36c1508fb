// The catalogue's search half: the two indexes that find tracks, what keeps them in step with
// the stored rows, and how a keyword becomes a page of ranked tracks. The SQLite file and its
// statements are catalogue_storage.h's.
//
// Rules:
// - Two indexes serve a search: the FTS5 table with the trigram tokenizer (terms of three or
//   more characters) and the SearchIndex in memory (every track's folded texts, for ranking,
//   and the tracks holding each character, for shorter terms).
// - A row's trigram entries are written when its transaction ends (one statement for a run of
//   new ids costs a fraction of one per row), and before anything deletes entries: an entry is
//   deleted by the texts it was written with.
// - The in-memory index takes only what was committed: changes wait until the transaction
//   commits and are dropped with it when it is given up.
// - A search takes its candidates from the trigram index when some term is long enough, else
//   from the tracks holding the short term that the fewest tracks hold; every candidate must
//   hold every term, and only the best page's worth is kept while candidates are ranked.
// - A reading call that meets a storage failure logs it and answers that nothing was found.
#include "songd/catalogue.h"

#include <algorithm>
#include <limits>

#include "songd/catalogue_storage.h"
#include "songd/log.h"
#include "songd/search_text.h"

namespace wavlon::songd {
namespace {

// Terms shorter than this cannot use the trigram index.
constexpr std::size_t kIndexedTermLength = 3;

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

Catalogue::Catalogue(const std::string& path)
    : m_storage(std::make_unique<CatalogueStorage>(path)) {
    load_index();
}

Catalogue::~Catalogue() = default;

void Catalogue::load_index() {
    m_index.clear();
    m_storage->visit_rows([this](std::int64_t id, std::string_view title, std::string_view author) {
        m_index.put(id, title, author);
    });
}

bool Catalogue::damaged() const {
    return m_storage->damaged();
}

void Catalogue::set_damage_listener(std::function<void()> listener) {
    m_storage->set_damage_listener(std::move(listener));
}

bool Catalogue::check() {
    return m_storage->check();
}

void Catalogue::rebuild() {
    m_pending_rows.clear();
    m_pending_index.clear();
    m_storage->rebuild([this] { load_index(); });
}

void Catalogue::checkpoint() {
    if (m_batch_depth == 0) {
        m_storage->checkpoint();
    }
}

std::unordered_map<std::string, FileStamp> Catalogue::stamps(const std::string& folder) const {
    return m_storage->stamps(folder);
}

std::optional<FileStamp> Catalogue::stamp(const std::string& path) const {
    return m_storage->stamp(path);
}

void Catalogue::put(const std::string& path, FileStamp stamp, const std::string& title,
                    const std::string& author, bool replacing) {
    std::string norm_title = fold_for_search(title);
    std::string norm_author = fold_for_search(author);
    CatalogueStorage::Row row{stamp, title, author, norm_title, norm_author};
    std::optional<std::int64_t> id = replacing ? m_storage->id_of(path) : std::nullopt;
    if (id) {
        // The row may have been put earlier in this transaction: its entries are written
        // before they are deleted.
        flush_pending();
        m_storage->delete_trigrams(*id);
        m_storage->update(*id, row);
    } else {
        id = m_storage->insert(path, row);
        if (!id) {
            if (replacing) {
                throw CatalogueError("catalogue: " + path + " is catalogued twice");
            }
            put(path, stamp, title, author, true);  // it was known after all
            return;
        }
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
    for (std::size_t first = 0; first < m_pending_rows.size();) {
        std::size_t last = first;
        while (last + 1 < m_pending_rows.size() &&
               m_pending_rows[last + 1] == m_pending_rows[last] + 1) {
            ++last;
        }
        m_storage->write_trigrams(m_pending_rows[first], m_pending_rows[last]);
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

std::int64_t Catalogue::removed(const std::vector<std::int64_t>& ids) {
    for (std::int64_t id : ids) {
        m_pending_index.push_back({id, {}, {}, true});
    }
    if (m_batch_depth == 0) {
        apply_to_index();
    }
    return static_cast<std::int64_t>(ids.size());
}

bool Catalogue::remove(const std::string& path) {
    flush_pending();  // the delete trigger removes index entries, which must exist
    return removed(m_storage->remove(path)) > 0;
}

std::int64_t Catalogue::remove_under(const std::string& folder) {
    flush_pending();
    return removed(m_storage->remove_under(folder));
}

Catalogue::Batch::Batch(Catalogue& catalogue) : m_catalogue(&catalogue) {
    if (m_catalogue->m_batch_depth == 0) {
        m_catalogue->m_storage->begin();
        m_open = true;
    }
    ++m_catalogue->m_batch_depth;
}

Catalogue::Batch::~Batch() {
    try {
        commit();
    } catch (const CatalogueError& error) {
        log_line(error.what());
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
        m_catalogue->m_storage->commit();
        m_catalogue->apply_to_index();
    } catch (const CatalogueError&) {
        // A full disk, say: give the batch up whole so that the next one can begin.
        m_catalogue->m_pending_rows.clear();
        m_catalogue->m_pending_index.clear();
        m_catalogue->m_storage->rollback();
        throw;
    }
}

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
    try {
        CatalogueStorage::Reading reading(*m_storage);
        if (match.empty()) {
            m_index.visit_with(*rarest, consider);
        } else {
            m_index.visit_ids(reading.matching(match), consider);
        }
        std::sort_heap(best.begin(), best.end(), worse);
        auto first = std::min<std::int64_t>(offset, static_cast<std::int64_t>(best.size()));
        for (auto hit = best.begin() + first; hit != best.end(); ++hit) {
            if (auto track = reading.track(hit->id)) {
                result.push_back(std::move(*track));
            }
        }
    } catch (const CatalogueError& error) {
        log_line(error.what());
        result.clear();
    }
    return result;
}

std::optional<CatalogueTrack> Catalogue::track(std::int64_t id) const {
    try {
        return CatalogueStorage::Reading(*m_storage).track(id);
    } catch (const CatalogueError& error) {
        log_line(error.what());
        return std::nullopt;
    }
}

std::int64_t Catalogue::track_count() const {
    try {
        return CatalogueStorage::Reading(*m_storage).track_count();
    } catch (const CatalogueError& error) {
        log_line(error.what());
        return 0;
    }
}

}  // namespace wavlon::songd
