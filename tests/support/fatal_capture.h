// Captures fatal reports in tests: the report is recorded and thrown as FatalExit, so the
// test goes on instead of the program ending.
#pragma once

#include <stdexcept>
#include <string>

#include "runtime/fatal.h"

namespace wavlon::testing {

struct FatalExit : std::runtime_error {
    FatalExit(runtime::Text caption_, runtime::Text text_)
        : std::runtime_error(runtime::gbk_to_utf8(text_)),
          caption(std::move(caption_)),
          text(std::move(text_)) {}
    runtime::Text caption;
    runtime::Text text;  // GB18030, byte for byte what the box shows
};

// Installs itself as the fatal sink for its lifetime.
class FatalCapture final : public runtime::FatalReportSink {
public:
    FatalCapture();
    ~FatalCapture() override;
    [[noreturn]] void report(const runtime::Text& caption, const runtime::Text& text) override;

private:
    runtime::FatalReportSink* m_previous;
};

// The UTF-8 text of the fatal report that `body` raises, or "" when it raises none.
template <class F>
std::string fatal_text_of(F&& body) {
    FatalCapture capture;
    try {
        body();
    } catch (const FatalExit& e) {
        return runtime::gbk_to_utf8(e.text);
    }
    return {};
}

}  // namespace wavlon::testing
