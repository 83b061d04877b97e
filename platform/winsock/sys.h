#pragma once
// The POSIX side of the stand-in, in plain types (addresses and ports in network order), so
// that the Winsock names of winsock.h and the system's never meet in one file. Every call
// returns -1 (or an empty answer) and leaves errno set on failure.
#include <cstdint>
#include <string>
#include <vector>

namespace sys {

struct Endpoint {
  std::uint32_t address = 0;  // network order
  std::uint16_t port = 0;     // network order
};

int openSocket(int type, int protocol);
int closeSocket(int fd);
int setNonBlocking(int fd, bool on);
int shutdownSocket(int fd, int how);
int bindSocket(int fd, Endpoint local);
int connectSocket(int fd, Endpoint remote);
int listenSocket(int fd, int backlog);
int acceptSocket(int fd, Endpoint* peer);
int localName(int fd, Endpoint* local);
int peerName(int fd, Endpoint* peer);
long sendData(int fd, const char* data, std::size_t len, bool outOfBand);
long sendDataTo(int fd, const char* data, std::size_t len, bool outOfBand, Endpoint to);
long receiveData(int fd, char* data, std::size_t len, bool peek, bool outOfBand);
long receiveDataFrom(int fd, char* data, std::size_t len, bool peek, bool outOfBand,
                     Endpoint* from);
// Bytes waiting to be read (FIONREAD).
int bytesWaiting(int fd, int* count);
// What a readable stream socket holds: 1 data, 0 the peer closed, -1 an error (in errno), or
// -2 nothing after all.
int probeReadable(int fd);
// The pending error of the socket (SO_ERROR), an errno value.
int pendingError(int fd);

enum class Option {
  ReuseAddr,
  KeepAlive,
  Broadcast,
  SendBuffer,
  ReceiveBuffer,
  TcpNoDelay,
  MulticastTtl
};
int setOption(int fd, Option option, int value);
int getOption(int fd, Option option, int* value);
int setLinger(int fd, bool on, int seconds);
int getLinger(int fd, bool* on, int* seconds);
int setMulticastInterface(int fd, std::uint32_t address);
int addMembership(int fd, std::uint32_t group, std::uint32_t interfaceAddress);

struct HostEntry {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<std::uint32_t> addresses;  // network order
};
// 0 on success, else the resolver's h_errno value (HOST_NOT_FOUND, TRY_AGAIN, ...).
int hostByName(const std::string& name, HostEntry* entry);
int hostByAddress(std::uint32_t address, HostEntry* entry);
// The resolver's h_errno values, for mapping.
struct ResolverCodes {
  int hostNotFound, tryAgain, noRecovery, noData;
};
ResolverCodes resolverCodes();

struct ServiceEntry {
  std::string name;
  std::vector<std::string> aliases;
  std::uint16_t port = 0;  // network order
  std::string protocol;
};
bool serviceByName(const std::string& name, const char* protocol, ServiceEntry* entry);

struct ProtocolEntry {
  std::string name;
  std::vector<std::string> aliases;
  int number = 0;
};
bool protocolByName(const std::string& name, ProtocolEntry* entry);

int hostName(std::string* name);

}  // namespace sys
