// The main window's stored template, compiled at build time from the readable description
// resources/main_window.tmpl (the source of truth; the bytes are never edited by hand).
#pragma once

#include <cstdint>
#include <span>

namespace wavlon::app {

// The template bytes, for runtime::decode_template. Read-only; valid for the whole run.
extern const std::span<const std::uint8_t> kMainWindowTemplate;

// The routine names that the template's handler numbers index, sorted by name: a binding
// with handler k calls the routine named kMainWindowRoutines[k].
extern const std::span<const char* const> kMainWindowRoutines;

}  // namespace wavlon::app
