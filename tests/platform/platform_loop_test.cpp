// The platform frame without a window: idle wait, close requests and the
// event queue.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
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

TEST_F(PlatformLoop, WindowSizeChangeDoesNotBreakABlockingRead) {
  // A terminal resize during a console read (the console message box, a
  // console mode's line input) must not end the read early.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pthread_t reader = pthread_self();
  std::thread helper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pthread_kill(reader, SIGWINCH);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(write(fds[1], "x", 1), 1);
  });
  char byte = 0;
  errno = 0;
  ssize_t got = read(fds[0], &byte, 1);
  int read_errno = errno;
  helper.join();
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(got, 1) << "read ended with errno " << read_errno;
  EXPECT_EQ(byte, 'x');
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

namespace {

// Destroys another receiver (or itself) when it hears an event.
struct DESTROYER : EVENT_CLIENT {
  std::vector<std::string>* log;
  std::unique_ptr<EVENT_CLIENT>* victim;
  DESTROYER(std::vector<std::string>* l, std::unique_ptr<EVENT_CLIENT>* v) : log(l), victim(v) {}
  void handle_event(EVENT*) override {
    log->push_back("destroyer");
    victim->reset();
  }
};

}  // namespace

TEST(EventQueue, ReceiverMayDestroyTheNextReceiverWhileHandling) {
  std::vector<std::string> log;
  std::unique_ptr<EVENT_CLIENT> second, third;
  auto first = std::make_unique<DESTROYER>(&log, &second);
  second = std::make_unique<RECORDER>("second", &log);
  third = std::make_unique<RECORDER>("third", &log);
  EVENT e{5, 0, nullptr};
  send_event(&e, false);
  EXPECT_EQ(log, (std::vector<std::string>{"destroyer", "third:5"}));
  EXPECT_EQ(second, nullptr);

  log.clear();
  send_event(&e, false);
  EXPECT_EQ(log, (std::vector<std::string>{"destroyer", "third:5"}));
}

TEST(EventQueue, ReceiverMayDestroyItselfWhileHandling) {
  std::vector<std::string> log;
  std::unique_ptr<EVENT_CLIENT> self;
  RECORDER before("before", &log);
  self = std::make_unique<DESTROYER>(&log, &self);
  RECORDER after("after", &log);
  EVENT e{6, 0, nullptr};
  send_event(&e, false);
  EXPECT_EQ(self, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"before:6", "destroyer", "after:6"}));
}

namespace {

// Sends a second event from inside its handler, then destroys the receiver
// that the outer delivery would visit next.
struct NESTED_SENDER : EVENT_CLIENT {
  std::vector<std::string>* log;
  std::unique_ptr<EVENT_CLIENT>* victim;
  NESTED_SENDER(std::vector<std::string>* l, std::unique_ptr<EVENT_CLIENT>* v) : log(l), victim(v) {}
  void handle_event(EVENT* event) override {
    log->push_back("sender:" + std::to_string(event->type));
    if (event->type != 1) return;
    EVENT inner{2, 0, nullptr};
    send_event(&inner, false);
    victim->reset();
  }
};

}  // namespace

TEST(EventQueue, NestedDeliveriesSurviveADestroyedReceiver) {
  std::vector<std::string> log;
  std::unique_ptr<EVENT_CLIENT> victim;
  NESTED_SENDER sender(&log, &victim);
  victim = std::make_unique<RECORDER>("victim", &log);
  RECORDER last("last", &log);
  EVENT outer{1, 0, nullptr};
  send_event(&outer, false);
  EXPECT_EQ(log, (std::vector<std::string>{"sender:1", "sender:2", "victim:2", "last:2", "last:1"}));
}
