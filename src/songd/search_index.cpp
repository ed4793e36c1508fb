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

// The distinct characters of a track's texts, without white space (a search term never holds
// any). Pairs of characters are not listed: a two-character term is looked for among the tracks
// holding the rarer of its characters, which keeps one list per character in memory rather
// than one per pair (tens of thousands, most of them a few tracks long).
std::vector<std::int64_t> characters_of_track(std::string_view title, std::string_view author) {
    std::vector<std::int64_t> characters = characters_of(title);
    std::vector<std::int64_t> more = characters_of(author);
    characters.insert(characters.end(), more.begin(), more.end());
    std::erase_if(characters, [](std::int64_t c) { return c == ' ' || c == '\t'; });
    std::sort(characters.begin(), characters.end());
    characters.erase(std::unique(characters.begin(), characters.end()), characters.end());
    return characters;
}

std::uint32_t clamped_size(std::string_view text) {
    return static_cast<std::uint32_t>(
        std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

const std::vector<std::int64_t>* SearchIndex::rarest_list(std::string_view term) const {
    const std::vector<std::int64_t>* rarest = nullptr;
    for (std::int64_t character : characters_of(term)) {
        auto list = m_by_character.find(character);
        if (list == m_by_character.end()) {
            return nullptr;  // no track holds this character
        }
        if (!rarest || list->second.size() < rarest->size()) {
            rarest = &list->second;
        }
    }
    return rarest;
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

    for (std::int64_t character : characters_of_track(title_of(texts), author_of(texts))) {
        auto& ids = m_by_character[character];
        // New tracks have the highest ids: appending is the common case.
        if (ids.empty() || ids.back() < id) {
            ids.push_back(id);
        } else {
            ids.insert(std::lower_bound(ids.begin(), ids.end(), id), id);
        }
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
    if (found == m_tracks.end()) {
        return;
    }
    for (std::int64_t character :
         characters_of_track(title_of(found->second), author_of(found->second))) {
        auto list = m_by_character.find(character);
        if (list == m_by_character.end()) {
            continue;
        }
        auto& ids = list->second;
        auto at = std::lower_bound(ids.begin(), ids.end(), id);
        if (at != ids.end() && *at == id) {
            ids.erase(at);
        }
        if (ids.empty()) {
            m_by_character.erase(list);
        }
    }
    m_dead_bytes += found->second.title_size + found->second.author_size;
    m_tracks.erase(found);
}

void SearchIndex::compact_if_sparse() {
    if (m_dead_bytes < 4096 || m_dead_bytes * 2 < m_text.size()) {
        return;
    }
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
    m_by_character.clear();
}

std::size_t SearchIndex::count_with(std::string_view term) const {
    std::shared_lock lock(m_mutex);
    const auto* list = rarest_list(term);
    return list ? list->size() : 0;
}

void SearchIndex::visit_with(std::string_view term, const Visitor& visit) const {
    std::shared_lock lock(m_mutex);
    const auto* list = rarest_list(term);
    if (!list) {
        return;
    }
    for (std::int64_t id : *list) {
        auto texts = m_tracks.find(id);
        if (texts != m_tracks.end()) {
            visit(id, title_of(texts->second), author_of(texts->second));
        }
    }
}

void SearchIndex::visit_ids(const std::vector<std::int64_t>& ids, const Visitor& visit) const {
    std::shared_lock lock(m_mutex);
    for (std::int64_t id : ids) {
        auto texts = m_tracks.find(id);
        if (texts != m_tracks.end()) {
            visit(id, title_of(texts->second), author_of(texts->second));
        }
    }
}

std::size_t SearchIndex::size() const {
    std::shared_lock lock(m_mutex);
    return m_tracks.size();
}

}  // namespace wavlon::songd
