#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TempDirs.h"
#include "lib/Exceptions.h"
#include "lib/IniFile.h"
#include "lib/StringList.h"

namespace fs = std::filesystem;

TEST_F(TempDirs, StringListTextHasCrLfAfterEveryLine) {
  TStringList list;
  list.Add("one");
  list.Add("");
  list.Add("three");
  EXPECT_EQ(list.Text(), "one\r\n\r\nthree\r\n");
  list.SaveToFile("x.txt");
  EXPECT_EQ(bytesOf("x.txt"), "one\r\n\r\nthree\r\n");

  TStringList back;
  back.LoadFromFile("x.txt");
  EXPECT_EQ(back.Count(), 3);
  back.SetText("a\nb\r\nc\r\n");
  EXPECT_EQ(back.Count(), 3);
  EXPECT_EQ(back[2], "c");
  TStringList empty;
  EXPECT_EQ(empty.Text(), "");
}

// The length known without making the text follows every change of the list.
TEST_F(TempDirs, StringListTextLengthFollowsEveryChange) {
  TStringList list;
  const auto same = [&list] { EXPECT_EQ(list.TextLength(), list.Text().str().size()); };
  same();
  list.Add("one");
  list.Insert(0, "zero");
  list.Insert(2, "");
  same();
  list.SetStrings(1, "a longer line");
  list.SetStrings(0, "");
  same();
  list.Delete(1);
  same();
  list.SetText("a\nbb\r\n\rccc");
  same();
  std::ofstream("big.txt", std::ios::binary) << std::string(100000, 'q') << "\r\nend";
  list.LoadFromFile("big.txt");
  EXPECT_EQ(list.Count(), 2);
  same();
  TStringList copy = list;
  copy.Add("more");
  EXPECT_EQ(copy.TextLength(), copy.Text().str().size());
  list.Clear();
  same();
}

TEST_F(TempDirs, StringListRaisesTheIndexAndFileErrors) {
  TStringList list;
  list.Add("only");
  EXPECT_THROW(list.Strings(1), EStringListError);
  EXPECT_THROW(list.Strings(-1), EStringListError);
  try {
    list.Strings(3);
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(list.LoadFromFile("missing.txt"), EFOpenError);
  EXPECT_THROW(list.SaveToFile("no/such/dir/x.txt"), EFCreateError);
}

TEST_F(TempDirs, IniFileLivesInTheWindowsDirectoryAndKeepsOtherKeys) {
  TIniFile ini("tarnwick.ini");
  EXPECT_EQ(ini.ReadString("prefs", "edtRefreshInterval", "300"), "300");
  EXPECT_FALSE(ini.ReadBool("prefs", "cbLogFile", false));
  ini.WriteString("prefs", "edtEbayMember", "buyer one");
  ini.WriteBool("prefs", "cbLogFile", true);
  ini.WriteString("hosts", "item", "127.0.0.1:8080");
  ini.WriteString("prefs", "edtEbayMember", " padded ");
  EXPECT_TRUE(fs::exists(dir_ / "windows" / "tarnwick.ini"));
  EXPECT_EQ(ini.ReadString("prefs", "edtEbayMember", ""), " padded ");
  EXPECT_TRUE(ini.ReadBool("PREFS", "cbLogFile", false));
  EXPECT_EQ(ini.ReadString("hosts", "item", ""), "127.0.0.1:8080");
  EXPECT_EQ(
      bytesOf((dir_ / "windows" / "tarnwick.ini").string()),
      "[prefs]\r\nedtEbayMember= padded \r\ncbLogFile=1\r\n\r\n[hosts]\r\nitem=127.0.0.1:8080\r\n");
}
