// PageLoad: background clients that keep requesting pages of a running server, for tests that
// break something underneath it (the database, the server itself) and check every answer.
//
//   PageLoad load(server.Port(), {"/wap/index.asp?userid=1", …}, 4, [](const PageLoad::Answer& a) {
//     return a.response && a.response->status == 200 ? "page" : "other";
//   });
//   ASSERT_TRUE(load.WaitUntil([&] { return load.Count("page") >= 20; }));
//   … break something, wait for other kinds of answers, repair it …
//   load.Stop();
//   EXPECT_EQ(load.Kinds(), (std::set<std::string>{"page"}));
//
// Each client is a thread with its own keep-alive connection (HttpClient) that requests the
// targets in turn, starting at a different one per client, until Stop() or until it has made
// `max_requests` requests. Every answer, or the transport failure in its place, goes to the
// classifier on the client's thread; the load counts the kinds it returns and keeps the first
// answer of each kind as a sample for failure messages.
//
// Thread-safe: the counting members may be called while the clients run.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/http_client.h"

namespace testing_support {

class PageLoad {
 public:
  using Clock = std::chrono::steady_clock;

  struct Answer {
    std::string target;
    Clock::time_point sent;                // when the request was about to be written
    std::optional<HttpResponse> response;  // absent when the exchange failed
    std::string failure;                   // the transport failure (HttpClient's message)
  };
  // Returns the kind of an answer ("page", "opendb", …). Called on client threads, at once.
  using Classifier = std::function<std::string(const Answer&)>;

  PageLoad(int port, std::vector<std::string> targets, int clients, Classifier classify,
           HeaderList headers = {}, std::size_t max_requests = 5000);
  ~PageLoad();  // Stop()
  PageLoad(const PageLoad&) = delete;
  PageLoad& operator=(const PageLoad&) = delete;

  // Ends every client after its current request and joins them. Idempotent.
  void Stop();

  // Waits (at most `timeout`) until `done()` holds; it is evaluated after each answer. True when
  // it held.
  bool WaitUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(60));

  std::size_t Count(const std::string& kind) const;
  std::size_t Total() const;
  // The kinds seen so far, and the first answer of `kind` as text (status and body, or failure).
  std::set<std::string> Kinds() const;
  std::string Sample(const std::string& kind) const;
  // Every kind with its count and sample, for failure messages.
  std::string Summary() const;

 private:
  void Run(int client);

  int port_;
  std::vector<std::string> targets_;
  Classifier classify_;
  HeaderList headers_;
  std::size_t max_requests_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::size_t> counts_;
  std::map<std::string, std::string> samples_;
  std::vector<std::thread> threads_;
};

// Checks page bodies with ValidPage (markup_check.h) and remembers those that passed, so that a
// load that gets the same few pages thousands of times parses each one once. Thread-safe; create
// it (or call ValidPage once) on the main thread before the clients start, so libxml2 is set up.
class PageValidator {
 public:
  PageValidator();  // sets libxml2 up
  bool Valid(const std::string& body);

 private:
  std::mutex mutex_;
  std::set<std::string> valid_;
};

// The text of an answer for messages: "STATUS BODY" (the body cut at 300 bytes), or the failure.
std::string Describe(const PageLoad::Answer& answer);

}  // namespace testing_support
