#include "songd/search_index.h"

#include <algorithm>
#include <limits>
#include <mutex>

namespace wavlon::songd {
namespace {

// The characters of a folded text as numbers: the bytes of each character's UTF-8 form read
// as one big-endian number (a stray byte that starts no character is one of its own).
std::vector<std::int64_t> characters_of(std::string_view folded) {
    std::vector<std::int64_t> characters;
    for (std::size_t i = 0; i < folded.size();) {
        std::int64_t character = static_cast<unsigned char>(folded[i++]);
        for (int more = 0; more < 3 && i < folded.size() &&
                           (static_cast<unsigned char>(folded[i]) & 0xC0) == 0x80;
             ++more) {
            character = (character << 8) | static_cast<unsigned char>(folded[i++]);
        }
        characters.push_back(character);
    }
    return characters;
}

// A character is below 2^32; a pair has the first character moved above it.
std::int64_t pair_key(std::int64_t first, std::int64_t second) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(first) << 32) |
                                     static_cast<std::uint64_t>(second));
}

// The distinct characters and pairs of adjacent characters of a track's texts, without white
// space (a search term never holds any).
std::vector<std::int64_t> grams_of(std::string_view title, std::string_view author) {
    std::vector<std::int64_t> grams;
    auto blank = [](std::int64_t c) { return c == ' ' || c == '\t'; };
    for (std::string_view text : {title, author}) {
        std::vector<std::int64_t> characters = characters_of(text);
        for (std::size_t i = 0; i < characters.size(); ++i) {
            if (blank(characters[i]))
                continue;
            grams.push_back(characters[i]);
            if (i + 1 < characters.size() && !blank(characters[i + 1]))
                grams.push_back(pair_key(characters[i], characters[i + 1]));
        }
    }
    std::sort(grams.begin(), grams.end());
    grams.erase(std::unique(grams.begin(), grams.end()), grams.end());
    return grams;
}

std::uint32_t clamped_size(std::string_view text) {
    return static_cast<std::uint32_t>(
        std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

std::int64_t gram_key(std::string_view term) {
    std::vector<std::int64_t> characters = characters_of(term);
    if (characters.empty())
        return -1;
    return characters.size() == 1 ? characters[0] : pair_key(characters[0], characters[1]);
}

std::string_view SearchIndex::title_of(const Texts& texts) const {
    return std::string_view(m_text).substr(texts.offset, texts.title_size);
}

std::string_view SearchIndex::author_of(const Texts& texts) const {
    return std::string_view(m_text).substr(texts.offset + texts.title_size, texts.author_size);
}

void SearchIndex::put(std::int64_t id, std::string_view title, std::string_view author) {
    std::unique_lock lock(m_mutex);
    remove_locked(id);
    Texts texts{m_text.size(), clamped_size(title), clamped_size(author)};
    m_text.append(title.substr(0, texts.title_size));
    m_text.append(author.substr(0, texts.author_size));
    m_tracks.emplace(id, texts);

    for (std::int64_t gram : grams_of(title_of(texts), author_of(texts))) {
        auto& ids = m_by_gram[gram];
        // New tracks have the highest ids: appending is the common case.
        if (ids.empty() || ids.back() < id)
            ids.push_back(id);
        else
            ids.insert(std::lower_bound(ids.begin(), ids.end(), id), id);
    }
    compact_if_sparse();
}

void SearchIndex::remove(std::int64_t id) {
    std::unique_lock lock(m_mutex);
    remove_locked(id);
    compact_if_sparse();
}

void SearchIndex::remove_locked(std::int64_t id) {
    auto found = m_tracks.find(id);
    if (found == m_tracks.end())
        return;
    for (std::int64_t gram : grams_of(title_of(found->second), author_of(found->second))) {
        auto list = m_by_gram.find(gram);
        if (list == m_by_gram.end())
            continue;
        auto& ids = list->second;
        auto at = std::lower_bound(ids.begin(), ids.end(), id);
        if (at != ids.end() && *at == id)
            ids.erase(at);
        if (ids.empty())
            m_by_gram.erase(list);
    }
    m_dead_bytes += found->second.title_size + found->second.author_size;
    m_tracks.erase(found);
}

void SearchIndex::compact_if_sparse() {
    if (m_dead_bytes < 4096 || m_dead_bytes * 2 < m_text.size())
        return;
    std::string text;
    text.reserve(m_text.size() - m_dead_bytes);
    for (auto& [id, texts] : m_tracks) {
        std::size_t offset = text.size();
        text.append(m_text, texts.offset, texts.title_size + texts.author_size);
        texts.offset = offset;
    }
    m_text = std::move(text);
    m_dead_bytes = 0;
}

void SearchIndex::clear() {
    std::unique_lock lock(m_mutex);
    m_text.clear();
    m_dead_bytes = 0;
    m_tracks.clear();
    m_by_gram.clear();
}

std::size_t SearchIndex::count_with(std::string_view term) const {
    std::shared_lock lock(m_mutex);
    auto list = m_by_gram.find(gram_key(term));
    return list == m_by_gram.end() ? 0 : list->second.size();
}

void SearchIndex::visit_with(std::string_view term, const Visitor& visit) const {
    std::shared_lock lock(m_mutex);
    auto list = m_by_gram.find(gram_key(term));
    if (list == m_by_gram.end())
        return;
    for (std::int64_t id : list->second) {
        auto texts = m_tracks.find(id);
        if (texts != m_tracks.end())
            visit(id, title_of(texts->second), author_of(texts->second));
    }
}

void SearchIndex::visit_ids(const std::vector<std::int64_t>& ids, const Visitor& visit) const {
    std::shared_lock lock(m_mutex);
    for (std::int64_t id : ids) {
        auto texts = m_tracks.find(id);
        if (texts != m_tracks.end())
            visit(id, title_of(texts->second), author_of(texts->second));
    }
}

std::size_t SearchIndex::size() const {
    std::shared_lock lock(m_mutex);
    return m_tracks.size();
}

}  // namespace wavlon::songd
