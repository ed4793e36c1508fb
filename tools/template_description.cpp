#include "tools/template_description.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "runtime/template_blocks.h"
#include "runtime/text.h"
#include "tools/description_syntax.h"

namespace wavlon::tools {

using namespace runtime;

namespace {

// A unit type of the description: its type id and the class the runtime creates for it
// (declared in runtime/units/<header>), which the generated units header refers to.
struct DescribedType {
    std::uint32_t id;
    std::string unit_class;
    std::string header;
};

DescribedType described(const UnitTypeName& type) {
    std::string header;
    for (char c : type.name) {
        if (c >= 'A' && c <= 'Z') {
            header += header.empty() ? "" : "_";
            c = static_cast<char>(c - 'A' + 'a');
        }
        header += c;
    }
    return {type.id, std::string(type.name) + "Unit", header + "_unit.h"};
}

// The types a unit line may name: every type of the table but the window, which the window
// line declares.
const std::map<std::string, DescribedType, std::less<>> kTypeNames = [] {
    std::map<std::string, DescribedType, std::less<>> names;
    for (const UnitTypeName& type : kUnitTypeNames) {
        if (type.id != unit_types::kWindow) {
            names.emplace(type.name, described(type));
        }
    }
    return names;
}();
const DescribedType kWindowType =
    described(*std::ranges::find(kUnitTypeNames, unit_types::kWindow, &UnitTypeName::id));

std::string type_name(std::uint32_t type) {
    if (type == unit_types::kWindow) {
        return "window";
    }
    for (const auto& [name, described] : kTypeNames) {
        if (described.id == type) {
            return name;
        }
    }
    return "unknown type";
}

NamedUnit named_unit(std::string name, const DescribedType& type, std::uint32_t id,
                     std::vector<std::string> role) {
    return {std::move(name), type.unit_class, "runtime/units/" + type.header, id, std::move(role)};
}

// A record being described: the stored record plus what the description adds to it.
struct PendingRecord {
    int line = 0;
    std::uint32_t id = 0;
    UnitRecord record;
    TypeBlock block;
    std::set<std::string, std::less<>> keys;
    std::vector<std::pair<std::int32_t, std::string>> events;  // event, routine name
    NamedUnit named;
};

struct PendingWindow {
    int line = 0;
    WindowBlock window;
    std::string id_constant;
    std::vector<PendingRecord> records;  // records[0] is the window's own record
    bool has_record_id = false;
};

// Errors are thrown as DescriptionError; line() is then the line they belong to.
class Compiler {
public:
    int line() const { return m_line; }

    CompiledTemplate run(std::string_view source) {
        int line_number = 0;
        std::size_t start = 0;
        while (start <= source.size()) {
            std::size_t end = source.find('\n', start);
            if (end == std::string_view::npos) {
                end = source.size();
            }
            m_line = ++line_number;
            std::string_view line = source.substr(start, end - start);
            if (auto comment = comment_of(line)) {
                m_comment.push_back(std::move(*comment));
            } else {
                statement(tokenize(line));
                m_comment.clear();  // a blank line or a statement ends a role
            }
            start = end + 1;
        }
        finish_window();
        return finish();
    }

private:
    [[noreturn]] static void fail(const std::string& what) { throw DescriptionError(what); }

    void statement(const std::vector<Token>& tokens) {
        if (tokens.empty()) {
            return;
        }
        const std::string& key = tokens[0].text;
        std::vector<Token> args(tokens.begin() + 1, tokens.end());
        if (tokens[0].quoted) {
            fail("a statement starts with a key, not a text");
        }
        if (key == "window") {
            begin_window(args);
        } else if (key == "unit") {
            begin_unit(args);
        } else if (m_windows.empty()) {
            fail("'" + key + "' before the first window");
        } else {
            apply_key(current(), key, args);
        }
    }

    PendingRecord& current() { return m_windows.back().records.back(); }

    // The comment lines just above the statement. A comment line that ends in a backslash
    // would swallow the declaration after it in the generated header.
    std::vector<std::string> take_role() {
        for (const auto& comment : m_comment) {
            if (comment.ends_with('\\')) {
                fail("a comment line above a window or unit ends in a backslash");
            }
        }
        return std::exchange(m_comment, {});
    }

