// PageReads: what one run of a host page read of its request, its visitor's session and the
// application values, recorded so that the rendered page can be kept and found again for every
// later request that offers the same values (see rendered_page_cache.h). A read of a value that
// was absent is recorded as absent: absence is part of what the page saw.
//
// Recording is per thread: a PageReads becomes the thread's current one for the lifetime of a
// PageReads::Scope, and the host objects (Collection, Request, Application, the recording session)
// report to PageReads::Current() when it is set, as the file-system object reports to its
// observer (fs/file_use.h), which the Scope installs too; with none set they record nothing and
// cost one thread_local load. A page runs start to end on one thread, so the reads of one run land
// in one PageReads. Not thread-safe otherwise: one thread uses a PageReads at a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/file_use.h"

namespace host {

// Where a value came from. The letters are part of the cache's key text.
enum class ReadSource : char {
  kQueryString = 'Q',
  kForm = 'F',
  kCookie = 'C',
  kServerVariable = 'V',
  kItem = 'I',
  kSession = 'S',
  kApplication = 'A',
  // Whether a file or a folder exists (the name is the path as given, not folded).
  kFileExists = 'X',
  kFolderExists = 'D',
};

// One value a page read: `name` in lower case (a path as it is), or, when `whole`, the collection's whole text (a
// page that listed the keys or pairs, or read the text, depends on all of it).
struct ValueRead {
  ReadSource source;
  std::string name;
  bool whole = false;
  std::optional<std::string> value;  // std::nullopt: absent
};

class PageReads : public fso::FileUseObserver {
 public:
  // The thread's current recording, or nullptr.
  static PageReads* Current();

  // Makes `reads` the calling thread's current recording until destroyed; the previous one (if
  // any) is current again afterwards. Scope(nullptr) pauses recording.
  class Scope {
   public:
    explicit Scope(PageReads* reads);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    PageReads* previous_;
    fso::FileUseObserver::Scope files_;
  };

  // Records one read. The first read of a value is kept; a later read of the same value that gives
  // something else (an application value changed by another request while the page ran) makes
  // the run uncacheable, since no one key describes it.
  void Note(ReadSource source, std::string_view name, const std::optional<std::string>& value,
            bool whole = false);
  // The run did something that must happen on every request (stored a session or application
  // value, renewed a session id, wrote to the database): it is never kept. `why` names it.
  void MarkUncacheable(std::string_view why);

  // What the file-system object tells: an existence check is a read (kFileExists, kFolderExists:
  // "1" or absent); any other use of files makes the run uncacheable.
  void ExistenceChecked(fso::Existence kind, const std::string& path, bool exists) override;
  void FilesUsed() override;

  bool Uncacheable() const { return !why_uncacheable_.empty(); }
  const std::string& WhyUncacheable() const { return why_uncacheable_; }
  // Distinct reads in the order they were first made.
  const std::vector<ValueRead>& Reads() const { return reads_; }

 private:
  std::vector<ValueRead> reads_;
  std::string why_uncacheable_;
};

}  // namespace host
