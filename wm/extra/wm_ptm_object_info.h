#pragma once
// One object template: which widget the factory builds, its words,
// identifiers, rectangle, look, texts and the templates of its children.
// `style`, `cell_style` and `image` point into the store and are not owned;
// `own_style` and the children are.
#include <cstdint>
#include <memory>
#include <vector>

#include "data_device.h"
#include "vorn_string.h"
#include "wm_screen_object.h"

class WM_STYLE_SET;
class WM_PTM_IMAGE_INFO;

class WM_PTM_OBJECT_INFO;
using TEMPLATE_LIST = std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>>;

class WM_PTM_OBJECT_INFO : public DATA_DEVICE_CLIENT {
public:
  WM_PTM_OBJECT_INFO();
  ~WM_PTM_OBJECT_INFO() override;
  WM_PTM_OBJECT_INFO(const WM_PTM_OBJECT_INFO&) = delete;
  WM_PTM_OBJECT_INFO& operator=(const WM_PTM_OBJECT_INFO&) = delete;

  // Defaults; deletes the own style and the children, keeps `name`.
  void reset();
  // Reset, then every field of source; texts and own style duplicated,
  // store references shared, children copied in turn. A source inside
  // this template's tree (or around it) is copied as it was.
  void copy_from(const WM_PTM_OBJECT_INFO& source);
  // Reset, then takes over every field of source, its texts, own style,
  // name and children included; source is left reset with an empty name.
  // A source inside this template's tree is taken out of it and deleted
  // once moved; a source that holds this template changes nothing.
  void move_from(WM_PTM_OBJECT_INFO& source);

  void set_text(const char* value) ;
  void set_tooltip(const char* value);
  void set_column_widths(const char* value);
  bool ensure_style();
  void delete_style();

  int32_t get_child_count() const { return static_cast<int32_t>(children.size()); }
  WM_PTM_OBJECT_INFO* get_child(int32_t i) const { return children[static_cast<size_t>(i)].get(); }
  const TEMPLATE_LIST& get_children() const { return children; }
  bool set_child_count(int32_t n);
  // The new child is named "Object " and its one-based position.
  bool add_child(uint32_t child_type);
  bool remove_child(int32_t i);

  // A new[] text: prefix (unless the name starts with it, in any case),
  // then the name with letters and digits upper-cased and the rest '_'.
  static char* make_identifier(const char* name, const char* prefix);
  // Names this template "AID_..." and "CID_..." from the texts (empty: no
  // name) and numbers them: a name another template of the scope (its trees
  // included) already numbers shares that number, else the smallest free
  // number of the scope's one number space.
  void set_identifiers(const char* action_text, const char* control_text,
                       const std::vector<const TEMPLATE_LIST*>& scope);
  // Searches the tree from object (not the excluded template): the number
  // that a non-zero action or control named so carries, or 0.
  static uint32_t find_identifier_value(const WM_PTM_OBJECT_INFO& object, const char* name,
                                        const WM_PTM_OBJECT_INFO* exclude);
  // The reverse: the name of an action or control with that number, or null.
  static const char* find_identifier_name(const WM_PTM_OBJECT_INFO& object, uint32_t number,
                                          const WM_PTM_OBJECT_INFO* exclude);

  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  // ---- Building (template_builder.cpp).
  // The widget this template describes, remembering the template; null for
  // `not_built` and for a type code that names no widget. The callback
  // becomes the widget's action callback.
  WM_SCREEN_OBJECT* create_object(WM_CALLBACK action_callback);

  uint8_t not_built = 0;
  uint32_t type = 0;
  char* action_name = nullptr;
  uintptr_t user_word_1 = 0;  // 32 bits on the stream
  uintptr_t user_word_2 = 0;
  char* control_name = nullptr;
  uint32_t control_id = 0;
  int16_t x = 0, y = 0;
  uint16_t width = 0xFFFF, height = 0xFFFF;  // negative as signed: size from the content
  WM_STYLE_SET* own_style = nullptr;
  char* text = nullptr;
  VORN_STRING name;
  WM_STYLE_SET* style = nullptr;
  uint32_t extra_word = 0;
  char* tooltip = nullptr;
  uint8_t enabled = 1;
  uint8_t button_kind = 2;
  uintptr_t hotkey = 0;  // a key symbol; 32 bits on the stream
  uint8_t image_mode = 2;
  uint8_t image_visible = 1;
  WM_PTM_IMAGE_INFO* image = nullptr;
  uint16_t row_height = 20;
  uint16_t column_count = 1;
  char* column_widths = nullptr;
  // The grid's second style, which the grid uses for its scroll bars, not
  // for its cells.
  WM_STYLE_SET* cell_style = nullptr;
  uint16_t cell_row = 0xFFFF, cell_column = 0xFFFF;  // 0xFFFF: no cell of the parent grid

private:
  // The owner of a template somewhere below this one; null when it is none.
  std::unique_ptr<WM_PTM_OBJECT_INFO>* slot_of(const WM_PTM_OBJECT_INFO& t);
  bool holds(const WM_PTM_OBJECT_INFO& t) const;
  // The factory made the object from this template: it points here until
  // one of the two goes.
  void note_built(WM_SCREEN_OBJECT* object);
  // Every live object built from this template forgets it.
  void forget_built_objects() const;
  void free_texts();
  // Every field held by value, store references included.
  void copy_values(const WM_PTM_OBJECT_INFO& source);
  bool read_body(DATA_DEVICE* device);
  // x and y stored as u16 and read back signed.
  bool read_rect(DATA_DEVICE* device);
  // Versions 0 to 7: the look comes as fields of an own style.
  bool read_legacy(DATA_DEVICE* device);

  std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>> children;
};

// Reads an array of object templates (u32 count, then each as a block) into
// list, replacing what it held.
bool read_object_templates(DATA_DEVICE* device,
                           std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>>& list);
bool add_object_template(std::vector<std::unique_ptr<WM_PTM_OBJECT_INFO>>& list, uint32_t type);
