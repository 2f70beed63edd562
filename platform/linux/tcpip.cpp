#include "tcpip.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "errors.h"
#include "platform.h"

// A set of sockets that share one port: listening sockets, or UDP sockets.
struct PORT_SET {
  int* sockets = nullptr;  // owned; null = the set is free
  uint16_t count = 0;
  uint16_t port = 0;  // host order
};

struct CONNECTION {
  int socket = -1;                   // -1 = the slot is free
  uint8_t* receive_buffer = nullptr;  // owned, buffer_size bytes
  int32_t received = 0;              // bytes gathered by receive_block
  uint8_t* send_queue = nullptr;     // malloc'd; null when empty
  size_t queue_length = 0;
};

struct TCPIP_STATE {
  PORT_SET* listen_sets = nullptr;
  uint16_t listen_set_count = 0;
  PORT_SET* datagram_sets = nullptr;
  uint16_t datagram_set_count = 0;
  CONNECTION* slots = nullptr;
  int16_t slot_count = 0;  // also the listen backlog
};

namespace {

uint16_t live_count = 0;
uint8_t network_in_use = 0;
uint32_t wait_limit_ms = 5000;

constexpr size_t kAddressText = 16;  // "255.255.255.255" and its NUL

int64_t now_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool would_block(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

bool set_non_blocking(int socket) {
  int flags = fcntl(socket, F_GETFL, 0);
  return flags != -1 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Waits until the socket is ready for the given poll events or the time is
// up; false when it is up.
bool wait_for(int socket, short events, int64_t deadline) {
  for (;;) {
    int64_t left = deadline - now_ms();
    if (left <= 0) return false;
    pollfd entry = {socket, events, 0};
    int result = poll(&entry, 1, static_cast<int>(std::min<int64_t>(left, INT32_MAX)));
    if (result > 0) return true;
    if (result < 0 && errno != EINTR) return false;
  }
}

// The handshake runs on a non-blocking socket so that an unreachable host
// cannot hold the UI thread for the kernel's full retry time.
bool connect_within_limit(int socket, const sockaddr_in& where) {
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) return true;
  if (errno != EINPROGRESS && errno != EINTR) return false;
  if (!wait_for(socket, POLLOUT, now_ms() + wait_limit_ms)) return false;
  int error = 0;
  socklen_t size = sizeof error;
  return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

void format_address(char* text, uint32_t address) {
  uint8_t bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  std::snprintf(text, kAddressText, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
}

// The first IPv4 address of a host name, 0 when there is none.
uint32_t look_up(const char* name) {
  const hostent* host = gethostbyname(name);
  if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
      !host->h_addr_list[0])
    return 0;
  uint32_t address;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return address;
}

// Exactly four decimal numbers 0..255 joined by dots, nothing before or after.
bool parse_dotted(const char* text, uint32_t& address) {
  uint8_t bytes[4];
  const char* at = text;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (*at != '.') return false;
      ++at;
    }
    if (*at < '0' || *at > '9') return false;
    unsigned value = 0;
    while (*at >= '0' && *at <= '9') {
      value = value * 10 + static_cast<unsigned>(*at - '0');
      if (value > 255) return false;
      ++at;
    }
    bytes[part] = static_cast<uint8_t>(value);
  }
  if (*at != '\0') return false;
  std::memcpy(&address, bytes, sizeof address);
  return true;
}

PORT_SET* first_free_set(PORT_SET* sets, uint16_t count) {
  for (uint16_t i = 0; i < count; ++i)
    if (!sets[i].sockets) return &sets[i];
  return nullptr;
}

// Gives the set its socket array, every entry -1; false when it cannot.
bool make_set(PORT_SET& set, size_t count, uint16_t port) {
  if (count == 0) return false;
  count = std::min<size_t>(count, UINT16_MAX);
  set.sockets = static_cast<int*>(std::malloc(count * sizeof(int)));
  if (!set.sockets) return false;
  std::fill_n(set.sockets, count, -1);
  set.count = static_cast<uint16_t>(count);
  set.port = port;
  return true;
}

void close_set(PORT_SET& set) {
  if (!set.sockets) return;
  for (uint16_t i = 0; i < set.count; ++i) close_socket(set.sockets[i]);
  std::free(set.sockets);
  set.sockets = nullptr;
  set.count = 0;
  set.port = 0;
}

void close_sets(PORT_SET* sets, uint16_t count, uint16_t port) {
  for (uint16_t i = 0; i < count; ++i)
    if (sets[i].sockets && (port == 0 || sets[i].port == port)) close_set(sets[i]);
}

void free_queue(CONNECTION& connection) {
  std::free(connection.send_queue);
  connection.send_queue = nullptr;
  connection.queue_length = 0;
}

void set_option(int socket, int name, int value) {
  setsockopt(socket, SOL_SOCKET, name, &value, sizeof value);
}

void set_linger(int socket, int on) {
  linger value = {on, 0};
  setsockopt(socket, SOL_SOCKET, SO_LINGER, &value, sizeof value);
}

}  // namespace

