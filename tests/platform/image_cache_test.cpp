// IMAGE_CACHE: shared handles and reference counts, when the disk is read
// (seen by deleting or creating the picture file between two calls),
// copy-on-write, resizing from the natural picture, purging, the stored
// form byte for byte in both versions, and hostile stored caches.
#include "image_cache.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "data_file.h"
#include "errors.h"
#include "file_services.h"
#include "folder.h"
#include "image_test_support.h"
#include "memory_device.h"
#include "skin_test_support.h"
#include "test_support.h"

namespace ts = test_support;

namespace {

using image_test_support::pixels_of;
using ts::MEMORY_DEVICE;

// Integers in the stream's byte order, built by hand.
struct BYTES {
  bool big = false;
  std::string out;
  BYTES& u8(uint8_t v) {
    out += static_cast<char>(v);
    return *this;
  }
  BYTES& u(uint32_t v, int n) {
    for (int k = 0; k < n; ++k) out += static_cast<char>(v >> (big ? 8 * (n - 1 - k) : 8 * k));
    return *this;
  }
  BYTES& u16(uint32_t v) { return u(v, 2); }
  BYTES& u32(uint32_t v) { return u(v, 4); }
  BYTES& raw(const std::string& s) {
    out += s;
    return *this;
  }
  BYTES& field(const std::string& text) {  // 2048 bytes, zero after the text
    out += text;
    out.append(FOLDER_PATH_SIZE - text.size(), '\0');
    return *this;
  }
  BYTES& picture(const IMAGE& image) {
    return raw(image_test_support::raw_picture(image.width, image.height, pixels_of(image), big));
  }
  BYTES& entry(const std::string& folder, const std::string& name, uint16_t w, uint16_t h,
               uint16_t nw, uint16_t nh, const IMAGE& image) {
    field(folder).u32(static_cast<uint32_t>(name.size())).raw(name);
    return u16(w).u16(h).u16(nw).u16(nh).picture(image);
  }
};

// Every pixel differs from its neighbours, so any scaling shows.
void make_picture(IMAGE& image, int w, int h, uint32_t seed) {
  image.create(static_cast<int16_t>(w), static_cast<int16_t>(h));
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      image.pixels[j * image.stride + i] = 0xFF000000u | (seed + static_cast<uint32_t>(j * 16 + i));
}

std::vector<uint32_t> scaled(const IMAGE& from, int w, int h) {
  IMAGE copy;
  copy.copy(from);
  copy.scale(static_cast<uint16_t>(w), static_cast<uint16_t>(h), !fast_image_scaling);
  return pixels_of(&copy);
}

const char* const kSkin = "$APP/skin";

// "$APP" is a scratch folder (base override); pictures live in its "skin"
// sub-folder as raw files written through a data file with order 255.
class ImageCache : public ts::ScratchSkinTest {
protected:
  ImageCache() : ScratchSkinTest("cachetest") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ScratchSkinTest::SetUp());
    make_picture(pic, 6, 4, 0x100000);
    make_picture(other, 5, 5, 0x200000);
    make_picture(pic2, 6, 4, 0x300000);
  }
  void remove_picture(const char* name) {
    ASSERT_EQ(unlink(scratch.file(std::string("app/skin/") + name + ".raw").c_str()), 0);
  }
  uint16_t refs(IMAGE_CACHE& cache, const IMAGE* handle) {
    IMAGE_CACHE_ENTRY* entry = cache.get_entry(handle);
    return entry ? entry->refs : 0xDEAD;
  }

  IMAGE pic;
  IMAGE other;
  IMAGE pic2;  // pic's size, other pixels
};

}  // namespace

