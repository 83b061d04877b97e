// The Winsock stand-in through its module, against real sockets on 127.0.0.1.
#include <gtest/gtest.h>

#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "Peer.h"
#include "Pump.h"
#include "win32/modules.h"
#include "win32/windows.h"
#include "winsock/winsock.h"

namespace {

// The entry points, bound by name as a caller of the module does.
struct Winsock {
#define WINSOCK_SLOT(name, result, params, args) T##name name = nullptr;
  WINSOCK_ENTRY_POINTS(WINSOCK_SLOT)
#undef WINSOCK_SLOT
  HMODULE wsock32 = nullptr, ws2 = nullptr;
  Winsock() {
    WinsockRegisterModules();
    wsock32 = LoadLibraryA("wsock32.dll");
    ws2 = LoadLibraryA("ws2_32.dll");
#define BIND(name, result, params, args) \
  name = reinterpret_cast<T##name>(      \
      GetProcAddress(std::strcmp(#name, "WSAIoctl") == 0 ? ws2 : wsock32, #name));
    WINSOCK_ENTRY_POINTS(BIND)
#undef BIND
  }
  ~Winsock() {
    FreeLibrary(ws2);
    FreeLibrary(wsock32);
  }
};

struct Notice {
  WPARAM socket;
  WORD event;
  WORD error;
};
std::vector<Notice> notices;
LRESULT noticeProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_USER + 1 || msg == WM_USER + 2)
    notices.push_back({wParam, LOWORD(lParam), HIWORD(lParam)});
  return 0;
}

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WSAData data;
    ASSERT_EQ(ws.WSAStartup(0x0101, &data), 0);
    WNDCLASSA c{};
    c.lpfnWndProc = &noticeProc;
    c.lpszClassName = "WinsockTestWindow";
    WNDCLASSA existing;
    if (!GetClassInfoA(nullptr, c.lpszClassName, &existing)) RegisterClassA(&c);
    window =
        CreateWindowExA(0, c.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    notices.clear();
  }
  void TearDown() override {
    DestroyWindow(window);
    ws.WSACleanup();
  }
  sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = ws.htons(static_cast<std::uint16_t>(port));
    a.sin_addr.S_addr = ws.inet_addr("127.0.0.1");
    return a;
  }
  bool noticed(WORD event, WORD* error = nullptr) {
    for (auto& n : notices)
      if (n.event == event) {
        if (error) *error = n.error;
        return true;
      }
    return false;
  }
  int countOf(WORD event) {
    int count = 0;
    for (auto& n : notices) count += n.event == event;
    return count;
  }
  // A client selected on the test window, connected to the server.
  SOCKET connectedClient(peer::Server& server, int* peerFd) {
    SOCKET s = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ws.WSAAsyncSelect(s, window, WM_USER + 1, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
    sockaddr_in a = loopback(server.port());
    ws.connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    *peerFd = server.accept();
    pumpUntil([&] { return noticed(FD_WRITE); });
    return s;
  }
  Winsock ws;
  HWND window = nullptr;
};

}  // namespace

TEST_F(WinsockTest, HandlesAreNeverReusedWithinARun) {
  SOCKET first = ws.socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(first, INVALID_SOCKET);
  std::uint32_t waiting = 0;
  ASSERT_EQ(ws.ioctlsocket(first, FIONREAD, &waiting), 0);
  ASSERT_EQ(ws.closesocket(first), 0);
  SOCKET second = ws.socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(ws.closesocket(first), SOCKET_ERROR);
  EXPECT_EQ(ws.WSAGetLastError(), WSAENOTSOCK);
  // A handle used and then closed is refused by every call, not only by closesocket.
  EXPECT_EQ(ws.ioctlsocket(first, FIONREAD, &waiting), SOCKET_ERROR);
  EXPECT_EQ(ws.WSAGetLastError(), WSAENOTSOCK);
  ws.closesocket(second);
}

