// POSIX calls behind the stand-in.
#include "winsock/sys.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sys {
namespace {

sockaddr_in toAddress(Endpoint e) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = e.port;
  a.sin_addr.s_addr = e.address;
  return a;
}

void fromAddress(const sockaddr_in& a, Endpoint* e) {
  if (!e) return;
  e->address = a.sin_addr.s_addr;
  e->port = a.sin_port;
}

bool optionName(Option option, int* level, int* name) {
  switch (option) {
    case Option::ReuseAddr:
      *level = SOL_SOCKET;
      *name = SO_REUSEADDR;
      return true;
    case Option::KeepAlive:
      *level = SOL_SOCKET;
      *name = SO_KEEPALIVE;
      return true;
    case Option::Broadcast:
      *level = SOL_SOCKET;
      *name = SO_BROADCAST;
      return true;
    case Option::SendBuffer:
      *level = SOL_SOCKET;
      *name = SO_SNDBUF;
      return true;
    case Option::ReceiveBuffer:
      *level = SOL_SOCKET;
      *name = SO_RCVBUF;
      return true;
    case Option::TcpNoDelay:
      *level = IPPROTO_TCP;
      *name = TCP_NODELAY;
      return true;
    case Option::MulticastTtl:
      *level = IPPROTO_IP;
      *name = IP_MULTICAST_TTL;
      return true;
  }
  return false;
}

void copyHost(const hostent& h, HostEntry* entry) {
  entry->name = h.h_name ? h.h_name : "";
  entry->aliases.clear();
  for (char** a = h.h_aliases; a && *a; ++a) entry->aliases.emplace_back(*a);
  entry->addresses.clear();
  if (h.h_addrtype != AF_INET || h.h_length != 4) return;
  for (char** a = h.h_addr_list; a && *a; ++a) {
    std::uint32_t address;
    std::memcpy(&address, *a, 4);
    entry->addresses.push_back(address);
  }
}

}  // namespace

int openSocket(int type, int protocol) { return ::socket(AF_INET, type | SOCK_CLOEXEC, protocol); }
int closeSocket(int fd) { return ::close(fd); }

int setNonBlocking(int fd, bool on) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return -1;
  return ::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

int shutdownSocket(int fd, int how) { return ::shutdown(fd, how); }

int bindSocket(int fd, Endpoint local) {
  sockaddr_in a = toAddress(local);
  return ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

int connectSocket(int fd, Endpoint remote) {
  sockaddr_in a = toAddress(remote);
  return ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

int listenSocket(int fd, int backlog) { return ::listen(fd, backlog); }

int acceptSocket(int fd, Endpoint* peer) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  int result = ::accept4(fd, reinterpret_cast<sockaddr*>(&a), &len, SOCK_CLOEXEC);
  if (result >= 0) fromAddress(a, peer);
  return result;
}

int localName(int fd, Endpoint* local) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  int result = ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  if (result == 0) fromAddress(a, local);
  return result;
}

int peerName(int fd, Endpoint* peer) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  int result = ::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len);
  if (result == 0) fromAddress(a, peer);
  return result;
}

long sendData(int fd, const char* data, std::size_t len, bool outOfBand) {
  return ::send(fd, data, len, MSG_NOSIGNAL | (outOfBand ? MSG_OOB : 0));
}

long sendDataTo(int fd, const char* data, std::size_t len, bool outOfBand, Endpoint to) {
  sockaddr_in a = toAddress(to);
  return ::sendto(fd, data, len, MSG_NOSIGNAL | (outOfBand ? MSG_OOB : 0),
                  reinterpret_cast<sockaddr*>(&a), sizeof a);
}

long receiveData(int fd, char* data, std::size_t len, bool peek, bool outOfBand) {
  return ::recv(fd, data, len, (peek ? MSG_PEEK : 0) | (outOfBand ? MSG_OOB : 0));
}

long receiveDataFrom(int fd, char* data, std::size_t len, bool peek, bool outOfBand,
                     Endpoint* from) {
  sockaddr_in a{};
  socklen_t alen = sizeof a;
  long result = ::recvfrom(fd, data, len, (peek ? MSG_PEEK : 0) | (outOfBand ? MSG_OOB : 0),
                           reinterpret_cast<sockaddr*>(&a), &alen);
  if (result >= 0) fromAddress(a, from);
  return result;
}