TCPIP::TCPIP(uint16_t slot_count, uint16_t listen_set_count, uint16_t datagram_set_count,
             uint16_t buffer_size)
    : state(nullptr), buffer_size(buffer_size) {
  if (buffer_size == 0) report_error(0x000A);
  // Slots are addressed by i16 numbers; more could never be reached.
  int16_t slots = static_cast<int16_t>(std::min<int>(slot_count, INT16_MAX));

  state = new (std::nothrow) TCPIP_STATE;
  if (!state) report_error(0x000B);
  state->slots = new (std::nothrow) CONNECTION[slots];
  state->listen_sets = new (std::nothrow) PORT_SET[listen_set_count];
  state->datagram_sets = new (std::nothrow) PORT_SET[datagram_set_count];
  if (!state->slots || !state->listen_sets || !state->datagram_sets) report_error(0x000B);
  state->slot_count = slots;
  state->listen_set_count = listen_set_count;
  state->datagram_set_count = datagram_set_count;
  for (int16_t i = 0; i < slots; ++i) {
    state->slots[i].receive_buffer = static_cast<uint8_t*>(std::malloc(buffer_size));
    if (!state->slots[i].receive_buffer) report_error(0x000B);
  }
  ++live_count;
  network_in_use = 1;
}

TCPIP::~TCPIP() {
  close(-1);
  close_datagram_ports(0);
  close_listen_ports(0);
  if (live_count > 0 && --live_count == 0) network_in_use = 0;
  for (int16_t i = 0; i < state->slot_count; ++i) std::free(state->slots[i].receive_buffer);
  delete[] state->slots;
  delete[] state->listen_sets;
  delete[] state->datagram_sets;
  delete state;
}

int16_t TCPIP::connect(const char* host, uint16_t port) {
  network_in_use = 1;
  for (int16_t i = 0; i < state->slot_count; ++i) {
    CONNECTION& slot = state->slots[i];
    if (slot.socket != -1) continue;
    if (!open_socket(slot.socket, SOCKET_TCP_CLIENT, host, port)) return -1;
    slot.received = 0;
    free_queue(slot);
    set_presented();
    return i;
  }
  return -1;
}

bool TCPIP::listen(uint16_t port) {
  network_in_use = 1;
  PORT_SET* set = first_free_set(state->listen_sets, state->listen_set_count);
  if (!set) return false;

  // One listening socket per interface record; records are struct ifreq of
  // this platform, whatever size that is.
  int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (probe < 0) return false;
  ifreq records[1024 / sizeof(ifreq)];
  ifconf list;
  std::memset(&list, 0, sizeof list);
  list.ifc_len = sizeof records;
  list.ifc_req = records;
  int result = ioctl(probe, SIOCGIFCONF, &list);
  close_socket(probe);
  if (result != 0 || list.ifc_len <= 0) return false;
  size_t count = std::min<size_t>(static_cast<size_t>(list.ifc_len), sizeof records) / sizeof(ifreq);

  if (!make_set(*set, count, port)) return false;
  bool opened = false;
  for (uint16_t i = 0; i < set->count; ++i)
    if (open_socket(set->sockets[i], SOCKET_TCP_LISTENER, nullptr, port)) opened = true;
  if (!opened) {
    close_set(*set);
    return false;
  }
  set_presented();
  return true;
}

