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
  fs::create_directory("folder.txt");
  try {
    list.LoadFromFile("folder.txt");
    ADD_FAILURE() << "a folder loaded as a file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file folder.txt. It is a folder.");
  }
  EXPECT_EQ(list.Count(), 1);
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

// The ini file breaks into lines as the list files do: CR LF, LF and CR alone, mixed too. A
// write keeps every other key, and the file is written back with CR LF.
TEST_F(TempDirs, IniFileReadsEveryLineEndAsTheListFilesDo) {
  fs::create_directories(dir_ / "windows");
  for (const char* end : {"\r\n", "\n", "\r", "mixed"}) {
    const std::string e = end;
    SCOPED_TRACE(e == "\r" ? "CR" : e == "\n" ? "LF" : e == "\r\n" ? "CR LF" : e);
    const auto line = [&e](int i, const std::string& text) {
      return text + (e != "mixed" ? e : i % 3 == 0 ? "\r" : i % 3 == 1 ? "\n" : "\r\n");
    };
    const std::string bytes = line(0, "[hosts]") + line(1, "item=http://127.0.0.1:1") +
                              line(2, "[prefs]") + line(3, "edtEbayMember=buyer7") +
                              line(4, "edtRefreshInterval=60");
    std::ofstream(dir_ / "windows" / "tarnwick.ini", std::ios::binary) << bytes;
    TStringList list;
    list.SetText(bytes);
    EXPECT_EQ(list.Count(), 5);

    TIniFile ini("tarnwick.ini");
    EXPECT_EQ(ini.ReadString("hosts", "item", ""), "http://127.0.0.1:1");
    EXPECT_EQ(ini.ReadString("prefs", "edtEbayMember", ""), "buyer7");
    ini.WriteString("prefs", "cbLogFile", "1");
    EXPECT_EQ(bytesOf(dir_ / "windows" / "tarnwick.ini"),
              "[hosts]\r\nitem=http://127.0.0.1:1\r\n[prefs]\r\nedtEbayMember=buyer7\r\n"
              "edtRefreshInterval=60\r\ncbLogFile=1\r\n");
  }
}
