// StatementTrace: what the statements a thread runs through Connection say about the database
// rows they depend on, recorded while a host page runs so that its rendered page can be kept until
// one of those rows changes (see host/rendered_page_cache.h).
//
// Every row of a member site carries its member's number in one column, which the application
// names (`member_column`; the data layer knows no column of its own). A read is attributed to
// members:
//   - a statement whose condition is "where COLUMN=?" or "... and COLUMN=?" (and holds no "or")
//     depends on the member bound to that placeholder, whatever rows it returns;
//   - otherwise, to the member column of every row the page visited; a result without that
//     column, or one that was closed without a row visited, cannot be attributed and depends on
//     every member (`any_member`). With no member column named, every read is such a read.
// A statement that is not a select (an insert, an update, a transaction's begin) is a write: the
// page is never kept. Statements on the host's own tables (sessions, session values, throttle
// events, sweeps) are the host's business, not the site's, and are not traced.
//
// Per thread: a StatementTrace is current for the lifetime of a StatementTrace::Scope on the
// calling thread (a page runs start to end on one thread). A trace must outlive every recordset
// opened while it was current. Not thread-safe otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/param.h"

namespace data {

class ResultRows;

struct StatementTrace {
  std::string member_column;          // lower case; set before the trace is made current
  std::vector<std::int64_t> members;  // distinct, in the order first met
  bool any_member = false;            // a read no member could be told for
  bool wrote = false;                 // a statement that is not a read ran

  void AddMember(std::int64_t userid);

  // The calling thread's current trace, or nullptr.
  static StatementTrace* Current();

  class Scope {
   public:
    explicit Scope(StatementTrace* trace);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    StatementTrace* previous_;
  };
};

// Called by Connection for every statement it runs while a trace is current: classifies `sql`
// and returns `rows` as they are or wrapped so that the rows the page visits are attributed.
std::unique_ptr<ResultRows> TraceStatement(StatementTrace& trace, std::string_view sql,
                                           std::span<const Param> params,
                                           std::unique_ptr<ResultRows> rows);
// The same for a statement whose answer is kept integers (no rows to look at).
void TraceKeptStatement(StatementTrace& trace, std::string_view sql, std::span<const Param> params);

// The index of the placeholder of the statement's "where COLUMN=?" / "and COLUMN=?" condition
// on `member_column` (lower case), or -1 when it has none (or holds an "or", which could widen
// it), or when `member_column` is empty. Exposed for tests.
int MemberPlaceholder(std::string_view sql, std::string_view member_column);

}  // namespace data
