#include "image_cache.h"

#include <cstring>
#include <new>

namespace {

constexpr uint16_t kNatural = 65535;  // a size held as "natural"
constexpr uint16_t kMostRefs = 65535;
constexpr uint32_t kLongestName = 0x7FFFFFFF;

uint16_t asked_size(int16_t size) { return size < 0 ? kNatural : static_cast<uint16_t>(size); }
int16_t load_size(uint16_t size) { return size == kNatural ? int16_t{-1} : static_cast<int16_t>(size); }

IMAGE_CACHE_ENTRY* entry_of(const LLIST_NODE* node) {
  return static_cast<IMAGE_CACHE_ENTRY*>(node->data);
}

// A null name and an empty one are the same key: the stored form cannot
// tell them apart.
bool same_name(const char* a, const char* b) { return strcmp(a ? a : "", b ? b : "") == 0; }

bool same_key(const IMAGE_CACHE_ENTRY& entry, const char* folder, const char* name) {
  return strcmp(entry.folder, folder) == 0 && same_name(entry.name, name);
}

bool at_natural_size(const IMAGE_CACHE_ENTRY& entry) {
  return entry.w == entry.natural_w && entry.h == entry.natural_h;
}

bool findable(const IMAGE_CACHE_ENTRY& entry) { return !entry.is_private && !entry.stale; }

char* copy_name(const char* name) {
  if (!name) return nullptr;
  size_t length = strlen(name);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy) memcpy(copy, name, length + 1);
  return copy;
}

// Keeps the folder field terminated and zero after its text, whatever the
// stored bytes held there.
void tidy_folder_field(char* field) {
  field[FOLDER_PATH_SIZE - 1] = '\0';
  size_t length = strlen(field);
  memset(field + length, 0, FOLDER_PATH_SIZE - length);
}

// A stored name of length bytes. The buffer grows only as far as bytes
// really arrive, so a length that lies cannot make a huge allocation.
bool read_name(DATA_DEVICE* device, uint32_t length, char*& name) {
  name = length == 0 ? nullptr : device->read_text(length);
  return length == 0 || name;
}

}  // namespace

IMAGE_CACHE::IMAGE_CACHE(uint8_t free_unused_entries) : free_unused(free_unused_entries) {}

IMAGE_CACHE::~IMAGE_CACHE() { clear_all(); }

// ---------------------------------------------------------------------------
// Entries

IMAGE_CACHE_ENTRY* IMAGE_CACHE::new_entry(const char* folder, const char* name) {
  IMAGE_CACHE_ENTRY* entry = new (std::nothrow) IMAGE_CACHE_ENTRY;
  if (!entry) return nullptr;
  // The field is zero from the constructor; the caller checked the length.
  memcpy(entry->folder, folder, strlen(folder));
  if (name) {
    entry->name = copy_name(name);
    if (!entry->name) {
      delete entry;
      return nullptr;
    }
  }
  entry->owner = this;
  return entry;
}

// A copy of the entry's key, flags and sizes holding a copy of picture (the
// entry's own, or the natural-size picture a resize scales from).
IMAGE_CACHE_ENTRY* IMAGE_CACHE::duplicate(const IMAGE_CACHE_ENTRY& entry, const IMAGE& picture) {
  IMAGE_CACHE_ENTRY* copy = new (std::nothrow) IMAGE_CACHE_ENTRY;
  if (!copy) return nullptr;
  memcpy(copy->folder, entry.folder, sizeof copy->folder);
  copy->name = copy_name(entry.name);
  copy->is_private = entry.is_private;
  // Without its name a copy could be found under the wrong key; only its
  // one user may reach it then.
  if (entry.name && !copy->name) copy->is_private = 1;
  copy->w = entry.w;
  copy->h = entry.h;
  copy->natural_w = entry.natural_w;
  copy->natural_h = entry.natural_h;
  copy->stale = entry.stale;
  copy->owner = this;
  copy->image.copy(picture);
  copy->refs = 1;
  return copy;
}

