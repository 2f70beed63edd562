#pragma once
// WM_PAGE_BASE lets an application write a page as a class: registered with
// the page manager, the page's record carries the object as its page word,
// and the manager's create, frame, leave, same-page and destroy callbacks
// are routed to the object's virtual operations.
#include <cstdint>

class WM_PAGE_MANAGER;
class WM_SCREEN_OBJECT;

class WM_PAGE_BASE {
public:
  WM_PAGE_BASE() = default;
  virtual ~WM_PAGE_BASE() = default;
  WM_PAGE_BASE(const WM_PAGE_BASE&) = delete;
  WM_PAGE_BASE& operator=(const WM_PAGE_BASE&) = delete;

  // On the root of the page's area.
  virtual void add_object(WM_SCREEN_OBJECT* object, bool relative);
  virtual void remove_object(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative);
  virtual uint16_t get_width();
  virtual uint16_t get_height();

  virtual int32_t process(uintptr_t word_1, uintptr_t word_2, uintptr_t word_3);
  // Once per frame while the page is shown; the result is a page action.
  virtual int32_t update();
  // Equal page ids; history moves skip neighbours that are the same page.
  virtual bool is_same_page(const WM_PAGE_BASE* other) const;
  virtual void leave();
  virtual void create(WM_PAGE_MANAGER* manager) = 0;
  // A page that overrides this builds itself here instead of in create.
  virtual void create_custom(WM_PAGE_MANAGER* manager);

  uint32_t page_id = 0;
  int16_t area = -1;  // -1: whichever area is current
  WM_PAGE_MANAGER* manager = nullptr;
};

// Registers the page (owned from here on: the manager's record deletes it,
// and so does a refused registration) for the next page switch of the area
// (-1 = current). without_frame leaves update uncalled. False for an area
// the manager does not have.
bool register_page(WM_PAGE_BASE* page, int16_t area, WM_PAGE_MANAGER* manager, uint8_t keep,
                   uint8_t without_frame, uint32_t page_id);

// The page-record callbacks register_page installs, for the current page of
// the current area.
void dispatch_create(WM_PAGE_MANAGER* manager);
void dispatch_create(WM_PAGE_BASE* page, WM_PAGE_MANAGER* manager);
void dispatch_destroy(uintptr_t* page_word);
int32_t dispatch_update();  // 0 without a page object
int32_t dispatch_process(uintptr_t word_1, uintptr_t word_2, uintptr_t word_3);
void dispatch_leave();
bool dispatch_same_page(uintptr_t a, uintptr_t b);
