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

void deliver(EVENT* event, bool delete_after) {
  // A receiver may remove itself (or another) while handling the event, so
  // the walk keeps the node after the current one before calling out.
  for (LLIST_NODE* n = receivers().head; n;) {
    LLIST_NODE* next = n->next;
    static_cast<EVENT_CLIENT*>(n->data)->handle_event(event);
    n = next;
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

EVENT_CLIENT::~EVENT_CLIENT() { receivers().remove(this); }

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
