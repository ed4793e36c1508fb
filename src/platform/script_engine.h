// A JavaScript engine (Duktape) holding global variables and evaluating expressions.
//
// Texts cross as UTF-8 in both directions (characters outside the BMP included); invalid
// UTF-8 going in and unpaired surrogates coming out become U+FFFD. Every call is protected:
// a script error, an exhausted memory budget or any failure of the engine gives the empty
// result (false, std::nullopt) and never ends the program. After an internal fatal error of
// the engine every later call fails.
//
// The engine has no time limit: evaluate only expressions the program composed itself and hand
// received text in as a value (set_global_string), never as code.
//
// Copies share one heap. Not thread-safe; one thread uses an engine and its copies.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wavlon::platform {

class ScriptEngine {
public:
    // A fresh heap with the standard built-ins (JSON, RegExp ...). valid() is false when it
    // could not be created; every call then fails.
    ScriptEngine();

    bool valid() const;

    // Runs `program` as global code (function and var declarations become globals). True when
    // it ran without error.
    bool add_code(std::string_view program);
    // Evaluates `expression` (eval code in the global scope) and drops its value.
    bool run(std::string_view expression);
    // The value of `expression` as text: undefined and null give "", anything else its
    // String() form.
    std::optional<std::string> eval_text(std::string_view expression);
    // The value as a number: numbers as they are, logicals 1 or 0, texts that read as a
    // number; anything else fails.
    std::optional<double> eval_number(std::string_view expression);
    // The value as a logical (JavaScript truthiness).
    std::optional<bool> eval_logical(std::string_view expression);

    // Sets the global variable `name` to a string or number value without parsing it.
    bool set_global_string(std::string_view name, std::string_view utf8);
    bool set_global_number(std::string_view name, double value);
    bool delete_global(std::string_view name);

private:
    struct Heap;
    std::shared_ptr<Heap> m_heap;
};

}  // namespace wavlon::platform
