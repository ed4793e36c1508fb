// Text forms used for matching: what the catalogue stores beside each title and artist, and
// what a keyword is turned into before it is looked up.
//
// Folding makes matching case-insensitive and width-insensitive: full-width ASCII (Ａ, １, ＃)
// becomes half-width, the ideographic space a plain space, Latin, Greek and Cyrillic capitals
// small letters, and traditional Chinese characters their simplified forms (OpenCC's table,
// character by character), so that 張學友 finds 张学友 and 孙燕姿 finds 孫燕姿. Input is valid
// UTF-8 (the catalogue and the form decoder make sure); invalid bytes are passed through unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::songd {

std::string fold_for_search(std::string_view utf8);

// Number of characters (code points) of a UTF-8 text.
std::size_t character_count(std::string_view utf8);

// The keyword split at white space into folded terms; empty terms are dropped.
std::vector<std::string> search_terms(std::string_view keyword);

}  // namespace wavlon::songd