    void begin_window(const std::vector<Token>& args) {
        expect_count(args, 1, "window <window id>");
        finish_window();
        PendingWindow window;
        window.line = m_line;
        window.window.id = id_arg(args[0]);
        for (const auto& earlier : m_windows) {
            if (earlier.window.id == window.window.id) {
                fail("window id " + args[0].text + " is used twice");
            }
        }
        PendingRecord own;
        own.line = m_line;
        own.record.type = unit_types::kWindow;
        own.block = default_type_block(unit_types::kWindow);
        own.named = named_unit({}, kWindowType, 0, take_role());
        window.records.push_back(std::move(own));
        m_windows.push_back(std::move(window));
    }

    void begin_unit(const std::vector<Token>& args) {
        expect_count(args, 3, "unit <name> <Type> <unit id>");
        if (m_windows.empty()) {
            fail("unit before the first window");
        }
        finish_record(current());
        auto type = kTypeNames.find(args[1].text);
        if (args[0].quoted || args[0].text.empty()) {
            fail("a unit name is a word, not a text");
        }
        if (type == kTypeNames.end() || args[1].quoted) {
            fail("unknown unit type '" + args[1].text + "'");
        }
        check_identifier(args[0], "unit name");
        PendingRecord unit;
        unit.line = m_line;
        unit.id = id_arg(args[2]);
        unit.record.type = type->second.id;
        unit.record.name = text_of(args[0]);
        unit.block = default_type_block(type->second.id);
        unit.named = named_unit(args[0].text, type->second, unit.id, take_role());
        for (const auto& other : m_windows.back().records) {
            if (other.id == unit.id) {
                fail("unit id " + args[2].text + " is used twice");
            }
            if (other.record.type != unit_types::kWindow && other.record.name == unit.record.name) {
                fail("unit name " + args[0].text + " is used twice");
            }
        }
        m_windows.back().records.push_back(std::move(unit));
    }

