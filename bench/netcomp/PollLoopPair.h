#pragma once
// The plain peer of the socket benchmark: a connected pair of non-blocking POSIX sockets on
// 127.0.0.1 driven by one poll() loop in one thread, sending in 1460-byte pieces (the socket
// component's block size) until a short write, and receiving 64 KB at a time until nothing
// waits. Returns the seconds it took to move totalBytes.
#include <cstddef>

double pollLoopPairSeconds(std::size_t totalBytes);