TEST_F(ImageCache, EqualRequestsShareOneHandleAndCountReferences) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* a = cache.get(kSkin, "pic");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(pixels_of(a), pixels_of(&pic));
  IMAGE* b = cache.get(kSkin, "pic", -1, -1);
  EXPECT_EQ(a, b);
  EXPECT_EQ(refs(cache, a), 2);
  EXPECT_EQ(cache.get_in_folder(skin, "pic"), a);  // the folder's path text is the key
  EXPECT_EQ(cache.add_ref(a), a);
  EXPECT_EQ(refs(cache, a), 4);
  EXPECT_EQ(cache.entries.count, 1);
  for (int k = 0; k < 4; ++k) cache.release(cache.get_entry(a));
  EXPECT_EQ(refs(cache, a), 0);
  cache.release(cache.get_entry(a));  // never below 0
  EXPECT_EQ(refs(cache, a), 0);
  EXPECT_EQ(cache.entries.count, 1);  // kept until purged
  cache.purge();
  EXPECT_EQ(cache.entries.count, 0);
}

TEST_F(ImageCache, ScaledRequestCopiesTheCachedPictureWithoutReadingTheFile) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* natural = cache.get(kSkin, "pic");
  ASSERT_NE(natural, nullptr);
  remove_picture("pic");
  IMAGE* small = cache.get(kSkin, "pic", 3, 2);
  ASSERT_NE(small, nullptr);
  EXPECT_NE(small, natural);
  EXPECT_EQ(pixels_of(small), scaled(pic, 3, 2));
  EXPECT_EQ(cache.get_width(small), 6);  // the natural size
  EXPECT_EQ(cache.get_height(small), 4);
  EXPECT_EQ(cache.get(kSkin, "pic", 3, 2), small);

  // A dimension asked as natural is kept on its own.
  IMAGE* wide = cache.get(kSkin, "pic", 12, -1);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->width, 12);
  EXPECT_EQ(wide->height, 4);
  EXPECT_EQ(cache.get_entry(wide)->h, 4);
  EXPECT_EQ(cache.get(kSkin, "pic", -1, 2), small);  // width any, height 2
}

TEST_F(ImageCache, FreshScaledRequestKeepsEachNaturalDimensionOnItsOwn) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* tall = cache.get(kSkin, "pic", -1, 8);
  ASSERT_NE(tall, nullptr);
  EXPECT_EQ(tall->width, 6);
  EXPECT_EQ(tall->height, 8);
  EXPECT_EQ(pixels_of(tall), scaled(pic, 6, 8));
  IMAGE_CACHE_ENTRY* entry = cache.get_entry(tall);
  EXPECT_EQ(std::tuple(entry->w, entry->h, entry->natural_w, entry->natural_h), std::tuple(6, 8, 6, 4));
}

TEST_F(ImageCache, FailedLoadIsRememberedAndReadsTheDiskOnce) {
  IMAGE_CACHE cache;
  EXPECT_EQ(cache.get(kSkin, "pic"), nullptr);
  ASSERT_EQ(cache.entries.count, 1);
  save("pic", pic);
  EXPECT_EQ(cache.get(kSkin, "pic"), nullptr);  // not read again
  EXPECT_EQ(cache.get(kSkin, "pic", 3, 3), nullptr);  // nor for another size
  // No reference was counted on the nulls, so a purge frees the entries.
  for (LLIST_NODE* node = cache.entries.head; node; node = node->next)
    EXPECT_EQ(static_cast<IMAGE_CACHE_ENTRY*>(node->data)->refs, 0);
  cache.purge();
  EXPECT_EQ(cache.entries.count, 0);
  EXPECT_NE(cache.get(kSkin, "pic"), nullptr);

  // Flag 1 keeps no entry for a failure; neither does a freeing cache.
  EXPECT_EQ(cache.get(kSkin, "missing", -1, -1, IMAGE_CACHE_KEEP_NO_FAILURE), nullptr);
  IMAGE_CACHE freeing(1);
  EXPECT_EQ(freeing.get(kSkin, "missing"), nullptr);
  EXPECT_EQ(freeing.entries.count, 0);
  save("missing", other);
  EXPECT_NE(cache.get(kSkin, "missing"), nullptr);
  EXPECT_EQ(cache.entries.count, 2);

  // A folder text from a skin that names no variable is a failed load, not
  // the end of the program.
  EXPECT_EQ(cache.get("$NO_SUCH_VARIABLE/skin", "pic"), nullptr);
}