bool TCPIP::open_datagram_port(uint16_t port) {
  network_in_use = 1;
  char name[256];
  if (gethostname(name, sizeof name) != 0) return false;
  name[sizeof name - 1] = '\0';
  PORT_SET* set = first_free_set(state->datagram_sets, state->datagram_set_count);
  if (!set) return false;

  const hostent* host = gethostbyname(name);
  if (!host || host->h_addrtype != AF_INET || !host->h_addr_list) return false;
  size_t count = 0;
  while (host->h_addr_list[count]) ++count;

  if (!make_set(*set, count, port)) return false;
  bool opened = false;
  for (uint16_t i = 0; i < set->count; ++i)
    if (open_socket(set->sockets[i], SOCKET_UDP, nullptr, port)) opened = true;
  if (!opened) {
    close_set(*set);
    return false;
  }
  set_presented();
  return true;
}

bool TCPIP::accept(int16_t& slot, uint16_t& port) {
  slot = -1;
  port = 0;
  for (uint16_t s = 0; s < state->listen_set_count; ++s) {
    const PORT_SET& set = state->listen_sets[s];
    if (!set.sockets) continue;
    for (uint16_t k = 0; k < set.count; ++k) {
      if (set.sockets[k] == -1) continue;
      int incoming = ::accept(set.sockets[k], nullptr, nullptr);
      if (incoming < 0) continue;
      int16_t free_slot = -1;
      for (int16_t i = 0; i < state->slot_count && free_slot < 0; ++i)
        if (state->slots[i].socket == -1) free_slot = i;
      if (free_slot < 0 || !set_non_blocking(incoming)) {
        close_socket(incoming);
        continue;
      }
      CONNECTION& connection = state->slots[free_slot];
      connection.socket = incoming;
      connection.received = 0;
      // A queue left by the slot's previous connection is not for this peer.
      free_queue(connection);
      slot = free_slot;
      port = set.port;
      set_presented();
      return true;
    }
  }
  return false;
}

bool TCPIP::is_connected(int16_t slot) const {
  return slot >= 0 && slot < state->slot_count && state->slots[slot].socket != -1;
}

