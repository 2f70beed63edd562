#include "tcpip.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "errors.h"
#include "picture_compare.h"
#include "platform.h"

using testing::ExitedWithCode;
using testing::HasSubstr;
using testing::StartsWith;

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Every wait in these tests is bounded: a broken layer fails, it never hangs.
template <typename CONDITION>
bool wait_until(CONDITION condition, int ms = 3000) {
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (condition()) return true;
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// The IPv4 address the machine's own resolver gives the name ("" for none):
// what "localhost" means depends on the machine (its hosts file, if any),
// so the name tests expect what the system answers through another call.
std::string system_address_of(const char* name) {
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return "";
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text,
            sizeof text);
  freeaddrinfo(found);
  return text;
}

// Whether the system's resolver knows a name for the dotted address.
bool system_names(const char* dotted) {
  sockaddr_in where = {};
  where.sin_family = AF_INET;
  if (inet_pton(AF_INET, dotted, &where.sin_addr) != 1) return false;
  char name[NI_MAXHOST];
  return getnameinfo(reinterpret_cast<const sockaddr*>(&where), sizeof where, name, sizeof name,
                     nullptr, 0, NI_NAMEREQD) == 0;
}

// "localhost" where the machine resolves it to itself, else its number.
const char* loopback_name() {
  return system_address_of("localhost").rfind("127.", 0) == 0 ? "localhost" : "127.0.0.1";
}

sockaddr_in loopback(uint16_t port) {
  sockaddr_in where;
  std::memset(&where, 0, sizeof where);
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  where.sin_port = htons(port);
  return where;
}

uint16_t local_port_of(int fd) {
  sockaddr_in where;
  socklen_t size = sizeof where;
  getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
  return ntohs(where.sin_port);
}

// The options of the first socket of this process of `type` that `wanted` picks by its local
// port, its peer's port and whether it listens, as one line.
std::string options_of(int type, const std::function<bool(uint16_t, uint16_t, bool)>& wanted) {
  for (int fd = 0; fd < 1024; ++fd) {
    int found = -1, listening = 0;
    socklen_t size = sizeof found;
    sockaddr_in peer = {};
    socklen_t peer_size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &found, &size) != 0 || found != type) continue;
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size);
    size = sizeof listening;
    getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size);
    if (!wanted(local_port_of(fd), ntohs(peer.sin_port), listening != 0)) continue;
    linger value = {-1, -1};
    size = sizeof value;
    getsockopt(fd, SOL_SOCKET, SO_LINGER, &value, &size);
    std::string text = "linger " + std::to_string(value.l_onoff) + "/" + std::to_string(value.l_linger);
    for (auto [name, option] : {std::pair{"broadcast", SO_BROADCAST}, {"reuseaddr", SO_REUSEADDR},
                                {"keepalive", SO_KEEPALIVE}, {"sndbuf", SO_SNDBUF}, {"rcvbuf", SO_RCVBUF}}) {
      int option_value = -1;
      size = sizeof option_value;
      getsockopt(fd, SOL_SOCKET, option, &option_value, &size);
      text += std::string(" ") + name + " " + std::to_string(option_value);
    }
    return text + (fcntl(fd, F_GETFL) & O_NONBLOCK ? " non-blocking" : " blocking");
  }
  return "no such socket";
}

// A port that was free a moment ago, for the layer's own listeners (which
// bind the any-address and cannot be asked for an ephemeral port).
uint16_t free_port(int type) {
  int fd = socket(AF_INET, type, 0);
  sockaddr_in any;
  std::memset(&any, 0, sizeof any);
  any.sin_family = AF_INET;
  bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
  uint16_t port = local_port_of(fd);
  close(fd);
  return port;
}

// A plain blocking peer socket with its own file descriptor, closed with it.
struct FD {
  int fd = -1;
  FD() = default;
  explicit FD(int value) : fd(value) {}
  FD(FD&& other) noexcept : fd(other.fd) { other.fd = -1; }
  FD& operator=(FD&& other) noexcept {
    std::swap(fd, other.fd);
    return *this;
  }
  ~FD() {
    if (fd >= 0) close(fd);
  }
};

