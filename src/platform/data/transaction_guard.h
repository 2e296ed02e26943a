// TransactionGuard: one transaction of a Connection for the guard's lifetime. It begins in the
// constructor and is rolled back by the destructor unless Commit() ran, so every way out of a
// block of statements (a return, an exception) leaves all of them done or none. When even the
// rollback fails the connection is closed, which hands it to the pool to roll back or discard.
// Not thread-safe; one request uses it on one thread.
#pragma once

#include <exception>

#include "platform/data/connection.h"

namespace data {

class TransactionGuard {
 public:
  // Begins a transaction; throws what BeginTrans throws. Requires: connection.IsOpen().
  explicit TransactionGuard(Connection& connection) : connection_(connection) {
    connection_.BeginTrans();
  }
  TransactionGuard(const TransactionGuard&) = delete;
  TransactionGuard& operator=(const TransactionGuard&) = delete;
  ~TransactionGuard() {
    if (committed_ || !connection_.InTransaction()) return;
    try {
      connection_.RollbackTrans();
    } catch (const std::exception&) {
      connection_.Close();  // the pool rolls back or discards the native connection
    }
  }

  // Commits; throws what CommitTrans throws (the destructor then rolls back).
  void Commit() {
    connection_.CommitTrans();
    committed_ = true;
  }

 private:
  Connection& connection_;
  bool committed_ = false;
};

}  // namespace data
