// The program's texts: GB18030 byte strings (the superset of GBK, so every GBK text keeps its
// bytes), as a type of their own.
//
// Libraries, the file system and the network speak UTF-8 and keep it in std::string; a Text
// is never one of those. Neither converts to the other by itself: bytes become a Text only
// through a conversion in platform/codec.h, or through the explicit constructor where the
// bytes are known to be GB18030 already (read from a stored file, the digits of a number, a
// byte-set taken as text). A Text gives its bytes only through bytes(), for the byte-wise
// work the runtime's text commands do. So a UTF-8 string handed where a text belongs, or the
// other way round, is a compile error instead of mojibake on the screen.
//
// A string literal converts to a text by itself; source literals are UTF-8, so this is for
// ASCII literals only (the same bytes in both). As with any C string it ends at its first
// zero byte, and so does a char array handed over the same way; bytes with zeros inside take
// the (pointer, length) constructor. Literals with other characters take the
// `_gb` suffix of runtime/text.h, which converts them; scripts/check-text-literals.py, run
// as a test, finds any that do not.
//
// TextView is to Text what std::string_view is to std::string: it refers to bytes it does
// not own, and a Text or a literal converts to one by itself.
#pragma once

#include <algorithm>
#include <compare>
#include <concepts>
#include <cstddef>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace wavlon::platform {

class Text;

template <std::size_t N>
constexpr std::size_t c_string_length(const char (&s)[N]) {
    return static_cast<std::size_t>(std::find(s, s + N, '\0') - s);
}

class TextView {
public:
    using size_type = std::size_t;
    using const_iterator = std::string_view::const_iterator;
    static constexpr size_type npos = std::string_view::npos;

    constexpr TextView() = default;
    // Up to the first zero byte, as for any C string (a filled char buffer: all of it).
    template <std::size_t N>
    constexpr TextView(const char (&literal)[N]) : m_bytes(literal, c_string_length(literal)) {}
    inline TextView(const Text& text);
    // Bytes that are GB18030 already.
    constexpr explicit TextView(std::string_view bytes) : m_bytes(bytes) {}

    constexpr std::string_view bytes() const { return m_bytes; }
    constexpr size_type size() const { return m_bytes.size(); }
    constexpr bool empty() const { return m_bytes.empty(); }
    constexpr const char* data() const { return m_bytes.data(); }
    constexpr char operator[](size_type i) const { return m_bytes[i]; }
    constexpr char front() const { return m_bytes.front(); }
    constexpr char back() const { return m_bytes.back(); }
    constexpr const_iterator begin() const { return m_bytes.begin(); }
    constexpr const_iterator end() const { return m_bytes.end(); }

    constexpr TextView substr(size_type pos, size_type n = npos) const {
        return TextView(m_bytes.substr(pos, n));
    }
    constexpr size_type find(TextView s, size_type pos = 0) const {
        return m_bytes.find(s.m_bytes, pos);
    }
    constexpr size_type find(char c, size_type pos = 0) const { return m_bytes.find(c, pos); }
    constexpr size_type rfind(TextView s, size_type pos = npos) const {
        return m_bytes.rfind(s.m_bytes, pos);
    }
    constexpr size_type rfind(char c, size_type pos = npos) const { return m_bytes.rfind(c, pos); }
    constexpr size_type find_first_of(TextView s, size_type pos = 0) const {
        return m_bytes.find_first_of(s.m_bytes, pos);
    }
    constexpr size_type find_first_not_of(TextView s, size_type pos = 0) const {
        return m_bytes.find_first_not_of(s.m_bytes, pos);
    }
    constexpr size_type find_last_not_of(TextView s, size_type pos = npos) const {
        return m_bytes.find_last_not_of(s.m_bytes, pos);
    }
    constexpr size_type find_first_not_of(char c, size_type pos = 0) const {
        return m_bytes.find_first_not_of(c, pos);
    }
    constexpr bool starts_with(TextView s) const { return m_bytes.starts_with(s.m_bytes); }
    constexpr bool ends_with(TextView s) const { return m_bytes.ends_with(s.m_bytes); }
    constexpr bool starts_with(char c) const { return m_bytes.starts_with(c); }
    constexpr bool ends_with(char c) const { return m_bytes.ends_with(c); }
    constexpr void remove_prefix(size_type n) { m_bytes.remove_prefix(n); }
    constexpr void remove_suffix(size_type n) { m_bytes.remove_suffix(n); }

private:
    std::string_view m_bytes;
};

class Text {
public:
    using size_type = std::size_t;
    using value_type = char;
    using iterator = std::string::iterator;
    using const_iterator = std::string::const_iterator;
    static constexpr size_type npos = std::string::npos;

    Text() = default;
    template <std::size_t N>
    Text(const char (&literal)[N]) : m_bytes(TextView(literal).bytes()) {}
    explicit Text(TextView view) : m_bytes(view.bytes()) {}
    // Bytes that are GB18030 already.
    explicit Text(std::string bytes) : m_bytes(std::move(bytes)) {}
    explicit Text(std::string_view bytes) : m_bytes(bytes) {}
    Text(const char* bytes, size_type n) : m_bytes(bytes, n) {}
    Text(size_type n, char c) : m_bytes(n, c) {}
    template <std::input_iterator It>
    Text(It first, It last) : m_bytes(first, last) {}