bool IMAGE_CACHE::append(IMAGE_CACHE_ENTRY* entry) {
  // With the cursor set, the list would insert before it instead.
  entries.cursor = nullptr;
  if (entries.add(entry)) return true;
  delete[] entry->name;
  delete entry;
  return false;
}

void IMAGE_CACHE::free_entry(IMAGE_CACHE_ENTRY* entry) {
  entries.remove(entry);
  delete[] entry->name;
  delete entry;
}

// The oldest findable entry of the same key at its natural size that has
// pixels: what scaled copies are made from.
IMAGE_CACHE_ENTRY* IMAGE_CACHE::natural_source(const IMAGE_CACHE_ENTRY& entry) const {
  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* other = entry_of(node);
    if (other == &entry || !findable(*other) || !at_natural_size(*other)) continue;
    if (other->image.width < 1 || !same_key(*other, entry.folder, entry.name)) continue;
    return other;
  }
  return nullptr;
}

bool IMAGE_CACHE::reload_entry(IMAGE_CACHE_ENTRY& entry) {
  FOLDER folder;
  // Folder texts come from skins and stored records.
  if (!folder.set_stored_path(entry.folder)) {
    entry.image.create(-1, -1);
    return false;
  }
  if (!entry.image.load(folder, entry.name, load_size(entry.w), load_size(entry.h))) return false;
  // A size still held as natural (nothing had loaded) takes the picture's.
  if (entry.w == kNatural) entry.w = entry.natural_w = static_cast<uint16_t>(entry.image.width);
  if (entry.h == kNatural) entry.h = entry.natural_h = static_cast<uint16_t>(entry.image.height);
  return true;
}

// ---------------------------------------------------------------------------
// Lookup

IMAGE* IMAGE_CACHE::get(const char* folder, const char* name, int16_t w_in, int16_t h_in,
                        uint8_t flags) {
  if (!folder) folder = "";
  if (strnlen(folder, FOLDER_PATH_SIZE) >= static_cast<size_t>(FOLDER_PATH_SIZE)) return nullptr;
  const uint16_t w = asked_size(w_in), h = asked_size(h_in);
  const bool natural_only = (flags & IMAGE_CACHE_NATURAL_ONLY) != 0;
  const bool wants_natural = w == kNatural && h == kNatural;

  // 1. Newest first. A natural-size request prefers an entry that really is
  // at its natural size over a resized copy that merely matches.
  IMAGE_CACHE_ENTRY* found = nullptr;
  IMAGE_CACHE_ENTRY* resized_match = nullptr;
  IMAGE_CACHE_ENTRY* source = nullptr;
  for (LLIST_NODE* node = entries.tail; node; node = node->prev) {
    IMAGE_CACHE_ENTRY* entry = entry_of(node);
    if (!findable(*entry) || !same_key(*entry, folder, name)) continue;
    bool natural = at_natural_size(*entry) || (entry->w == kNatural && entry->h == kNatural);
    bool match = (entry->w == w || w == kNatural) && (entry->h == h || h == kNatural);
    if (natural_only && natural) match = true;
    if (match) {
      if (!wants_natural || natural) {
        found = entry;
        break;
      }
      if (!resized_match) resized_match = entry;
    }
    if (!natural_only && natural) source = entry;  // ends as the oldest
  }
  if (!found) found = resized_match;

  // 2. Found.
  if (found) {
    if (flags & IMAGE_CACHE_RELOAD) reload_entry(*found);
    // A reference is counted only on a handle the caller receives.
    if (found->image.width < 1 || found->refs == kMostRefs) {
      if (found->refs == 0 && free_unused) free_entry(found);
      return nullptr;
    }
    ++found->refs;
    return &found->image;
  }

  // 3. A new entry.
  if (flags & IMAGE_CACHE_FIND_ONLY) return nullptr;
  IMAGE_CACHE_ENTRY* entry = new_entry(folder, name);
  if (!entry) return nullptr;
  entry->w = entry->natural_w = w;
  entry->h = entry->natural_h = h;
  const bool smooth = !fast_image_scaling;

  if (source) {
    // 3.1 Copied and scaled from the cached picture; each dimension asked
    // as natural keeps the source's.
    entry->image.copy(source->image);
    entry->natural_w = source->w;
    entry->natural_h = source->h;
    // A remembered failure stays one: an empty picture is not scaled into
    // a blank one.
    if (entry->image.width > 0 && !wants_natural &&
        !(entry->image.width == w && entry->image.height == h))
      entry->image.scale(w, h, smooth);
    if (w == kNatural) entry->w = source->w;
    if (h == kNatural) entry->h = source->h;
  } else {
    // 3.2 Loaded at the natural size, then again at the size the entry
    // holds, so that decoders that can load smaller do so.
    FOLDER from;
    bool loaded = from.set_stored_path(folder) && entry->image.load(from, name, -1, -1);
    if (loaded) {
      entry->natural_w = static_cast<uint16_t>(entry->image.width);
      entry->natural_h = static_cast<uint16_t>(entry->image.height);
      if (natural_only || w == kNatural) entry->w = entry->natural_w;
      if (natural_only || h == kNatural) entry->h = entry->natural_h;
      if (!wants_natural && !at_natural_size(*entry))
        loaded = entry->image.load(from, name, load_size(entry->w), load_size(entry->h));
    }
    if (!loaded) {
      // 3.3 Remembered as an empty entry at the asked size.
      entry->w = entry->natural_w = w;
      entry->h = entry->natural_h = h;
      entry->image.create(-1, -1);
    }
  }

  // 4. Newest last. An entry without a picture gives null and keeps no
  // reference; it stays (unless told otherwise) so that the next request
  // for it does not touch the disk.
  if (entry->image.width < 1) {
    if (free_unused || (flags & IMAGE_CACHE_KEEP_NO_FAILURE)) {
      delete[] entry->name;
      delete entry;
    } else {
      append(entry);
    }
    return nullptr;
  }
  entry->refs = 1;
  if (!append(entry)) return nullptr;
  return &entry->image;
}

