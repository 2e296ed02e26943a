// Runs a parsed host page against the objects of one request.
//
// Statements run in order on the calling thread, start to end, without suspending: what a run
// reads is recorded per thread (objects/page_reads.h, data/statement_trace.h, fs/file_use.h), so
// an object does its work on the thread that calls it. Once the response has ended (Response.End
// inside an object, or a Redirect) no further statement runs. When the page stops, for whatever
// reason, every object the page created gets its OnEndPage, in creation order, and only then does
// RunHostPage return, or throw.
//
// Failures: the first failure (of a statement, of an object's OnStartPage or method, or of an
// OnEndPage) is rethrown after every OnEndPage has run; any later failure is handed to
// `report_secondary` (a log line) and otherwise dropped, so one failing object cannot keep the
// others from cleaning up. A method an object does not have and a variable that names no object
// are failures too (std::runtime_error naming the file and line).
//
// Stateless; safe to call from many threads at once with different contexts.
#pragma once

#include <functional>
#include <string_view>

#include "platform/host/objects/scripting_context.h"
#include "platform/host/scripting/host_page_parser.h"

namespace host {

using SecondaryFailureReport = std::function<void(std::string_view detail)>;

void RunHostPage(const HostPage& page, ScriptingContext& context,
                 const SecondaryFailureReport& report_secondary);

}  // namespace host
