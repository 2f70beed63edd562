#pragma once
// A small queue through which platform events reach registered receivers:
// receivers register by existing, events are delivered now or once per
// platform frame, and an event posted for deletion is released and freed
// after every receiver has seen it.
#include <cstdint>

struct EVENT;
using EVENT_RELEASE = void (*)(EVENT* event, intptr_t user);

// The queue never reads the type word; it is the receivers' business.
struct EVENT {
  uint32_t type = 0;
  intptr_t user = 0;
  EVENT_RELEASE release = nullptr;  // called before a delete-flagged event is freed
};

// Receivers exist in the queue's receiver list from construction to
// destruction, in order of construction.
class EVENT_CLIENT {
public:
  EVENT_CLIENT();
  virtual ~EVENT_CLIENT();
  EVENT_CLIENT(const EVENT_CLIENT&) = delete;
  EVENT_CLIENT& operator=(const EVENT_CLIENT&) = delete;
  virtual void handle_event(EVENT* event) = 0;
};

// Queues an event for the next process_events; events with the delete flag
// must be plain EVENTs from new (the queue deletes them as EVENT; anything
// more an event owns is freed by its release callback). When no entry can
// be made it is delivered at once.
void post_event(EVENT* event, bool delete_after);

// Delivers an event to every receiver now, then releases and deletes it
// when the flag is set.
void send_event(EVENT* event, bool delete_after);

// Delivers the entries queued when it starts; entries posted meanwhile wait
// for the next call.
void process_events();
