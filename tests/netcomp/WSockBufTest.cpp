// TBuffer: one block of the send queue.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "netcomp/WSockBuf.h"

TEST(TBuffer, SizeZeroMeans1514AndAWriteCopiesWhatFits) {
  EXPECT_EQ(TBuffer(0).BufSize(), 1514);
  EXPECT_EQ(TBuffer(-3).BufSize(), 1514);
  TBuffer block(1460);
  std::string data(2000, 'a');
  EXPECT_EQ(block.Write(data.data(), 2000), 1460);
  EXPECT_EQ(block.Write(data.data(), 10), 0);
  EXPECT_EQ(block.GetBufUsed(), 1460);
}

TEST(TBuffer, ReadingItEmptyStartsItAgainAtZero) {
  TBuffer block(8);
  block.Write("abcdef", 6);
  char out[8] = {};
  EXPECT_EQ(block.Read(out, 4), 4);
  EXPECT_EQ(std::string(out, 4), "abcd");
  EXPECT_EQ(block.Remove(10), 2);
  int len = -1;
  EXPECT_EQ(block.Peek(len), nullptr);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(block.Write("12345678", 8), 8);  // the whole block is free again
}

TEST(TBuffer, PeekGivesTheUnreadBytes) {
  TBuffer block(16);
  block.Write("hello world", 11);
  block.Remove(6);
  int len = 0;
  const char* p = block.Peek(len);
  ASSERT_EQ(len, 5);
  EXPECT_EQ(std::string(p, len), "world");
}

TEST(TBuffer, GrowingKeepsTheBytesAtTheirPositions) {
  TBuffer block(8);
  block.Write("abcdefgh", 8);
  block.Remove(2);
  block.SetBufSize(32);
  EXPECT_EQ(block.BufSize(), 32);
  int len = 0;
  const char* p = block.Peek(len);
  EXPECT_EQ(std::string(p, len), "cdefgh");
  EXPECT_EQ(block.Write("ij", 2), 2);
}

// A new size below the bytes written must not copy past the new block.
TEST(TBuffer, ShrinkingBelowTheWrittenBytesNeverCopiesPastTheNewBlock) {
  TBuffer block(64);
  std::string data(40, 'x');
  data += "0123456789";
  block.Write(data.data(), 50);
  block.Remove(44);  // "456789" unread, written up to 50
  block.SetBufSize(16);
  EXPECT_EQ(block.BufSize(), 16);
  int len = 0;
  const char* p = block.Peek(len);
  EXPECT_EQ(std::string(p, len), "456789");
  TBuffer full(64);
  full.Write(data.data(), 50);
  full.SetBufSize(16);  // 50 unread bytes cannot fit: refused
  EXPECT_EQ(full.BufSize(), 64);
  EXPECT_EQ(full.GetBufUsed(), 50);
}
