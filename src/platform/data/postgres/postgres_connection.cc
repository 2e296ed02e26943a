#include "platform/data/postgres/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/data/change_epoch.h"
#include "platform/data/data_error.h"
#include "platform/data/kept_answers.h"
#include "platform/text/ascii.h"

namespace data {
namespace {

constexpr const char* kConnectTimeoutSeconds = "5";
// Most statements a connection keeps prepared on the server.
constexpr std::size_t kPreparedPerConnection = 256;
// The most integers of paging answers one connection keeps (as on SQLite).
constexpr std::size_t kKeptIntegers = 64 * 1024;

// Type oids of the built-in types (pg_type.dat).
constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kOidOid = 26;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampTzOid = 1184;
constexpr Oid kNumericOid = 1700;

struct FinishConn {
  void operator()(PGconn* c) const noexcept { PQfinish(c); }
};
using ConnPtr = std::unique_ptr<PGconn, FinishConn>;

struct ClearResult {
  void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using ResultPtr = std::unique_ptr<PGresult, ClearResult>;

// The first line of a libpq message, without severity prefixes.
std::string CleanMessage(std::string_view message) {
  message = message.substr(0, message.find('\n'));
  std::string text(message);
  for (const char* prefix : {"ERROR:  ", "FATAL:  ", "PANIC:  "}) {
    for (auto at = text.find(prefix); at != std::string::npos; at = text.find(prefix)) {
      text.erase(at, std::char_traits<char>::length(prefix));
    }
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  if (text.empty()) text = "the database server reported a failure without a message";
  return text;
}

std::string PrimaryMessage(const PGresult* result, PGconn* conn) {
  if (result != nullptr) {
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    if (primary != nullptr && *primary != '\0') return primary;
  }
  return CleanMessage(PQerrorMessage(conn));
}

void IgnoreNotice(void*, const char*) {}

Value Convert(const char* text, int length, Oid type) {
  const std::string_view s(text, static_cast<std::size_t>(length));
  switch (type) {
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid: {
      std::int64_t n = 0;
      const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
      if (ec == std::errc() && ptr == s.data() + s.size()) return Value(n);
      return Value(std::string(s));
    }
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid: {
      // strtod reads the server's "Infinity" and "NaN" for float types; a numeric keeps its text
      // when no finite double holds it.
      const std::string copy(s);
      char* end = nullptr;
      const double d = std::strtod(copy.c_str(), &end);
      if (end == copy.c_str() + copy.size() && !copy.empty() &&
          (type != kNumericOid || std::isfinite(d))) {
        return Value(d);
      }
      return Value(copy);
    }
    case kBoolOid:
      return Value(static_cast<std::int64_t>(s == "t" ? 1 : 0));
    case kTimestampOid:
    case kTimestampTzOid:
      // "YYYY-MM-DD HH:MM:SS[.ffffff][+zz]" under DateStyle ISO.
      if (s.size() >= 19 && s[10] == ' ') return Value(std::string(s.substr(0, 19)));
      return Value(std::string(s));
    case kDateOid:
    default:
      return Value(std::string(s));
  }
}

// `sql` with each "?" placeholder outside quoted literals, quoted names and comments replaced by
// $1, $2, … in order; sets `count` to the number of placeholders.
std::string NumberPlaceholders(std::string_view sql, std::size_t& count) {
  std::string out;
  out.reserve(sql.size() + 8);
  count = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    std::size_t end = i;  // the last byte of a quoted or commented run starting at i
    if (c == '\'' || c == '"') {
      end = sql.find(c, i + 1);  // a doubled quote inside is two adjacent runs: same result
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      end = sql.find('\n', i);
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      end = sql.find("*/", i + 2);
      if (end != std::string_view::npos) ++end;
    } else if (c == '?') {
      out.append("$").append(std::to_string(++count));
      continue;
    }
    if (end == std::string_view::npos) end = sql.size() - 1;
    out.append(sql.substr(i, end - i + 1));
    i = end;
  }
  return out;
}

// A statement's bound values in the form PQexecPrepared takes: text, NULL as a null pointer.
// Whole numbers are sent as int8; text and NULL leave their type to the server.
struct WireParams {
  explicit WireParams(std::span<const Param> params) {
    texts.reserve(params.size());
    for (const Param& p : params) {
      if (const auto* n = std::get_if<std::int64_t>(&p)) {
        texts.push_back(std::to_string(*n));
        types.push_back(kInt8Oid);
        signature.push_back('i');
      } else if (const auto* text = std::get_if<std::string>(&p)) {
        texts.push_back(*text);
        types.push_back(0);
        signature.push_back('t');
      } else {
        texts.emplace_back();
        types.push_back(0);
        signature.push_back('n');
      }
    }
    for (std::size_t i = 0; i < params.size(); ++i) {
      values.push_back(std::holds_alternative<std::monostate>(params[i]) ? nullptr
                                                                         : texts[i].c_str());
    }
  }
  int Count() const { return static_cast<int>(values.size()); }

