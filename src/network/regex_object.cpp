#include "network/regex_object.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "platform/regex_engine.h"
#include "runtime/text_commands.h"

namespace wavlon::network {

using runtime::Text;
using runtime::operator""_gb;

namespace {

std::size_t code_points(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

// The subject as UTF-8 for the engine, with the byte offset in the original text of every
// UTF-8 byte, so matches map back to exact byte positions and the original bytes. Each
// character is converted on its own; one that does not decode to a single character is
// converted byte by byte, so every byte of the original maps to its own output.
struct Utf8Subject {
    std::string utf8;
    std::vector<std::size_t> origin;  // utf8.size() + 1 entries

    explicit Utf8Subject(TextView text) {
        utf8.reserve(text.size() * 3 / 2);
        origin.reserve(text.size() * 3 / 2 + 1);
        for (std::size_t i = 0; i < text.size();) {
            std::size_t size = runtime::char_size(text, i);
            if (static_cast<unsigned char>(text[i]) < 0x80) {
                append(text.substr(i, 1).bytes(), i);
            } else {
                std::string converted = platform::gbk_to_utf8(text.substr(i, size));
                if (code_points(converted) == 1) {
                    append(converted, i);
                } else {
                    for (std::size_t k = 0; k < size; ++k) {
                        append(platform::gbk_to_utf8(text.substr(i + k, 1)), i + k);
                    }
                }
            }
            i += size;
        }
        origin.push_back(text.size());
    }

    void append(std::string_view bytes, std::size_t at) {
        utf8 += bytes;
        origin.insert(origin.end(), bytes.size(), at);
    }

    platform::RegexRange map(const platform::RegexRange& range) const {
        if (!range.matched) {
            return {};
        }
        return {origin[range.begin], origin[range.end], true};
    }
};

}  // namespace

struct RegexObject::State {
    Text pattern;
    bool succeeded = false;
    std::size_t group_count = 0;
    std::vector<platform::RegexMatch> matches;  // ranges in bytes of the original subject
};

bool RegexObject::execute(TextView pattern, TextView subject, bool case_sensitive, bool multiline,
                          bool global, bool quote_marker) {
    auto state = std::make_shared<State>();
    state->pattern =
        quote_marker ? runtime::replace_text(pattern, "#引号"_gb, "\"") : Text(pattern);
    m_subject = Text(subject);
    m_state = state;

    platform::RegexOptions options{
        .ignore_case = !case_sensitive, .multiline = multiline, .global = global};
    auto engine = platform::RegexEngine::compile(platform::gbk_to_utf8(state->pattern), options);
    if (!engine) {
        return false;
    }
    Utf8Subject converted(subject);
    auto matches = engine->find_all(converted.utf8);
    if (!matches) {
        return false;
    }
    for (platform::RegexMatch& match : *matches) {
        match.whole = converted.map(match.whole);
        for (platform::RegexRange& group : match.groups) {
            group = converted.map(group);
        }
    }
    state->matches = std::move(*matches);
    state->group_count = engine->group_count();
    state->succeeded = true;
    return true;
}

Text RegexObject::get_pattern() const {
    return m_state ? m_state->pattern : Text{};
}

Text RegexObject::replace(TextView replacement) const {
    if (!m_state || !m_state->succeeded) {
        return {};
    }
    return Text(
        platform::replace_matches(m_subject.bytes(), m_state->matches, replacement.bytes()));
}

std::int32_t RegexObject::match_count() const {
    return m_state ? static_cast<std::int32_t>(m_state->matches.size()) : 0;
}

namespace {

// Reads a range of the subject: its text, and its byte offset into *position when asked
// (-1 when the range does not exist or took no part in the match).
Text read_range(std::string_view subject, const platform::RegexRange* range, std::int32_t* position,
                bool want_position) {
    bool found = range != nullptr && range->matched;
    if (want_position && position != nullptr) {
        *position = found ? static_cast<std::int32_t>(range->begin) : -1;
    }
    return found ? Text(range->in(subject)) : Text{};
}

}  // namespace

Text RegexObject::get_match(std::int32_t k, std::int32_t* position, bool want_position) const {
    const platform::RegexRange* range = nullptr;
    if (k >= 1 && k <= match_count()) {
        range = &m_state->matches[static_cast<std::size_t>(k - 1)].whole;
    }
    return read_range(m_subject.bytes(), range, position, want_position);
}

Text RegexObject::get_submatch(std::int32_t k, std::int32_t j, std::int32_t* position,
                               bool want_position) const {
    const platform::RegexRange* range = nullptr;
    if (k >= 1 && k <= match_count()) {
        const auto& groups = m_state->matches[static_cast<std::size_t>(k - 1)].groups;
        if (j >= 1 && static_cast<std::size_t>(j) <= groups.size()) {
            range = &groups[static_cast<std::size_t>(j - 1)];
        }
    }
    return read_range(m_subject.bytes(), range, position, want_position);
}

std::int32_t RegexObject::submatch_count() const {
    return match_count() > 0 ? static_cast<std::int32_t>(m_state->group_count) : 0;
}

}  // namespace wavlon::network