// A listener on 127.0.0.1 with a port of the kernel's choosing.
struct RAW_LISTENER {
  FD socket{::socket(AF_INET, SOCK_STREAM, 0)};
  uint16_t port = 0;
  RAW_LISTENER() {
    sockaddr_in where = loopback(0);
    bind(socket.fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    ::listen(socket.fd, 8);
    port = local_port_of(socket.fd);
  }
  FD accept_one(int ms = 3000) {
    pollfd entry = {socket.fd, POLLIN, 0};
    if (poll(&entry, 1, ms) != 1) return FD();
    return FD(::accept(socket.fd, nullptr, nullptr));
  }
};

FD raw_connect(uint16_t port) {
  FD client(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in where = loopback(port);
  if (connect(client.fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) return FD();
  return client;
}

// Reads until `count` bytes came or the time is up.
std::string read_bytes(int fd, size_t count, int ms = 3000) {
  std::string got;
  auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (got.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd entry = {fd, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(left.count())) != 1) break;
    char chunk[65536];
    ssize_t n = recv(fd, chunk, std::min(sizeof chunk, count - got.size()), 0);
    if (n <= 0) break;
    got.append(chunk, static_cast<size_t>(n));
  }
  return got;
}

// Whatever is waiting on fd now, without waiting.
std::string read_waiting(int fd) {
  std::string got;
  char chunk[65536];
  ssize_t n;
  while ((n = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT)) > 0) got.append(chunk, static_cast<size_t>(n));
  return got;
}

// True once the peer has ended the connection (end of stream or reset).
bool peer_ended(int fd) {
  char byte;
  ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

// Waits until everything written on fd has reached the other end's queue.
void wait_delivered(int fd) {
  wait_until([fd] {
    int unsent = 0;
    if (ioctl(fd, TIOCOUTQ, &unsent) != 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      return true;
    }
    return unsent == 0;
  });
}

void write_all(int fd, const std::string& bytes) {
  ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

int open_descriptor_count() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (const dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count;
}

std::string pattern(size_t size, unsigned seed = 7) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed + i / 251) & 0xFF);
  return bytes;
}

// What the layer takes from one slot within the time limit, read with
// receive (which must never report an error here).
std::string receive_text(TCPIP& net, int16_t slot, size_t count) {
  std::string got;
  wait_until([&] {
    char chunk[256];
    int32_t n = net.receive(slot, chunk, sizeof chunk);
    EXPECT_GE(n, 0);
    if (n > 0) got.append(chunk, static_cast<size_t>(n));
    return n < 0 || got.size() >= count;
  });
  return got;
}

// Runs body with the soft limit of open descriptors at soft, then puts it back.
template <typename BODY>
void with_descriptor_limit(int soft, BODY body) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit lowered = {static_cast<rlim_t>(soft), limit.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  body();
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
}

class TcpipTest : public testing::Test {
protected:
  void SetUp() override {
    set_message_box_handler(message_box_to_stderr);
    set_tcpip_wait_limit(5000);
  }
  void TearDown() override { set_tcpip_wait_limit(5000); }

  // Connects slot `slot` of net to a raw listener and returns the peer.
  FD connect_peer(TCPIP& net, RAW_LISTENER& listener, int16_t expected_slot = 0) {
    int16_t slot = net.connect("127.0.0.1", listener.port);
    EXPECT_EQ(slot, expected_slot);
    return listener.accept_one();
  }
};

using TcpipDeathTest = TcpipTest;

// ---- addresses and names ----

TEST_F(TcpipTest, DottedAddressesKeepTheirBytesInOrderBothWays) {
  uint32_t address = parse_address("10.0.0.1");
  std::vector<uint8_t> bytes(4);
  std::memcpy(bytes.data(), &address, bytes.size());
  EXPECT_EQ(bytes, (std::vector<uint8_t>{10, 0, 0, 1}));
  EXPECT_STREQ(ip_to_text(address), "10.0.0.1");

  for (const char* text : {"127.0.0.1", "192.168.254.3", "255.255.255.255", "1.22.133.244"})
    EXPECT_STREQ(ip_to_text(parse_address(text)), text);
  EXPECT_EQ(parse_address("127.0.0.1"), htonl(INADDR_LOOPBACK));
  EXPECT_STREQ(ip_to_text(htonl(0xC0A80102)), "192.168.1.2");
  EXPECT_STREQ(ip_to_text(parse_address("010.000.000.001")), "10.0.0.1");
}

TEST_F(TcpipTest, NumbersOutOfRangeOrExtraPartsAreNotAddresses) {
  // Each of these is not four numbers 0..255, and as a name it resolves to
  // nothing (all digits and dots, so no name server is asked).
  for (const char* text : {"300.1.1.1", "1.2.3.256", "1.2.3.4.5", "256.256.256.256", "99999.1.1.1", ""})
    EXPECT_EQ(parse_address(text), 0u) << text;
  EXPECT_EQ(parse_address(nullptr), 0u);
  EXPECT_STREQ(resolve_host("300.1.1.1"), "");
  EXPECT_STREQ(resolve_host(nullptr), "");
}

