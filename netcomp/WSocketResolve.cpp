// Synchronous resolution of host names, ports and protocols, and the local address list.
#include <cctype>
#include <cstring>
#include <string>

#include "netcomp/WSocket.h"
#include "netcomp/WSocketUnit.h"

namespace {

AnsiString decimal(long long value) { return AnsiString(std::to_string(value)); }

bool startsWithDigit(const AnsiString& s) {
  return !s.IsEmpty() && std::isdigit(static_cast<unsigned char>(s.c_str()[0]));
}

// Leading blanks skipped, digits read until the first other character, no sign.
int leadingDecimal(const AnsiString& s) {
  const char* p = s.c_str();
  while (*p == ' ') ++p;
  unsigned value = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) value = value * 10 + (*p++ - '0');
  return static_cast<int>(value);
}

// Holds the live-socket count for the public functions.
struct Hold {
  Hold() { WSocketUnit::raiseLiveSockets(); }
  ~Hold() { WSocketUnit::lowerLiveSockets(); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

}  // namespace

bool WSocketIsDottedIP(const AnsiString& S) {
  const char* p = S.c_str();
  while (*p == ' ') ++p;
  if (*p == '.') return false;
  int dots = 0, group = 0;
  for (; *p; ++p) {
    char c = *p;
    if (std::isdigit(static_cast<unsigned char>(c))) {
      group = group * 10 + (c - '0');
      if (group > 255) group = 256;  // stays "too large" without overflowing
    } else if (c == '.') {
      if (++dots > 3 || group > 255) return false;
      if (!std::isdigit(static_cast<unsigned char>(p[1]))) return false;
      group = 0;
    } else {
      // Whatever ends the walk may be followed by blanks only.
      for (++p; *p; ++p)
        if (*p != ' ') return false;
      break;
    }
  }
  return dots == 3 && group <= 255;
}

namespace WSocketUnit {

std::uint32_t resolveHost(const AnsiString& InAddr) {
  if (InAddr.IsEmpty() || InAddr.Length() > 256)
    throw ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid Hostname.");
  AnsiString host = InAddr.Trim();
  if (WSocketIsDottedIP(host)) {
    std::uint32_t address = WSockCall::inet_addr(host.c_str());
    if (address == INADDR_NONE && host != "255.255.255.255")
      throw ESocketException("WSocketResolveHost: '" + InAddr + "' Invalid IP address.");
    return address;
  }
  hostent* entry = WSockCall::gethostbyname(host.c_str());
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0])
    throw ESocketException("WSocketResolveHost: Cannot convert host address '" + InAddr +
                           "', Error #" + decimal(WSockCall::WSAGetLastError()));
  std::uint32_t address;
  std::memcpy(&address, entry->h_addr_list[0], 4);
  return address;
}

std::uint16_t resolvePort(const AnsiString& Port, const AnsiString& Proto) {
  if (Port.IsEmpty() || Port.Length() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (Proto.IsEmpty() || Proto.Length() >= 32)
    throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (startsWithDigit(Port)) return static_cast<std::uint16_t>(leadingDecimal(Port));
  AnsiString proto = Proto.Trim();
  servent* entry =
      WSockCall::getservbyname(Port.Trim().c_str(), proto.IsEmpty() ? nullptr : proto.c_str());
  if (!entry)
    throw ESocketException("WSocketResolvePort: Cannot convert port '" + Port + "', Error #" +
                           decimal(WSockCall::WSAGetLastError()));
  return WSockCall::ntohs(static_cast<std::uint16_t>(entry->s_port));
}

int resolveProto(const AnsiString& Proto) {
  if (Proto.IsEmpty() || Proto.Length() >= 32)
    throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (startsWithDigit(Proto)) return leadingDecimal(Proto);
  AnsiString name = Proto.Trim().LowerCase();
  if (name == "tcp") return IPPROTO_TCP;
  if (name == "udp") return IPPROTO_UDP;
  if (name == "raw") return 255;
  protoent* entry = WSockCall::getprotobyname(name.c_str());
  if (!entry)
    throw ESocketException("WSocketResolveProto: Cannot convert protocol '" + name + "', Error #" +
                           decimal(WSockCall::WSAGetLastError()));
  return entry->p_proto;
}

}  // namespace WSocketUnit

std::uint32_t WSocketResolveHost(const AnsiString& InAddr) {
  Hold hold;
  return WSocketUnit::resolveHost(InAddr);
}

std::uint16_t WSocketResolvePort(const AnsiString& Port, const AnsiString& Proto) {
  Hold hold;
  return WSocketUnit::resolvePort(Port, Proto);
}

int WSocketResolveProto(const AnsiString& Proto) {
  Hold hold;
  return WSocketUnit::resolveProto(Proto);
}

hostent* WSocketGetHostByAddr(const AnsiString& Addr) {
  if (Addr.IsEmpty() || Addr.Length() > 256)
    throw ESocketException("WSocketGetHostByAddr: Invalid address.");
  std::uint32_t address = WSocket_inet_addr(Addr.c_str());
  return WSocket_gethostbyaddr(reinterpret_cast<const char*>(&address), 4, AF_INET);
}

AnsiString WSocketResolveIp(const AnsiString& IpAddr) {
  hostent* entry = WSocketGetHostByAddr(IpAddr);
  return entry && entry->h_name ? AnsiString(entry->h_name) : AnsiString();
}

hostent* WSocketGetHostByName(const AnsiString& Name) {
  if (Name.IsEmpty() || Name.Length() > 256)
    throw ESocketException("WSocketGetHostByName: Invalid Hostname.");
  return WSocket_gethostbyname(Name.c_str());
}

AnsiString LocalHostName() {
  char buffer[64] = {};
  if (WSocket_gethostname(buffer, sizeof buffer) != 0)
    throw ESocketException("Winsock.GetHostName failed");
  return AnsiString(buffer);
}

TStringList* LocalIPList() {
  TStringList* list = WSocketUnit::instance().localIPList.get();
  list->Clear();
  hostent* entry = WSocketGetHostByName(LocalHostName());
  if (entry)
    for (char** a = entry->h_addr_list; a && *a; ++a) {
      std::uint32_t address;
      std::memcpy(&address, *a, 4);
      in_addr in{address};
      list->Add(AnsiString(WSocket_inet_ntoa(in)));
    }
  return list;
}