TEST_F(ImageCache, FindOnlyNeverLoads) {
  save("pic", pic);
  IMAGE_CACHE cache;
  EXPECT_EQ(cache.get(kSkin, "pic", -1, -1, IMAGE_CACHE_FIND_ONLY), nullptr);
  EXPECT_EQ(cache.entries.count, 0);
  IMAGE* a = cache.get(kSkin, "pic");
  EXPECT_EQ(cache.get(kSkin, "pic", -1, -1, IMAGE_CACHE_FIND_ONLY), a);
}

TEST_F(ImageCache, NaturalOnlyMatchesAnySize) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* fresh = cache.get(kSkin, "pic", 2, 2, IMAGE_CACHE_NATURAL_ONLY);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->width, 6);
  EXPECT_EQ(fresh->height, 4);
  EXPECT_EQ(cache.get(kSkin, "pic", 9, 9, IMAGE_CACHE_NATURAL_ONLY), fresh);
}

TEST_F(ImageCache, NaturalRequestPrefersTheNaturalEntry) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* natural = cache.get(kSkin, "pic");
  IMAGE* small = cache.get(kSkin, "pic", 3, 2);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(cache.get(kSkin, "pic"), natural);  // not the newer resized copy

  // Without a natural entry, any match serves.
  MEMORY_DEVICE device;
  IMAGE_CACHE only_small;
  IMAGE picture;
  picture.copy(*small);
  device.set(BYTES{}.u8(2).u32(1).entry(kSkin, "pic", 3, 2, 6, 4, picture).out);
  ASSERT_TRUE(only_small.get_from_data_device(&device));
  IMAGE* found = only_small.get(kSkin, "pic", -1, -1, IMAGE_CACHE_FIND_ONLY);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->width, 3);
}

TEST_F(ImageCache, ReloadReadsTheFileAgain) {
  // Alike whether unused entries are kept or freed: a held handle stays.
  for (uint8_t free_unused : {0, 1}) {
    SCOPED_TRACE(free_unused);
    save("pic", pic);
    IMAGE_CACHE cache(free_unused);
    IMAGE* a = cache.get(kSkin, "pic");
    save("pic", pic2);
    EXPECT_EQ(pixels_of(cache.get(kSkin, "pic")), pixels_of(&pic));
    IMAGE* b = cache.get(kSkin, "pic", -1, -1, IMAGE_CACHE_RELOAD);
    EXPECT_EQ(b, a);
    EXPECT_EQ(pixels_of(a), pixels_of(&pic2));
    EXPECT_EQ(refs(cache, a), 3);

    save("pic", pic);
    EXPECT_TRUE(cache.reload(a));
    EXPECT_EQ(pixels_of(a), pixels_of(&pic));
    save("pic", pic2);
    cache.reload_all();
    EXPECT_EQ(pixels_of(a), pixels_of(&pic2));

    remove_picture("pic");
    EXPECT_FALSE(cache.reload(a));
    EXPECT_EQ(a->width, 0);
    EXPECT_EQ(cache.get(kSkin, "pic"), nullptr);
    EXPECT_EQ(refs(cache, a), 3);  // the null added none
    IMAGE plain(2, 2);
    EXPECT_FALSE(cache.reload(&plain));
    const std::string late = "late" + std::to_string(free_unused);  // missing when first asked for
    EXPECT_EQ(cache.get(kSkin, late.c_str()), nullptr);
    save(late.c_str(), pic);
    cache.reload_all();
    EXPECT_EQ(cache.get_width(cache.get(kSkin, late.c_str())), pic.width);  // its own size once it loads
  }
}

