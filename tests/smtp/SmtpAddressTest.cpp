// Address parsing, address lists and the date of the message header.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "smtp/SmtpProt.h"

namespace {

struct ParseCase {
  const char* from;
  const char* name;
  const char* email;
} const kParseCases[] = {
    {"\"Tarn Wick\" <tarn@client.test>", "Tarn Wick", "tarn@client.test"},
    {"'Tarn' <tarn@client.test>", "Tarn", "tarn@client.test"},
    {"tarn@client.test", "", "tarn@client.test"},
    {"  Tarn tarn@client.test", "Tarn", "tarn@client.test"},
    {"Tarn Wick <tarn@client.test>", "Tarn Wick", "tarn@client.test"},
    {"<tarn@client.test>", "", "tarn@client.test"},
    {"\"Quoted only\"", "Quoted only", ""},
    {"", "", ""},
};

TEST(ParseEmail, SplitsTheFriendlyNameFromTheAddress) {
  for (const auto& c : kParseCases) {
    AnsiString name = "stale", email = "stale";
    ParseEmail(c.from, name, email);
    EXPECT_EQ(name.str(), c.name) << c.from;
    EXPECT_EQ(email.str(), c.email) << c.from;
  }
}

TEST(RcptNameAdd, CutsTheListsAtCommasAndSemicolonsOutsideQuotes) {
  TCustomSmtpClient client(nullptr);
  client.RcptNameAdd(" a@x.test, \"Doe, John\" <j@x.test>", "", "b@x.test;;c@x.test ");
  EXPECT_EQ(client.RcptName()->Text().str(),
            "a@x.test\r\n\"Doe, John\" <j@x.test>\r\nb@x.test\r\nc@x.test\r\n");
}

class Rfc822Date : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("TZ");
    tzset();
  }
  static void zone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
};

TEST_F(Rfc822Date, WritesTheTimeInGmtWithEnglishNames) {
  const TDateTime local = EncodeDate(1994, 11, 6).Val + EncodeTime(8, 49, 37, 0).Val;
  zone("UTC0");
  EXPECT_EQ(Rfc822DateTime(local).str(), "Sun, 6 Nov 1994 08:49:37 GMT");
  // Five hours west of Greenwich: the same local time is five hours later in GMT.
  zone("EST5");
  EXPECT_EQ(Rfc822DateTime(local).str(), "Sun, 6 Nov 1994 13:49:37 GMT");
  // East of Greenwich, across midnight and a month's end.
  zone("XYZ-5:30");
  EXPECT_EQ(Rfc822DateTime(EncodeDate(2024, 3, 1).Val + EncodeTime(2, 0, 0, 0).Val).str(),
            "Thu, 29 Feb 2024 20:30:00 GMT");
}

TEST(GenerateMessageID, GivesTheTimeRandomGroupsAndTheHostName) {
  const std::string id = GenerateMessageID().str();
  ASSERT_GT(id.size(), 35u);
  EXPECT_EQ(id[17], '.');
  for (int i = 18; i < 34; ++i) EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(id[i]))) << id;
  EXPECT_EQ(id.substr(34), "@" + LocalHostName().str());
}

}  // namespace
