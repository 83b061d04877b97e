#pragma once
// Lays out a Winsock host entry (hostent with its names and address list) inside one buffer,
// as Winsock does for the asynchronous look-ups.
#include <cstddef>

#include "winsock/sys.h"
#include "winsock/winsock.h"

namespace winsock {

// The host entry at the start of buffer (aligned for pointers), or nullptr when it does not
// fit in size bytes.
hostent* packHostEntry(const sys::HostEntry& entry, char* buffer, std::size_t size);
// The bytes packHostEntry needs, with room for the alignment.
std::size_t hostEntrySize(const sys::HostEntry& entry);
// Maps a resolver code (h_errno) to the WSA code.
int fromResolverCode(int code);

}  // namespace winsock