  std::vector<std::string> texts;
  std::vector<const char*> values;
  std::vector<Oid> types;
  std::string signature;  // one letter a value: the types a statement is prepared for
};

class PostgresRows final : public ResultRows {
 public:
  explicit PostgresRows(ResultPtr result) : result_(std::move(result)) {
    const int n = PQnfields(result_.get());
    names_.reserve(n);
    types_.reserve(n);
    for (int i = 0; i < n; ++i) {
      const char* name = PQfname(result_.get(), i);
      names_.emplace_back(name != nullptr ? name : "");
      types_.push_back(PQftype(result_.get(), i));
    }
    values_.resize(names_.size());
  }

  std::size_t ColumnCount() const override { return names_.size(); }
  const std::string& ColumnName(std::size_t column) const override { return names_.at(column); }
  std::size_t RowCount() override { return static_cast<std::size_t>(PQntuples(result_.get())); }

  bool MoveTo(std::size_t row) override {
    if (row >= RowCount()) return false;
    if (static_cast<int>(row) != current_) {
      current_ = static_cast<int>(row);
      loaded_ = false;
    }
    return true;
  }

  const Value& Get(std::size_t column) override {
    if (!loaded_) {
      PGresult* r = result_.get();
      for (std::size_t i = 0; i < values_.size(); ++i) {
        const int col = static_cast<int>(i);
        values_[i] =
            PQgetisnull(r, current_, col)
                ? Value()
                : Convert(PQgetvalue(r, current_, col), PQgetlength(r, current_, col), types_[i]);
      }
      loaded_ = true;
    }
    return values_.at(column);
  }

 private:
  ResultPtr result_;
  std::vector<std::string> names_;
  std::vector<Oid> types_;
  std::vector<Value> values_;
  int current_ = -1;
  bool loaded_ = false;
};

class PostgresConnection final : public NativeConnection {
 public:
  explicit PostgresConnection(ConnPtr conn) : conn_(std::move(conn)) {}

  std::unique_ptr<ResultRows> Run(std::string_view sql, std::span<const Param> params) override {
    if (MayChangeSiteRows(sql)) {
      // This process sees its own change at once (the other instances by its notification).
      answers_.Clear();
      BumpChangeEpoch();
    }
    const WireParams wire(params);
    ResultPtr result;
    if (PQtransactionStatus(conn_.get()) == PQTRANS_IDLE) {
      result = RunPrepared(sql, wire);
      // A statement prepared before its tables changed shape fails once ("cached plan must not
      // change result type"); it is prepared again and run a second time.
      if (PQresultStatus(result.get()) == PGRES_FATAL_ERROR && SqlState(result.get()) == "0A000") {
        result = RunPrepared(sql, wire);
      }
    } else {
      // In a transaction a failure cannot be undone to try again: run the statement unprepared.
      // (Transactions are the back office's, not the pages'.)
      std::size_t placeholders = 0;
      const std::string text = NumberPlaceholders(sql, placeholders);
      if (placeholders != params.size()) throw CountMismatch(placeholders, params.size());
      result.reset(PQexecParams(conn_.get(), text.c_str(), wire.Count(), wire.types.data(),
                                wire.values.data(), nullptr, nullptr, 0));
    }
    switch (PQresultStatus(result.get())) {
      case PGRES_TUPLES_OK:
        return std::make_unique<PostgresRows>(std::move(result));
      case PGRES_COMMAND_OK:
      case PGRES_EMPTY_QUERY:
        return MakeEmptyRows();
      default:
        throw Failure(result.get());
    }
  }

