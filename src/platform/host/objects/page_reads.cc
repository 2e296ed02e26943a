#include "platform/host/objects/page_reads.h"

#include "platform/text/ascii.h"

namespace host {
namespace {

thread_local PageReads* t_current = nullptr;

}  // namespace

PageReads* PageReads::Current() { return t_current; }

PageReads::Scope::Scope(PageReads* reads) : previous_(t_current), files_(reads) {
  t_current = reads;
}

PageReads::Scope::~Scope() { t_current = previous_; }

void PageReads::Note(ReadSource source, std::string_view name,
                     const std::optional<std::string>& value, bool whole) {
  const bool is_path = source == ReadSource::kFileExists || source == ReadSource::kFolderExists;
  const std::string folded =
      whole ? std::string() : (is_path ? std::string(name) : text::AsciiLower(name));
  for (const ValueRead& read : reads_) {
    if (read.source == source && read.whole == whole && read.name == folded) {
      if (read.value != value) MarkUncacheable("a value changed while the page ran");
      return;
    }
  }
  reads_.push_back({source, folded, whole, value});
}

void PageReads::MarkUncacheable(std::string_view why) {
  if (why_uncacheable_.empty()) why_uncacheable_ = why.empty() ? "uncacheable" : why;
}

void PageReads::ExistenceChecked(fso::Existence kind, const std::string& path, bool exists) {
  Note(kind == fso::Existence::kFile ? ReadSource::kFileExists : ReadSource::kFolderExists, path,
       exists ? std::optional<std::string>("1") : std::nullopt);
}

void PageReads::FilesUsed() { MarkUncacheable("used the file system"); }

}  // namespace host
