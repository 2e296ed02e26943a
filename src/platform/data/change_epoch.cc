#include "platform/data/change_epoch.h"

#include <atomic>

namespace data {
namespace {

std::atomic<std::uint64_t> g_epoch{0};
std::atomic<bool> g_followed{false};

}  // namespace

std::uint64_t ChangeEpoch() { return g_epoch.load(std::memory_order_acquire); }

void BumpChangeEpoch() { g_epoch.fetch_add(1, std::memory_order_acq_rel); }

void SetChangesFollowed(bool followed) {
  g_followed.store(followed, std::memory_order_release);
  BumpChangeEpoch();
}

bool ChangesFollowed() { return g_followed.load(std::memory_order_acquire); }

}  // namespace data
