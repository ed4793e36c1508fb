#include "runtime/event_suppression.h"

namespace wavlon::runtime {
namespace {
int g_counter = 0;
}

void raise_event_suppression() { ++g_counter; }
void lower_event_suppression() {
    if (g_counter > 0) {
        --g_counter;
    }
}
bool events_suppressed() { return g_counter > 0; }

}  // namespace wavlon::runtime