TEST_F(ImageCache, MakeUniqueGivesTheCallerAPrivateCopy) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* frame1 = cache.get(kSkin, "pic");
  IMAGE* frame2 = cache.get(kSkin, "pic");
  IMAGE* shared = frame1;
  cache.make_unique(frame1);
  ASSERT_NE(frame1, frame2);
  EXPECT_EQ(frame2, shared);
  EXPECT_EQ(pixels_of(frame1), pixels_of(&pic));
  frame1->pixels[0] = 0xFF123456;
  EXPECT_EQ(pixels_of(frame2), pixels_of(&pic));
  EXPECT_TRUE(cache.get_entry(frame1)->is_private);
  EXPECT_EQ(refs(cache, shared), 1);
  EXPECT_EQ(cache.get(kSkin, "pic"), frame2);  // private entries are never found

  // A second change stays in place; the last release frees the private
  // entry even in a cache that keeps unused entries.
  IMAGE* before = frame1;
  cache.make_unique(frame1);
  EXPECT_EQ(frame1, before);
  EXPECT_EQ(cache.entries.count, 2);
  cache.release(cache.get_entry(frame1));
  EXPECT_EQ(cache.entries.count, 1);

  // The natural picture stays the source even for a sole user.
  IMAGE* sole = cache.get(kSkin, "pic", 3, 2);
  cache.release(cache.get_entry(frame2));  // frame2's and the lookup's above
  cache.release(cache.get_entry(frame2));
  IMAGE* kept = sole;
  cache.make_unique(sole);
  EXPECT_EQ(sole, kept);  // not at natural size: changed in place
  IMAGE* natural = cache.get(kSkin, "pic");
  cache.make_unique(natural);
  EXPECT_NE(natural, frame2);
  EXPECT_EQ(refs(cache, frame2), 0);
  EXPECT_FALSE(cache.get_entry(frame2)->is_private);
}

TEST_F(ImageCache, RecolouringChangesOnlyTheCallersCopy) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* shared = cache.get(kSkin, "pic");
  const COLOUR from = pic.pixels[0], to = 0x8000FF00, tint = 0xFF806040;
  const COLOUR c1 = 0xFFFF0000, c2 = 0xFF00FF00, c3 = 0xFF0000FF;
  // Each operation through the cache gives a private copy changed as the
  // IMAGE operation changes a copy of the picture.
  auto expect_change = [&](const std::function<void(IMAGE&)>& op,
                           const std::function<void(IMAGE*&)>& through_cache) {
    IMAGE* mine = cache.get(kSkin, "pic");
    through_cache(mine);
    ASSERT_NE(mine, shared);
    IMAGE expected;
    expected.copy(pic);
    op(expected);
    EXPECT_EQ(pixels_of(mine), pixels_of(&expected));
    EXPECT_NE(pixels_of(mine), pixels_of(&pic));
    EXPECT_EQ(pixels_of(shared), pixels_of(&pic));
    cache.release(cache.get_entry(mine));
  };
  expect_change([&](IMAGE& i) { i.replace_colour(&from, &to, false); },
                [&](IMAGE*& h) { cache.replace_colour(h, &from, &to); });
  expect_change([&](IMAGE& i) { i.recolour3(&c1, &c2, &c3, false); },
                [&](IMAGE*& h) { cache.recolour3(h, &c1, &c2, &c3); });
  expect_change([&](IMAGE& i) { i.tint(&tint); }, [&](IMAGE*& h) { cache.tint(h, &tint); });
  expect_change([](IMAGE& i) { i.make_grey(); }, [&](IMAGE*& h) { cache.make_grey(h); });
  EXPECT_EQ(cache.entries.count, 1);  // each private copy went with its release

  // A null colour or a plain image: nothing copied, nothing changed.
  IMAGE* same = shared;
  cache.replace_colour(same, nullptr, &to);
  cache.tint(same, nullptr);
  EXPECT_EQ(same, shared);
  IMAGE plain;
  plain.copy(pic);
  IMAGE* outside = &plain;
  cache.make_grey(outside);
  EXPECT_EQ(pixels_of(&plain), pixels_of(&pic));
  EXPECT_EQ(cache.entries.count, 1);
}

TEST_F(ImageCache, ResizeSharesOneCopyPerSize) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* frame1 = cache.get(kSkin, "pic");
  IMAGE* frame2 = cache.get(kSkin, "pic");
  IMAGE* natural = frame1;
  cache.resize(frame1, 3, 2);
  ASSERT_NE(frame1, natural);
  EXPECT_EQ(pixels_of(frame1), scaled(pic, 3, 2));
  EXPECT_FALSE(cache.get_entry(frame1)->is_private);
  cache.resize(frame2, 3, 2);
  EXPECT_EQ(frame2, frame1);
  EXPECT_EQ(refs(cache, frame1), 2);
  EXPECT_EQ(refs(cache, natural), 0);
  EXPECT_EQ(cache.get_width(frame1), 6);

  IMAGE* same = frame1;
  cache.resize(frame1, 3, 2);  // already that size
  cache.resize(frame1, -1, 5);  // refused
  EXPECT_EQ(frame1, same);
  EXPECT_EQ(frame1->height, 2);
}