    // Applies one key to the record; the block member the key writes decides which types
    // take it.
    void apply_key(PendingRecord& r, const std::string& key, const std::vector<Token>& args) {
        bool repeatable = key == "event" || key == "column";
        if (!repeatable && !r.keys.insert(key).second) {
            fail("'" + key + "' given twice");
        }
        auto on_block = [&](auto&& apply) {
            bool applied = std::visit(apply, r.block);
            if (!applied) {
                fail("'" + key + "' does not apply to " + type_name(r.record.type));
            }
        };
        if (key == "rect") {
            expect_count(args, 4, "rect <left> <top> <width> <height>");
            r.record.left = int_arg(args[0], INT32_MIN, INT32_MAX);
            r.record.top = int_arg(args[1], INT32_MIN, INT32_MAX);
            r.record.width = int_arg(args[2], 0, INT32_MAX);
            r.record.height = int_arg(args[3], 0, INT32_MAX);
        } else if (key == "state") {
            r.record.flags = state_arg(args);
        } else if (key == "tag") {
            expect_count(args, 1, "tag \"<text>\"");
            r.record.tag = text_arg(args[0]);
        } else if (key == "event") {
            expect_count(args, 2, "event <number> <routine>");
            auto event = static_cast<std::int32_t>(int_arg(args[0], INT32_MIN, INT32_MAX));
            check_routine_name(args[1]);
            for (const auto& [number, name] : r.events) {
                if (number == event) {
                    fail("event " + args[0].text + " is bound twice");
                }
            }
            r.events.emplace_back(event, args[1].text);
        } else if (key == "record") {
            expect_count(args, 1, "record <id>");
            on_block([&](auto& b) {
                if constexpr (std::is_same_v<std::decay_t<decltype(b)>, WindowFormBlock>) {
                    r.id = id_arg(args[0]);
                    m_windows.back().has_record_id = true;
                    return true;
                }
                return false;
            });
        } else if (key == "name" || key == "id-constant") {
            expect_count(args, 1, key + " <identifier>");
            check_identifier(args[0], key == "name" ? "window name" : "id constant");
            on_block([&](auto& b) {
                if constexpr (std::is_same_v<std::decay_t<decltype(b)>, WindowFormBlock>) {
                    (key == "name" ? r.named.name : m_windows.back().id_constant) = args[0].text;
                    return true;
                }
                return false;
            });
        } else if (key == "attributes") {
            expect_count(args, 2, "attributes <A> <B>");
            on_block([&](auto& b) {
                if constexpr (std::is_same_v<std::decay_t<decltype(b)>, WindowFormBlock>) {
                    m_windows.back().window.attribute_a = u32_arg(args[0]);
                    m_windows.back().window.attribute_b = u32_arg(args[1]);
                    return true;
                }
                return false;
            });
        } else if (key == "border" || key == "start-position") {
            expect_count(args, 1, key + " <number>");
            on_block([&](auto& b) {
                if constexpr (requires { b.border_style; }) {
                    (key == "border" ? b.border_style : b.start_position) =
                        static_cast<std::uint32_t>(int_arg(args[0], 0, key == "border" ? 6 : 3));
                    return true;
                }
                return false;
            });
        } else if (auto flag = window_flag(key)) {
            expect_count(args, 1, key + " yes|no");
            bool value = yes_no_arg(args[0]);
            on_block([&](auto& b) {
                if constexpr (requires { b.border_style; }) {
                    b.*(*flag) = value ? 1 : 0;
                    return true;
                }
                return false;
            });
        } else if (key == "caption" || key == "content") {
            expect_count(args, 1, key + " \"<text>\"");
            Text text = text_arg(args[0]);
            bool caption = key == "caption";
            on_block([&](auto& b) {
                if constexpr (requires { b.caption; }) {
                    b.caption = text;
                    return caption;
                } else if constexpr (requires { b.content; }) {
                    b.content = text;
                    return !caption;
                }
                return false;
            });
        } else if (key == "text-colour") {
            std::uint32_t colour = colour_arg(args, false);
            on_block([&](auto& b) {
                if constexpr (requires { b.text_colour; }) {
                    b.text_colour = colour;
                    return true;
                }
                return false;
            });
        } else if (key == "background") {
            std::uint32_t colour = colour_arg(args, true);
            on_block([&](auto& b) {
                if constexpr (requires { b.background; }) {
                    b.background = colour;
                    return true;
                }
                return false;
            });
        } else if (key == "font") {
            StoredFont font = font_arg(args);
            on_block([&](auto& b) {
                if constexpr (requires { b.font; }) {
                    b.font = font;
                    return true;
                }
                return false;
            });
        } else if (key == "interval") {
            expect_count(args, 1, "interval <ms>");
            auto interval = static_cast<std::uint32_t>(int_arg(args[0], 0, INT32_MAX));
            on_block([&](auto& b) {
                if constexpr (requires { b.interval_ms; }) {
                    b.interval_ms = interval;
                    return true;
                }
                return false;
            });
        } else if (key == "range") {
            expect_count(args, 3, "range <minimum> <maximum> <position>");
            auto min = static_cast<std::int32_t>(int_arg(args[0], INT32_MIN, INT32_MAX));
            auto max = static_cast<std::int32_t>(int_arg(args[1], INT32_MIN, INT32_MAX));
            auto pos = static_cast<std::int32_t>(int_arg(args[2], INT32_MIN, INT32_MAX));
            if (min > max || pos < min || pos > max) {
                fail("range needs minimum <= position <= maximum");
            }
            on_block([&](auto& b) {
                if constexpr (requires { b.set_range(min, max, pos); }) {
                    b.set_range(min, max, pos);
                    return true;
                }
                return false;
            });
        } else if (key == "view") {
            expect_count(args, 1, "view icon|small-icon|list|report");
            std::uint32_t view = view_arg(args[0]);
            on_block([&](auto& b) {
                if constexpr (requires { b.view_type; }) {
                    b.view_type = view;
                    return true;
                }
                return false;
            });
        } else if (key == "column") {
            ListViewColumn column = column_arg(args);
            on_block([&](auto& b) {
                if constexpr (requires { b.columns; }) {
                    b.columns.push_back(column);
                    return true;
                }
                return false;
            });
        } else {
            fail("unknown key '" + key + "'");
        }
    }

    static std::optional<std::uint32_t WindowFormBlock::*> window_flag(std::string_view key) {
        if (key == "maximise-button") {
            return &WindowFormBlock::maximise_button;
        }
        if (key == "minimise-button") {
            return &WindowFormBlock::minimise_button;
        }
        if (key == "control-box") {
            return &WindowFormBlock::control_box;
        }
        if (key == "movable") {
            return &WindowFormBlock::movable;
        }
        if (key == "top-most") {
            return &WindowFormBlock::top_most;
        }
        return std::nullopt;
    }

    // --- completion ---

