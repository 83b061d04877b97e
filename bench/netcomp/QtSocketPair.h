#pragma once
// The Qt peer of the socket benchmark: a QTcpSocket pair on 127.0.0.1 in one thread, on Qt's
// event loop. The sender keeps about one 1 MB chunk waiting in its write buffer; the receiver
// reads 64 KB at a time. Returns the seconds it took to move totalBytes.
#include <cstddef>

double qtSocketPairSeconds(std::size_t totalBytes);
