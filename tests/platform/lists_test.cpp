// LLIST, PTRLLIST and PTRARRAY: order, cursor walks, ownership through the
// delete callback, sorting and searching.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "llist.h"
#include "ptrarray.h"
#include "ptrllist.h"

namespace {

std::vector<int> values(LLIST& list) {
  std::vector<int> out;
  list.cursor = list.head;
  while (void* d = list.get_next()) out.push_back(*static_cast<int*>(d));
  return out;
}

std::vector<int> deleted;
void record_int(void* data, intptr_t word) {
  EXPECT_EQ(word, 0);
  deleted.push_back(*static_cast<int*>(data));
}

}  // namespace

TEST(LList, AddKeepsCopiesInOrderAndInsertsBeforeTheCursor) {
  LLIST list;
  int v[] = {1, 2, 3, 4};
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(list.add(&v[i], sizeof(int)));
  v[0] = 99;  // the list holds its own copies
  EXPECT_EQ(values(list), (std::vector<int>{1, 2, 3}));

  // Cursor on node 2: the fourth block lands between 1 and 2.
  list.cursor = list.head->next;
  ASSERT_TRUE(list.add(&v[3], sizeof(int)));
  EXPECT_EQ(values(list), (std::vector<int>{1, 4, 2, 3}));
  EXPECT_EQ(list.count, 4);

  // Cursor on the head: the new node becomes the head.
  int five = 5;
  list.cursor = list.head;
  list.add(&five, sizeof(int));
  EXPECT_EQ(values(list).front(), 5);
  EXPECT_EQ(*static_cast<int*>(list.tail->data), 3);
}

TEST(LList, NegativeSizeIsRefused) {
  LLIST list;
  int v = 1;
  EXPECT_FALSE(list.add(&v, -1));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
}