IMAGE* IMAGE_CACHE::get_in_folder(const FOLDER& folder, const char* name, int16_t w, int16_t h,
                                  uint8_t flags) {
  char text[FOLDER_PATH_SIZE];
  if (!folder.get_path_text(text, sizeof text, nullptr)) return nullptr;
  return get(text, name, w, h, flags);
}

// ---------------------------------------------------------------------------
// References

IMAGE_CACHE_ENTRY* IMAGE_CACHE::get_entry(const IMAGE* handle) const {
  if (!handle) return nullptr;
  // Only the list says whether an IMAGE is one of ours: a plain image, a
  // chained one or another cache's handle must never be taken for an entry.
  for (LLIST_NODE* node = entries.tail; node; node = node->prev) {
    IMAGE_CACHE_ENTRY* entry = entry_of(node);
    if (&entry->image == handle) return entry;
  }
  return nullptr;
}

IMAGE* IMAGE_CACHE::add_ref(IMAGE* handle) {
  IMAGE_CACHE_ENTRY* entry = get_entry(handle);
  if (!entry || entry->refs == kMostRefs) return nullptr;
  ++entry->refs;
  return handle;
}

void IMAGE_CACHE::release(IMAGE_CACHE_ENTRY* entry) {
  if (!entry || entry->owner != this || entry->refs == 0) return;
  --entry->refs;
  // Private entries are never found again, so nothing else would free them.
  if (entry->refs == 0 && (free_unused || entry->stale || entry->is_private)) free_entry(entry);
}

uint16_t IMAGE_CACHE::get_width(const IMAGE* handle) const {
  if (!handle) return 0;
  const IMAGE_CACHE_ENTRY* entry = get_entry(handle);
  return entry ? entry->natural_w : static_cast<uint16_t>(handle->width);
}

