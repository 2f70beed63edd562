#include "ptrllist.h"

// The base destructor's remove_all would call LLIST::delete_item, because
// the PTRLLIST part is already gone by then; empty the list while the
// pointer-aware slots are still in place.
PTRLLIST::~PTRLLIST() { remove_all(); }

bool PTRLLIST::add(void* pointer) { return link_new_node(pointer); }

void* PTRLLIST::get_next(LLIST_NODE** node) { return LLIST::get_next(node); }

void* PTRLLIST::get_prev(LLIST_NODE** node) { return LLIST::get_prev(node); }

bool PTRLLIST::remove(void* pointer) {
  for (LLIST_NODE* n = head; n; n = n->next)
    if (n->data == pointer) return remove_node(n);
  return false;
}

void PTRLLIST::delete_item(LLIST_NODE* node) {
  if (node && delete_callback) delete_callback(node->data, 0);
}

bool PTRLLIST::contains(const void* pointer) const {
  for (const LLIST_NODE* n = head; n; n = n->next)
    if (n->data == pointer) return true;
  return false;
}
