// Lexical pieces of the window-template description: tokens of one line and the typed
// arguments of its keys. Every function throws DescriptionError on a mistake; the compiler
// adds the file name and line to the message.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/template_blocks.h"
#include "runtime/text.h"

namespace wavlon::tools {

struct DescriptionError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Token {
    std::string text;  // without quotes and escapes
    bool quoted = false;
};

// The tokens of one line: blank-separated words and double-quoted texts (\" and \\ escape);
// '#' outside a text ends the line.
std::vector<Token> tokenize(std::string_view line);

// Throws "usage: <usage>" unless there are exactly `count` arguments.
void expect_count(const std::vector<Token>& args, std::size_t count, const std::string& usage);

// A decimal or 0x-hex number, optionally negative, within [min, max].
std::int64_t int_arg(const Token& token, std::int64_t min, std::int64_t max);
std::uint32_t u32_arg(const Token& token);
// A unit or window id: its low 24 bits and bits 24-27 are not zero.
std::uint32_t id_arg(const Token& token);

// A word or text converted from UTF-8 to the template's code page.
runtime::Text text_of(const Token& token);
// A quoted text, converted.
runtime::Text text_arg(const Token& token);
bool yes_no_arg(const Token& token);
// The state words: visible|hidden enabled|disabled [tabstop], as record state flags.
std::uint32_t state_arg(const std::vector<Token>& args);
// <r> <g> <b>, or "default" (the system colour) when `allow_default`.
std::uint32_t colour_arg(const std::vector<Token>& args, bool allow_default);
// "<face>" <pixel height> [bold]
runtime::StoredFont font_arg(const std::vector<Token>& args);
// "<heading>" left|centre|right <width>
runtime::ListViewColumn column_arg(const std::vector<Token>& args);
// icon|small-icon|list|report
std::uint32_t view_arg(const Token& token);
// Checks that a routine name is a plain identifier.
void check_routine_name(const Token& token);
// Checks that a name the program's code uses is an identifier (UTF-8 letters allowed);
// throws "<what> <name> is not an identifier".
void check_identifier(const Token& token, const std::string& what);
// The text of a line that holds only a comment, without '#' and surrounding blanks.
std::optional<std::string> comment_of(std::string_view line);

}  // namespace wavlon::tools