TEST_F(ImageCache, ResizeScalesFromTheNaturalPictureNotFromAScaledCopy) {
  save("pic", pic);
  IMAGE_CACHE cache(1);
  IMAGE* natural = cache.get(kSkin, "pic");
  IMAGE* frame = cache.get(kSkin, "pic", 2, 2);
  IMAGE* in_place = frame;
  cache.resize(frame, 5, 3);
  EXPECT_EQ(frame, in_place);  // sole user: the entry changes in place
  EXPECT_EQ(pixels_of(frame), scaled(pic, 5, 3));
  IMAGE two_steps;
  two_steps.copy(*natural);
  two_steps.scale(2, 2, !fast_image_scaling);
  ASSERT_NE(scaled(two_steps, 5, 3), scaled(pic, 5, 3));  // the difference is visible

  // Without the natural picture the sole user's own picture is scaled.
  cache.release(cache.get_entry(natural));
  EXPECT_EQ(cache.entries.count, 1);
  IMAGE current;
  current.copy(*frame);
  cache.resize(frame, 4, 4);
  EXPECT_EQ(pixels_of(frame), scaled(current, 4, 4));
}

TEST_F(ImageCache, PurgeLeavesReferencedEntriesStaleUntilTheirLastRelease) {
  save("pic", pic);
  save("other", other);
  IMAGE_CACHE cache;
  IMAGE* held = cache.get(kSkin, "pic");
  IMAGE* unused = cache.get(kSkin, "other");
  cache.release(cache.get_entry(unused));
  cache.purge();
  EXPECT_EQ(cache.entries.count, 1);
  EXPECT_TRUE(cache.get_entry(held)->stale);
  IMAGE* again = cache.get(kSkin, "pic");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, held);
  cache.release(cache.get_entry(held));
  EXPECT_EQ(cache.get_entry(held), nullptr);
  EXPECT_EQ(cache.entries.count, 1);
}

TEST_F(ImageCache, HandlesOutsideTheListAreNeverTakenForEntries) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE_CACHE elsewhere;
  IMAGE* mine = cache.get(kSkin, "pic");
  IMAGE* theirs = elsewhere.get(kSkin, "pic");
  IMAGE plain(7, 3);
  plain.next = mine;  // a chained image
  EXPECT_EQ(std::tuple(cache.get_entry(&plain), cache.get_entry(theirs), cache.get_entry(nullptr), cache.add_ref(&plain)),
            std::tuple(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::tuple(cache.get_width(&plain), cache.get_height(&plain), cache.get_width(nullptr)), std::tuple(7, 3, 0));
  IMAGE* untouched = &plain;
  cache.make_unique(untouched);
  cache.resize(untouched, 1, 1);
  EXPECT_EQ(untouched, &plain);
  EXPECT_EQ(plain.width, 7);
  cache.release(elsewhere.get_entry(theirs));  // another cache's entry
  EXPECT_EQ(refs(elsewhere, theirs), 1);
  cache.release(nullptr);
  plain.next = nullptr;
}

TEST_F(ImageCache, FolderTextsThatDoNotFitAreRefused) {
  IMAGE_CACHE cache;
  std::string long_text = "$APP/" + std::string(FOLDER_PATH_SIZE, 'a');
  EXPECT_EQ(cache.get(long_text.c_str(), "pic"), nullptr);
  EXPECT_EQ(cache.get(long_text.substr(0, FOLDER_PATH_SIZE).c_str(), "pic"), nullptr);
  EXPECT_EQ(cache.entries.count, 0);
  cache.get(long_text.substr(0, FOLDER_PATH_SIZE - 1).c_str(), "pic");
  EXPECT_EQ(cache.entries.count, 1);  // fits: remembered as not found
}

