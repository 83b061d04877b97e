#pragma once
// The unit's process-wide state shared by its files: the two locks and the address list,
// made at start-up, and the live-socket count of the binding.
#include <cstdint>
#include <memory>

#include "lib/StringList.h"
#include "win32/critical_section.h"
#include "win32/types.h"

namespace WSocketUnit {

struct State {
  State();
  ~State();
  CRITICAL_SECTION windowClassLock{};
  CRITICAL_SECTION winsockLock{};
  std::unique_ptr<TStringList> localIPList;
};
State& instance();

void raiseLiveSockets();
bool lowerLiveSockets();
int liveSockets();
bool winsockLoaded();
bool setRequestedVersion(bool high, BYTE value);

}  // namespace WSocketUnit

class AnsiString;
namespace WSocketUnit {
// The resolution work behind WSocketResolveHost/Port/Proto, without the live-socket hold
// (the socket component holds Winsock already).
std::uint32_t resolveHost(const AnsiString& InAddr);
std::uint16_t resolvePort(const AnsiString& Port, const AnsiString& Proto);
int resolveProto(const AnsiString& Proto);
}  // namespace WSocketUnit