    void finish_record(PendingRecord& r) {
        int line = m_line;
        m_line = r.line;
        const std::string what = r.record.type == unit_types::kWindow
                                     ? std::string("window")
                                     : "unit " + gbk_to_utf8(r.record.name);
        for (const char* key : {"rect", "state"}) {
            if (!r.keys.contains(key)) {
                fail(what + " has no " + key);
            }
        }
        m_line = line;
    }

    void finish_window() {
        if (m_windows.empty()) {
            return;
        }
        PendingWindow& w = m_windows.back();
        finish_record(w.records.back());
        if (!w.has_record_id) {
            m_line = w.line;
            fail("window has no record");
        }
    }

    CompiledTemplate finish() {
        CompiledTemplate result;
        std::set<std::string> names;
        for (const auto& w : m_windows) {
            for (const auto& r : w.records) {
                for (const auto& binding : r.events) {
                    names.insert(binding.second);
                }
            }
        }
        result.routines.assign(names.begin(), names.end());
        for (auto& w : m_windows) {
            NamedWindow& named = result.names.emplace_back();
            named.id = w.window.id;
            named.id_constant = w.id_constant;
            named.own = std::move(w.records[0].named);
            for (auto& r : w.records) {
                if (r.record.type != unit_types::kWindow) {
                    named.units.push_back(std::move(r.named));
                }
                for (const auto& [event, name] : r.events) {
                    auto index = std::distance(names.begin(), names.find(name));
                    r.record.events.push_back({event, static_cast<std::uint32_t>(index)});
                }
                r.record.type_block = encode_block_for(r);
                w.window.store.ids.push_back(r.id);
                w.window.store.records.push_back(std::move(r.record));
            }
            result.window_template.windows.push_back(std::move(w.window));
        }
        return result;
    }

    // Edit and list boxes left at their defaults store the empty block, which means exactly
    // that; the types without settings store nothing.
    static std::vector<std::uint8_t> encode_block_for(const PendingRecord& r) {
        if (const auto* edit = std::get_if<EditBoxBlock>(&r.block);
            edit && *edit == EditBoxBlock{}) {
            return {};
        }
        if (const auto* list = std::get_if<ListBoxBlock>(&r.block);
            list && *list == ListBoxBlock{}) {
            return {};
        }
        return encode_type_block(r.block);
    }

    int m_line = 0;
    std::vector<PendingWindow> m_windows;
    std::vector<std::string> m_comment;  // comment lines since the last blank line or statement
};

}  // namespace

std::variant<CompiledTemplate, std::string> compile_description(std::string_view source,
                                                                std::string_view file_name) {
    Compiler compiler;
    try {
        CompiledTemplate result = compiler.run(source);
        if (result.window_template.windows.empty()) {
            return std::string(file_name) + ":1: the description has no window";
        }
        return result;
    } catch (const DescriptionError& e) {
        return std::string(file_name) + ":" + std::to_string(compiler.line()) + ": " + e.what();
    }
}

std::string generate_source(std::span<const std::uint8_t> bytes,
                            const std::vector<std::string>& routines,
                            std::string_view description_name) {
    std::string out;
    out += "// Generated by template_compiler from " + std::string(description_name) +
           ".\n// Edit the description, not this file.\n";
    out += "#include \"app/main_window_template.h\"\n\nnamespace wavlon::app {\nnamespace {\n\n";
    out += "alignas(4) const std::uint8_t kBytes[" + std::to_string(bytes.size()) + "] = {";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X,", bytes[i]);
        out += (i % 16 == 0) ? "\n    " : " ";
        out += hex;
    }
    out += "\n};\n\n";
    if (!routines.empty()) {
        out += "const char* const kRoutineNames[" + std::to_string(routines.size()) + "] = {\n";
        for (const auto& name : routines) {
            out += "    \"" + name + "\",\n";  // routine names are plain identifiers
        }
        out += "};\n\n";
    }
    out += "}  // namespace\n\n";
    out += "const std::span<const std::uint8_t> kMainWindowTemplate{kBytes};\n";
    out += routines.empty() ? "const std::span<const char* const> kMainWindowRoutines{};\n"
                            : "const std::span<const char* const> kMainWindowRoutines{"
                              "kRoutineNames};\n";
    out += "\n}  // namespace wavlon::app\n";
    return out;
}

}  // namespace wavlon::tools
