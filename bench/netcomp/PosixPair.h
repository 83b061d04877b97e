#pragma once
// Moves bytes over loopback through plain blocking POSIX sockets; returns the seconds taken.
#include <cstddef>

double posixLoopbackSeconds(std::size_t totalBytes);