  void RunScript(std::string_view script) override {
    answers_.Clear();
    BumpChangeEpoch();
    const std::string text(script);
    ResultPtr result(PQexec(conn_.get(), text.c_str()));
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY) {
      throw Failure(result.get());
    }
  }

  // Answers are kept only while a listener follows the database's changes (change_epoch.h) and
  // only outside a transaction; they hold while the change epoch is the one read before the
  // statement ran.
  bool KeepsAnswers() const override { return ChangesFollowed(); }
  std::shared_ptr<const std::vector<std::int64_t>> KeptIntegers(
      std::string_view sql, std::span<const Param> params) override {
    const bool keep = ChangesFollowed() && PQtransactionStatus(conn_.get()) == PQTRANS_IDLE;
    const std::uint64_t epoch = ChangeEpoch();
    if (keep) {
      if (epoch != answers_epoch_) {
        answers_.Clear();
        answers_epoch_ = epoch;
      }
      if (auto found = answers_.Find(sql, params)) return found;
    }
    auto answer =
        std::make_shared<const std::vector<std::int64_t>>(FirstColumnIntegers(*Run(sql, params)));
    if (keep && ChangeEpoch() == epoch) answers_.Keep(sql, params, answer);
    return answer;
  }

  bool Notifies() const override { return true; }

  std::vector<std::string> AwaitNotifications(std::chrono::milliseconds timeout) override {
    std::vector<std::string> payloads;
    const auto take = [&] {
      while (PGnotify* notify = PQnotifies(conn_.get())) {
        payloads.emplace_back(notify->extra != nullptr ? notify->extra : "");
        PQfreemem(notify);
      }
    };
    take();
    if (!payloads.empty()) return payloads;
    const int socket = PQsocket(conn_.get());
    if (socket < 0 || PQstatus(conn_.get()) != CONNECTION_OK) {
      failed_ = true;
      throw DataError("the connection to the database server is lost");
    }
    pollfd waiting{socket, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
    if (ready < 0 && errno != EINTR) throw DataError("cannot wait on the database server");
    if (ready > 0) {
      if (PQconsumeInput(conn_.get()) == 0 || PQstatus(conn_.get()) != CONNECTION_OK) {
        failed_ = true;
        throw DataError(CleanMessage(PQerrorMessage(conn_.get())));
      }
      take();
    }
    return payloads;
  }

  bool ResetForReuse() noexcept override {
    if (failed_ || PQstatus(conn_.get()) != CONNECTION_OK) return false;
    switch (PQtransactionStatus(conn_.get())) {
      case PQTRANS_IDLE:
        return true;
      case PQTRANS_INTRANS:
      case PQTRANS_INERROR: {
        ResultPtr result(PQexec(conn_.get(), "ROLLBACK"));
        return PQresultStatus(result.get()) == PGRES_COMMAND_OK &&
               PQtransactionStatus(conn_.get()) == PQTRANS_IDLE;
      }
      default:
        return false;
    }
  }

  bool StillUsable() noexcept override {
    if (failed_ || PQstatus(conn_.get()) != CONNECTION_OK) return false;
    // An idle connection has nothing to read. Anything readable (the server's notice that it ends
    // the session, or the end of the stream) means the server has given it up.
    pollfd fd{PQsocket(conn_.get()), POLLIN, 0};
    return fd.fd >= 0 && poll(&fd, 1, 0) == 0;
  }

 private:
  DataError Failure(const PGresult* result) {
    if (result == nullptr || PQstatus(conn_.get()) != CONNECTION_OK) failed_ = true;
    const auto status = PQresultStatus(result);
    if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH) {
      failed_ = true;
      return DataError("COPY statements are not supported");
    }
    return DataError(PrimaryMessage(result, conn_.get()));
  }

  static std::string SqlState(const PGresult* result) {
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    return state == nullptr ? std::string() : std::string(state);
  }

  static DataError CountMismatch(std::size_t placeholders, std::size_t given) {
    return DataError("the statement has " + std::to_string(placeholders) + " parameters, but " +
                     std::to_string(given) + " values were given");
  }

