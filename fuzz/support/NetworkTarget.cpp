// The start of every network target: the Qt core application whose loop delivers the socket
// notices, and the Winsock that keeps every connection on the target's loopback peer.
#include <cstdint>

#include "FuzzSupport.h"
#include "LoopbackWinsock.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartFuzzTarget(QtKind::Core);
  UseLoopbackWinsock();
  return 0;
}
