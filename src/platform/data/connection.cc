#include "platform/data/connection.h"

#include <exception>

#include "platform/data/connection_pool.h"
#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/native_connection.h"
#include "platform/data/recordset.h"
#include "platform/data/statement_trace.h"

namespace data {
namespace {

// Counts a statement that fails: the scope ends by an exception.
class StatementErrorCount {
 public:
  explicit StatementErrorCount(ConnectionPool& pool) : pool_(pool) {}
  StatementErrorCount(const StatementErrorCount&) = delete;
  StatementErrorCount& operator=(const StatementErrorCount&) = delete;
  ~StatementErrorCount() {
    if (std::uncaught_exceptions() > exceptions_) pool_.CountStatementError();
  }

 private:
  ConnectionPool& pool_;
  const int exceptions_ = std::uncaught_exceptions();
};

}  // namespace

Connection::Connection(ConnectionPool& pool) : pool_(pool) {}

Connection::~Connection() { Close(); }

void Connection::Open(std::string_view connection_string) {
  Open(ParseConnectionString(connection_string));
}

void Connection::Open(const ConnectionSettings& settings) {
  if (IsOpen()) throw DataError("the connection is already open");
  native_ = pool_.Borrow(settings);
  settings_ = settings;
  in_transaction_ = false;
  broken_ = false;
}

void Connection::Close() noexcept {
  if (!native_) return;
  bool healthy = !broken_;
  if (in_transaction_) {
    in_transaction_ = false;
    try {
      pool_.LogStatement("ROLLBACK");
      native_->Run("ROLLBACK", {});
    } catch (const std::exception&) {
      healthy = false;  // the driver's reset below decides whether it can still be used
    }
  }
  // Always reset: it also ends the results still open on this connection.
  healthy = native_->ResetForReuse() && healthy;
  pool_.Return(settings_, std::move(native_), healthy);
  native_.reset();
}

NativeConnection& Connection::Native() {
  if (!native_) throw DataError("the connection is closed");
  return *native_;
}

std::unique_ptr<ResultRows> Connection::Run(std::string_view sql,
                                            std::span<const Param> params) {
  NativeConnection& native = Native();
  pool_.LogStatement(sql, params);
  const StatementErrorCount count(pool_);
  if (StatementTrace* trace = StatementTrace::Current()) {
    return TraceStatement(*trace, sql, params, native.Run(sql, params));
  }
  return native.Run(sql, params);
}

std::shared_ptr<const std::vector<std::int64_t>> Connection::KeptIntegers(
    std::string_view sql, std::span<const Param> params) {
  NativeConnection& native = Native();
  if (!native.KeepsAnswers()) return nullptr;
  pool_.LogStatement(sql, params);
  const StatementErrorCount count(pool_);
  if (StatementTrace* trace = StatementTrace::Current()) TraceKeptStatement(*trace, sql, params);
  return native.KeptIntegers(sql, params);
}

std::unique_ptr<Recordset> Connection::Execute(std::string_view sql,
                                               std::span<const Param> params) {
  return std::make_unique<Recordset>(Run(sql, params));
}

void Connection::ExecuteScript(std::string_view script) {
  NativeConnection& native = Native();
  pool_.LogStatement(script);
  const StatementErrorCount count(pool_);
  if (StatementTrace* trace = StatementTrace::Current()) trace->wrote = true;
  native.RunScript(script);
}

void Connection::BeginTrans() {
  if (in_transaction_) throw DataError("a transaction is already open on this connection");
  Run(Native().BeginStatement());
  in_transaction_ = true;
}

void Connection::CommitTrans() {
  if (!in_transaction_) throw DataError("there is no transaction to commit");
  Run("COMMIT");
  in_transaction_ = false;
}

void Connection::RollbackTrans() {
  if (!in_transaction_) throw DataError("there is no transaction to roll back");
  in_transaction_ = false;
  Run("ROLLBACK");
}

}  // namespace data
