#include "platform/script_engine.h"

#include <duktape.h>

#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace wavlon::platform {
namespace {

// Memory budget of one heap. A received answer of a few megabytes needs a small part of it;
// a hostile one fails its parse instead of growing the process without bound.
constexpr std::size_t kHeapBudget = 256u * 1024 * 1024;

// ---- UTF-8 <-> CESU-8 -------------------------------------------------------------------
// Duktape keeps strings as CESU-8: a character outside the BMP is a surrogate pair, each half
// written as a 3-byte sequence.

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the sequence at s[i]; surrogate code points (3-byte, ED A0..BF) are returned as
// such. *length receives the bytes read (1 for an invalid byte).
char32_t decode(std::string_view s, std::size_t i, std::size_t* length) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    unsigned char b = byte(0);
    *length = 1;
    if (b < 0x80) {
        return b;
    }
    std::size_t n = (b >= 0xC2 && b <= 0xDF)   ? 2
                    : (b >= 0xE0 && b <= 0xEF) ? 3
                    : (b >= 0xF0 && b <= 0xF4) ? 4
                                               : 0;
    if (n == 0 || i + n > s.size()) {
        return kInvalid;
    }
    char32_t cp = b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return kInvalid;
        }
        cp = (cp << 6) | (byte(k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
        return kInvalid;  // overlong or out of range
    }
    *length = n;
    return cp;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool is_high_surrogate(char32_t cp) {
    return cp >= 0xD800 && cp <= 0xDBFF;
}
bool is_low_surrogate(char32_t cp) {
    return cp >= 0xDC00 && cp <= 0xDFFF;
}

std::string utf8_to_cesu8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 0;
        char32_t cp = decode(utf8, i, &length);
        i += length;
        if (cp == kInvalid || is_high_surrogate(cp) || is_low_surrogate(cp)) {
            encode(0xFFFD, out);
        } else if (cp >= 0x10000) {
            encode(0xD800 + ((cp - 0x10000) >> 10), out);
            encode(0xDC00 + ((cp - 0x10000) & 0x3FF), out);
        } else {
            encode(cp, out);
        }
    }
    return out;
}

std::string cesu8_to_utf8(std::string_view cesu) {
    std::string out;
    out.reserve(cesu.size());
    for (std::size_t i = 0; i < cesu.size();) {
        std::size_t length = 0;
        char32_t cp = decode(cesu, i, &length);
        i += length;
        if (is_high_surrogate(cp) && i < cesu.size()) {
            std::size_t low_length = 0;
            char32_t low = decode(cesu, i, &low_length);
            if (is_low_surrogate(low)) {
                i += low_length;
                encode(0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00), out);
                continue;
            }
        }
        if (cp == kInvalid || is_high_surrogate(cp) || is_low_surrogate(cp)) {
            encode(0xFFFD, out);
        } else {
            encode(cp, out);
        }
    }
    return out;
}

// ---- Protected calls --------------------------------------------------------------------

enum class Kind { kProgram, kRun, kText, kNumber, kLogical, kSetString, kSetNumber, kDelete };

// One call into the heap. Handled entirely inside duk_safe_call, so any error the engine
// throws (including running out of memory) ends up as a failed call.
struct Request {
    Kind kind;
    std::string code;  // code, or the global's name (CESU-8)
    std::string text;
    double number = 0;
};

duk_ret_t perform(duk_context* ctx, void* udata) {
    const Request& r = *static_cast<const Request*>(udata);
    switch (r.kind) {
        case Kind::kProgram:
            duk_compile_lstring(ctx, 0, r.code.data(), r.code.size());
            duk_call(ctx, 0);
            return 1;
        case Kind::kSetString:
        case Kind::kSetNumber:
            duk_push_global_object(ctx);
            if (r.kind == Kind::kSetString) {
                duk_push_lstring(ctx, r.text.data(), r.text.size());
            } else {
                duk_push_number(ctx, r.number);
            }
            duk_put_prop_lstring(ctx, -2, r.code.data(), r.code.size());
            return 1;
        case Kind::kDelete:
            duk_push_global_object(ctx);
            duk_del_prop_lstring(ctx, -1, r.code.data(), r.code.size());
            return 1;
        default:
            break;
    }
    duk_eval_lstring(ctx, r.code.data(), r.code.size());
    switch (r.kind) {
        case Kind::kText:
            if (duk_is_null_or_undefined(ctx, -1)) {
                duk_pop(ctx);
                duk_push_lstring(ctx, "", 0);
            } else {
                duk_to_string(ctx, -1);
            }
            break;
        case Kind::kNumber:
            if (duk_is_boolean(ctx, -1)) {
                duk_push_number(ctx, duk_get_boolean(ctx, -1) ? 1 : 0);
            } else if (duk_is_string(ctx, -1)) {
                if (std::isnan(duk_to_number(ctx, -1))) {
                    return DUK_RET_TYPE_ERROR;
                }
            } else if (!duk_is_number(ctx, -1)) {
                return DUK_RET_TYPE_ERROR;
            }
            break;
        case Kind::kLogical:
            duk_to_boolean(ctx, -1);
            break;
        default:
            break;
    }
    return 1;
}

}  // namespace

struct ScriptEngine::Heap {
    duk_context* ctx = nullptr;
    std::size_t allocated = 0;
    std::jmp_buf* escape = nullptr;  // set while a call is running
    bool broken = false;