int32_t TCPIP::receive(int16_t slot, void* buffer, int32_t length) {
  if (!is_connected(slot) || !buffer || length < 1) return -1;
  CONNECTION& connection = state->slots[slot];
  ssize_t got = ::recv(connection.socket, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (got > 0) {
    set_presented();
    return static_cast<int32_t>(got);
  }
  if (got < 0 && would_block(errno)) return 0;
  close_socket(connection.socket);
  return -2;
}

int32_t TCPIP::receive_block(int16_t slot, void* buffer, int32_t wanted) {
  if (!is_connected(slot) || !buffer || wanted < 1) return -1;
  CONNECTION& connection = state->slots[slot];
  int32_t target = std::min(wanted, buffer_size);
  if (connection.received < target) {
    int32_t room = target - connection.received;
    ssize_t got = ::recv(connection.socket, connection.receive_buffer + connection.received,
                         static_cast<size_t>(room), MSG_NOSIGNAL);
    if (got < 0 && would_block(errno)) return 0;
    if (got <= 0) {
      close_socket(connection.socket);
      return -2;
    }
    connection.received += static_cast<int32_t>(got);
    set_presented();
    if (connection.received < target) return 0;
  }
  std::memcpy(buffer, connection.receive_buffer, static_cast<size_t>(target));
  // Bytes gathered for an earlier, larger request are kept for the next one.
  connection.received -= target;
  std::memmove(connection.receive_buffer, connection.receive_buffer + target,
               static_cast<size_t>(connection.received));
  return target;
}

int32_t TCPIP::send_some(int16_t slot, const void* data, int32_t length) {
  if (!is_connected(slot) || !data || length < 1) return -1;
  CONNECTION& connection = state->slots[slot];
  ssize_t sent = ::send(connection.socket, data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (sent > 0) {
    set_presented();
    return static_cast<int32_t>(sent);
  }
  if (sent < 0 && would_block(errno)) return 0;
  close_socket(connection.socket);
  return -2;
}

int32_t TCPIP::send(int16_t slot, const void* data, int32_t length) {
  if (!is_connected(slot) || !data || length < 1) return -1;
  CONNECTION& connection = state->slots[slot];
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  int32_t done = 0;
  int64_t deadline = now_ms() + wait_limit_ms;
  while (done < length) {
    ssize_t sent = ::send(connection.socket, bytes + done, static_cast<size_t>(length - done),
                          MSG_NOSIGNAL);
    if (sent > 0) {
      done += static_cast<int32_t>(sent);
      deadline = now_ms() + wait_limit_ms;
      continue;
    }
    if (sent < 0 && would_block(errno)) {
      // A peer that stops reading would otherwise keep this loop for ever.
      if (!wait_for(connection.socket, POLLOUT, deadline)) break;
      continue;
    }
    close_socket(connection.socket);
    return -2;
  }
  if (done > 0) set_presented();
  return done;
}

void TCPIP::queue_send(int16_t slot, const void* data, int32_t length) {
  if (!is_connected(slot) || !data || length < 1) return;
  CONNECTION& connection = state->slots[slot];
  size_t more = static_cast<size_t>(length);
  if (connection.queue_length > SIZE_MAX - more) return;
  void* grown = std::realloc(connection.send_queue, connection.queue_length + more);
  if (!grown) return;
  connection.send_queue = static_cast<uint8_t*>(grown);
  std::memcpy(connection.send_queue + connection.queue_length, data, more);
  connection.queue_length += more;
}

void TCPIP::flush_queues() {
  for (int16_t i = 0; i < state->slot_count; ++i) {
    CONNECTION& connection = state->slots[i];
    if (connection.socket == -1 || !connection.send_queue || connection.queue_length == 0) continue;
    ssize_t sent = ::send(connection.socket, connection.send_queue, connection.queue_length,
                          MSG_NOSIGNAL);
    if (sent > 0) {
      size_t taken = static_cast<size_t>(sent);
      connection.queue_length -= taken;
      if (connection.queue_length == 0) {
        free_queue(connection);
      } else {
        std::memmove(connection.send_queue, connection.send_queue + taken, connection.queue_length);
      }
      set_presented();
    } else if (!(sent < 0 && would_block(errno))) {
      close(i);
    }
  }
}

void TCPIP::close(int16_t slot) {
  if (slot == -1) {
    for (int16_t i = 0; i < state->slot_count; ++i) close(i);
    return;
  }
  if (slot < 0 || slot >= state->slot_count) return;
  CONNECTION& connection = state->slots[slot];
  close_socket(connection.socket);
  free_queue(connection);
  connection.received = 0;
}

void TCPIP::close_listen_ports(uint16_t port) {
  close_sets(state->listen_sets, state->listen_set_count, port);
}

void TCPIP::close_datagram_ports(uint16_t port) {
  close_sets(state->datagram_sets, state->datagram_set_count, port);
}

int32_t TCPIP::receive_datagram(void* buffer, int32_t length, const char*& sender,
                                uint16_t& sender_port, uint16_t& local_port) {
  static char sender_text[kAddressText];
  sender_text[0] = '\0';
  sender = sender_text;
  sender_port = 0;
  local_port = 0;
  if (!buffer || length < 1) return 0;
  for (uint16_t s = 0; s < state->datagram_set_count; ++s) {
    const PORT_SET& set = state->datagram_sets[s];
    if (!set.sockets) continue;
    for (uint16_t k = 0; k < set.count; ++k) {
      if (set.sockets[k] == -1) continue;
      sockaddr_in from;
      std::memset(&from, 0, sizeof from);
      socklen_t from_size = sizeof from;
      ssize_t got = recvfrom(set.sockets[k], buffer, static_cast<size_t>(length), MSG_NOSIGNAL,
                             reinterpret_cast<sockaddr*>(&from), &from_size);
      if (got <= 0) continue;
      format_address(sender_text, from.sin_addr.s_addr);
      sender_port = ntohs(from.sin_port);
      local_port = set.port;
      set_presented();
      return static_cast<int32_t>(got);
    }
  }
  return 0;
}

void TCPIP::send_datagram(uint16_t local_port, const void* data, int32_t length, const char* host,
                          uint16_t remote_port) {
  if (!data || length < 1) return;
  uint32_t address = (!host || !*host) ? htonl(INADDR_BROADCAST) : parse_address(host);
  // An unknown host would otherwise become 0.0.0.0, which Linux treats as
  // this machine.
  if (address == 0) return;
  sockaddr_in to;
  std::memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  to.sin_port = htons(remote_port);
  for (uint16_t s = 0; s < state->datagram_set_count; ++s) {
    const PORT_SET& set = state->datagram_sets[s];
    if (!set.sockets || set.port != local_port) continue;
    for (uint16_t k = 0; k < set.count; ++k) {
      if (set.sockets[k] == -1) continue;
      if (sendto(set.sockets[k], data, static_cast<size_t>(length), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to) > 0)
        set_presented();
    }
  }
}

const char* TCPIP::get_peer_text(int16_t slot) {
  static char text[kAddressText + 6];  // ":65535"
  text[0] = '\0';
  if (!is_connected(slot)) return text;
  sockaddr_in peer;
  std::memset(&peer, 0, sizeof peer);
  socklen_t size = sizeof peer;
  if (getpeername(state->slots[slot].socket, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
      peer.sin_family != AF_INET)
    return text;
  char address[kAddressText];
  format_address(address, peer.sin_addr.s_addr);
  std::snprintf(text, sizeof text, "%s:%d", address, ntohs(peer.sin_port));
  return text;
}

bool TCPIP::open_socket(int& socket, int kind, const char* host, uint16_t port) {
  socket = -1;
  bool udp = kind == SOCKET_UDP;
  bool bound = udp || kind == SOCKET_TCP_LISTENER;
  sockaddr_in where;
  std::memset(&where, 0, sizeof where);
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = bound ? htonl(INADDR_ANY) : parse_address(host);
  where.sin_port = htons(port);
  // Connecting to an unknown host would reach 0.0.0.0, that is this machine.
  if (kind == SOCKET_TCP_CLIENT && where.sin_addr.s_addr == 0) return false;

  int made = udp ? ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP) : ::socket(AF_INET, SOCK_STREAM, 0);
  if (made < 0) return false;
  auto fail = [&made] {
    close_socket(made);
    return false;
  };

  if (udp) {
    int on = 1;
    if (setsockopt(made, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return fail();
    if (!set_non_blocking(made)) return fail();
    set_linger(made, 1);
    set_option(made, SO_SNDBUF, buffer_size);
    set_option(made, SO_RCVBUF, buffer_size);
    if (bind(made, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) return fail();
    socket = made;
    return true;
  }

  int on = 1;
  if (setsockopt(made, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return fail();
  if (!set_non_blocking(made)) return fail();
  if (kind == SOCKET_TCP_CLIENT && !connect_within_limit(made, where)) return fail();
  set_linger(made, 0);
  set_option(made, SO_KEEPALIVE, 1);
  set_option(made, SO_SNDBUF, buffer_size);
  set_option(made, SO_RCVBUF, buffer_size);
  if (kind == SOCKET_TCP_LISTENER) {
    if (bind(made, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) return fail();
    if (::listen(made, state->slot_count) != 0) return fail();
  }
  socket = made;
  return true;
}

bool network_startup() {
  network_in_use = 1;
  return true;
}

const char* get_host_name() {
  static char name[100];
  if (gethostname(name, sizeof name) != 0) name[0] = '\0';
  // A name that does not fit comes back without its terminator.
  name[sizeof name - 1] = '\0';
  return name;
}

const char* ip_to_text(uint32_t address) {
  static char text[kAddressText];
  format_address(text, address);
  return text;
}

const char* resolve_host(const char* name) {
  static char text[kAddressText];
  text[0] = '\0';
  if (!name) return text;
  uint32_t address = look_up(name);
  if (address != 0) format_address(text, address);
  return text;
}

uint32_t parse_address(const char* text) {
  if (!text || !*text) return 0;
  uint32_t address = 0;
  if (parse_dotted(text, address)) return address;
  return look_up(text);
}

bool host_has_name(const char* text) {
  uint32_t address = parse_address(text);
  if (address == 0) return false;
  return gethostbyaddr(&address, sizeof address, AF_INET) != nullptr;
}

void close_socket(int& socket) {
  if (socket == -1) return;
  shutdown(socket, SHUT_RDWR);
  ::close(socket);
  socket = -1;
}

void set_tcpip_wait_limit(uint32_t ms) { wait_limit_ms = ms; }
