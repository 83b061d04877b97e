// The C++ helpers start the real practice site and stage the real fakes.
#include "tools/testing/PracticeSite.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

using tarnwick::tools::httpGet;
using tarnwick::tools::PracticeSite;

const std::string itemQuery = "/ws/eBayISAPI.dll?ViewItem&item=";

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PracticeSiteHelper, ServesPagesAndAnswersControlAndCounter) {
  PracticeSite site;
  ASSERT_GT(site.port(), 0);
  EXPECT_EQ(site.baseUrl(), "http://127.0.0.1:" + std::to_string(site.port()));

  const auto live = site.get(itemQuery + "220000000141");
  EXPECT_EQ(live.status, 200);
  EXPECT_NE(live.body.find("\"top\">GBP\xA0"
                           "9.80 <"),
            std::string::npos);

  site.control("item=220000000141&fault=truncate&count=1");
  EXPECT_EQ(site.get(itemQuery + "220000000141").body.find("</html>"), std::string::npos);
  EXPECT_NE(site.get(itemQuery + "220000000141").body.find("</html>"), std::string::npos);
  EXPECT_EQ(site.requestCount(itemQuery + "220000000141"), 3);
  EXPECT_EQ(site.requestCount(itemQuery + "220000000101"), 0);
  EXPECT_THROW(site.control("item=220000000141&state=sold"), std::runtime_error);
}

TEST(PracticeSiteHelper, StoppedSiteRefusesConnections) {
  int port = 0;
  {
    PracticeSite site({"--offset", "60"});
    port = site.port();
    EXPECT_EQ(httpGet(port, "/aw-cgi/eBayISAPI.dll?TimeShow").status, 200);
  }
  EXPECT_EQ(httpGet(port, "/aw-cgi/eBayISAPI.dll?TimeShow").status, 0);
}

TEST(PracticeSiteHelper, StagedSniperRecordsTheInstructionFile) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("tools_fakes_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  tarnwick::tools::stageFakes(dir);
  std::ofstream(dir / "BID.TDL", std::ios::binary) << "220000000101\r\n25.5\r\n";
  const std::string command = "cd '" + dir.string() + "' && ./tnsnip.exe";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(readFile(dir / "tnsnip.1.BID.TDL"), "220000000101\r\n25.5\r\n");
  EXPECT_TRUE(std::filesystem::exists(tarnwick::tools::fakeOpener()));
  std::filesystem::remove_all(dir);
}

}  // namespace
