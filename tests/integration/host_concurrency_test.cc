// Many clients at once against the real `wapsite serve`: every request gets its own complete
// reply, and sessions of different visitors never mix. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "support/http_client.h"
#include "support/server_process.h"

namespace {

using testing_support::HttpClient;
using testing_support::ServerProcess;
using testing_support::TempDir;

TEST(HostConcurrency, ServesManyClientsAtOnceWithoutMixingReplies) {
  TempDir dir;
  const auto root = dir.path() / "root";
  std::filesystem::create_directories(root);
  std::ofstream(root / "store.asp")
      << "<%Session(\"n\") = \"1\" : Application(\"hits\") = \"x\"%>s";
  std::ofstream(root / "page.asp") << "<%Response.Write(\"page\")%>";
  std::ofstream(root / "big.txt") << std::string(200'000, 'b');
  ServerProcess server(root, {"--threads", "4"});

  constexpr int kClients = 8;
  constexpr int kRounds = 25;
  std::vector<std::string> failures(kClients);
  std::vector<std::string> session_ids(kClients);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      try {
        HttpClient client(server.Port());
        client.UseCookies(true);
        for (int i = 0; i < kRounds; ++i) {
          if (client.Get("/page.asp").body != "page") failures[c] += "page ";
          if (client.Get("/big.txt").body.size() != 200'000) failures[c] += "big ";
          if (client.Get("/store.asp").body != "s") failures[c] += "store ";
        }
        if (client.Cookies().size() != 1) failures[c] += "cookies ";
        if (!client.Cookies().empty()) session_ids[c] = client.Cookies()[0].second;
      } catch (const std::exception& e) {
        failures[c] += e.what();
      }
    });
  }
  for (auto& t : clients) t.join();
  for (int c = 0; c < kClients; ++c) EXPECT_EQ(failures[c], "") << "client " << c;
  std::sort(session_ids.begin(), session_ids.end());
  EXPECT_EQ(std::unique(session_ids.begin(), session_ids.end()), session_ids.end());
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
