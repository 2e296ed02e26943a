#include "platform/host/http/server_log.h"

#include <cstdio>
#include <stdexcept>

#include "platform/observe/journal.h"
#include "platform/text/random_id.h"

namespace host {
namespace {

// Turns line breaks and other control characters into blanks, so that a detail that quotes a
// client's input cannot forge log lines.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return out;
}

}  // namespace

ServerLog::ServerLog(std::ostream& access, std::ostream& errors, ServerLogOptions options)
    : access_(&access), errors_(errors), options_(options) {
  StartFlusher();
}

ServerLog::ServerLog(const std::filesystem::path& access_file, std::ostream& errors,
                     ServerLogOptions options)
    : access_file_(access_file),
      access_owned_(access_file, std::ios::binary | std::ios::app),
      access_(&access_owned_),
      errors_(errors),
      options_(options) {
  if (!access_owned_) {
    throw std::runtime_error("cannot write the access log '" + access_file.string() + "'");
  }
  StartFlusher();
}

void ServerLog::StartFlusher() {
  if (!options_.batch_access) return;
  pending_.reserve(kAccessBatchBytes + 1024);
  flusher_ = std::thread([this] { FlushLoop(); });
}

void ServerLog::Reopen() {
  if (access_file_.empty()) return;
  std::ofstream reopened(access_file_, std::ios::binary | std::ios::app);
  std::lock_guard lock(mutex_);
  if (!reopened) {
    errors_ << Prefix(observe::kPriorityError) << "cannot reopen the access log '"
            << access_file_.string() << "'; still writing to the file it had\n"
            << std::flush;
    return;
  }
  WritePending();
  access_owned_ = std::move(reopened);
}

ServerLog::~ServerLog() {
  {
    std::lock_guard lock(mutex_);
    for (const auto& [key, recent] : recent_) WriteRepeats(key, recent);
  }
  if (!options_.batch_access) return;
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
  access_->write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
  access_->flush();
  pending_.clear();
}

void ServerLog::Access(const observe::AccessRecord& record) {
  std::lock_guard lock(mutex_);
  const bool was_empty = pending_.empty();
  observe::AppendAccessLine(pending_, record);
  if (!options_.batch_access || pending_.size() >= kAccessBatchBytes) {
    WritePending();
  } else if (was_empty) {
    wake_.notify_one();
  }
}

std::string_view ServerLog::Prefix(int priority) const {
  static constexpr std::string_view kPrefixes[] = {"<0>", "<1>", "<2>", "<3>",
                                                   "<4>", "<5>", "<6>", "<7>"};
  return options_.priorities ? kPrefixes[priority & 7] : std::string_view();
}

void ServerLog::WriteRepeats(const std::string& key, const Recent& recent) {
  if (recent.held_back == 0) return;
  const std::string_view text = std::string_view(key).substr(1);
  errors_ << Prefix(recent.id.empty() ? observe::kPriorityNotice : observe::kPriorityError);
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
  std::string id = with_id ? text::RandomHex(8) : std::string();
  errors_ << Prefix(with_id ? observe::kPriorityError : observe::kPriorityNotice);
  if (with_id) errors_ << "error " << id << ": ";
  errors_ << text << '\n';
  errors_.flush();
  recent_.emplace(std::move(key), Recent{id, now, 0});
  return id;
}

std::string ServerLog::Error(std::string_view detail) { return Counted(OneLine(detail), true); }

void ServerLog::Note(std::string_view detail) { Counted(OneLine(detail), false); }

}  // namespace host
