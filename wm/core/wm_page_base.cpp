#include "wm_page_base.h"

#include "wm_page_manager.h"

namespace {

// Set by the default create_custom: the page builds itself in create.
bool not_overridden = false;

WM_PAGE_BASE* page_of(uintptr_t word) { return reinterpret_cast<WM_PAGE_BASE*>(word); }

// The page object of the current area's current record.
WM_PAGE_BASE* current_page(WM_PAGE_MANAGER* manager) {
  if (!manager) return nullptr;
  WM_AREA& a = manager->area(manager->get_current_area());
  return page_of(a.slots[a.current_slot].page_word);
}

WM_MANAGER* root_of(const WM_PAGE_BASE& page) {
  if (!page.manager) return nullptr;
  if (page.area == -1) return page.manager->current_root();
  if (page.area < 0 || page.area >= page.manager->get_area_count()) return nullptr;
  return &page.manager->area(page.area).root;
}

}  // namespace

void WM_PAGE_BASE::add_object(WM_SCREEN_OBJECT* object, bool relative) {
  if (WM_MANAGER* root = root_of(*this)) root->add_child(object, relative);
}

void WM_PAGE_BASE::remove_object(WM_SCREEN_OBJECT* object, bool delete_it, bool make_relative) {
  if (WM_MANAGER* root = root_of(*this)) root->remove_child(object, delete_it, make_relative);
}

uint16_t WM_PAGE_BASE::get_width() {
  WM_MANAGER* root = root_of(*this);
  return root ? root->get_width() : 0;
}

uint16_t WM_PAGE_BASE::get_height() {
  WM_MANAGER* root = root_of(*this);
  return root ? root->get_height() : 0;
}

int32_t WM_PAGE_BASE::process(uintptr_t, uintptr_t, uintptr_t) { return 0; }
int32_t WM_PAGE_BASE::update() { return 0; }

bool WM_PAGE_BASE::is_same_page(const WM_PAGE_BASE* other) const {
  return other && other->page_id == page_id;
}

void WM_PAGE_BASE::leave() {}

void WM_PAGE_BASE::create_custom(WM_PAGE_MANAGER*) { not_overridden = true; }

bool register_page(WM_PAGE_BASE* page, int16_t area, WM_PAGE_MANAGER* manager, uint8_t keep,
                   uint8_t without_frame, uint32_t page_id) {
  if (!page) return false;
  const int16_t index = area == -1 && manager ? manager->get_current_area() : area;
  if (!manager || index < 0 || index >= manager->get_area_count()) {
    delete page;
    return false;
  }
  page->manager = manager;
  page->area = area;
  page->page_id = page_id;
  manager->set_page(index, dispatch_create, dispatch_destroy, reinterpret_cast<uintptr_t>(page),
                    without_frame ? nullptr : dispatch_update, keep, page_id, dispatch_leave);
  manager->area(index).slots[WM_AREA::PENDING].same_page = dispatch_same_page;
  return true;
}

void dispatch_create(WM_PAGE_MANAGER* manager) { dispatch_create(current_page(manager), manager); }

void dispatch_create(WM_PAGE_BASE* page, WM_PAGE_MANAGER* manager) {
  if (!page) return;
  // A flag left by an earlier page would make this one build twice.
  not_overridden = false;
  page->create_custom(manager);
  if (not_overridden) page->create(manager);
}

void dispatch_destroy(uintptr_t* page_word) {
  if (!page_word) return;
  delete page_of(*page_word);
  *page_word = 0;
}

int32_t dispatch_update() {
  WM_PAGE_BASE* page = current_page(WM_PAGE_MANAGER::get());
  return page ? page->update() : 0;
}

int32_t dispatch_process(uintptr_t word_1, uintptr_t word_2, uintptr_t word_3) {
  WM_PAGE_BASE* page = current_page(WM_PAGE_MANAGER::get());
  return page ? page->process(word_1, word_2, word_3) : 0;
}

void dispatch_leave() {
  if (WM_PAGE_BASE* page = current_page(WM_PAGE_MANAGER::get())) page->leave();
}

bool dispatch_same_page(uintptr_t a, uintptr_t b) {
  if (!a || !b) return a == b;
  return page_of(a)->is_same_page(page_of(b));
}