TEST(LList, RemovingTheNodeJustReturnedDoesNotDisturbTheWalk) {
  LLIST list;
  for (int i = 1; i <= 5; ++i) list.add(&i, sizeof i);
  std::vector<int> seen;
  list.cursor = list.head;
  while (void* d = list.get_next()) {
    int v = *static_cast<int*>(d);
    seen.push_back(v);
    if (v % 2 == 0) {
      EXPECT_TRUE(list.remove(d));
    }
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(values(list), (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(list.count, 3);
}

TEST(LList, RemoveUsesPointerIdentityAndCallsTheDeleteCallback) {
  LLIST list;
  deleted.clear();
  list.delete_callback = record_int;
  int a = 1, b = 2;
  list.add(&a, sizeof a);
  list.add(&b, sizeof b);
  EXPECT_FALSE(list.remove(&a) || list.remove_node(nullptr));  // not the list's copy; no node
  EXPECT_TRUE(list.remove(list.head->data));
  EXPECT_EQ(deleted, (std::vector<int>{1}));
  EXPECT_EQ(list.head, list.tail);
  list.remove_all();
  EXPECT_EQ(deleted, (std::vector<int>{1, 2}));
  EXPECT_EQ(std::tuple(list.count, list.head, list.tail), std::tuple(0, nullptr, nullptr));
}

TEST(LList, WalkBackwardsFromTheTail) {
  LLIST list;
  for (int i = 1; i <= 3; ++i) list.add(&i, sizeof i);
  std::vector<int> seen;
  list.cursor = list.tail;
  LLIST_NODE* node = nullptr;
  while (void* d = list.get_prev(&node)) {
    EXPECT_EQ(node->data, d);
    seen.push_back(*static_cast<int*>(d));
  }
  EXPECT_EQ(seen, (std::vector<int>{3, 2, 1}));
}

TEST(PtrLList, HoldsFullPointersAndTheirOrder) {
  PTRLLIST list;
  std::vector<std::string> items = {"a", "b", "c"};
  for (auto& s : items) ASSERT_TRUE(list.add(&s));
  std::vector<std::string*> seen;
  list.cursor = list.head;
  while (void* p = list.get_next()) seen.push_back(static_cast<std::string*>(p));
  ASSERT_EQ(seen.size(), 3u);
  // Full 64-bit pointers come back unchanged.
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(seen[i], &items[i]);
}

TEST(PtrLList, RemoveOfAnAbsentPointerChangesNothing) {
  PTRLLIST list;
  int a, b, c;
  list.add(&a);
  list.add(&b);
  EXPECT_FALSE(list.remove(&c));
  EXPECT_EQ(list.count, 2);
  EXPECT_TRUE(list.contains(&b));
  EXPECT_TRUE(list.remove(&a));
  EXPECT_FALSE(list.contains(&a));
  EXPECT_EQ(list.count, 1);
}

TEST(PtrLList, DeleteCallbackReceivesTheStoredPointerWhenTheListGoes) {
  static std::vector<void*> freed;
  freed.clear();
  int a, b;
  {
    PTRLLIST list;
    list.delete_callback = [](void* p, intptr_t) { freed.push_back(p); };
    list.add(&a);
    list.add(&b);
  }
  EXPECT_EQ(freed, (std::vector<void*>{&a, &b}));
}

namespace {

std::vector<std::string> array_deleted;
void record_string(void* element, intptr_t) { array_deleted.push_back(*static_cast<std::string*>(element)); }

std::vector<std::string> contents(const PTRARRAY& array) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < array.count; ++i) out.push_back(*static_cast<std::string*>(array.data[i]));
  return out;
}

int compare_ints(const void* a, const void* b, intptr_t user) {
  // Deliberately returns large differences: only the sign may count.
  long d = static_cast<long>(reinterpret_cast<intptr_t>(a)) - static_cast<long>(reinterpret_cast<intptr_t>(b));
  int scale = static_cast<int>(user);
  return d < 0 ? -scale : (d > 0 ? scale : 0);
}

void* as_ptr(intptr_t v) { return reinterpret_cast<void*>(v); }

}  // namespace

TEST(PtrArray, GrowsByItsStep) {
  PTRARRAY array(10, 10);
  EXPECT_EQ(array.capacity, 0);
  array.add(as_ptr(1));
  EXPECT_EQ(array.capacity, 10);
  for (int i = 2; i <= 10; ++i) array.add(as_ptr(i));
  EXPECT_EQ(array.capacity, 10);
  array.add(as_ptr(11));
  EXPECT_EQ(array.capacity, 20);
  EXPECT_EQ(array.count, 11);
  EXPECT_EQ(array.data[10], as_ptr(11));
  EXPECT_EQ(array.data[11], nullptr);  // new slots are zeroed
}

TEST(PtrArray, ClampsItsSizesAndGrowsByOneForStepZero) {
  PTRARRAY big(5000, -3);
  EXPECT_EQ(big.grow_step, 1024);
  EXPECT_EQ(big.initial_size, 0);
  PTRARRAY zero(0, 0);
  for (int i = 1; i <= 3; ++i) ASSERT_TRUE(zero.add(as_ptr(i)));
  EXPECT_EQ(zero.count, 3);
  EXPECT_EQ(zero.capacity, 3);
}

TEST(PtrArray, RemovalKeepsOrderOrSwapsAndDeletesOnlyTheRemoved) {
  std::string a = "a", b = "b", c = "c";
  for (const bool swap : {false, true}) {  // the last one into the gap, or the rest moved down
    PTRARRAY array;
    array.delete_callback = record_string;
    array_deleted.clear();
    array.add(&a), array.add(&b), array.add(&c);
    EXPECT_TRUE(swap ? array.remove_swap(0) : array.remove_at(0));
    EXPECT_EQ(contents(array), (std::vector<std::string>{swap ? "c" : "b", swap ? "b" : "c"})) << swap;
    EXPECT_EQ(array_deleted, (std::vector<std::string>{"a"}));
    EXPECT_FALSE(array.remove_at(2));
    EXPECT_FALSE(array.remove_swap(-1));
    array_deleted.clear();
  }
  // The destructor hands the remaining elements to the callback.
  EXPECT_EQ(array_deleted, (std::vector<std::string>{"c", "b"}));
}

TEST(PtrArray, ClearKeepsStorageRemoveAllFreesIt) {
  PTRARRAY array(4, 4);
  array.add(as_ptr(1));
  array.clear();
  EXPECT_EQ(array.count, 0);
  EXPECT_EQ(array.capacity, 4);
  array.remove_all();
  EXPECT_EQ(array.capacity, 0);
  EXPECT_EQ(array.data, nullptr);
  EXPECT_TRUE(array.add(as_ptr(2)));
}

TEST(PtrArray, SortAndSearchUseOnlyTheSignOfTheComparison) {
  PTRARRAY array;
  const intptr_t input[] = {50, 7, 300000, -9, 12, 7, 65536};
  for (intptr_t v : input) array.add(as_ptr(v));
  // A scale of 65536 would read as "equal" if results were cut to 16 bits.
  array.sort(compare_ints, 65536);
  array.sort(nullptr, 0);  // no comparator: left as it is
  for (int32_t i = 1; i < array.count; ++i)
    EXPECT_LE(reinterpret_cast<intptr_t>(array.data[i - 1]), reinterpret_cast<intptr_t>(array.data[i]));
  for (const intptr_t v : {-9, 12, 50, 65536, 300000}) {  // each found where it lies
    const int32_t at = array.search(as_ptr(v), compare_ints, 65536);
    EXPECT_EQ(at < 0 ? nullptr : array.data[at], as_ptr(v)) << v;
  }
  EXPECT_EQ(array.search(as_ptr(13), compare_ints, 65536), -1);
  int32_t at = array.search(as_ptr(7), compare_ints, 1);
  ASSERT_GE(at, 0);
  EXPECT_EQ(array.data[at], as_ptr(7));
}

TEST(PtrArray, SearchOnAnEmptyArrayFindsNothing) {
  PTRARRAY array;
  EXPECT_EQ(array.search(as_ptr(1), compare_ints, 1), -1);
}

TEST(PtrArray, SortInsideAComparisonWorks) {
  // Each comparison sorts a scratch array of its own first.
  static PTRARRAY* inner = nullptr;
  PTRARRAY scratch;
  inner = &scratch;
  for (intptr_t v : {3, 1, 2}) scratch.add(as_ptr(v));
  PTRARRAY outer;
  for (intptr_t v : {9, 4, 6, 1}) outer.add(as_ptr(v));
  outer.sort([](const void* a, const void* b, intptr_t) {
    inner->sort(compare_ints, 1);
    return compare_ints(a, b, 1);
  }, 0);
  EXPECT_EQ(outer.data[0], as_ptr(1));
  EXPECT_EQ(outer.data[3], as_ptr(9));
  EXPECT_EQ(scratch.data[0], as_ptr(1));
  EXPECT_EQ(scratch.data[2], as_ptr(3));
}

TEST(PtrArray, ComparisonThatIsNoOrderingStaysInsideTheArray) {
  // A caller's faulty comparison may give a useless order, but the sort
  // must never read or write outside the elements.
  PTRARRAY array;
  for (intptr_t v = 0; v < 200; ++v) array.add(as_ptr(v % 17));
  array.sort([](const void*, const void*, intptr_t) { return -1; }, 0);
  array.sort([](const void*, const void*, intptr_t) { return 1; }, 0);
  array.sort([](const void* a, const void* b, intptr_t) { return a == b ? -1 : 1; }, 0);
  EXPECT_EQ(array.count, 200);
  std::vector<int> seen(17, 0);
  for (int32_t i = 0; i < array.count; ++i) ++seen[static_cast<size_t>(reinterpret_cast<intptr_t>(array.data[i]))];
  for (int n : seen) EXPECT_GE(n, 11);  // every element is still there
  int total = 0;
  for (int n : seen) total += n;
  EXPECT_EQ(total, 200);
}
