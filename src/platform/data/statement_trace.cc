#include "platform/data/statement_trace.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/data/native_connection.h"
#include "platform/text/ascii.h"

namespace data {
namespace {

thread_local StatementTrace* t_current = nullptr;

// `sql` in lower case with every blank removed, and whether each kept character stood after a
// blank in the original (to tell words apart).
std::string Squeezed(std::string_view sql) {
  std::string out;
  out.reserve(sql.size());
  for (const char c : sql) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') out.push_back(text::AsciiLower(c));
  }
  return out;
}

bool IsHostTableStatement(const std::string& squeezed) {
  for (const std::string_view table :
       {"wap_sessions", "wap_session_values", "wap_throttle_events", "wap_sweeps"}) {
    if (squeezed.find(table) != std::string::npos) return true;
  }
  return false;
}

bool IsRead(const std::string& squeezed) { return squeezed.starts_with("select"); }

std::optional<std::int64_t> MemberOf(const Param& param) {
  if (const auto* number = std::get_if<std::int64_t>(&param)) return *number;
  if (const auto* textual = std::get_if<std::string>(&param)) {
    if (textual->empty() || textual->size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : *textual) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    return value;
  }
  return std::nullopt;
}

// The rows of a read without a member placeholder: the userid of each row visited is recorded.
class AttributedRows : public ResultRows {
 public:
  AttributedRows(StatementTrace& trace, std::unique_ptr<ResultRows> rows)
      : trace_(trace), rows_(std::move(rows)) {
    for (std::size_t i = 0; i < rows_->ColumnCount(); ++i) {
      if (!trace_.member_column.empty() &&
          text::EqualsIgnoreCase(rows_->ColumnName(i), trace_.member_column)) {
        column_ = i;
      }
    }
    if (!column_) trace_.any_member = true;
  }
  ~AttributedRows() override {
    if (column_ && !visited_) trace_.any_member = true;
  }

  std::size_t ColumnCount() const override { return rows_->ColumnCount(); }
  const std::string& ColumnName(std::size_t column) const override {
    return rows_->ColumnName(column);
  }
  std::size_t RowCount() override { return rows_->RowCount(); }
  bool MoveTo(std::size_t row) override {
    const bool found = rows_->MoveTo(row);
    if (found && column_) {
      visited_ = true;
      const std::optional<std::int64_t> userid = rows_->Get(*column_).ToInteger();
      if (userid) {
        trace_.AddMember(*userid);
      } else {
        trace_.any_member = true;
      }
    }
    return found;
  }
  const Value& Get(std::size_t column) override { return rows_->Get(column); }

 private:
  StatementTrace& trace_;
  std::unique_ptr<ResultRows> rows_;
  std::optional<std::size_t> column_;
  bool visited_ = false;
};

// Classifies one statement; true when its rows must be attributed row by row.
bool Classify(StatementTrace& trace, std::string_view sql, std::span<const Param> params) {
  const std::string squeezed = Squeezed(sql);
  if (IsHostTableStatement(squeezed)) return false;
  if (!IsRead(squeezed)) {
    trace.wrote = true;
    return false;
  }
  const int placeholder = MemberPlaceholder(sql, trace.member_column);
  if (placeholder >= 0 && static_cast<std::size_t>(placeholder) < params.size()) {
    if (const auto userid = MemberOf(params[static_cast<std::size_t>(placeholder)])) {
      trace.AddMember(*userid);
      return false;
    }
  }
  return true;
}

}  // namespace

void StatementTrace::AddMember(std::int64_t userid) {
  if (std::find(members.begin(), members.end(), userid) == members.end()) {
    members.push_back(userid);
  }
}

StatementTrace* StatementTrace::Current() { return t_current; }

StatementTrace::Scope::Scope(StatementTrace* trace) : previous_(t_current) { t_current = trace; }

StatementTrace::Scope::~Scope() { t_current = previous_; }

int MemberPlaceholder(std::string_view sql, std::string_view member_column) {
  if (member_column.empty()) return -1;
  const std::string squeezed = Squeezed(sql);
  // "or" as a word: blanks around it in the original, or a parenthesis.
  const std::string lower = text::AsciiLower(sql);
  for (const std::string_view word : {" or ", ")or ", " or(", "\nor ", " or\n"}) {
    if (lower.find(word) != std::string::npos) return -1;
  }
  std::size_t at = std::string::npos;
  const std::string column = Squeezed(member_column);
  for (const std::string& condition : {"where" + column + "=?", "and" + column + "=?"}) {
    const std::size_t found = squeezed.find(condition);
    if (found != std::string::npos && (at == std::string::npos || found < at)) {
      at = found + condition.size() - 1;  // the "?"
    }
  }
  if (at == std::string::npos) return -1;
  return static_cast<int>(std::count(squeezed.begin(), squeezed.begin() + at, '?'));
}

std::unique_ptr<ResultRows> TraceStatement(StatementTrace& trace, std::string_view sql,
                                           std::span<const Param> params,
                                           std::unique_ptr<ResultRows> rows) {
  if (!Classify(trace, sql, params) || rows == nullptr) return rows;
  return std::make_unique<AttributedRows>(trace, std::move(rows));
}

void TraceKeptStatement(StatementTrace& trace, std::string_view sql,
                        std::span<const Param> params) {
  if (Classify(trace, sql, params)) trace.any_member = true;
}

}  // namespace data