TEST_F(WinsockTest, CallsBeforeStartUpAreRefused) {
  ws.WSACleanup();
  EXPECT_EQ(ws.socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(ws.WSAGetLastError(), WSANOTINITIALISED);
  WSAData data;
  ws.WSAStartup(0x0101, &data);
}

TEST_F(WinsockTest, ARefusedConnectWouldBlockThenPostsFdConnectWithConnectionRefused) {
  SOCKET s = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ws.WSAAsyncSelect(s, window, WM_USER + 1, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
  sockaddr_in a = loopback(peer::unusedPort());
  EXPECT_EQ(ws.connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), SOCKET_ERROR);
  EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
  ASSERT_TRUE(pumpUntil([&] { return noticed(FD_CONNECT); }));
  pumpFor(50);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].socket, static_cast<WPARAM>(s));
  EXPECT_EQ(notices[0].error, WSAECONNREFUSED);
  ws.closesocket(s);
}

TEST_F(WinsockTest, ADatagramConnectPostsOneFdConnectWithoutError) {
  int port = 0;
  int udp = peer::udpSocket(&port);
  SOCKET s = ws.socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  ws.WSAAsyncSelect(s, window, WM_USER + 1, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
  sockaddr_in a = loopback(port);
  EXPECT_EQ(ws.connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  WORD error = 1;
  ASSERT_TRUE(pumpUntil([&] { return noticed(FD_CONNECT, &error); }));
  EXPECT_EQ(error, 0);
  pumpFor(50);
  EXPECT_EQ(countOf(FD_CONNECT), 1);
  ws.closesocket(s);
  peer::close(udp);
}

// A close that lingers for data still unsent returns at once, as Winsock's does for a
// non-blocking socket; the data still goes out, then the connection ends gracefully.
TEST_F(WinsockTest, ClosingWithALingerTimeReturnsAtOnceAndTheDataStillGoesOut) {
  peer::Server server;
  int fd;
  SOCKET s = connectedClient(server, &fd);
  std::string chunk(65536, 'L');
  std::size_t sent = 0;
  for (int n; (n = ws.send(s, chunk.data(), static_cast<int>(chunk.size()), 0)) > 0;) sent += n;
  ASSERT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
  linger l{1, 10};
  ws.setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&l), sizeof l);
  QElapsedTimer closing;
  closing.start();
  EXPECT_EQ(ws.closesocket(s), 0);
  EXPECT_LT(closing.elapsed(), 2000);
  std::string got;
  EXPECT_EQ(peer::endOf(fd, &got, 10000), 0);
  EXPECT_EQ(got.size(), sent);
  peer::close(fd);
}

TEST_F(WinsockTest, ReadNoticesComeAgainAfterEachRecvWhileDataRemainsThenOneClose) {
  peer::Server server;
  int fd;
  SOCKET s = connectedClient(server, &fd);
  ASSERT_TRUE(noticed(FD_CONNECT));
  peer::sendAll(fd, std::string(100, 'x'));
  peer::close(fd);
  std::string got;
  ASSERT_TRUE(pumpUntil([&] {
    if (!notices.empty() && notices.back().event == FD_READ) {
      notices.pop_back();
      char buffer[30];
      int n = ws.recv(s, buffer, sizeof buffer, 0);  // a part only: FD_READ comes again
      if (n > 0) got.append(buffer, n);
    }
    return noticed(FD_CLOSE);
  }));
  EXPECT_EQ(got, std::string(100, 'x'));
  pumpFor(50);
  EXPECT_EQ(countOf(FD_CLOSE), 1);
  char buffer[4];
  EXPECT_EQ(ws.recv(s, buffer, sizeof buffer, 0), 0);
  EXPECT_EQ(ws.recv(s, buffer, sizeof buffer, 0), 0);
  ws.closesocket(s);
}

TEST_F(WinsockTest, WriteNoticeComesAgainWhenSpaceFreesAfterAShortSend) {
  peer::Server server;
  int fd;
  SOCKET s = connectedClient(server, &fd);
  int small = 4096;
  ws.setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&small), sizeof small);
  notices.clear();
  std::string block(4 << 20, 'y');
  int sent = ws.send(s, block.data(), static_cast<int>(block.size()), 0);
  ASSERT_GT(sent, 0);
  ASSERT_LT(sent, static_cast<int>(block.size()));
  auto reader = std::async(std::launch::async, [&] { return peer::receive(fd, sent).size(); });
  EXPECT_TRUE(pumpUntil([&] { return noticed(FD_WRITE); }));
  EXPECT_EQ(reader.get(), static_cast<std::size_t>(sent));
  ws.closesocket(s);
  peer::close(fd);
}