    const std::string& bytes() const& { return m_bytes; }
    std::string bytes() && { return std::move(m_bytes); }
    TextView view() const& { return *this; }
    TextView view() const&& = delete;  // would refer to a text about to be destroyed
    const char* c_str() const { return m_bytes.c_str(); }
    const char* data() const { return m_bytes.data(); }
    char* data() { return m_bytes.data(); }
    size_type size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    char operator[](size_type i) const { return m_bytes[i]; }
    char& operator[](size_type i) { return m_bytes[i]; }
    char front() const { return m_bytes.front(); }
    char back() const { return m_bytes.back(); }
    const_iterator begin() const { return m_bytes.begin(); }
    const_iterator end() const { return m_bytes.end(); }
    iterator begin() { return m_bytes.begin(); }
    iterator end() { return m_bytes.end(); }

    Text substr(size_type pos, size_type n = npos) const { return Text(m_bytes.substr(pos, n)); }
    size_type find(TextView s, size_type pos = 0) const { return view().find(s, pos); }
    size_type find(char c, size_type pos = 0) const { return m_bytes.find(c, pos); }
    size_type rfind(TextView s, size_type pos = npos) const { return view().rfind(s, pos); }
    size_type rfind(char c, size_type pos = npos) const { return m_bytes.rfind(c, pos); }
    size_type find_first_of(TextView s, size_type pos = 0) const {
        return view().find_first_of(s, pos);
    }
    size_type find_first_not_of(TextView s, size_type pos = 0) const {
        return view().find_first_not_of(s, pos);
    }
    size_type find_last_not_of(TextView s, size_type pos = npos) const {
        return view().find_last_not_of(s, pos);
    }
    bool starts_with(TextView s) const { return view().starts_with(s); }
    bool ends_with(TextView s) const { return view().ends_with(s); }
    bool starts_with(char c) const { return m_bytes.starts_with(c); }
    bool ends_with(char c) const { return m_bytes.ends_with(c); }

    void clear() { m_bytes.clear(); }
    void reserve(size_type n) { m_bytes.reserve(n); }
    void resize(size_type n, char c = '\0') { m_bytes.resize(n, c); }
    void push_back(char c) { m_bytes.push_back(c); }
    void pop_back() { m_bytes.pop_back(); }
    Text& append(TextView s) {
        m_bytes.append(s.bytes());
        return *this;
    }
    Text& append(size_type n, char c) {
        m_bytes.append(n, c);
        return *this;
    }
    Text& append(const char* bytes, size_type n) {
        m_bytes.append(bytes, n);
        return *this;
    }
    Text& operator+=(TextView s) { return append(s); }
    Text& operator+=(char c) {
        m_bytes.push_back(c);
        return *this;
    }
    Text& erase(size_type pos, size_type n = npos) {
        m_bytes.erase(pos, n);
        return *this;
    }
    Text& insert(size_type pos, TextView s) {
        m_bytes.insert(pos, s.bytes());
        return *this;
    }
    Text& replace(size_type pos, size_type n, TextView s) {
        m_bytes.replace(pos, n, s.bytes());
        return *this;
    }

private:
    std::string m_bytes;
};

inline TextView::TextView(const Text& text) : m_bytes(text.bytes()) {}

inline bool operator==(TextView a, TextView b) {
    return a.bytes() == b.bytes();
}
inline std::strong_ordering operator<=>(TextView a, TextView b) {
    return a.bytes() <=> b.bytes();
}
// Without these, comparing two Texts would find both the view operators and the rewritten
// forms of themselves through the conversion, and be ambiguous.
inline bool operator==(const Text& a, const Text& b) {
    return a.bytes() == b.bytes();
}
inline std::strong_ordering operator<=>(const Text& a, const Text& b) {
    return a.bytes() <=> b.bytes();
}

inline Text operator+(TextView a, TextView b) {
    Text out;
    out.reserve(a.size() + b.size());
    out.append(a).append(b);
    return out;
}
// A temporary Text on the left is extended in place (only a Text: a literal there would make
// the call ambiguous with the one above).
template <class T>
requires std::same_as<T, Text> Text operator+(T&& a, TextView b) {
    return std::move(a.append(b));
}
// Only a char: a number on either side is not taken for one byte.
template <std::same_as<char> C>
Text operator+(TextView a, C c) {
    Text out(a);
    out.push_back(c);
    return out;
}
template <std::same_as<char> C>
Text operator+(C c, TextView b) {
    Text out(1, c);
    out.append(b);
    return out;
}

// The bytes as they stand, for logs and test failure messages.
inline std::ostream& operator<<(std::ostream& out, TextView text) {
    return out << text.bytes();
}

}  // namespace wavlon::platform

template <>
struct std::hash<wavlon::platform::Text> {
    std::size_t operator()(const wavlon::platform::Text& text) const noexcept {
        return std::hash<std::string>{}(text.bytes());
    }
};