int bytesWaiting(int fd, int* count) { return ::ioctl(fd, FIONREAD, count); }

int probeReadable(int fd) {
  char byte;
  long result = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (result > 0) return 1;
  if (result == 0) return 0;
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return -2;
  return -1;
}

int pendingError(int fd) {
  int error = 0;
  socklen_t len = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return errno;
  return error;
}

int setOption(int fd, Option option, int value) {
  int level, name;
  if (!optionName(option, &level, &name)) {
    errno = ENOPROTOOPT;
    return -1;
  }
  return ::setsockopt(fd, level, name, &value, sizeof value);
}

int getOption(int fd, Option option, int* value) {
  int level, name;
  if (!optionName(option, &level, &name)) {
    errno = ENOPROTOOPT;
    return -1;
  }
  socklen_t len = sizeof *value;
  return ::getsockopt(fd, level, name, value, &len);
}

int setLinger(int fd, bool on, int seconds) {
  ::linger l{on ? 1 : 0, seconds};
  return ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int getLinger(int fd, bool* on, int* seconds) {
  ::linger l{};
  socklen_t len = sizeof l;
  int result = ::getsockopt(fd, SOL_SOCKET, SO_LINGER, &l, &len);
  *on = l.l_onoff != 0;
  *seconds = l.l_linger;
  return result;
}

int setMulticastInterface(int fd, std::uint32_t address) {
  ::in_addr a{address};
  return ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &a, sizeof a);
}

int addMembership(int fd, std::uint32_t group, std::uint32_t interfaceAddress) {
  ::ip_mreq m{};
  m.imr_multiaddr.s_addr = group;
  m.imr_interface.s_addr = interfaceAddress;
  return ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m);
}

int hostByName(const std::string& name, HostEntry* entry) {
  ::hostent h{}, *found = nullptr;
  std::vector<char> work(8192);
  int herr = 0;
  while (::gethostbyname_r(name.c_str(), &h, work.data(), work.size(), &found, &herr) == ERANGE)
    work.resize(work.size() * 2);
  if (!found) return herr ? herr : HOST_NOT_FOUND;
  copyHost(h, entry);
  return entry->addresses.empty() ? NO_DATA : 0;
}

int hostByAddress(std::uint32_t address, HostEntry* entry) {
  ::hostent h{}, *found = nullptr;
  std::vector<char> work(8192);
  int herr = 0;
  while (::gethostbyaddr_r(&address, 4, AF_INET, &h, work.data(), work.size(), &found, &herr) ==
         ERANGE)
    work.resize(work.size() * 2);
  if (!found) return herr ? herr : HOST_NOT_FOUND;
  copyHost(h, entry);
  return 0;
}

ResolverCodes resolverCodes() { return {HOST_NOT_FOUND, TRY_AGAIN, NO_RECOVERY, NO_DATA}; }

bool serviceByName(const std::string& name, const char* protocol, ServiceEntry* entry) {
  ::servent s{}, *found = nullptr;
  std::vector<char> work(4096);
  ::getservbyname_r(name.c_str(), protocol, &s, work.data(), work.size(), &found);
  if (!found) return false;
  entry->name = s.s_name ? s.s_name : "";
  entry->aliases.clear();
  for (char** a = s.s_aliases; a && *a; ++a) entry->aliases.emplace_back(*a);
  entry->port = static_cast<std::uint16_t>(s.s_port);
  entry->protocol = s.s_proto ? s.s_proto : "";
  return true;
}

bool protocolByName(const std::string& name, ProtocolEntry* entry) {
  ::protoent p{}, *found = nullptr;
  std::vector<char> work(4096);
  ::getprotobyname_r(name.c_str(), &p, work.data(), work.size(), &found);
  if (!found) return false;
  entry->name = p.p_name ? p.p_name : "";
  entry->aliases.clear();
  for (char** a = p.p_aliases; a && *a; ++a) entry->aliases.emplace_back(*a);
  entry->number = p.p_proto;
  return true;
}

int hostName(std::string* name) {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return -1;
  *name = buffer;
  return 0;
}

}  // namespace sys