  // Runs `sql` with `wire` as this connection's prepared statement of that text (and those value
  // types), preparing it first when there is none: its placeholders are numbered once, when it is
  // prepared. The extended protocol runs exactly one statement; text results. A statement that
  // fails to run is forgotten (prepared again next time).
  ResultPtr RunPrepared(std::string_view sql, const WireParams& wire) {
    std::string key;
    key.reserve(sql.size() + 1 + wire.signature.size());
    key.append(sql).push_back('\0');
    key.append(wire.signature);
    auto it = prepared_.find(key);
    if (it == prepared_.end()) {
      std::size_t placeholders = 0;
      const std::string text = NumberPlaceholders(sql, placeholders);
      if (placeholders != wire.values.size()) throw CountMismatch(placeholders, wire.values.size());
      if (prepared_on_server_ >= kPreparedPerConnection) {
        ResultPtr cleared(PQexec(conn_.get(), "DEALLOCATE ALL"));
        if (PQresultStatus(cleared.get()) == PGRES_COMMAND_OK) prepared_on_server_ = 0;
        prepared_.clear();
      }
      const std::string name = "wapsite_" + std::to_string(++statements_named_);
      ResultPtr prepared(
          PQprepare(conn_.get(), name.c_str(), text.c_str(), wire.Count(), wire.types.data()));
      if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) return prepared;
      ++prepared_on_server_;
      it = prepared_.emplace(std::move(key), name).first;
    }
    ResultPtr result(PQexecPrepared(conn_.get(), it->second.c_str(), wire.Count(),
                                    wire.values.data(), nullptr, nullptr, 0));
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
      prepared_.erase(it);
    }
    return result;
  }

  // Whether `sql` may write a member site's rows: anything but a select, except statements on the
  // host's own tables (sessions, throttling), which no kept answer reads.
  static bool MayChangeSiteRows(std::string_view sql) {
    std::size_t start = 0;
    while (start < sql.size() && (sql[start] == ' ' || sql[start] == '\n' || sql[start] == '\t' ||
                                  sql[start] == '\r' || sql[start] == '(')) {
      ++start;
    }
    if (text::StartsWithIgnoreCase(sql.substr(start), "select")) return false;
    const std::string lower = text::AsciiLower(sql);
    for (const std::string_view table : {"wap_session", "wap_throttle", "wap_sweeps"}) {
      if (lower.find(table) != std::string::npos) return false;
    }
    return true;
  }

  ConnPtr conn_;
  bool failed_ = false;
  KeptAnswers answers_{kKeptIntegers};
  std::uint64_t answers_epoch_ = 0;
  // Prepared statements by SQL text and value types. The server may hold more than the map (one
  // forgotten after a failure stays there); all of them go when there are kPreparedPerConnection.
  std::unordered_map<std::string, std::string> prepared_;
  std::size_t prepared_on_server_ = 0;
  std::uint64_t statements_named_ = 0;
};

}  // namespace

std::unique_ptr<NativeConnection> OpenPostgresConnection(const ConnectionSettings& settings) {
  const ServerAddress address = ParseServerAddress(settings.server);
  const std::string port = std::to_string(address.port);
  // Keyword/value arrays, never a conninfo string: an empty value there would swallow the next
  // keyword. Empty values here simply leave the keyword unset.
  const char* const keys[] = {"host",
                              "port",
                              "user",
                              "password",
                              "dbname",
                              "connect_timeout",
                              "client_encoding",
                              "options",
                              "application_name",
                              nullptr};
  const char* const values[] = {address.host.c_str(),
                                port.c_str(),
                                settings.user.c_str(),
                                settings.password.c_str(),
                                settings.database.c_str(),
                                kConnectTimeoutSeconds,
                                "UTF8",
                                "-c DateStyle=ISO",
                                "wapsite",
                                nullptr};
  ConnPtr conn(PQconnectdbParams(keys, values, 0));
  if (conn == nullptr) throw DataError("out of memory while connecting to the database server");
  if (PQstatus(conn.get()) != CONNECTION_OK)
    throw DataError(CleanMessage(PQerrorMessage(conn.get())));
  PQsetNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
  return std::make_unique<PostgresConnection>(std::move(conn));
}

}  // namespace data
