// The platform frame without a window: idle wait, close requests and the
// event queue.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>

#include <string>
#include <vector>

#include "event_queue.h"
#include "platform.h"

namespace {

int close_calls = 0;
bool close_answer = false;
pthread_t callback_thread;

bool recording_close(uint32_t argument) {
  EXPECT_EQ(argument, 0u);
  ++close_calls;
  callback_thread = pthread_self();
  return close_answer;
}

class PlatformLoop : public ::testing::Test {
protected:
  void SetUp() override {
    close_calls = 0;
    set_close_handler(recording_close);
    install_signal_handlers();
  }
  void TearDown() override {
    // Leave the quit flag clear for the next test.
    close_answer = false;
    handle_close_request();
    set_close_handler(nullptr);
  }
};

}  // namespace

TEST_F(PlatformLoop, IdleWaitStartsAt50AndCanBeSwitchedOff) {
  EXPECT_EQ(get_idle_wait(), 50u);
  set_idle_wait(0);
  EXPECT_EQ(get_idle_wait(), 0u);
  set_idle_wait(50);
}

TEST_F(PlatformLoop, SignalIsAnsweredByTheCallbackOnTheCallingThread) {
  close_answer = false;
  raise(SIGTERM);
  // The handler only notes the request.
  EXPECT_EQ(close_calls, 0);
  platform_update();
  EXPECT_EQ(close_calls, 1);
  EXPECT_TRUE(pthread_equal(callback_thread, pthread_self()));
  EXPECT_FALSE(quit_requested());

  close_answer = true;
  raise(SIGINT);
  platform_update();
  EXPECT_EQ(close_calls, 2);
  EXPECT_TRUE(quit_requested());

  // A later refusal clears the flag again.
  close_answer = false;
  raise(SIGHUP);
  platform_update();
  EXPECT_FALSE(quit_requested());
}

TEST_F(PlatformLoop, WindowSizeChangeIsNotACloseRequest) {
  raise(SIGWINCH);
  platform_update();
  EXPECT_EQ(close_calls, 0);
}

TEST_F(PlatformLoop, WithoutCallbackACloseRequestEndsTheProgram) {
  set_close_handler(nullptr);
  handle_close_request();
  EXPECT_TRUE(quit_requested());
  set_close_handler(recording_close);
}

namespace {

struct RECORDER : EVENT_CLIENT {
  std::string name;
  std::vector<std::string>* log;
  EVENT* repost = nullptr;  // posted from inside handle_event once
  RECORDER(std::string n, std::vector<std::string>* l) : name(std::move(n)), log(l) {}
  void handle_event(EVENT* event) override {
    log->push_back(name + ":" + std::to_string(event->type));
    if (repost) {
      EVENT* e = repost;
      repost = nullptr;
      post_event(e, true);
    }
  }
};

std::vector<std::string>* release_log = nullptr;
void release_event(EVENT* event, intptr_t user) {
  release_log->push_back("release:" + std::to_string(event->type) + ":" + std::to_string(user));
}

}  // namespace

TEST(EventQueue, SendDeliversToEveryReceiverInOrderThenReleases) {
  std::vector<std::string> log;
  release_log = &log;
  RECORDER a("a", &log), b("b", &log);
  auto* e = new EVENT{7, 42, release_event};
  send_event(e, true);
  EXPECT_EQ(log, (std::vector<std::string>{"a:7", "b:7", "release:7:42"}));
}

TEST(EventQueue, PostedEventsWaitForTheNextFrame) {
  std::vector<std::string> log;
  release_log = &log;
  RECORDER a("a", &log);
  a.repost = new EVENT{2, 0, release_event};
  post_event(new EVENT{1, 5, release_event}, true);
  EXPECT_TRUE(log.empty());

  process_events();
  // The event posted during delivery is not delivered in the same call.
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "release:1:5"}));
  process_events();
  EXPECT_EQ(log, (std::vector<std::string>{"a:1", "release:1:5", "a:2", "release:2:0"}));
  process_events();
  EXPECT_EQ(log.size(), 4u);
}

TEST(EventQueue, EventWithoutDeleteFlagIsLeftToItsOwner) {
  std::vector<std::string> log;
  release_log = &log;
  RECORDER a("a", &log);
  EVENT e{3, 0, release_event};
  post_event(&e, false);
  process_events();
  EXPECT_EQ(log, (std::vector<std::string>{"a:3"}));
}

TEST(EventQueue, DestroyedReceiverNoLongerHearsEvents) {
  std::vector<std::string> log;
  release_log = &log;
  RECORDER a("a", &log);
  {
    RECORDER b("b", &log);
  }
  EVENT e{4, 0, nullptr};
  send_event(&e, false);
  EXPECT_EQ(log, (std::vector<std::string>{"a:4"}));
}
