// Page: one run of a page object and the framework's operations on it. It holds the host objects of
// the request, the markup, the page buffer, the link suffix, the database settings, the connection
// and the one shared recordset. InitPage sends the no-cache headers, chooses the markup, builds the
// link suffix, screens the request, writes the document header, opens the database and ends a
// member login its member has outlived (member_login.h); SetPageTitle and AppendHomeLink serve the
// page body; EndPage closes the document, writes the page buffer to the response in one write and
// closes the database. A page object makes its Page in OnStartPage
// and ends it in OnEndPage; a test may make one over an in-memory host. The lower-level steps are
// public, so that the administration object makes its own set-up and end from the same parts. Not
// thread-safe: one thread uses a Page at a time (it may move to another thread between the host's
// calls).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "wap/framework/db_settings.h"
#include "wap/framework/deck_split.h"

namespace data {
class Connection;
class Recordset;
}  // namespace data
namespace host {
class Application;
class Request;
class Response;
class Server;
class Session;
struct RateLimiters;
struct ScriptingContext;
}  // namespace host

namespace wap {

// The placeholder of the WML card title until SetPageTitle replaces it.
inline constexpr std::string_view kCardTitlePlaceholder = "$$card_title$$";

class Page {
 public:
  // Borrows the request's host objects; `context` must outlive the Page (the host keeps it alive
  // until OnEndPage returns). Writes nothing.
  explicit Page(host::ScriptingContext& context);
  // CloseDB. Never throws.
  ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  host::Application& Application() const;
  host::Request& Request() const;
  host::Response& Response() const;
  host::Session& Session() const;
  host::Server& Server() const;
  // The server's rate limiters; nullptr under a host that keeps none.
  host::RateLimiters* Limiters() const;

  // True when InitPage chose WML (the Accept header names wml); XHTML otherwise.
  bool IsWml() const { return wml_; }
  // The page being produced; EndPage writes it.
  std::string& Buffer() { return buffer_; }
  // Data made ready for the page's markup: ToCharRefs, EscapeXmlText, EscapeXmlAttribute or
  // OwnerText of `utf8`, and in WML then WmlDollars, so that a "$" of the data reaches the handset
  // as a dollar sign. Every text from data (request values, stored texts) enters a page through
  // one of these. Requires: InitPage ran (it chooses the markup).
  std::string CharRefs(std::string_view utf8) const;
  std::string Text(std::string_view utf8) const;
  std::string Attribute(std::string_view utf8) const;
  std::string Owner(std::string_view utf8) const;

  // "userid=…&amp;username=…&amp;siteid=…" (LinkSuffix of the request, in WML with WmlDollars);
  // empty before InitPage.
  const std::string& LinkSuffix() const { return link_suffix_; }
  // The settings OpenDB loaded; empty values before.
  const DBSettings& Settings() const { return settings_; }
  // The connection and the shared recordset. Requires: CreateDBObjects ran and CloseDB did not.
  data::Connection& Connection();
  data::Recordset& Recordset();
  // True when OpenDB opened the connection and CloseDB has not closed it.
  bool HasOpenConnection() const;

  // Sets up the page. Returns true when the page should render its body; false when the response
  // has already been ended, by a keyword-filter hit (then no database work has been done: no
  // settings load, no open) or by a failed database open (the response holds "OpenDB():" and the
  // description). When false, the page must run no statement and add nothing; EndPage still runs.
  // Throws what the host or the settings load throws (a missing "\conn.asp").
  [[nodiscard]] bool InitPage();

  // Replaces the title placeholder in the page buffer: WML the card title's "$$card_title$$" that
  // InitPage wrote (once; data elsewhere in the page is never taken for it), XHTML every
  // "<title></title>" by "<title>" + title + "</title>". The title is inserted verbatim: callers
  // pass literals or CharRefs output. Requires: InitPage ran.
  void SetPageTitle(std::string_view title);

  // Appends the paragraph linking to the site's home page (/wap/index.asp with the link suffix).
  void AppendHomeLink();

  // Marks what the page appends from BeginLongPart to EndLongPart as its long part: the text or
  // the list that may be split over several decks when the page is over its limit
  // (PageByteLimit). `address` is the page's own address with its request values, ready for an
  // attribute value ("shownews.asp?" + suffix + "&amp;id=5"); a part link appends
  // "&amp;part=N". At most one long part per page; a page under its limit is written unchanged.
  // Requires: InitPage ran.
  void BeginLongPart(LongPartKind kind, std::string address);
  void EndLongPart();

  // Ends the page: the closing lines of the markup, one write of the page buffer to the response
  // (discarded by the host when the response has ended), CloseDB. A page with a long part that is
  // over its limit writes the part the request value "part" names (a whole number; absent, below 1
  // or not a number is the first, beyond the last the last); "part" is read only then. Runs once;
  // later calls do nothing. Safe whatever the page did before, also when InitPage did not complete.
  void EndPage();

  // Expires 0; ExpiresAbsolute now minus one day; header "pragma: no-cache"; header "cache-control:
  // private"; CacheControl "no-cache".
  void SetCachingHeaders();
  // Replaces the connection and shared recordset with new, closed ones whose native connections
  // come from the scripting context's pool.
  void CreateDBObjects();
  // Loads the settings (LoadDBSettings, whose failures are not caught) and opens the connection
  // with them. On a failure to open, writes "OpenDB():" and the failure's description to the
  // response, ends the response and returns false. Requires: CreateDBObjects ran.
  [[nodiscard]] bool OpenDB();
  // Closes the shared recordset and the connection where they are open and releases both. Never
  // throws; does nothing for objects already released.
  void CloseDB() noexcept;

 private:
  // Replaces the page buffer (closing lines included) by the requested part when the page has a
  // long part and is over its limit.
  void SplitOverLimit();

  host::ScriptingContext& context_;
  bool wml_ = false;
  bool ended_ = false;
  std::size_t card_title_at_ = std::string::npos;  // WML: where the placeholder stands
  std::string buffer_;
  std::string link_suffix_;
  struct LongPart {
    LongPartKind kind;
    std::string address;
    std::size_t begin;
    std::size_t end = std::string::npos;
  };
  std::optional<LongPart> long_part_;
  DBSettings settings_;
  std::unique_ptr<data::Connection> connection_;
  std::unique_ptr<data::Recordset> recordset_;
};

}  // namespace wap