TEST_F(ImageCache, StoredFormIsByteExactAndReadsBack) {
  save("pic", pic);
  save("other", other);
  for (uint8_t swap : {0, 1}) {
    SCOPED_TRACE(swap);
    IMAGE_CACHE cache;
    IMAGE* natural = cache.get(kSkin, "pic");
    IMAGE* small = cache.get(kSkin, "pic", 3, 2);
    IMAGE* changed = cache.get(kSkin, "other");
    IMAGE* shared_other = cache.get(kSkin, "other");
    cache.make_unique(changed);  // private: not written
    IMAGE* stale = cache.get(kSkin, "pic", 2, 2);
    cache.get_entry(stale)->stale = 1;  // as after a purge: not written
    EXPECT_EQ(cache.get(kSkin, "gone"), nullptr);  // a failure is written

    MEMORY_DEVICE device;
    device.swap = swap;
    ASSERT_TRUE(cache.put_to_data_device(&device));
    IMAGE empty;
    BYTES expected{swap != 0, ""};
    expected.u8(2).u32(4);
    expected.entry(kSkin, "pic", 6, 4, 6, 4, *natural);
    expected.entry(kSkin, "pic", 3, 2, 6, 4, *small);
    expected.entry(kSkin, "other", 5, 5, 5, 5, *shared_other);
    expected.entry(kSkin, "gone", 65535, 65535, 65535, 65535, empty);
    EXPECT_EQ(device.text(), expected.out);
    for (size_t cut : {size_t{0}, size_t{3}, size_t{5} + FOLDER_PATH_SIZE, expected.out.size() - 1}) {
      MEMORY_DEVICE full;  // the disk fills anywhere in the stored form: refused
      full.capacity = cut;
      EXPECT_FALSE(cache.put_to_data_device(&full)) << cut;
    }

    IMAGE_CACHE back;
    device.position = 0;
    ASSERT_TRUE(back.get_from_data_device(&device));
    ASSERT_EQ(back.entries.count, 4);
    IMAGE* found = back.get(kSkin, "pic", 3, 2, IMAGE_CACHE_FIND_ONLY);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(pixels_of(found), pixels_of(small));
    EXPECT_EQ(back.get_width(found), 6);
    EXPECT_EQ(refs(back, found), 1);  // read with none, then this get's
    EXPECT_EQ(back.get(kSkin, "gone"), nullptr);

    MEMORY_DEVICE again;
    again.swap = swap;
    ASSERT_TRUE(back.put_to_data_device(&again));
    EXPECT_EQ(again.text(), device.text());
  }
}

TEST_F(ImageCache, ReadingPurgesFirstAndKeepsWhatWasReadBeforeAFailure) {
  save("pic", pic);
  IMAGE_CACHE cache;
  IMAGE* held = cache.get(kSkin, "pic");
  cache.get(kSkin, "missing");
  MEMORY_DEVICE device;
  device.set(BYTES{}.u8(2).u32(0).out);
  ASSERT_TRUE(cache.get_from_data_device(&device));
  EXPECT_EQ(cache.entries.count, 1);
  EXPECT_TRUE(cache.get_entry(held)->stale);

  // Two entries promised, one and a half present.
  std::string one = BYTES{}.entry(kSkin, "a", 5, 5, 5, 5, other).out;
  device.set(BYTES{}.u8(2).u32(2).out + one + one.substr(0, 100));
  EXPECT_FALSE(cache.get_from_data_device(&device));
  EXPECT_EQ(device.error, 1);
  EXPECT_EQ(cache.entries.count, 2);
  EXPECT_NE(cache.get(kSkin, "a", -1, -1, IMAGE_CACHE_FIND_ONLY), nullptr);

  device.set(BYTES{}.u8(3).u32(0).out);  // a newer form
  EXPECT_FALSE(cache.get_from_data_device(&device));
  cache.release(cache.get_entry(held));
}

