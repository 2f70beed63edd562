#pragma once
// A linked list of plain pointers with the same cursor rules as LLIST; every
// screen object's child list and the overlay list are PTRLLISTs. The list
// never owns what its pointers point to unless a delete callback is set.
#include "llist.h"

class PTRLLIST : public LLIST {
public:
  PTRLLIST() { nodes_own_copies_ = false; }
  ~PTRLLIST() override;

  bool add(void* pointer);
  void* get_next(LLIST_NODE** node = nullptr) override;
  void* get_prev(LLIST_NODE** node = nullptr) override;
  bool remove(void* pointer) override;
  void delete_item(LLIST_NODE* node) override;
  bool contains(const void* pointer) const;

private:
  using LLIST::add;  // the copying add makes no sense for pointers
};