uint16_t IMAGE_CACHE::get_height(const IMAGE* handle) const {
  if (!handle) return 0;
  const IMAGE_CACHE_ENTRY* entry = get_entry(handle);
  return entry ? entry->natural_h : static_cast<uint16_t>(handle->height);
}

// ---------------------------------------------------------------------------
// Changes

void IMAGE_CACHE::make_unique(IMAGE*& handle) {
  IMAGE_CACHE_ENTRY* entry = get_entry(handle);
  if (!entry) return;
  // A sole user may change its picture in place, unless the entry is the
  // natural-size picture that resized copies are made from.
  if (entry->refs < 2 && (entry->is_private || !at_natural_size(*entry))) {
    entry->is_private = 1;
    return;
  }
  IMAGE_CACHE_ENTRY* copy = duplicate(*entry, entry->image);
  if (!copy || !append(copy)) return;
  copy->is_private = 1;
  handle = &copy->image;
  release(entry);
}

void IMAGE_CACHE::resize(IMAGE*& handle, int16_t w, int16_t h) {
  if (w < 0 || h < 0) return;
  IMAGE_CACHE_ENTRY* entry = get_entry(handle);
  if (!entry || (entry->w == w && entry->h == h)) return;
  const bool smooth = !fast_image_scaling;

  // 1. Share a cached copy of that size.
  if (!entry->is_private) {
    for (LLIST_NODE* node = entries.head; node; node = node->next) {
      IMAGE_CACHE_ENTRY* other = entry_of(node);
      if (other == entry || !findable(*other) || other->w != w || other->h != h) continue;
      if (other->image.width < 1) continue;  // a remembered failure shows nothing
      if (!same_key(*other, entry->folder, entry->name) || other->refs == kMostRefs) continue;
      ++other->refs;
      handle = &other->image;
      release(entry);
      return;
    }
  }

  // A private picture carries its user's changes, so it scales itself;
  // otherwise scaling starts from the natural-size picture while that is
  // cached, so that sizes drawn one after another lose nothing.
  IMAGE_CACHE_ENTRY* source = entry->is_private ? nullptr : natural_source(*entry);

  // 2. A sole user changes the entry in place.
  if (entry->refs < 2 && (entry->is_private || !at_natural_size(*entry))) {
    if (source) entry->image.copy(source->image);
    if (entry->image.width > 0)
      entry->image.scale(static_cast<uint16_t>(w), static_cast<uint16_t>(h), smooth);
    entry->w = static_cast<uint16_t>(w);
    entry->h = static_cast<uint16_t>(h);
    return;
  }

  // 3. A new entry of its own.
  IMAGE_CACHE_ENTRY* copy = duplicate(*entry, source ? source->image : entry->image);
  if (!copy) return;
  if (copy->image.width > 0)
    copy->image.scale(static_cast<uint16_t>(w), static_cast<uint16_t>(h), smooth);
  copy->w = static_cast<uint16_t>(w);
  copy->h = static_cast<uint16_t>(h);
  if (!append(copy)) return;
  handle = &copy->image;
  release(entry);
}

// The recolouring operations change only a picture the caller owns alone.
// A null colour changes nothing, so no copy is made for it.
void IMAGE_CACHE::replace_colour(IMAGE*& handle, const COLOUR* from, const COLOUR* to) {
  if (!from || !to || !get_entry(handle)) return;
  make_unique(handle);
  handle->replace_colour(from, to, false);
}

void IMAGE_CACHE::recolour3(IMAGE*& handle, const COLOUR* colour1, const COLOUR* colour2,
                            const COLOUR* colour3) {
  if (!colour1 || !colour2 || !colour3 || !get_entry(handle)) return;
  make_unique(handle);
  handle->recolour3(colour1, colour2, colour3, false);
}

void IMAGE_CACHE::tint(IMAGE*& handle, const COLOUR* colour) {
  if (!colour || !get_entry(handle)) return;
  make_unique(handle);
  handle->tint(colour);
}

