#include "platform/data/connection_pool.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "platform/data/native_connection.h"

namespace data {

struct ConnectionPool::Impl {
  std::filesystem::path base_folder;
  std::size_t max_idle_per_key;

  mutable std::mutex mutex;  // guards idle
  std::map<ConnectionSettings, std::vector<std::unique_ptr<NativeConnection>>> idle;

  std::atomic<std::int64_t> in_use{0};
  std::atomic<std::uint64_t> waits{0};
  std::atomic<std::uint64_t> statement_errors{0};

  std::atomic<bool> logging{false};
  mutable std::mutex log_mutex;  // guards log; calls to it are serialised
  StatementLog log;
};

ConnectionPool::ConnectionPool(std::filesystem::path base_folder, std::size_t max_idle_per_key)
    : impl_(std::make_unique<Impl>()) {
  impl_->base_folder = std::move(base_folder);
  impl_->max_idle_per_key = max_idle_per_key;
}

ConnectionPool::~ConnectionPool() = default;

std::unique_ptr<NativeConnection> ConnectionPool::Borrow(const ConnectionSettings& settings) {
  for (;;) {
    std::unique_ptr<NativeConnection> candidate;
    {
      std::lock_guard lock(impl_->mutex);
      auto it = impl_->idle.find(settings);
      if (it == impl_->idle.end() || it->second.empty()) break;
      candidate = std::move(it->second.back());
      it->second.pop_back();
    }
    if (candidate->StillUsable()) {
      impl_->in_use.fetch_add(1, std::memory_order_relaxed);
      return candidate;
    }
    // A connection the engine closed while it was idle is dropped here, outside the lock.
  }
  impl_->waits.fetch_add(1, std::memory_order_relaxed);
  auto opened = OpenNativeConnection(settings, impl_->base_folder);
  impl_->in_use.fetch_add(1, std::memory_order_relaxed);
  return opened;
}

ConnectionPool::Counts ConnectionPool::Observe() const {
  return {static_cast<std::size_t>(
              std::max<std::int64_t>(0, impl_->in_use.load(std::memory_order_relaxed))),
          impl_->waits.load(std::memory_order_relaxed),
          impl_->statement_errors.load(std::memory_order_relaxed)};
}

void ConnectionPool::CountStatementError() {
  impl_->statement_errors.fetch_add(1, std::memory_order_relaxed);
}

void ConnectionPool::Return(const ConnectionSettings& settings,
                            std::unique_ptr<NativeConnection> conn, bool healthy) {
  if (conn) impl_->in_use.fetch_sub(1, std::memory_order_relaxed);
  if (!conn || !healthy) return;  // an unhealthy connection closes as `conn` goes
  std::unique_ptr<NativeConnection> surplus;
  try {
    std::lock_guard lock(impl_->mutex);
    auto it = impl_->idle.find(settings);
    if (it == impl_->idle.end()) {
      it = impl_->idle.emplace(settings, std::vector<std::unique_ptr<NativeConnection>>()).first;
    }
    if (it->second.size() < impl_->max_idle_per_key) {
      it->second.push_back(std::move(conn));
    } else {
      surplus = std::move(conn);
    }
  } catch (const std::bad_alloc&) {
    // No room to keep it: the connection closes as `conn` goes, which only costs a reconnect.
  }
}

void ConnectionPool::CloseIdle() noexcept {
  std::map<ConnectionSettings, std::vector<std::unique_ptr<NativeConnection>>> closing;
  {
    std::lock_guard lock(impl_->mutex);
    closing.swap(impl_->idle);
  }
  // The connections close here, outside the lock.
}

void ConnectionPool::SetStatementLog(StatementLog log) {
  std::lock_guard lock(impl_->log_mutex);
  impl_->logging = static_cast<bool>(log);
  impl_->log = std::move(log);
}

void ConnectionPool::LogStatement(std::string_view sql, std::span<const Param> params) const {
  if (!impl_->logging) return;
  std::string entry;
  if (!params.empty()) {
    entry.reserve(sql.size() + 16 * params.size());
    entry.append(sql).append("\t").append(DescribeParams(params));
    sql = entry;
  }
  std::lock_guard lock(impl_->log_mutex);
  if (impl_->log) impl_->log(sql);
}

}  // namespace data
