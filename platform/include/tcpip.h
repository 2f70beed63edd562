#pragma once
// The platform's small IPv4 socket layer: a fixed table of TCP connection
// slots with receive buffers and send queues, sets of TCP listening sockets
// and sets of UDP broadcast sockets, all non-blocking and polled from the
// frame loop, plus host names and addresses to and from text.
#include <cstdint>

struct TCPIP_STATE;

// Kinds of TCPIP::open_socket.
enum SOCKET_KIND : int {
  SOCKET_TCP_CLIENT = 0,    // connected to host:port
  SOCKET_UDP = 1,           // broadcast-capable, bound to any address:port
  SOCKET_TCP_LISTENER = 2,  // bound to any address:port and listening
  SOCKET_TCP_UNBOUND = 3,   // this and any higher value: a bare TCP socket
};

// Every call returns at once apart from two bounded waits (see
// set_tcpip_wait_limit). Results of transfers: the byte count, 0 when nothing
// could move now, -1 for bad arguments (bad or free slot, null buffer, length
// below 1), -2 when the connection was lost (its socket is then closed).
// Successful transfers, accepted connections and opened ports set the
// presented flag so that the next frame does not sleep.
class TCPIP {
public:
  // buffer_size is each slot's receive buffer and the sockets' send and
  // receive buffer size; 0 ends the program (error 0x0A). Slot numbers are
  // i16, so at most 32767 slots are made.
  TCPIP(uint16_t slot_count, uint16_t listen_set_count, uint16_t datagram_set_count,
        uint16_t buffer_size);
  ~TCPIP();
  TCPIP(const TCPIP&) = delete;
  TCPIP& operator=(const TCPIP&) = delete;

  // The first free slot connects to host:port; the slot, or -1 when no slot
  // is free, the host is unknown or the connection failed.
  int16_t connect(const char* host, uint16_t port);
  // The first free listen set listens on port on every local interface.
  bool listen(uint16_t port);
  // The first free datagram set gets UDP sockets on port for the addresses
  // of the local host name.
  bool open_datagram_port(uint16_t port);
  // Takes the first waiting connection into the first free slot: true with
  // its slot and the listening port. A connection that finds every slot in
  // use is closed at once. slot -1 and port 0 when nothing was taken.
  bool accept(int16_t& slot, uint16_t& port);
  bool is_connected(int16_t slot) const;

  // One read of what is waiting.
  int32_t receive(int16_t slot, void* buffer, int32_t length);
  // Gathers min(wanted, buffer_size) bytes in the slot's receive buffer over
  // as many calls as it takes: 0 until they are all there, then copies them
  // out and returns the count. Bytes gathered beyond a smaller later request
  // stay for the next call.
  int32_t receive_block(int16_t slot, void* buffer, int32_t wanted);
  // One write: the bytes taken, 0 when the socket is full.
  int32_t send_some(int16_t slot, const void* data, int32_t length);
  // Writes until every byte is gone, waiting while the socket is full; when
  // no byte could go for the wait limit it gives up and returns the count
  // written so far (the connection stays open).
  int32_t send(int16_t slot, const void* data, int32_t length);
  // Appends to the slot's send queue; flush_queues writes what it can.
  void queue_send(int16_t slot, const void* data, int32_t length);
  void flush_queues();
  // Closes the connection and frees its send queue; -1 closes every slot.
  void close(int16_t slot);
  // Close every set on that port; port 0 closes every set.
  void close_listen_ports(uint16_t port);
  void close_datagram_ports(uint16_t port);

  // The first datagram waiting on any datagram set: its length, with the
  // sender's dotted address (a static buffer, "" when nothing came), the
  // sender's port and the set's port. 0 when nothing is waiting.
  int32_t receive_datagram(void* buffer, int32_t length, const char*& sender, uint16_t& sender_port,
                           uint16_t& local_port);
  // Sends from every socket of every datagram set on local_port to
  // host:remote_port; a null or empty host broadcasts to 255.255.255.255.
  // A host that cannot be resolved gets nothing.
  void send_datagram(uint16_t local_port, const void* data, int32_t length, const char* host,
                     uint16_t remote_port);
  // "address:port" of the peer (a static buffer); "" for a bad or free slot.
  const char* get_peer_text(int16_t slot);

  // Makes one socket of the given SOCKET_KIND with this layer's options;
  // false with socket -1 when any step fails.
  bool open_socket(int& socket, int kind, const char* host, uint16_t port);

private:
  TCPIP_STATE* state;
  int32_t buffer_size;
};

// Marks the network as in use; always true.
bool network_startup();

// The results of the text functions below live in static buffers that the
// next call of the same function overwrites.

// This machine's host name; "" when it cannot be read.
const char* get_host_name();
// "a.b.c.d" of an address whose bytes sit in network order in memory.
const char* ip_to_text(uint32_t address);
// The dotted form of the host's first address; "" for null or a failed look-up.
const char* resolve_host(const char* name);
// Four decimal numbers 0..255 separated by dots and nothing else give that
// address; any other text is looked up as a host name. 0 for null, empty
// text or a failed look-up.
uint32_t parse_address(const char* text);
// True when the address of the text (as parse_address) has a host name.
bool host_has_name(const char* text);
// Shuts down both ways and closes the socket unless it is -1; then sets -1.
void close_socket(int& socket);

// Test seam: the longest time, in milliseconds, that TCPIP::connect waits for
// the handshake and TCPIP::send waits for room in a full socket. Starts at
// 5000.
void set_tcpip_wait_limit(uint32_t ms);
