// The page frame: what every page does before and after its own body. InitPage captures the host
// objects, sends the no-cache headers, chooses the markup, builds the link suffix, screens the
// request, writes the document header and opens the database; SetPageTitle and AppendHomeLink
// serve the page body; EndPage closes the document, writes the page buffer to the response in one
// write and releases everything.
//
// Every operation works on PageContext::Current(), so it must run inside a page object's entry
// point (PageContextScope). The lower-level steps are public too, so that the administration
// object can make its own set-up and end from the same parts.
#pragma once

#include <string_view>

namespace host {
struct ScriptingContext;
}

namespace wap {

// The placeholder of the WML card title until SetPageTitle replaces it.
inline constexpr std::string_view kCardTitlePlaceholder = "$$card_title$$";

// Sets up the page. Returns true when the page should render its body; false when the response
// has already been ended, by a keyword-filter hit (then no database work has been done: no
// settings load, no open) or by a failed database open (the response holds "OpenDB():" and the
// description). When false, the page must run no statement and add nothing; EndPage still runs.
// Throws what the host or the settings load throws (a missing "\conn.asp").
[[nodiscard]] bool InitPage(host::ScriptingContext& context);

// Replaces the title placeholder in the page buffer: WML every "$$card_title$$", XHTML every
// "<title></title>" by "<title>" + title + "</title>". The title is inserted verbatim: callers pass
// literals or ToCharRefs output. Requires: InitPage ran.
void SetPageTitle(std::string_view title);

// Appends "<p><a href=\"/wap/index.asp?" + link suffix + "&amp;\">首页</a></p>" and CR LF.
void AppendHomeLink();

// Ends the page: the closing lines of the markup, one write of the page buffer to the response
// (discarded by the host when the response has ended), CloseDB, release of the host objects.
// Safe to call whatever the page did before, also when InitPage did not complete; never throws
// for a recordset the page closed or released.
void EndPage();

// The parts of the set-up and end, in the order InitPage and EndPage use them.

// Stores the scripting context and its Application, Request, Response, Session and Server.
void CaptureHostObjects(host::ScriptingContext& context);
// Expires 0; ExpiresAbsolute now minus one day; header "pragma: no-cache"; header
// "cache-control: private"; CacheControl "no-cache". Requires: CaptureHostObjects.
void SetCachingHeaders();
// Replaces the context's connection and shared recordset with new, closed ones whose native
// connections come from the scripting context's pool. Requires: CaptureHostObjects.
void CreateDBObjects();
// Releases the host objects in the order ScriptingContext, Application, Response, Request,
// Session, Server.
void ReleaseHostObjects();

}  // namespace wap
