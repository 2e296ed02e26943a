#include "platform/host/rendered_page_cache.h"

#include <algorithm>

#include "platform/data/statement_trace.h"
#include "platform/host/http/reply_builder.h"
#include "platform/text/ascii.h"

namespace host {
namespace {

bool SameShape(const std::vector<ValueRead>& a, const std::vector<ValueRead>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].source != b[i].source || a[i].whole != b[i].whole || a[i].name != b[i].name) {
      return false;
    }
  }
  return true;
}

}  // namespace

RenderedPageCache::RenderedPageCache(std::size_t max_bytes) : max_bytes_(max_bytes) {}

void RenderedPageCache::AppendKeyPart(std::string& key, const ValueRead& shape,
                                      const std::optional<std::string>& value) {
  // Every part is length-prefixed, so that no two different lists of reads give one key.
  key.push_back(static_cast<char>(shape.source));
  key.push_back(shape.whole ? '*' : '=');
  key.append(std::to_string(shape.name.size())).push_back(':');
  key.append(shape.name);
  if (value) {
    key.append(std::to_string(value->size())).push_back(':');
    key.append(*value);
  } else {
    key.push_back('-');
  }
}

std::uint64_t RenderedPageCache::ChangeCount() const {
  const std::lock_guard lock(mutex_);
  return changes_;
}

bool RenderedPageCache::Fresh(const Entry& entry) const {
  if (entry.any_member) return entry.changes == changes_;
  if (entry.epoch != epoch_) return false;
  for (const auto& [userid, generation] : entry.members) {
    const auto it = member_generations_.find(userid);
    if ((it == member_generations_.end() ? 0 : it->second) != generation) return false;
  }
  return true;
}

void RenderedPageCache::Drop(Lru::iterator entry) {
  bytes_ -= entry->bytes;
  entries_.erase(std::string_view(entry->key));
  lru_.erase(entry);
}

HttpReply RenderedPageCache::Answer(const Entry& entry,
                                    std::chrono::system_clock::time_point now) const {
  HttpReply reply;
  reply.status = entry.status;
  reply.headers = entry.headers;
  if (entry.expires_offset) {
    const auto at = reply.headers.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                entry.expires_position, reply.headers.size()));
    reply.headers.emplace(at, "Expires", HttpDate(now + *entry.expires_offset));
  }
  reply.body = entry.body;
  return reply;
}

std::optional<HttpReply> RenderedPageCache::Find(const std::string& page_key,
                                                 const ValueOf& value_of,
                                                 std::chrono::system_clock::time_point now) {
  if (!Enabled()) return std::nullopt;
  std::vector<std::shared_ptr<const std::vector<ValueRead>>> shapes;
  {
    const std::lock_guard lock(mutex_);
    const auto it = shapes_.find(page_key);
    if (it == shapes_.end()) {
      ++stats_.misses;
      return std::nullopt;
    }
    for (const Shape& shape : it->second) shapes.push_back(shape.reads);
  }
  // The request's values are computed outside the lock (a session value may be read from the
  // database).
  std::vector<std::string> keys;
  keys.reserve(shapes.size());
  for (const auto& reads : shapes) {
    std::string key = page_key;
    key.push_back('\0');
    for (const ValueRead& read : *reads) AppendKeyPart(key, read, value_of(read));
    keys.push_back(std::move(key));
  }
  const std::lock_guard lock(mutex_);
  for (const std::string& key : keys) {
    const auto it = entries_.find(std::string_view(key));
    if (it == entries_.end()) continue;
    if (!Fresh(*it->second)) {
      Drop(it->second);
      continue;
    }
    lru_.splice(lru_.begin(), lru_, it->second);
    ++stats_.hits;
    return Answer(*it->second, now);
  }
  ++stats_.misses;
  return std::nullopt;
}

void RenderedPageCache::Store(const std::string& page_key, const std::vector<ValueRead>& reads,
                              const data::StatementTrace& trace, std::uint64_t changes_before,
                              const HttpReply& reply,
                              std::chrono::system_clock::time_point rendered_at,
                              std::optional<std::chrono::system_clock::time_point> expires_at) {
  if (!Enabled() || trace.wrote) return;
  Entry entry;
  entry.key = page_key;
  entry.key.push_back('\0');
  for (const ValueRead& read : reads) AppendKeyPart(entry.key, read, read.value);
  entry.status = reply.status;
  for (const auto& header : reply.headers) {
    if (text::EqualsIgnoreCase(header.first, "Expires")) {
      entry.expires_position = entry.headers.size();
      continue;
    }
    if (text::EqualsIgnoreCase(header.first, "Date")) continue;
    entry.headers.push_back(header);
  }
  if (expires_at) entry.expires_offset = *expires_at - rendered_at;
  entry.body = reply.body;
  entry.any_member = trace.any_member;
  entry.bytes = kEntryOverhead + entry.key.size() * 2 + entry.body.size();
  for (const auto& [name, value] : entry.headers) entry.bytes += name.size() + value.size() + 64;
  if (entry.bytes > max_bytes_) return;

  const std::lock_guard lock(mutex_);
  if (changes_ != changes_before) return;  // the page may have read rows older than a signal
  entry.changes = changes_;
  entry.epoch = epoch_;
  if (!entry.any_member) {
    for (const std::int64_t userid : trace.members) {
      const auto it = member_generations_.find(userid);
      entry.members.emplace_back(userid, it == member_generations_.end() ? 0 : it->second);
    }
  }
  std::vector<Shape>& shapes = shapes_[page_key];
  const bool known = std::any_of(shapes.begin(), shapes.end(), [&](const Shape& shape) {
    return SameShape(*shape.reads, reads);
  });
  if (!known) {
    if (shapes.size() >= kMaxShapesPerPage) return;
    auto shape_reads = std::make_shared<std::vector<ValueRead>>(reads);
    for (ValueRead& read : *shape_reads) read.value.reset();
    shapes.push_back(Shape{std::move(shape_reads)});
  }
  if (const auto it = entries_.find(std::string_view(entry.key)); it != entries_.end()) {
    Drop(it->second);
  }
  while (!lru_.empty() && bytes_ + entry.bytes > max_bytes_) Drop(std::prev(lru_.end()));
  bytes_ += entry.bytes;
  lru_.push_front(std::move(entry));
  entries_.emplace(std::string_view(lru_.front().key), lru_.begin());
  ++stats_.stores;
}

void RenderedPageCache::MemberChanged(std::int64_t userid) {
  const std::lock_guard lock(mutex_);
  ++changes_;
  ++member_generations_[userid];
}

void RenderedPageCache::EverythingChanged() {
  const std::lock_guard lock(mutex_);
  ++changes_;
  ++epoch_;
  entries_.clear();
  lru_.clear();
  shapes_.clear();
  bytes_ = 0;
}

RenderedPageCache::Stats RenderedPageCache::GetStats() const {
  const std::lock_guard lock(mutex_);
  Stats stats = stats_;
  stats.entries = lru_.size();
  stats.bytes = bytes_;
  return stats;
}

}  // namespace host
