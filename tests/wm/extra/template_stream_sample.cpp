// Saves a template store with every field and array in use into the folder
// given on the command line ("sample.tpl") and prints, one line per record,
// what the store holds after the save, for template_stream_layout.py to
// compare with its own walk of the file.
#include <cstdio>
#include <string>

#include "folder.h"
#include "template_test_store.h"
#include "wm_ptm_app_info.h"

namespace {

const char* or_empty(const char* text) { return text ? text : ""; }

void print_objects(const char* owner, const WM_PTM_OBJECT_INFO& object, int depth) {
  printf("object %s %d %u %s|%s|%d|%d|%s\n", owner, depth, object.type, or_empty(object.name.get_text()),
         or_empty(object.text), WM_PTM_APP_INFO::style_set_index(object.style),
         WM_PTM_APP_INFO::image_index(object.image),
         object.own_style ? or_empty(object.own_style->name) : "-");
  for (int32_t i = 0; i < object.get_child_count(); i++) print_objects(owner, *object.get_child(i), depth + 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s folder\n", argv[0]);
    return 2;
  }
  WM_PTM_APP_INFO store;
  template_test::fill_store(store);
  FOLDER folder;
  if (!folder.set_absolute(argv[1]) || !store.save(folder, "sample.tpl", 1, 0)) {
    fprintf(stderr, "cannot save into %s\n", argv[1]);
    return 1;
  }
  printf("title %s\n", store.title);
  for (const auto& style : store.style_sets) printf("style_set %s\n", or_empty(style->name));
  for (const auto& font : store.fonts) printf("font %s|%s\n", or_empty(font->name), or_empty(font->file_name));
  for (const auto& colour : store.colours) printf("colour %s|%u\n", or_empty(colour->name), colour->colour);
  for (const auto& image : store.images)
    printf("image %s|%s|%s\n", or_empty(image->name), or_empty(image->file_name), image->folder);
  for (const auto& constant : store.constants) printf("constant %s\n", or_empty(constant->name));
  for (const auto& dialog : store.dialogs) {
    printf("dialog %s|%s\n", or_empty(dialog->name), or_empty(dialog->title));
    for (int32_t i = 0; i < dialog->get_object_count(); i++) print_objects("dialog", *dialog->get_object(i), 0);
  }
  for (const auto& area : store.areas) {
    printf("area %s|%d|%d\n", or_empty(area->name), area->tag, area->get_page_count());
    for (int32_t p = 0; p < area->get_page_count(); p++) {
      const WM_PTM_PAGE_INFO* page = area->get_page(p);
      printf("page %u|%s|%d\n", page->id, or_empty(page->name), WM_PTM_APP_INFO::image_index(page->background));
      for (int32_t i = 0; i < page->get_object_count(); i++) print_objects("page", *page->get_object(i), 0);
    }
  }
  return 0;
}
