#include "runtime/file_commands.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "platform/codec.h"
#include "platform/files.h"
#include "runtime/program.h"

namespace wavlon::runtime {
namespace {

constexpr std::uint32_t kSearchableBits = 0x37;
constexpr std::uint32_t kSettableBits = 0x27;

bool is_ascii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A name case-folded for matching and ordering, for every script and not only for ASCII
// letters (simple case folding), in two forms: its characters, and UTF-8 for ordering, whose
// byte order is the characters' order. An ASCII name folds by its letters alone and keeps no
// characters: its bytes are its characters.
struct Folded {
    std::string utf8;
    std::u32string chars;  // empty for an ASCII name
    bool ascii = false;
};

Folded folded(std::string_view utf8) {
    Folded out;
    if (is_ascii(utf8)) {
        out.utf8.assign(utf8);
        for (char& c : out.utf8) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        out.ascii = true;
        return out;
    }
    platform::fold_case(utf8, out.utf8, out.chars);
    return out;
}

template <class Char>
bool wildcard_match(std::basic_string_view<Char> pattern, std::basic_string_view<Char> name) {
    constexpr auto npos = std::basic_string_view<Char>::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == Char('*')) {
            star = p++;
            resume = n;
        } else if (star != npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

bool wildcard_match(const Folded& pattern, const Folded& name) {
    if (pattern.ascii && name.ascii) {
        return wildcard_match<char>(pattern.utf8, name.utf8);
    }
    auto chars = [](const Folded& f) {
        return f.ascii ? std::u32string(f.utf8.begin(), f.utf8.end()) : f.chars;
    };
    return wildcard_match<char32_t>(chars(pattern), chars(name));
}

bool mask_matches(std::optional<std::int32_t> mask, std::uint32_t attributes) {
    if (!mask) {
        return (attributes & kAttributeDirectory) == 0;
    }
    std::uint32_t bits = static_cast<std::uint32_t>(*mask) & kSearchableBits;
    return bits == 0 ? (attributes & kSearchableBits) == 0 : (attributes & bits) != 0;
}

struct Listed {
    std::string key;
    Text name;
    std::string file_name;  // as the folder holds it
    std::uint32_t attributes;
    bool mode_known;  // the read-only bit is known
};

// The entries of the pattern's folder whose names match its file part, sorted. With
// `modes_needed` false the read-only bit is only known for links and entries of unknown kind.
std::string folder_of(const Text& pattern) {
    std::size_t slash = pattern.rfind('/');  // "/" is never part of a multibyte character
    return slash == Text::npos ? "."
           : slash == 0        ? "/"
                               : gbk_to_file_name(pattern.substr(0, slash));
}

std::vector<Listed> list_matches(const Text& pattern, bool modes_needed) {
    std::size_t slash = pattern.rfind('/');
    std::string folder = folder_of(pattern);
    std::string file_part = gbk_to_utf8(slash == Text::npos ? pattern : pattern.substr(slash + 1));
    std::vector<Listed> out;
    if (file_part.empty()) {
        return out;
    }
    bool match_all = file_part == "*.*";
    Folded wanted = folded(file_part);

    for (platform::FolderEntry& entry : platform::list_folder(folder, modes_needed)) {
        // A name that is not UTF-8 (GBK bytes from a Windows archive) is listed as the text
        // its bytes are, and matched and sorted as the characters that text reads as.
        Text text = file_name_to_gbk(entry.name);
        Folded key = folded(platform::is_valid_utf8(entry.name) ? entry.name : gbk_to_utf8(text));
        if (!match_all && !wildcard_match(wanted, key)) {
            continue;
        }
        out.push_back({std::move(key.utf8), std::move(text), std::move(entry.name),
                       entry.attributes, entry.read_only_known});
    }
    // Sorting the entries' numbers and moving each entry once is cheaper than swapping the
    // entries (three strings each) through the sort.
    std::vector<std::uint32_t> order(out.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(), [&out](std::uint32_t a, std::uint32_t b) {
        const int by_key = out[a].key.compare(out[b].key);
        return by_key != 0 ? by_key < 0 : out[a].name < out[b].name;
    });
    std::vector<Listed> sorted;
    sorted.reserve(out.size());
    for (std::uint32_t i : order) {
        sorted.push_back(std::move(out[i]));
    }
    return sorted;
}

thread_local FileSearch t_base_search;
thread_local FileSearch* t_current_search = nullptr;

}  // namespace

Text run_directory() {
    return run_directory_path();
}

Text FileSearch::find(const Text& pattern, std::optional<std::int32_t> mask) {
    if (!pattern.empty()) {
        close();
        m_folder = folder_of(pattern);
        for (Listed& listed : list_matches(pattern, false)) {
            m_entries.push_back({std::move(listed.name), std::move(listed.file_name),
                                 listed.attributes, listed.mode_known});
        }
        m_open = true;
    }
    if (!m_open) {
        return {};
    }
    // Only a mask that asks for the read-only bit needs an entry's permissions.
    const bool mode_needed =
        mask && (static_cast<std::uint32_t>(*mask) & kSearchableBits & kAttributeReadOnly) != 0;
    while (m_next < m_entries.size()) {
        Entry& entry = m_entries[m_next++];
        if (mode_needed && !entry.mode_known) {
            std::optional<std::uint32_t> attributes =
                platform::entry_attributes(m_folder + "/" + entry.file_name);
            if (!attributes) {
                continue;  // vanished since the folder was read
            }
            entry.attributes = *attributes;
            entry.mode_known = true;
        }
        if (mask_matches(mask, entry.attributes)) {
            return entry.name;
        }
    }
    close();
    return {};
}

void FileSearch::close() {
    m_entries.clear();
    m_next = 0;
    m_open = false;
}

FileSearch& current_file_search() {
    return t_current_search != nullptr ? *t_current_search : t_base_search;
}

FileSearchScope::FileSearchScope() : m_previous(t_current_search) {
    t_current_search = &m_search;
}

FileSearchScope::~FileSearchScope() {
    t_current_search = m_previous;
}

Text find_file(const Text& pattern, std::optional<std::int32_t> mask) {
    return current_file_search().find(pattern, mask);
}

void close_find() {
    current_file_search().close();
}

bool file_exists(const Text& name) {
    if (name.empty()) {
        return false;
    }
    std::size_t slash = name.rfind('/');
    std::size_t file_part = slash == Text::npos ? 0 : slash + 1;
    if (name.find_first_of("*?", file_part) != Text::npos) {
        return !list_matches(name, false).empty();
    }
    return platform::entry_attributes(gbk_to_file_name(name)).has_value();
}

std::optional<std::uint32_t> file_attributes(const Text& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    return platform::entry_attributes(gbk_to_file_name(name));
}

bool can_write_file(const Text& name) {
    return !name.empty() && platform::can_replace_file(gbk_to_file_name(name));
}

bool write_file_parts(const Text& name, std::span<const std::string_view> parts) {
    return !name.empty() && platform::replace_file(gbk_to_file_name(name), parts);
}

void remove_abandoned_writes(const Text& name) {
    if (!name.empty()) {
        platform::remove_abandoned_temporaries(gbk_to_file_name(name));
    }
}

bool set_file_attributes(const Text& name, std::int32_t attributes) {
    return !name.empty() &&
           platform::set_entry_attributes(gbk_to_file_name(name),
                                          static_cast<std::uint32_t>(attributes) & kSettableBits);
}

}  // namespace wavlon::runtime
