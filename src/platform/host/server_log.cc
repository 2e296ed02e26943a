#include "platform/host/server_log.h"

#include <cstdio>

#include "platform/host/random_id.h"

namespace host {
namespace {

// Turns line breaks and other control characters into blanks, so that a detail that quotes a
// client's input cannot forge log lines.
void MakeOneLine(char* first, char* last) {
  for (; first != last; ++first) {
    const auto u = static_cast<unsigned char>(*first);
    if (u < 0x20 || u == 0x7F) *first = ' ';
  }
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  MakeOneLine(out.data(), out.data() + out.size());
  return out;
}

}  // namespace

ServerLog::ServerLog(std::ostream& access, std::ostream& errors, bool batch_access)
    : access_(access), errors_(errors), batch_access_(batch_access) {
  if (batch_access_) {
    pending_.reserve(kAccessBatchBytes + 1024);
    flusher_ = std::thread([this] { FlushLoop(); });
  }
}

ServerLog::~ServerLog() {
  {
    std::lock_guard lock(mutex_);
    for (const auto& [key, recent] : recent_) WriteRepeats(key, recent);
  }
  if (!batch_access_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  flusher_.join();
  std::lock_guard lock(mutex_);
  WritePending();
}

void ServerLog::FlushLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    // Sleeps until a line arrives, then gives the lines after it up to the interval to gather.
    wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (wake_.wait_for(lock, kAccessFlushInterval, [this] { return stopping_; })) break;
    WritePending();
  }
}

void ServerLog::WritePending() {
  if (pending_.empty()) return;
  access_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
  access_.flush();
  pending_.clear();
}

void ServerLog::Access(std::string_view remote, std::string_view method, std::string_view path,
                       int status, std::size_t bytes,
                       std::chrono::steady_clock::duration duration) {
  char tail[128];
  const int n = std::snprintf(tail, sizeof tail, " %d %zu %.1fms\n", status, bytes,
                              std::chrono::duration<double, std::milli>(duration).count());
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof tail) return;  // cannot happen
  const std::string_view numbers(tail, static_cast<std::size_t>(n));
  std::lock_guard lock(mutex_);
  const bool was_empty = pending_.empty();
  const std::size_t start = pending_.size();
  pending_.append(remote).append(" ").append(method).append(" ").append(path).append(numbers);
  // Everything but the closing line break stays on the one line.
  MakeOneLine(pending_.data() + start, pending_.data() + pending_.size() - 1);
  if (!batch_access_ || pending_.size() >= kAccessBatchBytes) {
    WritePending();
  } else if (was_empty) {
    wake_.notify_one();
  }
}

void ServerLog::WriteRepeats(const std::string& key, const Recent& recent) {
  if (recent.held_back == 0) return;
  const std::string_view text = std::string_view(key).substr(1);
  if (!recent.id.empty()) errors_ << "error " << recent.id << ": ";
  errors_ << text << " (repeated " << recent.held_back << " more times)\n";
  errors_.flush();
}

std::string ServerLog::Counted(std::string_view text, bool with_id) {
  // At most this many texts are remembered; the next one first writes their repeats and forgets
  // them all.
  constexpr std::size_t kMostRemembered = 4096;
  const auto now = std::chrono::steady_clock::now();
  // An error and a note of the same text are kept apart.
  std::string key;
  key.reserve(text.size() + 1);
  key.push_back(with_id ? 'e' : 'n');
  key.append(text);
  std::lock_guard lock(mutex_);
  if (const auto it = recent_.find(key); it != recent_.end()) {
    if (now - it->second.written < kRepeatInterval) {
      ++it->second.held_back;
      return it->second.id;
    }
    WriteRepeats(it->first, it->second);
    recent_.erase(it);
  }
  if (recent_.size() >= kMostRemembered) {
    for (const auto& [old_key, recent] : recent_) WriteRepeats(old_key, recent);
    recent_.clear();
  }
  std::string id = with_id ? RandomHex(8) : std::string();
  if (with_id) errors_ << "error " << id << ": ";
  errors_ << text << '\n';
  errors_.flush();
  recent_.emplace(std::move(key), Recent{id, now, 0});
  return id;
}

std::string ServerLog::Error(std::string_view detail) { return Counted(OneLine(detail), true); }

void ServerLog::Note(std::string_view detail) { Counted(OneLine(detail), false); }

}  // namespace host
