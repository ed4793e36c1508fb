#include "support/fatal_capture.h"

#include "runtime/event_suppression.h"

namespace wavlon::testing {

FatalCapture::FatalCapture() : m_previous(runtime::set_fatal_report_sink(this)) {}

FatalCapture::~FatalCapture() { runtime::set_fatal_report_sink(m_previous); }

void FatalCapture::report(const runtime::Text& caption, const runtime::Text& text) {
    // The report raised the suppression counter for an end that does not come in tests.
    runtime::lower_event_suppression();
    throw FatalExit(caption, text);
}

}  // namespace wavlon::testing
