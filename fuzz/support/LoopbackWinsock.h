#pragma once
// Keeps the fuzz targets on 127.0.0.1 whatever a fuzzed reply says: the "wsock32.dll" that
// the components bind is replaced by the stand-in with its look-ups and connects wrapped.
// Every host name resolves to 127.0.0.1 without asking a resolver, and every connect or
// datagram goes to the one port the target's peer listens on, so a relocation to another
// host or port ends at that peer too.

// Registers the wrapped module; call once, before the first socket operation.
void UseLoopbackWinsock();
// The port (host order) that every connect and datagram is sent to.
void SetLoopbackPort(int port);
