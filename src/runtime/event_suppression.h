// The event-suppression counter: while it is above 0 no event reaches a routine. It rises
// while a window is created, a unit is re-created and a fatal report is shown.
#pragma once

namespace wavlon::runtime {

void raise_event_suppression();
void lower_event_suppression();
bool events_suppressed();

// Raises the counter for the lifetime of the guard.
class EventSuppression {
public:
    EventSuppression() { raise_event_suppression(); }
    ~EventSuppression() { lower_event_suppression(); }
    EventSuppression(const EventSuppression&) = delete;
    EventSuppression& operator=(const EventSuppression&) = delete;
};

}  // namespace wavlon::runtime