TEST_F(ImageCache, VersionOneReadsTheFolderAsAStoredFolder) {
  IMAGE_CACHE cache;
  MEMORY_DEVICE device;
  std::string path = scratch.file("app/skin");
  BYTES stored;
  stored.u8(1).u32(1).u8(1).field(path);  // marker 1: the absolute path
  stored.u32(3).raw("pic").u16(5).u16(5).u16(5).u16(5).picture(other);
  device.set(stored.out);
  ASSERT_TRUE(cache.get_from_data_device(&device));
  IMAGE* found = cache.get(kSkin, "pic", -1, -1, IMAGE_CACHE_FIND_ONLY);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(pixels_of(found), pixels_of(&other));

  // Written back, it takes version 2 with the folder's path text.
  MEMORY_DEVICE out;
  ASSERT_TRUE(cache.put_to_data_device(&out));
  EXPECT_EQ(out.text(), BYTES{}.u8(2).u32(1).entry(kSkin, "pic", 5, 5, 5, 5, other).out);
}

TEST_F(ImageCache, HostileStoredCachesFailCleanly) {
  IMAGE_CACHE cache;
  MEMORY_DEVICE device;
  // A huge name length, with and without a device that knows its end.
  for (bool can_seek_end : {true, false}) {
    for (uint32_t length : {0xFFFFFFFFu, 0x7FFFFFF0u}) {
      device.set(BYTES{}.u8(2).u32(1).field(kSkin).u32(length).raw("pic").out);
      device.can_seek_end = can_seek_end;
      EXPECT_FALSE(cache.get_from_data_device(&device));
      EXPECT_EQ(cache.entries.count, 0);
    }
  }
  device.can_seek_end = true;

  // A folder field without a terminator is cut at its last byte; bytes
  // after a terminator are zero when written again.
  std::string full(FOLDER_PATH_SIZE, 'A');
  std::string garbage = kSkin + std::string(1, '\0') + std::string(FOLDER_PATH_SIZE - 10, 'x');
  device.set(BYTES{}.u8(2).u32(2).raw(full).u32(1).raw("p").u16(5).u16(5).u16(5).u16(5)
                 .picture(other).raw(garbage).u32(0).u16(5).u16(5).u16(5).u16(5)
                 .picture(other).out);
  ASSERT_TRUE(cache.get_from_data_device(&device));
  ASSERT_EQ(cache.entries.count, 2);
  auto* entry = static_cast<IMAGE_CACHE_ENTRY*>(cache.entries.head->data);
  EXPECT_EQ(std::string(entry->folder), full.substr(0, FOLDER_PATH_SIZE - 1));
  MEMORY_DEVICE out;
  ASSERT_TRUE(cache.put_to_data_device(&out));
  std::string expected = BYTES{}.u8(2).u32(2).out;
  expected += BYTES{}.entry(full.substr(0, FOLDER_PATH_SIZE - 1), "p", 5, 5, 5, 5, other).out;
  expected += BYTES{}.entry(kSkin, "", 5, 5, 5, 5, other).out;
  EXPECT_EQ(out.text(), expected);

  // A name length of 0 gives a null name, which an empty or null name finds.
  EXPECT_EQ(static_cast<IMAGE_CACHE_ENTRY*>(cache.entries.tail->data)->name, nullptr);
  IMAGE* unnamed = cache.get(kSkin, "", -1, -1, IMAGE_CACHE_FIND_ONLY);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(cache.get(kSkin, nullptr, -1, -1, IMAGE_CACHE_FIND_ONLY), unnamed);
  EXPECT_EQ(cache.get(kSkin, "x", -1, -1, IMAGE_CACHE_FIND_ONLY), nullptr);
}

TEST_F(ImageCache, EntriesStillReferencedAreFreedWithTheCache) {
  save("pic", pic);
  auto* cache = new IMAGE_CACHE;
  IMAGE* a = cache->get(kSkin, "pic");
  IMAGE* b = cache->get(kSkin, "pic", 2, 2);
  cache->make_unique(b);
  ASSERT_NE(a, nullptr);
  delete cache;  // the sanitizer tree reports anything left behind

  IMAGE_CACHE other_cache;
  other_cache.get(kSkin, "pic");
  other_cache.clear_all();
  EXPECT_EQ(other_cache.entries.count, 0);
}
