#include "platform/host/change_watcher.h"

#include <array>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/data/change_epoch.h"
#include "platform/data/connection_string.h"
#include "platform/data/native_connection.h"
#include "platform/host/folder_writes.h"
#include "platform/host/http/server_log.h"
#include "platform/host/rendered_page_cache.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

// The most rows of wap_changes read at once; more means a burst of changes: everything goes.
constexpr std::int64_t kMostChangesRead = 1000;
constexpr auto kListenWait = std::chrono::milliseconds(250);
constexpr auto kReconnectPause = std::chrono::seconds(1);

bool IsSqlite(const data::ConnectionSettings& settings) {
  return text::StartsWithIgnoreCase(settings.server, "sqlite:");
}

std::int64_t FirstInteger(data::NativeConnection& connection, std::string_view sql,
                          std::span<const data::Param> params = {}) {
  const auto rows = connection.Run(sql, params);
  if (!rows->MoveTo(0)) return 0;
  return rows->Get(0).ToInteger().value_or(0);
}

}  // namespace

ChangeWatcher::ChangeWatcher(data::ConnectionSettings settings, std::filesystem::path base_folder,
                             RenderedPageCache& cache, ServerLog& log)
    : settings_(std::move(settings)),
      base_folder_(std::move(base_folder)),
      cache_(cache),
      log_(log),
      postgres_(!IsSqlite(settings_)) {
  if (postgres_) {
    listener_ = std::thread([this] { Listen(); });
    return;
  }
  const std::lock_guard lock(mutex_);
  OpenSqlite();
}

ChangeWatcher::~ChangeWatcher() {
  if (listener_.joinable()) {
    {
      const std::lock_guard lock(stop_mutex_);
      stopping_ = true;
    }
    stop_signal_.notify_all();
    listener_.join();
    data::SetChangesFollowed(false);
  }
}

void ChangeWatcher::Lost(const std::string& why) {
  live_.store(false, std::memory_order_release);
  cache_.EverythingChanged();
  if (!reported_) {
    log_.Note("page cache: not in use until the database's changes can be followed: " + why);
    reported_ = true;
  }
}

void ChangeWatcher::OpenSqlite() {
  try {
    // Watched first, so that every write after the first data_version below is seen.
    const std::filesystem::path file(data::SqlitePathOf(settings_.server));
    writes_ = std::make_unique<FolderWrites>(
        (file.is_absolute() ? file : base_folder_ / file).parent_path());
    sqlite_ = data::OpenNativeConnection(settings_, base_folder_);
    data_version_ = FirstInteger(*sqlite_, "PRAGMA data_version");
    last_seq_ = FirstInteger(*sqlite_, "select max(seq) from wap_changes");
    if (!sqlite_->ResetForReuse()) throw std::runtime_error("cannot end the first reads");
    cache_.EverythingChanged();
    live_.store(true, std::memory_order_release);
    if (reported_) log_.Note("page cache: following the database's changes again");
    reported_ = false;
  } catch (const std::exception& e) {
    sqlite_.reset();
    Lost(e.what());
  }
}

void ChangeWatcher::ReadSqliteChanges() {
  const std::array<data::Param, 1> after = {last_seq_};
  const auto rows = sqlite_->Run(
      "select seq, userid from wap_changes where seq > ? order by seq limit 1001", after);
  std::int64_t expected = last_seq_ + 1;
  std::int64_t count = 0;
  bool everything = false;
  for (std::size_t row = 0; rows->MoveTo(row); ++row, ++count) {
    const std::int64_t seq = rows->Get(0).ToInteger().value_or(0);
    const std::optional<std::int64_t> userid = rows->Get(1).ToInteger();
    if (seq != expected || !userid) everything = true;  // missed rows, or no member told
    if (!everything) cache_.MemberChanged(*userid);
    expected = seq + 1;
    last_seq_ = seq;
  }
  if (count == 0) {
    // Fewer rows than seen before: the database was replaced (a restore); start again.
    const std::int64_t newest = FirstInteger(*sqlite_, "select max(seq) from wap_changes");
    if (newest < last_seq_) {
      everything = true;
      last_seq_ = newest;
    }
  }
  if (everything || count > kMostChangesRead) cache_.EverythingChanged();
}

void ChangeWatcher::Poll() {
  if (postgres_) return;
  const std::lock_guard lock(mutex_);
  PollLocked();
}

bool ChangeWatcher::TryPoll() {
  if (postgres_) return true;
  const std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  PollLocked();
  return true;
}

void ChangeWatcher::PollLocked() {
  if (!sqlite_) {
    OpenSqlite();
    if (!sqlite_) return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (!writes_->WrittenSinceAsked()) {
    if (now < next_file_check_) return;  // nothing was committed since the last poll
    next_file_check_ = now + std::chrono::milliseconds(100);
    if (sqlite_->StillUsable()) return;
    sqlite_.reset();
    OpenSqlite();  // replaced under its name: everything goes
    return;
  }
  try {
    const std::int64_t version = FirstInteger(*sqlite_, "PRAGMA data_version");
    if (version != data_version_) {
      data_version_ = version;
      ReadSqliteChanges();
    }
  } catch (const std::exception& e) {
    sqlite_.reset();
    Lost(e.what());
    return;
  }
  // Every statement ended, so that no read transaction holds an old snapshot until the next
  // poll; a database file removed or replaced since it was opened (a restore) is opened again,
  // and then every kept page goes. After a write in its folder the file is always looked at.
  bool usable = sqlite_->ResetForReuse() && sqlite_->StillUsable();
  next_file_check_ = now + std::chrono::milliseconds(100);
  if (!usable) {
    sqlite_.reset();
    OpenSqlite();
  }
}

void ChangeWatcher::Listen() {
  std::unique_ptr<data::NativeConnection> connection;
  std::unique_lock stop(stop_mutex_);
  while (!stopping_) {
    stop.unlock();
    bool pause = false;
    try {
      if (!connection) {
        connection = data::OpenNativeConnection(settings_, base_folder_);
        connection->RunScript("LISTEN wap_changes");
        // Whatever changed while no one listened is unknown.
        cache_.EverythingChanged();
        data::SetChangesFollowed(true);
        live_.store(true, std::memory_order_release);
        if (reported_) log_.Note("page cache: following the database's changes again");
        reported_ = false;
      }
      for (const std::string& payload : connection->AwaitNotifications(kListenWait)) {
        data::BumpChangeEpoch();
        std::int64_t userid = 0;
        bool told = !payload.empty() && payload.size() < 19;
        for (const char c : payload) {
          if (c < '0' || c > '9') {
            told = false;
            break;
          }
          userid = userid * 10 + (c - '0');
        }
        if (told) {
          cache_.MemberChanged(userid);
        } else {
          cache_.EverythingChanged();
        }
      }
    } catch (const std::exception& e) {
      connection.reset();
      data::SetChangesFollowed(false);
      Lost(e.what());
      pause = true;
    }
    stop.lock();
    if (pause) stop_signal_.wait_for(stop, kReconnectPause, [this] { return stopping_; });
  }
}

}  // namespace host