TEST_F(TcpipTest, NamesResolveAsTheSystemResolvesThem) {
  const std::string local = system_address_of("localhost");
  EXPECT_STREQ(resolve_host("localhost"), local.c_str());
  EXPECT_EQ(parse_address("localhost"), local.empty() ? 0u : inet_addr(local.c_str()));
  EXPECT_EQ(host_has_name("localhost"), !local.empty() && system_names(local.c_str()));
  EXPECT_STREQ(resolve_host("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(host_has_name("127.0.0.1"), system_names("127.0.0.1"));
  EXPECT_FALSE(host_has_name(nullptr));
  EXPECT_FALSE(host_has_name("300.1.1.1"));
}

TEST_F(TcpipTest, HostNameIsThisMachinesName) {
  char expected[256] = {};
  ASSERT_EQ(gethostname(expected, sizeof expected - 1), 0);
  std::string name = get_host_name();
  EXPECT_LT(name.size(), 100u);
  EXPECT_EQ(name, std::string(expected).substr(0, 99));
  EXPECT_TRUE(network_startup());
}

// ---- construction ----

TEST_F(TcpipDeathTest, ZeroBufferSizeEndsTheProgram) {
  EXPECT_EXIT(
      {
        set_message_box_handler(message_box_to_stderr);
        TCPIP net(2, 1, 1, 0);
      },
      ExitedWithCode(255), HasSubstr("Receive buffer ssize supplied to TCPIP::TCPIP() was invalid"));
}

TEST_F(TcpipTest, ObjectsComeAndGoWithoutLeavingSockets) {
  int before = open_descriptor_count();
  {
    TCPIP net(3, 2, 2, 512);
    RAW_LISTENER listener;
    FD peer = connect_peer(net, listener);
    ASSERT_TRUE(net.listen(free_port(SOCK_STREAM)));
    EXPECT_TRUE(net.is_connected(0));
  }
  EXPECT_EQ(open_descriptor_count(), before);
}

// ---- connections ----

TEST_F(TcpipTest, ListenAcceptAndTransferBothWays) {
  TCPIP net(4, 1, 0, 5000);
  uint16_t port = free_port(SOCK_STREAM);
  ASSERT_TRUE(net.listen(port));
  int16_t client = net.connect("127.0.0.1", port);
  ASSERT_EQ(client, 0);

  int16_t server = -1;
  uint16_t on_port = 0;
  ASSERT_TRUE(wait_until([&] { return net.accept(server, on_port); }));
  EXPECT_EQ(server, 1);
  EXPECT_EQ(on_port, port);
  EXPECT_TRUE(net.is_connected(client));
  EXPECT_TRUE(net.is_connected(server));
  for (int16_t slot : {2, -1, 4}) EXPECT_FALSE(net.is_connected(slot)) << slot;
  // Each socket's options, buffers of 5000 bytes (which the kernel doubles) among them.
  EXPECT_TRUE(test_support::text_matches_reference(
      "platform", "tcpip_socket_options",
      "listener: " + options_of(SOCK_STREAM, [&](uint16_t local, uint16_t, bool listening) { return local == port && listening; }) +
          "\nclient: " + options_of(SOCK_STREAM, [&](uint16_t, uint16_t peer, bool) { return peer == port; }) +
          "\naccepted: " + options_of(SOCK_STREAM, [&](uint16_t local, uint16_t, bool listening) { return local == port && !listening; }) +
          "\n"));

  EXPECT_EQ(std::string(net.get_peer_text(client)), "127.0.0.1:" + std::to_string(port));
  EXPECT_THAT(std::string(net.get_peer_text(server)), StartsWith("127.0.0.1:"));
  for (int16_t slot : {2, -3}) EXPECT_STREQ(net.get_peer_text(slot), "") << slot;

  char buffer[16];
  EXPECT_EQ(net.receive(server, buffer, sizeof buffer), 0);  // nothing waiting yet
  EXPECT_EQ(net.send(client, "hello", 5), 5);
  EXPECT_EQ(receive_text(net, server, 5), "hello");
  EXPECT_EQ(net.send_some(server, "back", 4), 4);
  EXPECT_EQ(receive_text(net, client, 4), "back");
  EXPECT_EQ(net.send(client, "!", 1), 1);  // the least that goes either way
  EXPECT_EQ(net.send_some(server, "?", 1), 1);
  EXPECT_EQ(receive_text(net, server, 1), "!");
  EXPECT_EQ(receive_text(net, client, 1), "?");

  // Nothing else is waiting on the listener.
  int16_t slot = 7;
  uint16_t none = 7;
  EXPECT_FALSE(net.accept(slot, none));
  EXPECT_EQ(slot, -1);
  EXPECT_EQ(none, 0);
}

TEST_F(TcpipTest, HostNamesConnectToo) {
  if (std::strcmp(loopback_name(), "localhost") != 0)
    GTEST_SKIP() << "no name of this machine resolves to the loopback here";
  TCPIP net(1, 0, 0, 256);
  RAW_LISTENER listener;
  ASSERT_EQ(net.connect("localhost", listener.port), 0);
  EXPECT_GE(listener.accept_one().fd, 0);
}

TEST_F(TcpipTest, BadArgumentsGiveMinusOne) {
  TCPIP net(2, 0, 0, 256);
  char buffer[8] = {};
  // Each call's answers: receive, send, send_some, receive_block.
  auto answers = [&](int16_t slot, bool with_buffer, int32_t length) {
    char* bytes = with_buffer ? buffer : nullptr;
    return std::vector{net.receive(slot, bytes, length), net.send(slot, bytes, length),
                       net.send_some(slot, bytes, length), net.receive_block(slot, bytes, length)};
  };
  const std::vector refused = {-1, -1, -1, -1};
  for (int16_t slot : {-1, 2, 0, 1}) EXPECT_EQ(answers(slot, true, 8), refused) << slot;  // out of range or free
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  for (auto [with_buffer, length] : {std::pair{false, 8}, {false, 4}, {false, 1}, {true, 0}, {true, -4}, {true, -5}})
    EXPECT_EQ(answers(0, with_buffer, length), refused) << with_buffer << " " << length;
  EXPECT_TRUE(net.is_connected(0));

  // Bad queue requests add nothing: the first bytes the peer sees are "ok".
  for (auto [slot, bytes, size] : {std::tuple<int16_t, const char*, int32_t>{0, nullptr, 5}, {0, "abc", 0}, {0, "abc", -1},
                                   {1, "abc", 3}, {5, "abc", 3}})
    net.queue_send(slot, bytes, size);
  net.flush_queues();
  net.queue_send(0, "o", 1);  // one byte is the smallest queue request
  net.queue_send(0, "k", 1);
  net.flush_queues();
  EXPECT_EQ(read_bytes(peer.fd, 2), "ok");
  EXPECT_EQ(read_bytes(peer.fd, 1, 50), "");
}

TEST_F(TcpipTest, ConnectFailuresLeaveTheSlotFree) {
  TCPIP net(1, 0, 0, 256);
  uint16_t closed_port = free_port(SOCK_STREAM);
  int before = open_descriptor_count();
  auto start = Clock::now();
  EXPECT_EQ(net.connect("127.0.0.1", closed_port), -1);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(net.connect("300.1.1.1", closed_port), -1);
  EXPECT_EQ(net.connect(nullptr, closed_port), -1);
  EXPECT_EQ(net.connect("", closed_port), -1);
  const int next_free = fcntl(2, F_DUPFD, 0);  // no descriptor left for a socket
  close(next_free);
  with_descriptor_limit(next_free, [&] { EXPECT_EQ(net.connect("127.0.0.1", closed_port), -1); });
  EXPECT_FALSE(net.is_connected(0));
  EXPECT_EQ(open_descriptor_count(), before);
}

TEST_F(TcpipTest, ConnectGivesUpOnAListenerThatNeverAnswers) {
  // A listener with a full accept queue drops further handshakes, so the
  // connect must end at the wait limit instead of the kernel's retries.
  set_tcpip_wait_limit(200);
  FD listener(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in where = loopback(0);
  ASSERT_EQ(bind(listener.fd, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  ASSERT_EQ(::listen(listener.fd, 0), 0);
  uint16_t port = local_port_of(listener.fd);

  TCPIP net(4, 0, 0, 256);
  int16_t result = 0;
  int attempts = 0;
  while (result >= 0 && attempts < 4) {
    int before = open_descriptor_count();
    auto start = Clock::now();
    result = net.connect("127.0.0.1", port);
    ++attempts;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    if (result < 0) {
      EXPECT_EQ(open_descriptor_count(), before);
    }
  }
  EXPECT_EQ(result, -1);
  EXPECT_FALSE(net.is_connected(static_cast<int16_t>(attempts - 1)));
}

TEST_F(TcpipTest, IncomingConnectionsFindingNoSlotAreClosedOnEveryListener) {
  TCPIP net(1, 2, 0, 256);
  uint16_t port_a = free_port(SOCK_STREAM);
  ASSERT_TRUE(net.listen(port_a));
  uint16_t port_b = free_port(SOCK_STREAM);
  ASSERT_TRUE(net.listen(port_b));
  EXPECT_FALSE(net.listen(free_port(SOCK_STREAM)));  // no free set

  FD first = raw_connect(port_a);
  ASSERT_GE(first.fd, 0);
  int16_t slot = -1;
  uint16_t port = 0;
  ASSERT_TRUE(wait_until([&] { return net.accept(slot, port); }));
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(port, port_a);

  FD second = raw_connect(port_a);
  FD third = raw_connect(port_b);
  ASSERT_GE(second.fd, 0);
  ASSERT_GE(third.fd, 0);
  bool ever_taken = false;
  EXPECT_TRUE(wait_until([&] {
    if (net.accept(slot, port)) ever_taken = true;
    return peer_ended(second.fd) && peer_ended(third.fd);
  }));
  EXPECT_FALSE(ever_taken);
  EXPECT_EQ(slot, -1);
  EXPECT_EQ(port, 0);

  // The connection that had a slot is untouched.
  EXPECT_EQ(net.send(0, "still", 5), 5);
  EXPECT_EQ(read_bytes(first.fd, 5), "still");
}

TEST_F(TcpipTest, ClosedListenersRefuseAndTheirSetIsReused) {
  TCPIP net(2, 2, 0, 256);
  uint16_t port_a = free_port(SOCK_STREAM);
  uint16_t port_b = free_port(SOCK_STREAM);
  ASSERT_TRUE(net.listen(port_a));
  ASSERT_TRUE(net.listen(port_b));

  net.close_listen_ports(port_a);
  EXPECT_EQ(raw_connect(port_a).fd, -1);
  EXPECT_GE(raw_connect(port_b).fd, 0);

  uint16_t port_c = free_port(SOCK_STREAM);
  EXPECT_TRUE(net.listen(port_c));
  net.close_listen_ports(0);
  EXPECT_EQ(raw_connect(port_b).fd, -1);
  EXPECT_EQ(raw_connect(port_c).fd, -1);
  EXPECT_TRUE(net.listen(port_a));
}

TEST_F(TcpipTest, FullSlotsOpenNoSocketUntilCloseFreesOneOrEvery) {
  TCPIP net(3, 0, 0, 256);
  RAW_LISTENER listener;
  FD a = connect_peer(net, listener, 0);
  FD b = connect_peer(net, listener, 1);
  FD c = connect_peer(net, listener, 2);
  ASSERT_GE(c.fd, 0);
  int before = open_descriptor_count();  // every slot in use: a connect opens no socket
  EXPECT_EQ(net.connect("127.0.0.1", listener.port), -1);
  EXPECT_EQ(open_descriptor_count(), before);
  EXPECT_EQ(listener.accept_one(100).fd, -1);  // nothing knocked
  net.close(1);
  EXPECT_FALSE(net.is_connected(1));
  EXPECT_TRUE(wait_until([&] { return peer_ended(b.fd); }));
  net.close(7);  // bad slot: nothing
  EXPECT_TRUE(net.is_connected(0));
  EXPECT_EQ(net.connect("127.0.0.1", listener.port), 1);  // the freed slot is reused
  FD b2 = listener.accept_one();
  net.close(-1);
  for (int16_t i = 0; i < 3; ++i) EXPECT_FALSE(net.is_connected(i));
  EXPECT_TRUE(wait_until([&] { return peer_ended(a.fd) && peer_ended(c.fd) && peer_ended(b2.fd); }));
}

// ---- receiving ----

TEST_F(TcpipTest, ReceiveBlockWaitsForTheWholeBlock) {
  TCPIP net(1, 0, 0, 1024);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  std::string data = pattern(100);
  char out[128];

  write_all(peer.fd, data.substr(0, 60));
  wait_delivered(peer.fd);
  EXPECT_EQ(net.receive_block(0, out, 100), 0);
  EXPECT_EQ(net.receive_block(0, out, 100), 0);
  write_all(peer.fd, data.substr(60));
  wait_delivered(peer.fd);
  int32_t got = 0;
  EXPECT_TRUE(wait_until([&] { return (got = net.receive_block(0, out, 100)) != 0; }));
  ASSERT_EQ(got, 100);
  EXPECT_EQ(std::string(out, 100), data);
}

TEST_F(TcpipTest, ReceiveBlockIsCappedByTheBufferSize) {
  TCPIP net(1, 0, 0, 16);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  std::string data = pattern(40, 3);
  write_all(peer.fd, data);
  char out[64];
  int32_t got = 0;
  ASSERT_TRUE(wait_until([&] { return (got = net.receive_block(0, out, 64)) != 0; }));
  ASSERT_EQ(got, 16);
  EXPECT_EQ(std::string(out, 16), data.substr(0, 16));
}

TEST_F(TcpipTest, ReceiveBlockKeepsBytesGatheredForALargerRequest) {
  TCPIP net(1, 0, 0, 256);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  std::string data = pattern(31, 11);
  write_all(peer.fd, data);
  wait_delivered(peer.fd);
  char out[64];
  EXPECT_EQ(net.receive_block(0, out, 50), 0);  // gathers all 31
  for (auto [wanted, from] : {std::pair{10, 0}, {20, 10}, {1, 30}}) {  // a block of one byte is the smallest
    ASSERT_EQ(net.receive_block(0, out, wanted), wanted);
    EXPECT_EQ(std::string(out, static_cast<size_t>(wanted)), data.substr(static_cast<size_t>(from), static_cast<size_t>(wanted)));
  }
}

// Whatever the call, a closed peer gives -2 and frees the slot; a missing
// MSG_NOSIGNAL on a send would end this process with SIGPIPE.
TEST_F(TcpipTest, PeerClosingGivesMinusTwoAndFreesTheSlotWithoutASignal) {
  signal(SIGPIPE, SIG_DFL);
  TCPIP net(4, 0, 0, 256);
  RAW_LISTENER listener;
  std::vector<FD> peers;
  for (int16_t slot = 0; slot < 4; ++slot) peers.push_back(connect_peer(net, listener, slot));
  char buffer[8];
  // Before the close there is nothing to read: the system says "try again".
  EXPECT_EQ(net.receive(0, buffer, sizeof buffer), 0);
  EXPECT_EQ(net.receive_block(1, buffer, 4), 0);
  peers.clear();
  const std::function<int32_t()> calls[] = {
      [&] { return net.receive(0, buffer, sizeof buffer); }, [&] { return net.receive_block(1, buffer, 4); },
      [&] { return net.send_some(2, "data", 4); }, [&] { return net.send(3, "data", 4); }};
  for (int16_t slot = 0; slot < 4; ++slot) {
    int32_t result = 0;  // a send may still take bytes at first
    EXPECT_TRUE(wait_until([&] { return (result = calls[slot]()) < 0 || (slot < 2 && result > 0); }));
    EXPECT_EQ(result, -2) << slot;
    EXPECT_FALSE(net.is_connected(slot));
  }
  EXPECT_EQ(net.receive(0, buffer, sizeof buffer), -1);
}

// ---- sending ----

TEST_F(TcpipTest, SendDeliversEverythingToAReadingPeer) {
  TCPIP net(1, 0, 0, 4096);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  std::string data = pattern(1 << 20);
  std::string got;
  std::thread reader([&] { got = read_bytes(peer.fd, data.size(), 10000); });
  EXPECT_EQ(net.send(0, data.data(), static_cast<int32_t>(data.size())),
            static_cast<int32_t>(data.size()));
  reader.join();
  EXPECT_TRUE(got == data);
}

TEST_F(TcpipTest, SendGivesUpOnAPeerThatStopsReading) {
  set_tcpip_wait_limit(200);
  TCPIP net(1, 0, 0, 4096);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  std::string data = pattern(16 << 20);
  auto start = Clock::now();
  int32_t sent = net.send(0, data.data(), static_cast<int32_t>(data.size()));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_GT(sent, 0);
  EXPECT_LT(sent, static_cast<int32_t>(data.size()));
  EXPECT_TRUE(net.is_connected(0));
  // Exactly the bytes reported went out, in order.
  std::string got = read_bytes(peer.fd, static_cast<size_t>(sent), 10000);
  EXPECT_TRUE(got == data.substr(0, static_cast<size_t>(sent))) << got.size() << " bytes of " << sent;
  EXPECT_EQ(read_bytes(peer.fd, 1, 50), "");
  set_tcpip_wait_limit(3000);  // a wait the system refuses (no descriptor allowed) ends it at once
  start = Clock::now();
  with_descriptor_limit(0, [&] { EXPECT_GT(net.send(0, data.data(), static_cast<int32_t>(data.size())), 0); });
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST_F(TcpipTest, QueuesLongerThan64KArriveWholeAndInOrder) {
  TCPIP net(1, 0, 0, 4096);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  std::string data = pattern(200000, 5);
  net.queue_send(0, data.data(), 70000);
  net.queue_send(0, data.data() + 70000, 70000);
  net.queue_send(0, data.data() + 140000, 60000);
  std::string got;
  EXPECT_TRUE(wait_until(
      [&] {
        net.flush_queues();
        got += read_waiting(peer.fd);
        return got.size() >= data.size();
      },
      10000));
  EXPECT_TRUE(got == data) << got.size() << " bytes of " << data.size();
  EXPECT_TRUE(net.is_connected(0));
}

TEST_F(TcpipTest, FlushToAClosedPeerClosesTheSlot) {
  TCPIP net(1, 0, 0, 256);
  RAW_LISTENER listener;
  FD peer = connect_peer(net, listener);
  peer = FD();
  EXPECT_TRUE(wait_until([&] {
    net.queue_send(0, "lost", 4);
    net.flush_queues();
    return !net.is_connected(0);
  }));
  // The slot starts clean for the next connection: no leftover queue.
  FD next = connect_peer(net, listener);
  net.queue_send(0, "new", 3);
  net.flush_queues();
  EXPECT_EQ(read_bytes(next.fd, 3), "new");
  EXPECT_EQ(read_bytes(next.fd, 1, 50), "");
}

TEST_F(TcpipTest, AcceptedConnectionDoesNotInheritAnOldQueue) {
  TCPIP net(1, 1, 0, 256);
  uint16_t port = free_port(SOCK_STREAM);
  ASSERT_TRUE(net.listen(port));
  FD first = raw_connect(port);
  int16_t slot = -1;
  uint16_t on_port = 0;
  ASSERT_TRUE(wait_until([&] { return net.accept(slot, on_port); }));
  net.queue_send(slot, "stale", 5);
  first = FD();
  char buffer[8];
  ASSERT_TRUE(wait_until([&] { return net.receive(slot, buffer, sizeof buffer) == -2; }));

  FD second = raw_connect(port);
  ASSERT_TRUE(wait_until([&] { return net.accept(slot, on_port); }));
  EXPECT_EQ(slot, 0);
  net.queue_send(slot, "fresh", 5);
  net.flush_queues();
  EXPECT_EQ(read_bytes(second.fd, 5), "fresh");
  EXPECT_EQ(read_bytes(second.fd, 1, 50), "");
}

// ---- datagrams ----

bool own_name_resolves() { return resolve_host(get_host_name())[0] != '\0'; }
constexpr const char* kNoOwnName =
    "this machine's host name does not resolve, so no datagram port can open";

struct DATAGRAM {
  int32_t length = 0;
  std::string bytes;
  std::string sender;
  uint16_t sender_port = 0;
  uint16_t local_port = 0;
};

DATAGRAM next_datagram(TCPIP& net, int ms = 3000) {
  DATAGRAM got;
  char buffer[512];
  wait_until(
      [&] {
        const char* sender = nullptr;
        got.length = net.receive_datagram(buffer, sizeof buffer, sender, got.sender_port, got.local_port);
        if (got.length <= 0) return false;
        got.bytes.assign(buffer, static_cast<size_t>(got.length));
        got.sender = sender;
        return true;
      },
      ms);
  return got;
}

TEST_F(TcpipTest, DatagramsTravelBetweenPorts) {
  if (!own_name_resolves()) GTEST_SKIP() << kNoOwnName;
  TCPIP a(0, 0, 1, 5000);
  TCPIP b(0, 0, 1, 1024);
  uint16_t port_a = free_port(SOCK_DGRAM);
  ASSERT_TRUE(a.open_datagram_port(port_a));
  uint16_t port_b = free_port(SOCK_DGRAM);
  ASSERT_TRUE(b.open_datagram_port(port_b));
  EXPECT_FALSE(a.open_datagram_port(free_port(SOCK_DGRAM)));  // no free set
  // Closes at once (linger on, no wait), may broadcast, buffers of 5000 bytes doubled by the kernel.
  EXPECT_TRUE(test_support::text_matches_reference(
      "platform", "tcpip_datagram_options",
      options_of(SOCK_DGRAM, [&](uint16_t local, uint16_t, bool) { return local == port_a; }) + "\n"));

  // A port with no set, and a host that does not resolve, send nothing: the
  // first datagram to arrive is the third.
  a.send_datagram(static_cast<uint16_t>(port_a ^ 1), "wrong", 5, "127.0.0.1", port_b);
  a.send_datagram(port_a, "nowhere", 7, "300.1.1.1", port_b);
  a.send_datagram(port_a, "ping", 4, "127.0.0.1", port_b);
  DATAGRAM got = next_datagram(b);
  EXPECT_EQ(std::tie(got.length, got.bytes, got.sender, got.sender_port, got.local_port),
            std::tuple(4, "ping", "127.0.0.1", port_a, port_b));

  const char* sender = "unset";
  uint16_t sender_port = 9;
  uint16_t local_port = 9;
  char buffer[16];
  EXPECT_EQ((std::tuple{b.receive_datagram(buffer, sizeof buffer, sender, sender_port, local_port), std::string(sender),
                        sender_port, local_port}), std::tuple(0, "", 0, 0));  // braces: called before read
  EXPECT_EQ(b.receive_datagram(nullptr, 16, sender, sender_port, local_port), 0);
  EXPECT_EQ(b.receive_datagram(buffer, 0, sender, sender_port, local_port), 0);

  a.close_datagram_ports(port_a);
  a.send_datagram(port_a, "gone", 4, "127.0.0.1", port_b);
  EXPECT_EQ(next_datagram(b, 100).length, 0);
  EXPECT_TRUE(a.open_datagram_port(port_a));
  a.send_datagram(port_a, "back", 4, loopback_name(), port_b);
  EXPECT_EQ(next_datagram(b).bytes, "back");
}

// Whether this kernel hands a broadcast on the loopback's own broadcast
// address to local sockets at all.
bool loopback_broadcast_works() {
  FD receiver(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in any;
  std::memset(&any, 0, sizeof any);
  any.sin_family = AF_INET;
  bind(receiver.fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
  FD sender(socket(AF_INET, SOCK_DGRAM, 0));
  int on = 1;
  setsockopt(sender.fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  sockaddr_in to = loopback(local_port_of(receiver.fd));
  to.sin_addr.s_addr = htonl(0x7FFFFFFF);
  if (sendto(sender.fd, "?", 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) != 1) return false;
  return read_bytes(receiver.fd, 1, 1000) == "?";
}

TEST_F(TcpipTest, DatagramsMayGoToTheLoopbackBroadcastAddress) {
  if (!own_name_resolves()) GTEST_SKIP() << kNoOwnName;
  if (!loopback_broadcast_works())
    GTEST_SKIP() << "this kernel does not deliver broadcasts to 127.255.255.255 locally";
  TCPIP a(0, 0, 1, 1024);
  TCPIP b(0, 0, 1, 1024);
  uint16_t port_a = free_port(SOCK_DGRAM);
  uint16_t port_b = free_port(SOCK_DGRAM);
  ASSERT_TRUE(a.open_datagram_port(port_a));
  ASSERT_TRUE(b.open_datagram_port(port_b));
  a.send_datagram(port_a, "to all", 6, "127.255.255.255", port_b);
  DATAGRAM got = next_datagram(b);
  EXPECT_EQ(got.bytes, "to all");
  EXPECT_EQ(got.sender_port, port_a);
  EXPECT_EQ(got.local_port, port_b);
}

// Runs a program and gives its exit status (-1 when it could not run).
int run_quietly(const std::vector<const char*>& argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const char* arg : argv) args.push_back(const_cast<char*>(arg));
  args.push_back(nullptr);
  pid_t child;
  int spawned = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

constexpr int kNoNamespace = 77;
constexpr int kNoLoopbackRoute = 78;

// In a child with a network namespace of its own (only a loopback, with the
// default route on it), an empty or null host broadcasts to 255.255.255.255,
// which comes straight back to the sending port.
int broadcast_in_private_namespace() {
  if (unshare(CLONE_NEWNET) != 0) return kNoNamespace;
  if (run_quietly({"ip", "link", "set", "lo", "up"}) != 0 ||
      run_quietly({"ip", "route", "add", "default", "dev", "lo"}) != 0)
    return kNoLoopbackRoute;
  if (!own_name_resolves()) return kNoLoopbackRoute;
  TCPIP net(0, 0, 1, 1024);
  uint16_t port = free_port(SOCK_DGRAM);
  if (!net.open_datagram_port(port)) return 1;
  net.send_datagram(port, "everyone", 8, "", port);
  DATAGRAM got = next_datagram(net);
  if (got.bytes != "everyone" || got.sender_port != port || got.local_port != port) return 2;
  net.send_datagram(port, "again", 5, nullptr, port);
  got = next_datagram(net);
  if (got.bytes != "again") return 3;
  return 0;
}

// A machine whose own name resolves to nothing opens no datagram port (in
// a private host name space, where the name can be made so).
TEST_F(TcpipDeathTest, NoDatagramPortWhenTheOwnNameDoesNotResolve) {
  const uint16_t port = free_port(SOCK_DGRAM);
  EXPECT_EXIT(
      {
        const char name[] = "vorn-no-such-host.invalid";
        if (unshare(CLONE_NEWUTS) != 0 || sethostname(name, sizeof name - 1) != 0) _exit(0);
        TCPIP net(0, 0, 1, 256);
        _exit(net.open_datagram_port(port) ? 1 : 0);
      },
      ExitedWithCode(0), "");
}

TEST_F(TcpipTest, EmptyHostBroadcasts) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(broadcast_in_private_namespace());
  int status = 0;
  bool ended = wait_until([&] { return waitpid(child, &status, WNOHANG) == child; }, 20000);
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    FAIL() << "the broadcast child did not finish";
  }
  ASSERT_TRUE(WIFEXITED(status));
  int code = WEXITSTATUS(status);
  if (code == kNoNamespace)
    GTEST_SKIP() << "no private network namespace here (unshare refused); broadcasts must not "
                    "leave the test's own namespace";
  if (code == kNoLoopbackRoute)
    GTEST_SKIP() << "could not route 255.255.255.255 onto the private loopback (no 'ip' tool, or "
                    "the host name does not resolve)";
  EXPECT_EQ(code, 0) << "1: port did not open, 2: first broadcast lost, 3: second lost";
}

// ---- the presented flag ----

// Run in a fresh process so that the flag starts clear: nothing in a test
// program without a window ever clears it.
TEST_F(TcpipDeathTest, SocketActivitySetsThePresentedFlag) {
  std::string previous_style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TCPIP net(1, 1, 0, 256);
        char buffer[4];
        int16_t slot;
        uint16_t port;
        net.connect("127.0.0.1", free_port(SOCK_STREAM));  // refused
        net.receive(0, buffer, sizeof buffer);
        net.accept(slot, port);
        if (get_presented()) _exit(1);
        uint16_t listen_port = free_port(SOCK_STREAM);
        if (!net.listen(listen_port)) _exit(2);
        if (!get_presented()) _exit(3);
        _exit(0);
      },
      ExitedWithCode(0), "");
  EXPECT_EXIT(
      {
        RAW_LISTENER listener;
        TCPIP net(1, 0, 0, 256);
        if (get_presented()) _exit(1);
        if (net.connect("127.0.0.1", listener.port) != 0) _exit(2);
        if (!get_presented()) _exit(3);
        _exit(0);
      },
      ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, previous_style);
}

// A program started with its standard input closed gets descriptor 0 for
// its first socket, as good a socket as any other.
TEST_F(TcpipDeathTest, TheFirstSocketMayBeDescriptorZero) {
  EXPECT_EXIT(
      {
        RAW_LISTENER listener;
        TCPIP net(1, 0, 0, 256);
        close(0);
        if (net.connect("127.0.0.1", listener.port) != 0) _exit(1);
        FD peer = listener.accept_one();
        _exit(net.send(0, "hi", 2) == 2 && read_bytes(peer.fd, 2) == "hi" ? 0 : 2);
      },
      ExitedWithCode(0), "");
}

}  // namespace
