#include "llist.h"

#include <cstdlib>
#include <cstring>

LLIST::~LLIST() { remove_all(); }

bool LLIST::link_new_node(void* data) {
  auto* node = static_cast<LLIST_NODE*>(malloc(sizeof(LLIST_NODE)));
  if (!node) return false;
  node->data = data;
  if (!head) {
    node->next = node->prev = nullptr;
    head = tail = node;
  } else if (cursor) {
    node->next = cursor;
    node->prev = cursor->prev;
    if (cursor->prev) cursor->prev->next = node;
    else head = node;
    cursor->prev = node;
  } else {
    node->next = nullptr;
    node->prev = tail;
    tail->next = node;
    tail = node;
  }
  ++count;
  return true;
}

bool LLIST::add(const void* data, int16_t size) {
  if (size < 0) return false;
  void* copy = malloc(size > 0 ? static_cast<size_t>(size) : 1);
  if (!copy) return false;
  if (size > 0 && data) memcpy(copy, data, static_cast<size_t>(size));
  if (!link_new_node(copy)) {
    free(copy);
    return false;
  }
  return true;
}

void* LLIST::get_next(LLIST_NODE** node) {
  if (!cursor) return nullptr;
  LLIST_NODE* n = cursor;
  if (node) *node = n;
  cursor = n->next;
  return n->data;
}

void* LLIST::get_prev(LLIST_NODE** node) {
  if (!cursor) return nullptr;
  LLIST_NODE* n = cursor;
  if (node) *node = n;
  cursor = n->prev;
  return n->data;
}

bool LLIST::remove(void* data) {
  for (LLIST_NODE* n = head; n; n = n->next)
    if (n->data == data) return remove_node(n);
  return false;
}

bool LLIST::remove_node(LLIST_NODE* node) {
  if (!node) return false;
  if (node->prev) node->prev->next = node->next;
  else head = node->next;
  if (node->next) node->next->prev = node->prev;
  else tail = node->prev;
  if (cursor == node) cursor = nullptr;
  delete_item(node);
  if (nodes_own_copies_) free(node->data);
  free(node);
  --count;
  return true;
}

void LLIST::remove_all() {
  LLIST_NODE* n = head;
  // Unlink first so a delete callback that looks at the list sees it empty.
  head = tail = cursor = nullptr;
  count = 0;
  while (n) {
    LLIST_NODE* next = n->next;
    delete_item(n);
    if (nodes_own_copies_) free(n->data);
    free(n);
    n = next;
  }
}

void LLIST::delete_item(LLIST_NODE* node) {
  if (node && delete_callback) delete_callback(node->data, 0);
}