void IMAGE_CACHE::make_grey(IMAGE*& handle) {
  if (!get_entry(handle)) return;
  make_unique(handle);
  handle->make_grey();
}

bool IMAGE_CACHE::reload(IMAGE* handle) {
  IMAGE_CACHE_ENTRY* entry = get_entry(handle);
  return entry && reload_entry(*entry);
}

void IMAGE_CACHE::reload_all() {
  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = entry_of(node);
    if (!entry->stale) reload_entry(*entry);
  }
}

void IMAGE_CACHE::purge() {
  for (LLIST_NODE* node = entries.head; node;) {
    IMAGE_CACHE_ENTRY* entry = entry_of(node);
    node = node->next;
    if (entry->refs == 0)
      free_entry(entry);
    else
      entry->stale = 1;
  }
}

void IMAGE_CACHE::clear_all() {
  while (entries.head) free_entry(entry_of(entries.head));
}

// ---------------------------------------------------------------------------
// Stored form

bool IMAGE_CACHE::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  uint32_t count = 0;
  for (LLIST_NODE* node = entries.head; node; node = node->next)
    if (findable(*entry_of(node))) ++count;
  if (!device->write_u8(STORED_VERSION) || !device->write_u32(count)) return false;

  for (LLIST_NODE* node = entries.head; node; node = node->next) {
    IMAGE_CACHE_ENTRY* entry = entry_of(node);
    if (!findable(*entry)) continue;
    device->error = device->write(entry->folder, FOLDER_PATH_SIZE) != FOLDER_PATH_SIZE;
    if (device->error) return false;
    size_t length = entry->name ? strlen(entry->name) : 0;
    if (length > kLongestName) {
      device->error = 1;
      return false;
    }
    if (!device->write_u32(static_cast<uint32_t>(length))) return false;
    if (length > 0) {
      int32_t bytes = static_cast<int32_t>(length);
      device->error = device->write(entry->name, bytes) != bytes;
      if (device->error) return false;
    }
    if (!device->write_u16(entry->w) || !device->write_u16(entry->h) ||
        !device->write_u16(entry->natural_w) || !device->write_u16(entry->natural_h))
      return false;
    if (!entry->image.put_to_data_device(device)) {
      device->error = 1;
      return false;
    }
  }
  return true;
}

bool IMAGE_CACHE::read_entry(DATA_DEVICE* device, uint8_t version) {
  IMAGE_CACHE_ENTRY* entry = new (std::nothrow) IMAGE_CACHE_ENTRY;
  if (!entry) return false;
  entry->owner = this;
  bool ok;
  if (version >= 2) {
    ok = device->read(entry->folder, FOLDER_PATH_SIZE) == FOLDER_PATH_SIZE;
  } else {
    // The older form stored the folder itself; the key is its path text.
    FOLDER folder;
    ok = folder.get_from_data_device(device) &&
         folder.get_path_text(entry->folder, sizeof entry->folder, nullptr);
  }
  if (ok) tidy_folder_field(entry->folder);

  uint32_t length = 0;
  ok = ok && device->read_u32(length) && read_name(device, length, entry->name);
  ok = ok && device->read_u16(entry->w) && device->read_u16(entry->h) &&
       device->read_u16(entry->natural_w) && device->read_u16(entry->natural_h);
  ok = ok && entry->image.get_from_data_device(device);
  if (!ok) {
    device->error = 1;
    delete[] entry->name;
    delete entry;
    return false;
  }
  return append(entry);
}

bool IMAGE_CACHE::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  purge();
  uint8_t version = 0;
  if (!device->read_u8(version)) return false;
  // A newer writer's form cannot be read as this one.
  if (version > STORED_VERSION) {
    device->error = 1;
    return false;
  }
  uint32_t count = 0;
  if (!device->read_u32(count)) return false;
  for (uint32_t i = 0; i < count; ++i)
    if (!read_entry(device, version)) return false;
  device->error = 0;
  return true;
}
