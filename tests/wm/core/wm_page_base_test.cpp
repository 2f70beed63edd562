// Page classes and image pages on a real page manager over the headless
// screen: which of a page object's operations run, in what order, as pages
// are registered, switched, revisited and dropped; image pages that wait
// their time on the fake clock and hand over to the next page.
#include "wm_page_base.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data_file.h"
#include "folder.h"
#include "image_page.h"
#include "input_driver.h"
#include "picture_compare.h"
#include "test_support.h"
#include "timing.h"
#include "wm_page_manager.h"
#include "wm_test_fonts.h"
#include "wm_test_objects.h"

using namespace wm_test;

namespace {

std::vector<std::string> events;
int32_t next_action = 0;  // returned once by the next page update

// Builds itself in create; logs every operation the manager routes to it.
class PLAIN_PAGE : public WM_PAGE_BASE {
public:
  PLAIN_PAGE(const char* page_name, COLOUR c) : name(page_name), colour(c) {}
  ~PLAIN_PAGE() override { log("destroyed"); }
  void create(WM_PAGE_MANAGER*) override { build("create"); }
  int32_t update() override {
    log("update");
    const int32_t action = next_action;
    next_action = 0;
    return action;
  }
  void leave() override { log("leave"); }
  int32_t process(uintptr_t a, uintptr_t b, uintptr_t c) override {
    return static_cast<int32_t>(a + b + c);
  }

protected:
  void log(const char* what) { events.push_back(name + "." + what); }
  void build(const char* how) {
    log(how);
    add_object(new BOX(0, 0, get_width(), 20, colour), false);
  }

private:
  std::string name;
  COLOUR colour;
};

class CUSTOM_PAGE : public PLAIN_PAGE {
public:
  using PLAIN_PAGE::PLAIN_PAGE;
  void create_custom(WM_PAGE_MANAGER*) override { build("create_custom"); }
};

class PageBase : public ToolkitTest {
protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    events.clear();
    next_action = 0;
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  }
  void TearDown() override {
    manager.reset();
    ToolkitTest::TearDown();
  }

  test_support::INPUT_DRIVER input;
  std::unique_ptr<WM_PAGE_MANAGER> manager;
};

TEST_F(PageBase, PageObjectOperationsRunInOrder) {
  constexpr COLOUR GREEN = 0xFF00FF00;
  constexpr COLOUR BLUE = 0xFF0000FF;
  EXPECT_FALSE(register_page(new PLAIN_PAGE("x", GREEN), 3, manager.get(), 0, 0, 9));
  EXPECT_EQ(events, std::vector<std::string>{"x.destroyed"});  // a refused page is not kept
  events.clear();

  // "a" stays in the history; "b" builds itself in create_custom only, even
  // right after a page that left the not-overridden mark.
  ASSERT_TRUE(register_page(new PLAIN_PAGE("a", GREEN), -1, manager.get(), 1, 0, 1));
  EXPECT_EQ(manager->frame(false), page_action::SWITCH_PAGE);
  EXPECT_EQ(pixel(199, 5), GREEN);  // the page's width is its area's
  manager->frame(false);
  ASSERT_TRUE(register_page(new CUSTOM_PAGE("b", BLUE), -1, manager.get(), 0, 0, 2));
  next_action = page_action::SWITCH_PAGE;
  manager->frame(false);
  EXPECT_EQ(pixel(5, 5), BLUE);
  EXPECT_EQ(dispatch_process(1, 2, 3), 6);
  manager->history_back();
  next_action = page_action::SWITCH_PAGE;
  manager->frame(false);
  EXPECT_EQ(pixel(5, 5), GREEN);
  // Registered again under its id, a page takes the old one's place in the history.
  ASSERT_TRUE(register_page(new PLAIN_PAGE("c", BLUE), -1, manager.get(), 1, 0, 1));
  next_action = page_action::SWITCH_PAGE;
  manager->frame(false);
  manager.reset();
  EXPECT_EQ(events, (std::vector<std::string>{
                        "a.create", "a.update", "a.update", "a.leave", "b.create_custom",
                        "b.update", "b.leave", "b.destroyed", "a.create", "a.update", "a.leave",
                        "a.destroyed", "c.create", "c.leave", "c.destroyed"}));
  EXPECT_EQ(dispatch_process(1, 2, 3) + dispatch_update(), 0);  // no manager, no page to ask
  struct BARE : WM_PAGE_BASE {
    void create(WM_PAGE_MANAGER*) override {}
  } bare;  // in no manager, with no input or updates of its own
  EXPECT_EQ(bare.get_width() + bare.get_height(), 0);
  EXPECT_EQ(bare.process(1, 2, 3), 0);
  EXPECT_EQ(bare.update(), 0);
}

