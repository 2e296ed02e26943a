// The decode pool: work runs on its threads and its result or exception comes back; when every
// thread is busy and the waiting places are taken, more work is refused at once.
#include "backoffice/images/decode_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <stdexcept>
#include <thread>

namespace backoffice::images {
namespace {

TEST(DecodePool, RunsWorkElsewhereAndReturnsWhatItGaveOrThrew) {
  DecodePool pool(2, 2);
  const std::thread::id caller = std::this_thread::get_id();
  EXPECT_EQ(pool.Run<bool>([&] { return std::this_thread::get_id() != caller; }), true);
  EXPECT_THROW(pool.Run<int>([]() -> int { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(DecodePool, RefusesAtOnceWhenItsThreadAndWaitingPlacesAreTaken) {
  DecodePool pool(1, 1);
  std::promise<void> started, release;
  std::shared_future<void> released = release.get_future().share();
  auto busy = std::async(std::launch::async, [&] {
    return pool.Run<int>([&] {
      started.set_value();
      released.wait();
      return 1;
    });
  });
  started.get_future().wait();
  // Two more: one takes the waiting place, the other is refused, and only the refused one can
  // come back before the thread is released.
  auto second = std::async(std::launch::async, [&] { return pool.Run<int>([] { return 2; }); });
  auto third = std::async(std::launch::async, [&] { return pool.Run<int>([] { return 3; }); });
  using namespace std::chrono_literals;
  while (second.wait_for(1ms) != std::future_status::ready &&
         third.wait_for(1ms) != std::future_status::ready) {
  }
  const bool second_refused = second.wait_for(0s) == std::future_status::ready;
  std::future<std::optional<int>>& refused = second_refused ? second : third;
  std::future<std::optional<int>>& taken = second_refused ? third : second;
  EXPECT_EQ(refused.get(), std::nullopt);
  release.set_value();
  EXPECT_EQ(busy.get(), 1);
  EXPECT_TRUE(taken.get().has_value());
  EXPECT_EQ(pool.Run<int>([] { return 4; }), 4) << "free again";
}

}  // namespace
}  // namespace backoffice::images
