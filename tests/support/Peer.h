#pragma once
// Plain POSIX peers on 127.0.0.1 for the socket tests, in plain types (the tests that use
// them include the Winsock names, which must not meet the system's).
#include <cstddef>
#include <string>

namespace peer {

// A listening TCP socket on 127.0.0.1 with a port of the system's choosing.
class Server {
 public:
  Server();
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  int port() const { return port_; }
  // The next connection's descriptor, or -1 after timeoutMs.
  int accept(int timeoutMs = 5000);

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 where nothing listens (connecting is refused).
int unusedPort();
int connectTo(int port);
bool sendAll(int fd, const std::string& data);
// Reads until count bytes or the peer's close or timeoutMs; returns what was read.
std::string receive(int fd, std::size_t count, int timeoutMs = 5000);
// True when the peer closed (read gives 0) within timeoutMs.
bool waitClosed(int fd, int timeoutMs = 5000);
// How the other side ended, after reading what it sent (into *data when given): 0 a graceful
// close, else the error of the read (ECONNRESET for a reset), or -1 when it did not end
// within timeoutMs.
int endOf(int fd, std::string* data = nullptr, int timeoutMs = 5000);
void setReceiveBuffer(int fd, int bytes);
void close(int fd);
// Closes with a reset (linger on, time 0).
void resetClose(int fd);

// A UDP socket bound to 127.0.0.1.
int udpSocket(int* port);
std::string udpReceive(int fd, int timeoutMs = 5000);
bool udpSendTo(int fd, int port, const std::string& data);

}  // namespace peer
