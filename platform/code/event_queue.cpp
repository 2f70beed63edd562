#include "event_queue.h"

#include <new>

#include "ptrllist.h"

namespace {

struct QUEUED_EVENT {
  EVENT* event;
  bool delete_after;
};

// Function-local statics: receivers may be built during static
// initialisation of other files, before this file's globals would be.
PTRLLIST& receivers() {
  static PTRLLIST list;
  return list;
}

PTRLLIST& queue() {
  static PTRLLIST list;
  return list;
}

// One delivery in progress. A receiver may destroy itself or any other
// receiver while it handles an event, and may send further events, so every
// walk under way is known here and the destructor of a receiver moves each
// walk that was about to visit it on to the receiver after it.
struct DELIVERY {
  LLIST_NODE* next;
  DELIVERY* outer;
};
DELIVERY* deliveries = nullptr;

struct DELIVERY_SCOPE {
  DELIVERY walk;
  DELIVERY_SCOPE() : walk{receivers().head, deliveries} { deliveries = &walk; }
  ~DELIVERY_SCOPE() { deliveries = walk.outer; }
  DELIVERY_SCOPE(const DELIVERY_SCOPE&) = delete;
  DELIVERY_SCOPE& operator=(const DELIVERY_SCOPE&) = delete;
};

void deliver(EVENT* event, bool delete_after) {
  {
    DELIVERY_SCOPE scope;
    while (LLIST_NODE* n = scope.walk.next) {
      scope.walk.next = n->next;
      static_cast<EVENT_CLIENT*>(n->data)->handle_event(event);
    }
  }
  if (delete_after && event) {
    if (event->release) event->release(event, event->user);
    delete event;
  }
}

}  // namespace

EVENT_CLIENT::EVENT_CLIENT() {
  receivers().cursor = nullptr;  // append at the tail
  receivers().add(this);
}

EVENT_CLIENT::~EVENT_CLIENT() {
  for (DELIVERY* d = deliveries; d; d = d->outer)
    if (d->next && d->next->data == this) d->next = d->next->next;
  receivers().remove(this);
}

void post_event(EVENT* event, bool delete_after) {
  auto* entry = new (std::nothrow) QUEUED_EVENT{event, delete_after};
  queue().cursor = nullptr;
  if (!entry || !queue().add(entry)) {
    delete entry;
    deliver(event, delete_after);
  }
}

void send_event(EVENT* event, bool delete_after) { deliver(event, delete_after); }

void process_events() {
  int32_t pending = queue().count;
  for (int32_t i = 0; i < pending && queue().head; ++i) {
    auto* entry = static_cast<QUEUED_EVENT*>(queue().head->data);
    queue().remove_node(queue().head);
    deliver(entry->event, entry->delete_after);
    delete entry;
  }
}
