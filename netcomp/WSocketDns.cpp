// The socket's asynchronous look-ups: DnsLookup, ReverseDnsLookup and their answers.
#include <cstring>

#include "netcomp/WSocket.h"

namespace {

AnsiString dottedText(const char* addressBytes) {
  in_addr a{};
  std::memcpy(&a.S_addr, addressBytes, 4);
  return AnsiString(WSockCall::inet_ntoa(a));
}

// Winsock writes the answer's host entry at the start of the look-up buffer.
const hostent* answerIn(const char* buffer) { return reinterpret_cast<const hostent*>(buffer); }

}  // namespace

// The common start of both look-ups: a bad name is refused (then the event tells 10022);
// otherwise the pending look-up is cancelled and the results emptied.
bool TCustomWSocket::beginLookup(bool badName, const char* refusal) {
  if (badName) {
    RaiseException(refusal);
    TriggerDNSLookupDone(WSAEINVAL);
    return false;
  }
  if (FDnsLookupHandle) WSockCall::WSACancelAsyncRequest(FDnsLookupHandle);
  FDnsLookupHandle = nullptr;
  FDnsResult = AnsiString();
  FDnsResultList->Clear();
  return true;
}

void TCustomWSocket::DnsLookup(const AnsiString& HostName) {
  if (!beginLookup(HostName.IsEmpty(), "DNS lookup: invalid host name.")) return;
  if (WSocketIsDottedIP(HostName)) {
    std::uint32_t address = WSockCall::inet_addr(HostName.c_str());
    if (address != INADDR_NONE) {
      FDnsResult = dottedText(reinterpret_cast<const char*>(&address));
      FDnsResultList->Add(FDnsResult);
      TriggerDNSLookupDone(0);
      return;
    }
  }
  if (!FWindowHandle) {
    RaiseException("DnsLookup: Window not assigned");
    return;
  }
  FDnsLookupCheckMsg = false;
  FDnsLookupHandle =
      WSockCall::WSAAsyncGetHostByName(FWindowHandle, WM_ASYNCGETHOSTBYNAME, HostName.c_str(),
                                       FDnsLookupBuffer, sizeof FDnsLookupBuffer);
  if (!FDnsLookupHandle) {
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", HostName,
                      WSockCall::WSAGetLastError());
    return;
  }
  if (FDnsLookupCheckMsg) {
    FDnsLookupCheckMsg = false;
    WMAsyncGetHostByName(FDnsLookupTempMsg);
  }
}

void TCustomWSocket::WMAsyncGetHostByName(TMessage& msg) {
  if (!FDnsLookupHandle) {
    FDnsLookupTempMsg = msg;
    FDnsLookupCheckMsg = true;
    return;
  }
  if (msg.WParam != reinterpret_cast<WPARAM>(FDnsLookupHandle)) return;
  FDnsLookupHandle = nullptr;
  WORD error = HIWORD(msg.LParam);
  if (error == 0) {
    const hostent* entry = answerIn(FDnsLookupBuffer);
    for (char** a = entry->h_addr_list; a && *a; ++a) FDnsResultList->Add(dottedText(*a));
    if (FDnsResultList->Count() > 0) FDnsResult = FDnsResultList->Strings(0);
  }
  TriggerDNSLookupDone(error);
}

void TCustomWSocket::ReverseDnsLookup(const AnsiString& HostAddr) {
  if (!beginLookup(HostAddr.IsEmpty() || HostAddr.Length() >= 257,
                   "ReverseDnsLookup: Invalid host name."))
    return;
  std::uint32_t address = WSockCall::inet_addr(HostAddr.c_str());
  if (!FWindowHandle) {
    RaiseException("ReverseDnsLookup: Window not assigned");
    return;
  }
  FDnsLookupHandle = WSockCall::WSAAsyncGetHostByAddr(
      FWindowHandle, WM_ASYNCGETHOSTBYADDR, reinterpret_cast<const char*>(&address), 4, AF_INET,
      FDnsLookupBuffer, sizeof FDnsLookupBuffer);
  if (!FDnsLookupHandle)
    RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", HostAddr,
                      WSockCall::WSAGetLastError());
}

void TCustomWSocket::WMAsyncGetHostByAddr(TMessage& msg) {
  if (!FDnsLookupHandle || msg.WParam != reinterpret_cast<WPARAM>(FDnsLookupHandle)) return;
  FDnsLookupHandle = nullptr;
  WORD error = HIWORD(msg.LParam);
  if (error == 0) {
    const hostent* entry = answerIn(FDnsLookupBuffer);
    FDnsResult = AnsiString(entry->h_name ? entry->h_name : "");
    FDnsResultList->Add(FDnsResult);
  }
  TriggerDNSLookupDone(error);
}

// An answer already on its way (10037) counts as cancelled: its handle no longer matches,
// so it is dropped when it comes.
void TCustomWSocket::CancelDnsLookup() {
  if (!FDnsLookupHandle) return;
  if (WSockCall::WSACancelAsyncRequest(FDnsLookupHandle) != 0 &&
      WSockCall::WSAGetLastError() != WSAEALREADY) {
    FDnsLookupHandle = nullptr;
    SocketError("WSACancelAsyncRequest");
    return;
  }
  FDnsLookupHandle = nullptr;
  if (!Destroying()) TriggerDNSLookupDone(WSAEINTR);
}
