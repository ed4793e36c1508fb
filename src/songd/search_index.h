// The folded title and artist of every catalogued track, held in memory with the tracks that
// hold each character.
//
// Searches rank their matches by these texts, and terms of one or two characters (too short
// for the trigram index) are found through the character lists. Reading a track's texts here
// costs a hash lookup; reading them from the catalogue file costs a walk down its tree, which
// made broad searches (a single common character, a common word) cost milliseconds.
//
// Threads: put and remove from one thread at a time; the reading calls from any number at
// once (a shared lock is held while a visitor runs, so visitors must not call put or remove).
#pragma once

#include <cstdint>
#include <functional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wavlon::songd {

class SearchIndex {
public:
    using Visitor =
        std::function<void(std::int64_t id, std::string_view title, std::string_view author)>;

    // Adds the track or replaces its texts (both folded, see search_text.h).
    void put(std::int64_t id, std::string_view title, std::string_view author);
    void remove(std::int64_t id);
    void clear();

    // How many tracks hold every character of `term` at most (a folded term of one or two
    // characters): the length of the list that visit_with walks.
    std::size_t count_with(std::string_view term) const;
    // Visits every track holding each character of `term` (and more: the caller looks for
    // the term itself in the texts), in id order.
    void visit_with(std::string_view term, const Visitor& visit) const;
    // Visits the tracks of `ids` that are indexed, in the order given.
    void visit_ids(const std::vector<std::int64_t>& ids, const Visitor& visit) const;

    std::size_t size() const;

private:
    struct Texts {
        std::size_t offset = 0;  // in m_text: the title, then the artist
        std::uint32_t title_size = 0;
        std::uint32_t author_size = 0;
    };
    std::string_view title_of(const Texts& texts) const;
    std::string_view author_of(const Texts& texts) const;
    void remove_locked(std::int64_t id);
    // The list of the term's character that the fewest tracks hold; null when one is in none.
    const std::vector<std::int64_t>* rarest_list(std::string_view term) const;
    // Copies the live texts into a fresh buffer once more than half of it is dead.
    void compact_if_sparse();

    mutable std::shared_mutex m_mutex;
    std::string m_text;            // every track's texts, back to back
    std::size_t m_dead_bytes = 0;  // of texts replaced or removed
    std::unordered_map<std::int64_t, Texts> m_tracks;
    // Ids by character (the bytes of its UTF-8 form as one number), ascending.
    std::unordered_map<std::int64_t, std::vector<std::int64_t>> m_by_character;
};

}  // namespace wavlon::songd
