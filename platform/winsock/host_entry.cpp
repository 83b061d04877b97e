#include "winsock/host_entry.h"

#include <cstdint>
#include <cstring>
#include <memory>

namespace winsock {

std::size_t hostEntrySize(const sys::HostEntry& e) {
  std::size_t size = alignof(hostent) + sizeof(hostent);
  size += (e.aliases.size() + 1 + e.addresses.size() + 1) * sizeof(char*);
  size += e.addresses.size() * 4 + e.name.size() + 1;
  for (const auto& a : e.aliases) size += a.size() + 1;
  return size;
}

hostent* packHostEntry(const sys::HostEntry& e, char* buffer, std::size_t size) {
  void* start = buffer;
  std::size_t space = size;
  if (!std::align(alignof(hostent), sizeof(hostent), start, space)) return nullptr;
  if (hostEntrySize(e) - alignof(hostent) > space) return nullptr;
  auto* h = static_cast<hostent*>(start);
  auto** pointers = reinterpret_cast<char**>(h + 1);
  char** aliases = pointers;
  char** addresses = aliases + e.aliases.size() + 1;
  char* bytes = reinterpret_cast<char*>(addresses + e.addresses.size() + 1);
  for (std::size_t i = 0; i < e.addresses.size(); ++i) {
    std::memcpy(bytes, &e.addresses[i], 4);
    addresses[i] = bytes;
    bytes += 4;
  }
  addresses[e.addresses.size()] = nullptr;
  auto copyText = [&bytes](const std::string& text) {
    char* at = bytes;
    std::memcpy(at, text.c_str(), text.size() + 1);
    bytes += text.size() + 1;
    return at;
  };
  for (std::size_t i = 0; i < e.aliases.size(); ++i) aliases[i] = copyText(e.aliases[i]);
  aliases[e.aliases.size()] = nullptr;
  h->h_name = copyText(e.name);
  h->h_aliases = aliases;
  h->h_addrtype = AF_INET;
  h->h_length = 4;
  h->h_addr_list = addresses;
  return h;
}

int fromResolverCode(int code) {
  sys::ResolverCodes codes = sys::resolverCodes();
  if (code == 0) return 0;
  if (code == codes.hostNotFound) return WSAHOST_NOT_FOUND;
  if (code == codes.tryAgain) return WSATRY_AGAIN;
  if (code == codes.noRecovery) return WSANO_RECOVERY;
  if (code == codes.noData) return WSANO_DATA;
  return WSANO_RECOVERY;
}

}  // namespace winsock