TEST_F(WinsockTest, NothingWaitingWouldBlockAndAResetPeerGivesConnectionReset) {
  peer::Server server;
  int fd;
  SOCKET s = connectedClient(server, &fd);
  char buffer[8];
  EXPECT_EQ(ws.recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
  EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
  peer::resetClose(fd);
  WORD error = 0;
  ASSERT_TRUE(pumpUntil([&] { return noticed(FD_CLOSE, &error); }));
  EXPECT_EQ(error, WSAECONNRESET);
  int result = 0;
  for (int i = 0; i < 3 && result != SOCKET_ERROR; ++i) result = ws.send(s, "abc", 3, 0);
  EXPECT_EQ(result, SOCKET_ERROR);
  EXPECT_EQ(ws.WSAGetLastError(), WSAECONNRESET);
  ws.closesocket(s);
}

TEST_F(WinsockTest, ReceiveAllOnARawSocketIsRefusedAsNotSupported) {
  SOCKET s = ws.socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  DWORD in = 1, out = 0, returned = 0;
  EXPECT_EQ(ws.WSAIoctl(s, SIO_RCVALL, &in, 4, &out, 4, &returned, nullptr, nullptr), SOCKET_ERROR);
  EXPECT_EQ(ws.WSAGetLastError(), WSAEOPNOTSUPP);
  ws.closesocket(s);
}

TEST_F(WinsockTest, AsynchronousHostLookUpAnswersThroughTheQueue) {
  alignas(hostent) char buffer[MAXGETHOSTSTRUCT + 1];
  HANDLE task = ws.WSAAsyncGetHostByName(window, WM_USER + 2, "localhost", buffer, sizeof buffer);
  ASSERT_NE(task, nullptr);
  ASSERT_TRUE(pumpUntil([&] { return !notices.empty(); }));
  EXPECT_EQ(notices[0].socket, reinterpret_cast<WPARAM>(task));
  ASSERT_EQ(notices[0].error, 0);
  auto* entry = reinterpret_cast<hostent*>(buffer);
  ASSERT_NE(entry->h_addr_list[0], nullptr);
  in_addr first;
  std::memcpy(&first, entry->h_addr_list[0], 4);
  EXPECT_STREQ(ws.inet_ntoa(first), "127.0.0.1");
}

TEST_F(WinsockTest, ACancelledLookUpWritesAndPostsNothing) {
  alignas(hostent) char buffer[MAXGETHOSTSTRUCT + 1] = {};
  HANDLE task = ws.WSAAsyncGetHostByName(window, WM_USER + 2, "localhost", buffer, sizeof buffer);
  int result = ws.WSACancelAsyncRequest(task);
  pumpFor(200);
  if (result == 0) {
    EXPECT_TRUE(notices.empty());
  } else {  // the answer was already on its way
    EXPECT_EQ(ws.WSAGetLastError(), WSAEALREADY);
    EXPECT_EQ(notices.size(), 1u);
  }
  EXPECT_EQ(ws.WSACancelAsyncRequest(task), SOCKET_ERROR);
}

TEST_F(WinsockTest, InetAddrReadsDottedTextAndRefusesTheRest) {
  struct Case {
    const char* text;
    std::uint32_t hostOrder;
  } cases[] = {{"127.0.0.1", 0x7F000001},       {"10.0.0.1  ", 0x0A000001},
               {"255.255.255.255", 0xFFFFFFFF}, {"1.2.3.999", 0xFFFFFFFF},
               {"a.b.c.d", 0xFFFFFFFF},         {"", 0xFFFFFFFF},
               {"1.2.3.4.5", 0xFFFFFFFF}};
  for (const auto& c : cases) EXPECT_EQ(ws.ntohl(ws.inet_addr(c.text)), c.hostOrder) << c.text;
}

TEST_F(WinsockTest, LingerIsGivenAsTwoShortFieldsAndReadBack) {
  SOCKET s = ws.socket(AF_INET, SOCK_STREAM, 0);
  linger set{1, 7}, got{};
  ASSERT_EQ(ws.setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&set), sizeof set), 0);
  int len = sizeof got;
  ASSERT_EQ(ws.getsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&got), &len), 0);
  EXPECT_EQ(got.l_onoff, 1);
  EXPECT_EQ(got.l_linger, 7);
  ws.closesocket(s);
}