    Heap() {
        ctx = duk_create_heap(&Heap::allocate, &Heap::reallocate, &Heap::release, this,
                              &Heap::on_fatal);
    }
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;
    ~Heap() {
        // A heap left by a fatal error is in an unknown state: leak it rather than touch it.
        if (ctx != nullptr && !broken) {
            duk_destroy_heap(ctx);
        }
    }

    // Every block carries its size in a header so the budget can be kept.
    static constexpr std::size_t kHeader = alignof(std::max_align_t);

    static void* allocate(void* udata, duk_size_t size) { return reallocate(udata, nullptr, size); }
    static void* reallocate(void* udata, void* ptr, duk_size_t size) {
        auto* heap = static_cast<Heap*>(udata);
        std::size_t old_size = 0;
        char* block = nullptr;
        if (ptr != nullptr) {
            block = static_cast<char*>(ptr) - kHeader;
            std::memcpy(&old_size, block, sizeof old_size);
        }
        if (size == 0) {
            release(udata, ptr);
            return nullptr;
        }
        if (heap->allocated - old_size + size > kHeapBudget) {
            return nullptr;
        }
        auto* grown = static_cast<char*>(std::realloc(block, size + kHeader));
        if (grown == nullptr) {
            return nullptr;
        }
        heap->allocated = heap->allocated - old_size + size;
        std::memcpy(grown, &size, sizeof size);
        return grown + kHeader;
    }
    static void release(void* udata, void* ptr) {
        if (ptr == nullptr) {
            return;
        }
        auto* heap = static_cast<Heap*>(udata);
        char* block = static_cast<char*>(ptr) - kHeader;
        std::size_t size = 0;
        std::memcpy(&size, block, sizeof size);
        heap->allocated -= size;
        std::free(block);
    }

    // Duktape must not continue after a fatal error. Jump back to the call that was running;
    // the heap is then abandoned. Only Duktape's C frames and `perform` (no destructors) lie
    // between the jump target and this handler.
    static void on_fatal(void* udata, const char* message) {
        auto* heap = static_cast<Heap*>(udata);
        std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "");
        if (heap != nullptr && heap->escape != nullptr) {
            std::longjmp(*heap->escape, 1);
        }
        std::abort();  // a fatal error outside any call: nothing to return to
    }

    // Runs `request`; true when it succeeded, with its result on the value stack top.
    bool call(Request* request) {
        if (ctx == nullptr || broken) {
            return false;
        }
        std::jmp_buf here;
        if (setjmp(here) != 0) {
            escape = nullptr;
            broken = true;
            return false;
        }
        escape = &here;
        duk_int_t rc = duk_safe_call(ctx, &perform, request, 0, 1);
        escape = nullptr;
        if (rc != DUK_EXEC_SUCCESS) {
            duk_pop(ctx);
            return false;
        }
        return true;
    }

    // Runs `request` and reads its result off the value stack with `read`.
    template <class Read>
    auto take(Request request, Read read) -> std::optional<decltype(read(ctx))> {
        if (!call(&request)) {
            return std::nullopt;
        }
        auto value = read(ctx);
        duk_pop(ctx);
        return value;
    }
};

namespace {
bool ignore(duk_context*) {
    return true;
}
}  // namespace

ScriptEngine::ScriptEngine() : m_heap(std::make_shared<Heap>()) {}

bool ScriptEngine::valid() const {
    return m_heap->ctx != nullptr && !m_heap->broken;
}

bool ScriptEngine::add_code(std::string_view program) {
    return m_heap->take({Kind::kProgram, utf8_to_cesu8(program), {}}, ignore).has_value();
}

bool ScriptEngine::run(std::string_view expression) {
    return m_heap->take({Kind::kRun, utf8_to_cesu8(expression), {}}, ignore).has_value();
}

std::optional<std::string> ScriptEngine::eval_text(std::string_view expression) {
    return m_heap->take({Kind::kText, utf8_to_cesu8(expression), {}}, [](duk_context* ctx) {
        duk_size_t size = 0;
        const char* bytes = duk_get_lstring(ctx, -1, &size);
        return cesu8_to_utf8(bytes != nullptr ? std::string_view(bytes, size) : "");
    });
}

std::optional<double> ScriptEngine::eval_number(std::string_view expression) {
    return m_heap->take({Kind::kNumber, utf8_to_cesu8(expression), {}},
                        [](duk_context* ctx) { return double{duk_get_number(ctx, -1)}; });
}

std::optional<bool> ScriptEngine::eval_logical(std::string_view expression) {
    return m_heap->take({Kind::kLogical, utf8_to_cesu8(expression), {}},
                        [](duk_context* ctx) { return duk_get_boolean(ctx, -1) != 0; });
}

bool ScriptEngine::set_global_string(std::string_view name, std::string_view utf8) {
    return m_heap->take({Kind::kSetString, utf8_to_cesu8(name), utf8_to_cesu8(utf8)}, ignore)
        .has_value();
}

bool ScriptEngine::set_global_number(std::string_view name, double value) {
    return m_heap->take({Kind::kSetNumber, utf8_to_cesu8(name), {}, value}, ignore).has_value();
}

bool ScriptEngine::delete_global(std::string_view name) {
    return m_heap->take({Kind::kDelete, utf8_to_cesu8(name), {}}, ignore).has_value();
}

}  // namespace wavlon::platform
