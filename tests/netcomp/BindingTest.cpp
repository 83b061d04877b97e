// Loading and unloading Winsock with the sockets, force-load, WinsockInfo, the version
// request and the refusals of missing modules and entry points.
#include <gtest/gtest.h>

#include <cstring>

#include "Recorder.h"
#include "netcomp/WSocket.h"
#include "win32/modules.h"

namespace {

// Registers a "wsock32.dll" that is the stand-in with start-up and clean-up counted.
struct CountingWinsock {
  static inline int startups = 0;
  static inline int cleanups = 0;
  static inline WORD lastVersion = 0;
  static inline TWSAStartup realStartup = nullptr;
  static inline TWSACleanup realCleanup = nullptr;

  static int countingStartup(WORD version, WSAData* data) {
    ++startups;
    lastVersion = version;
    return realStartup(version, data);
  }
  static int countingCleanup() {
    ++cleanups;
    return realCleanup();
  }

  CountingWinsock() {
    WinsockRegisterModules();
    HMODULE real = LoadLibraryA("wsock32.dll");
    ModuleEntryPoints entries;
#define COPY(name, result, params, args) \
  if (std::strcmp(#name, "WSAIoctl") != 0) entries[#name] = GetProcAddress(real, #name);
    WINSOCK_ENTRY_POINTS(COPY)
#undef COPY
    realStartup = reinterpret_cast<TWSAStartup>(entries["WSAStartup"]);
    realCleanup = reinterpret_cast<TWSACleanup>(entries["WSACleanup"]);
    entries["WSAStartup"] = reinterpret_cast<FARPROC>(&countingStartup);
    entries["WSACleanup"] = reinterpret_cast<FARPROC>(&countingCleanup);
    FreeLibrary(real);
    RegisterModuleA("wsock32.dll", entries);
    startups = cleanups = 0;
  }
  ~CountingWinsock() { WinsockRegisterModules(); }
  static bool loaded() { return startups > cleanups; }
};

bool socketClassRegistered() {
  WNDCLASSA c;
  return GetClassInfoA(GetModuleInstance(), "XSocketWindowClass", &c);
}

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    WSocketCancelForceLoadWinsock();
    WSocketUnloadWinsock();
    counting = std::make_unique<CountingWinsock>();
  }
  void TearDown() override {
    WSocketCancelForceLoadWinsock();
    WSocketUnloadWinsock();
    counting.reset();
  }
  // A socket operation: a look-up of a dotted address.
  static void firstOperation(TWSocket& s) { s.DnsLookup("127.0.0.1"); }
  std::unique_ptr<CountingWinsock> counting;
};

}  // namespace

TEST_F(Binding, TheFirstSocketOperationLoadsVersionOneOneNotTheConstruction) {
  auto s = std::make_unique<TWSocket>(nullptr);
  EXPECT_EQ(CountingWinsock::startups, 0);
  EXPECT_TRUE(socketClassRegistered());
  firstOperation(*s);
  EXPECT_EQ(CountingWinsock::startups, 1);
  EXPECT_EQ(CountingWinsock::lastVersion, 0x0101);
  EXPECT_EQ(s->DnsResult(), "127.0.0.1");
}

TEST_F(Binding, TheLastSocketUnloadsAndUnregistersAndANewOneLoadsAgain) {
  auto a = std::make_unique<TWSocket>(nullptr);
  auto b = std::make_unique<TWSocket>(nullptr);
  firstOperation(*a);
  a.reset();
  EXPECT_TRUE(CountingWinsock::loaded());
  b.reset();
  EXPECT_FALSE(CountingWinsock::loaded());
  EXPECT_FALSE(socketClassRegistered());
  auto c = std::make_unique<TWSocket>(nullptr);
  EXPECT_TRUE(socketClassRegistered());
  firstOperation(*c);
  EXPECT_EQ(CountingWinsock::startups, 2);
}

TEST_F(Binding, ForceLoadKeepsWinsockUntilCancelled) {
  WSocketForceLoadWinsock();
  EXPECT_EQ(CountingWinsock::startups, 1);
  WSocketForceLoadWinsock();  // a second one changes nothing
  {
    TWSocket s(nullptr);
    firstOperation(s);
  }
  EXPECT_EQ(CountingWinsock::startups, 1);
  EXPECT_TRUE(CountingWinsock::loaded());
  WSocketCancelForceLoadWinsock();
  EXPECT_FALSE(CountingWinsock::loaded());
}

TEST_F(Binding, WinsockInfoWithoutASocketLoadsCopiesAndUnloads) {
  WSAData data{};
  WinsockInfo(data);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_GT(std::strlen(data.szDescription), 0u);
  EXPECT_EQ(CountingWinsock::startups, 1);
  EXPECT_FALSE(CountingWinsock::loaded());
}

TEST_F(Binding, TheVersionRequestIsTakenAtTheNextLoadAndRefusedWhileLoaded) {
  {
    TWSocket s(nullptr);
    s.SetReqVerHigh(2);
    firstOperation(s);
    EXPECT_EQ(CountingWinsock::lastVersion, 0x0201);
    EXPECT_EQ(refusalOf([&] { s.SetReqVerHigh(2); }), "");
    std::string refusal = refusalOf([&] { s.SetReqVerHigh(3); });
    EXPECT_NE(refusal.find(" in function SetReqVerHigh: WinSock version can't be changed now\r\n"),
              std::string::npos)
        << refusal;
    EXPECT_EQ(refusal.rfind("Error ", 0), 0u);
    EXPECT_EQ(s.GetReqVerHigh(), 2);
  }
  TWSocket s(nullptr);
  s.SetReqVerHigh(1);  // unloaded again: taken
  EXPECT_EQ(s.GetReqVerHigh(), 1);
}

TEST_F(Binding, AMissingWSAIoctlGivesTheProcedureNotFoundText) {
  RegisterModuleA("ws2_32.dll", {});
  TWSocket s(nullptr);
  DWORD returned = 0;
  EXPECT_EQ(refusalOf([&] {
              WSocket_WSAIoctl(INVALID_SOCKET, SIO_RCVALL, nullptr, 0, nullptr, 0, &returned,
                               nullptr, nullptr);
            }),
            "Procedure WSAIoctl not found in ws2_32.dll Error #127");
}

TEST_F(Binding, AMissingWinsockGivesTheUnableToLoadText) {
  UnregisterModuleA("wsock32.dll");
  TWSocket s(nullptr);
  EXPECT_EQ(refusalOf([&] { firstOperation(s); }), "Unable to load wsock32.dll Error #126");
  WinsockRegisterModules();
  EXPECT_EQ(refusalOf([&] { firstOperation(s); }), "");  // the next call tries again
}
