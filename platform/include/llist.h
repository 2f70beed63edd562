#pragma once
// A doubly linked list that keeps a private copy of each data block and a
// built-in cursor for walks. Elements can be handed to an owner's delete
// callback as they leave. Not locked: it lives on the UI thread.
#include <cstdint>

struct LLIST_NODE {
  void* data;  // LLIST: the node's private copy; PTRLLIST: the stored pointer
  LLIST_NODE* next;
  LLIST_NODE* prev;
};

// Receives each element's data as it leaves the list; the word is always 0.
using LLIST_DELETE_CALLBACK = void (*)(void* data, intptr_t word);

class LLIST {
public:
  LLIST() = default;
  virtual ~LLIST();
  LLIST(const LLIST&) = delete;
  LLIST& operator=(const LLIST&) = delete;

  // The cursor's data (the stored pointer for PTRLLIST), then the cursor
  // moves on; null once the walk is over. Start a walk by setting cursor to
  // head (or tail).
  virtual void* get_next(LLIST_NODE** node = nullptr);
  virtual void* get_prev(LLIST_NODE** node = nullptr);

  // Removes the first node whose data is this pointer; false when none is.
  virtual bool remove(void* data);

  // Copies size bytes into a new node. With the cursor set, the node goes
  // directly before the cursor node, which during a get_next walk is right
  // after the node returned last; without, at the tail. False for a
  // negative size or when memory runs out.
  virtual bool add(const void* data, int16_t size);

  // Hands the node's data to the delete callback, when one is set.
  virtual void delete_item(LLIST_NODE* node);

  bool remove_node(LLIST_NODE* node);
  void remove_all();

  int32_t count = 0;
  LLIST_NODE* head = nullptr;
  LLIST_NODE* tail = nullptr;
  LLIST_NODE* cursor = nullptr;  // next node a walk returns; null = finished
  LLIST_DELETE_CALLBACK delete_callback = nullptr;

protected:
  bool link_new_node(void* data);
  bool nodes_own_copies_ = true;  // false for PTRLLIST: data is the pointer itself
};
