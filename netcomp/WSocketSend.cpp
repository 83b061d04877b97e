// The socket's send queue: blocks of FBufSize bytes handed to Winsock as it takes them.
#include "netcomp/WSocket.h"

namespace {
bool lostConnection(int error) {
  return error == WSAEINVAL || error == WSAENOTSOCK || error == WSAECONNABORTED ||
         error == WSAECONNRESET || error == WSAENOTCONN;
}
}  // namespace

void TCustomWSocket::PutDataInSendBuffer(const void* Data, int Len) {
  if (Len <= 0 || !Data) return;
  if (FBufList.empty()) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
  auto* bytes = static_cast<const char*>(Data);
  for (;;) {
    int written = FBufList.back()->Write(bytes, Len);
    bytes += written;
    Len -= written;
    if (Len <= 0) break;
    FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
  }
  bAllSent = false;
}

void TCustomWSocket::PutStringInSendBuffer(const AnsiString& Str) {
  PutDataInSendBuffer(Str.c_str(), Str.Length());
}

void TCustomWSocket::DeleteBufferedData() { FBufList.clear(); }

int TCustomWSocket::Send(const void* Data, int Len) {
  if (FState != wsConnected && FState != wsSocksConnected) {
    WSockCall::WSASetLastError(WSAENOTCONN);
    SocketError("Send");
    return -1;
  }
  // Nothing to queue leaves the all-sent flag alone (Flush would otherwise never end).
  if (Len <= 0) return 0;
  bAllSent = false;
  PutDataInSendBuffer(Data, Len);
  TryToSend();
  // OnDataSent comes later from the message loop, never inside Send.
  if (bAllSent && FHSocket != INVALID_SOCKET)
    PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket),
                 MAKELONG(FD_WRITE, 0));
  return Len;
}

int TCustomWSocket::SendStr(const AnsiString& Str) {
  if (Str.IsEmpty()) return 0;
  return Send(Str.c_str(), Str.Length());
}

void TCustomWSocket::SendText(const AnsiString& Str) { SendStr(Str); }

int TCustomWSocket::SendTo(const sockaddr_in& Dest, int DestLen, const void* Data, int Len) {
  int result = WSockCall::sendto(FHSocket, static_cast<const char*>(Data), Len, FSendFlags,
                                 reinterpret_cast<const sockaddr*>(&Dest), DestLen);
  if (result > 0) {
    TriggerSendData(result);
    if (bAllSent && FType == SOCK_DGRAM)
      PostMessageA(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket),
                   MAKELONG(FD_WRITE, 0));
  }
  return result;
}

int TCustomWSocket::RealSend(const char* Data, int Len) {
  int result = FType == SOCK_DGRAM
                   ? WSockCall::sendto(FHSocket, Data, Len, FSendFlags,
                                       reinterpret_cast<const sockaddr*>(&sin), sizeof sin)
                   : WSockCall::send(FHSocket, Data, Len, FSendFlags);
  if (result > 0) TriggerSendData(result);
  return result;
}

void TCustomWSocket::TryToSend() {
  if (FHSocket == INVALID_SOCKET || FBufList.empty()) return;
  for (;;) {
    int length = 0;
    const char* data = FBufList.front()->Peek(length);
    if (length <= 0) {
      if (FBufList.size() > 1) {
        FBufList.pop_front();
        continue;
      }
      bAllSent = true;  // the emptied block stays for reuse
      return;
    }
    int count = RealSend(data, length);
    if (count == 0) return;
    if (count > 0) {
      FBufList.front()->Remove(count);
      if (count < length) return;  // FD_WRITE comes again when space frees
      continue;
    }
    int error = WSockCall::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return;
    if (lostConnection(error)) {
      FCloseInvoked = true;
      Close();
      TriggerSessionClosed(static_cast<WORD>(error));
      return;
    }
    SocketError("TryToSend failed");
    return;
  }
}

void TCustomWSocket::Flush() {
  while (FHSocket != INVALID_SOCKET && !bAllSent) {
    TryToSend();
    MessagePump();
  }
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags Value) {
  switch (Value) {
    case wsSendNormal:
      FSendFlags = 0;
      break;
    case wsSendUrgent:
      FSendFlags = MSG_OOB;
      break;
    default:
      RaiseException("Invalid SendFlags");
  }
}

TSocketSendFlags TCustomWSocket::GetSendFlags() {
  switch (FSendFlags) {
    case 0:
      return wsSendNormal;
    case MSG_OOB:
      return wsSendUrgent;
    default:
      RaiseException("Invalid internal SendFlags");
      return wsSendNormal;
  }
}
