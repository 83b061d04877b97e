#pragma once
// The calling thread's Winsock error (WSAGetLastError) and the errno to WSA code mapping.
namespace winsock {

int lastError();
void setLastError(int code);
// The WSA code for an errno value (EINPROGRESS and EAGAIN are "would block").
int fromErrno(int errnoValue);
// Sets the thread's error from errno and returns SOCKET_ERROR.
int failFromErrno();
// Sets the thread's error to code and returns SOCKET_ERROR.
int fail(int code);

}  // namespace winsock