std::vector<uint32_t> done_at;  // clock of each done callback
WM_PAGE_MANAGER* shown_on = nullptr;

int32_t second_done() {
  done_at.push_back(get_time_ms());
  return 0;
}

// Hands over to a composition: a blue square in the bottom-right corner of
// a green screen, shown for one second.
int32_t first_done() {
  done_at.push_back(get_time_ms());
  static IMAGE square(10, 10);
  const COLOUR blue = 0xFF0000FF;
  square.clear(&blue, true);
  IMAGE_PAGE_PART part;
  part.image = &square;
  part.placement = image_part::RIGHT | image_part::BOTTOM;
  build_image_page(shown_on, &part, 1, 0xFF00FF00, second_done, {1, 0, 0});
  return page_action::SWITCH_PAGE;
}

TEST_F(PageBase, ImagePagesWaitTheirTimeOneAfterAnother) {
  test_support::ScratchDir scratch;
  FOLDER folder;
  ASSERT_TRUE(folder.set_absolute(scratch.path().c_str()));
  IMAGE red(20, 10);
  const COLOUR red_colour = 0xFFFF0000;
  red.clear(&red_colour, true);
  DATA_FILE* file = folder.open_data_file("logo.raw", 1, 255, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(red.put_to_data_device(file));
  ASSERT_TRUE(FOLDER::close_data_file(file));
  done_at.clear();
  shown_on = manager.get();

  // No picture: the callback at once, and no page.
  EXPECT_FALSE(show_image_page(manager.get(), folder, "none", second_done, {2, 0, 0}, false));
  EXPECT_EQ(done_at.size(), 1u);
  EXPECT_EQ(manager->frame(false), 0);
  done_at.clear();

  ASSERT_TRUE(show_image_page(manager.get(), folder, "logo", first_done, {2, 0, 0}, false));
  EXPECT_EQ(manager->frame(false), page_action::SWITCH_PAGE);  // at 1000 s
  EXPECT_EQ(pixel(100, 75), red_colour);  // centred on black
  EXPECT_EQ(pixel(89, 70), 0xFF000000);
  // The first waiting frame (1000.5 s) sets the deadline to 1002 s; the
  // page ends in the first frame after it. The second page waits its own
  // second from its first frame (1003.5 s).
  while (done_at.size() < 2 && input.now_ms() < 1010000) {
    input.advance_ms(500);
    const size_t done_before = done_at.size();
    const int32_t action = manager->frame(false);
    if (done_at.size() == done_before) { EXPECT_EQ(action, 0) << input.now_ms(); }  // waiting acts not
    if (done_at.size() == 1 && input.now_ms() == 1003000) {
      EXPECT_EQ(pixel(189, 139), 0xFF0000FFu);
      EXPECT_EQ(pixel(199, 149), 0xFF00FF00u);  // one pixel short of the corner
    }
  }
  EXPECT_EQ(done_at, (std::vector<uint32_t>{1003000, 1005000}));
}

// A composition's background colour fills the page from alpha 250 on;
// below that the previous screen, as back buffer 0 keeps it, shows.
TEST_F(PageBase, ACompositionFillsItsBackgroundFromAlpha250) {
  const COLOUR before = 0xFF123456;
  const struct {
    COLOUR background;
    COLOUR corner;
  } rows[] = {{0xF9FF00FF, before}, {0xFAFF00FF, 0xFAFF00FF}, {0xFF00FFFF, 0xFF00FFFF},
              {0x00FF00FF, before}};
  IMAGE square(10, 10);
  const COLOUR blue = 0xFF0000FF;
  square.clear(&blue, true);
  IMAGE_PAGE_PART part;
  part.image = &square;
  for (const auto& r : rows) {
    manager.reset();  // a fresh area shows its first page at once
    manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
    IMAGE& kept = manager->back_buffers[0];
    kept.create(get_screen_width(), get_screen_height());
    kept.clear(&before, true);
    ASSERT_TRUE(build_image_page(manager.get(), &part, 1, r.background, nullptr, {1, 0, 0}));
    manager->frame(false);
    EXPECT_EQ(pixel(2, 2), r.corner) << std::hex << r.background;
    EXPECT_EQ(pixel(100, 75), blue) << std::hex << r.background;
  }
}

// Each part goes where its flags put it (a far edge leaves one pixel free),
// its background behind it; a part without a picture or width is skipped.
TEST_F(PageBase, ACompositionPlacesEachPartByItsFlags) {
  const COLOUR screen = 0xFF203040, line = 0xFFFF0000, fill = 0xFF00FF00, middle = 0xFF0000FF,
               side = 0xFFFFFF00, clear = 0, faint = 0xFF1F2F3F;
  IMAGE thin(1, 4), hollow(6, 5), centred(5, 3), left(3, 2), empty;
  thin.clear(&line, true);
  hollow.clear(&clear, true);
  centred.clear(&middle, true);
  left.clear(&side, true);
  IMAGE_PAGE_PART parts[7];
  parts[0] = {&thin, image_part::LEFT | image_part::TOP, 3, COLOUR_INVISIBLE};
  parts[1] = {&hollow, image_part::RIGHT | image_part::BOTTOM, 2, fill};
  parts[2] = {&centred, 0, 9, COLOUR_INVISIBLE};
  parts[3] = {&left, image_part::LEFT, 4, COLOUR_INVISIBLE};
  parts[4] = {nullptr, image_part::TOP, 0, fill};
  parts[5] = {&empty, image_part::TOP, 0, fill};
  // Black at alpha 1 still darkens: each channel to its 254/256, truncated.
  parts[6] = {&hollow, image_part::LEFT | image_part::BOTTOM, 2, 0x01000000};
  ASSERT_TRUE(build_image_page(manager.get(), parts, 7, screen, nullptr, {1, 0, 0}));
  manager->frame(false);
  IMAGE expected(200, 150);
  expected.clear(&screen, true);
  expected.fill_rect_solid(3, 3, 3, 6, &line);
  expected.fill_rect_solid(191, 142, 196, 146, &fill);
  expected.fill_rect_solid(97, 73, 101, 75, &middle);
  expected.fill_rect_solid(4, 74, 6, 75, &side);
  expected.fill_rect_solid(2, 142, 7, 146, &faint);
  EXPECT_TRUE(test_support::pictures_match("composition", *get_screen_image(), expected));
  // A status text of its first 24 characters, centred both ways, on the next image page.
  ASSERT_TRUE(load_test_font());
  set_image_page_message(-1, 65535, "Unpacking files, please wait", 0xFFFFFFFF, FONT_DEFAULT, 12, 65535);
  manager.reset();
  manager = std::make_unique<WM_PAGE_MANAGER>(1, -1);
  ASSERT_TRUE(build_image_page(manager.get(), parts, 6, screen, nullptr, {1, 0, 0}));
  manager->frame(false);
  set_image_page_message(0, 0, nullptr, 0, FONT_DEFAULT, 12, 0);
  FONT::shutdown();
  EXPECT_TRUE(test_support::picture_matches_reference("core4", "image_page_text", *get_screen_image()));
}

}  // namespace
