#pragma once
// IMAGE_CACHE shares a skin's pictures: each is keyed by folder text, name
// and size, loaded once and handed out as a pointer to its IMAGE (a handle)
// carrying one reference. Users copy before they change (make_unique); the
// whole cache travels inside the installer's data in its stored form.
#include <cstdint>

#include "colour.h"
#include "data_device.h"
#include "folder.h"
#include "image.h"
#include "ptrllist.h"

class IMAGE_CACHE;

// Lookup flags of IMAGE_CACHE::get.
constexpr uint8_t IMAGE_CACHE_KEEP_NO_FAILURE = 1;  // a failed load leaves no entry behind
constexpr uint8_t IMAGE_CACHE_RELOAD = 2;           // reload a found entry from its file
constexpr uint8_t IMAGE_CACHE_NATURAL_ONLY = 4;     // natural-size entries match any size
constexpr uint8_t IMAGE_CACHE_FIND_ONLY = 8;        // never load from a file

// One cached picture. Only the cache makes, changes and frees entries.
struct IMAGE_CACHE_ENTRY {
  // Path text of the picture's folder; every byte after the text is 0, so
  // the stored form does not depend on what the heap held.
  char folder[FOLDER_PATH_SIZE] = {};
  char* name = nullptr;  // owned (new[]); null stands for an empty name
  // The size the entry holds; 65535 = natural, only while nothing is loaded.
  uint16_t w = 65535;
  uint16_t h = 65535;
  // The picture's size in its file, or that of the entry it was copied from.
  uint16_t natural_w = 65535;
  uint16_t natural_h = 65535;
  IMAGE image;  // a handle is the address of this member
  uint16_t refs = 0;
  uint8_t is_private = 0;  // changed for one user: never found, never stored
  uint8_t stale = 0;       // left the cache while referenced: freed by its last release
  IMAGE_CACHE* owner = nullptr;  // the cache whose list holds the entry
};

class IMAGE_CACHE : public DATA_DEVICE_CLIENT {
public:
  static constexpr uint8_t STORED_VERSION = 2;

  // free_unused 1: an entry is freed as soon as its last reference goes;
  // 0 (the GUI's global cache): unreferenced entries stay until purged.
  explicit IMAGE_CACHE(uint8_t free_unused = 0);
  ~IMAGE_CACHE() override;
  IMAGE_CACHE(const IMAGE_CACHE&) = delete;
  IMAGE_CACHE& operator=(const IMAGE_CACHE&) = delete;

  // A handle with one new reference, or null (nothing counted then). w or h
  // -1 asks for the picture's natural size in that dimension. A folder text
  // of FOLDER_PATH_SIZE bytes or more is refused.
  IMAGE* get(const char* folder, const char* name, int16_t w = -1, int16_t h = -1,
             uint8_t flags = 0);
  // The same, keyed by the folder's path text (its variable form).
  IMAGE* get_in_folder(const FOLDER& folder, const char* name, int16_t w = -1, int16_t h = -1,
                       uint8_t flags = 0);

  // One more reference; null for a null handle or one this cache does not hold.
  IMAGE* add_ref(IMAGE* handle);
  // Returns one reference. At 0 the entry is freed when the cache frees
  // unused entries, or when it is stale or private. Null, or an entry of
  // another cache, does nothing.
  void release(IMAGE_CACHE_ENTRY* entry);
  // The entry behind a handle, found on this cache's own list; null for a
  // null handle, a plain IMAGE or a handle of another cache.
  IMAGE_CACHE_ENTRY* get_entry(const IMAGE* handle) const;

  // The entry's natural size; a plain image's own size; 0 for null.
  uint16_t get_width(const IMAGE* handle) const;
  uint16_t get_height(const IMAGE* handle) const;

  // Copy-on-write: afterwards the handle's picture belongs to its caller
  // alone and may be changed. The handle may move to a new entry.
  void make_unique(IMAGE*& handle);
  // Makes the handle show the picture at w x h, sharing a cached copy of
  // that size when there is one. Scaled copies are made from the picture
  // at its natural size while that is cached, never from a scaled copy.
  void resize(IMAGE*& handle, int16_t w, int16_t h);

  // make_unique, then the IMAGE operation of the same name.
  void replace_colour(IMAGE*& handle, const COLOUR* from, const COLOUR* to);
  void recolour3(IMAGE*& handle, const COLOUR* colour1, const COLOUR* colour2,
                 const COLOUR* colour3);
  void tint(IMAGE*& handle, const COLOUR* colour);
  void make_grey(IMAGE*& handle);

  // Loads the entry's picture again from its folder and name at the
  // entry's size; false (and an empty picture) when that fails or for a
  // handle this cache does not hold.
  bool reload(IMAGE* handle);
  void reload_all();  // every entry that is not stale

  // Frees every unreferenced entry and marks the referenced ones stale.
  void purge();
  // Frees every entry whatever its references; no handle may be in use.
  void clear_all();

  // Version 2; version 1 (folder as a stored FOLDER) is read too. Reading
  // purges first; entries read before a failure stay.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  PTRLLIST entries;  // IMAGE_CACHE_ENTRY*, oldest at the head; owned
  uint8_t free_unused = 0;

private:
  IMAGE_CACHE_ENTRY* new_entry(const char* folder, const char* name);
  IMAGE_CACHE_ENTRY* duplicate(const IMAGE_CACHE_ENTRY& entry, const IMAGE& picture);
  bool append(IMAGE_CACHE_ENTRY* entry);
  void free_entry(IMAGE_CACHE_ENTRY* entry);
  IMAGE_CACHE_ENTRY* natural_source(const IMAGE_CACHE_ENTRY& entry) const;
  bool reload_entry(IMAGE_CACHE_ENTRY& entry);
  bool read_entry(DATA_DEVICE* device, uint8_t version);
};
