// ChangeWatcher: brings the site database's change signals (rows of wap_changes, or notifications
// on that channel, which the schema's triggers make) to a RenderedPageCache, so that a change made
// by this instance, another instance or by hand is seen before it could be answered from the
// cache.
//   SQLite: Poll, called before a request looks in the cache, asks its own connection for
//     "PRAGMA data_version" (which changes with every commit of any other connection, this
//     process's page connections included, since this one never writes) and, when it moved,
//     reads the new rows of wap_changes: one member each, or everything when the member cannot be
//     told or rows were missed. So a change committed before a request arrives is seen by it.
//     The database is asked only when a file of its folder was written since the last poll
//     (folder_writes.h; every commit writes there), which costs one system call instead of a
//     read transaction. Whether the database file was replaced under its name (a restore) is
//     asked at most every 100 ms.
//   PostgreSQL: a thread of its own listens on channel "wap_changes" and hands each payload to
//     the cache as it arrives (within a few milliseconds of the commit); Poll does nothing. A lost
//     connection drops the whole cache and is opened again (every second until it answers). The
//     same signal moves the data layer's change epoch (data/change_epoch.h), so that PostgreSQL
//     connections keep the counts and key lists of paging as SQLite's do.
// While the watcher cannot vouch for the cache (not yet listening, connection lost, a database
// without the signals), Live() is false and the cache must be neither read nor filled.
//
// Thread-safe: Poll and Live may be called from many page threads at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/data/connection_settings.h"

namespace data {
class NativeConnection;
}

namespace host {

class FolderWrites;
class RenderedPageCache;
class ServerLog;

class ChangeWatcher {
 public:
  // Watches the database of `settings` (a relative SQLite path taken from `base_folder`) for
  // `cache`. Never throws: a database that cannot be opened leaves the watcher not live (and
  // says so on `log`), PostgreSQL retrying every second.
  ChangeWatcher(data::ConnectionSettings settings, std::filesystem::path base_folder,
                RenderedPageCache& cache, ServerLog& log);
  ~ChangeWatcher();
  ChangeWatcher(const ChangeWatcher&) = delete;
  ChangeWatcher& operator=(const ChangeWatcher&) = delete;

  // SQLite: takes in the changes committed so far. Never throws.
  void Poll();
  // As Poll, unless another thread is polling right now: then returns false at once, and the
  // caller must Poll (wait) before it may trust the cache. True on PostgreSQL. Never throws.
  bool TryPoll();
  // Whether the cache may be used now.
  bool Live() const { return live_.load(std::memory_order_acquire); }

 private:
  void PollLocked();                  // requires mutex_
  void OpenSqlite();                  // requires mutex_
  void ReadSqliteChanges();           // requires mutex_; throws DataError
  void Listen();                      // the PostgreSQL thread
  void Lost(const std::string& why);  // not live; everything dropped; logged once per loss

  const data::ConnectionSettings settings_;
  const std::filesystem::path base_folder_;
  RenderedPageCache& cache_;
  ServerLog& log_;
  const bool postgres_;
  std::atomic<bool> live_{false};

  std::mutex mutex_;  // SQLite: the connection and what it saw
  std::unique_ptr<data::NativeConnection> sqlite_;
  std::unique_ptr<FolderWrites> writes_;  // the database's folder, watched from before sqlite_
  std::int64_t data_version_ = -1;
  std::int64_t last_seq_ = 0;
  std::chrono::steady_clock::time_point next_file_check_{};  // when to ask whether it was replaced
  bool reported_ = false;

  std::mutex stop_mutex_;  // PostgreSQL: the thread's stop
  std::condition_variable stop_signal_;
  bool stopping_ = false;
  std::thread listener_;
};

}  // namespace host
