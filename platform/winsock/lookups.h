#pragma once
// The asynchronous host look-ups: a helper thread of this layer resolves each request in turn
// and posts the answer to the requesting window (WParam the task handle, high word of LParam
// the error), after writing the host entry into the caller's buffer. A cancelled request
// writes and posts nothing.
#include <string>

#include "winsock/winsock.h"

namespace winsock {

HANDLE startHostByName(HWND window, UINT message, const std::string& name, char* buffer, int size);
HANDLE startHostByAddress(HWND window, UINT message, std::uint32_t address, char* buffer, int size);
// 0 when cancelled; SOCKET_ERROR with WSAEALREADY for a request already answered, WSAEINVAL
// for an unknown handle.
int cancelLookup(HANDLE task);

}  // namespace winsock
