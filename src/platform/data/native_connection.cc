#include "platform/data/native_connection.h"

#include "platform/data/connection_string.h"
#include "platform/data/data_error.h"
#include "platform/data/postgres/postgres_connection.h"
#include "platform/data/sqlite/sqlite_connection.h"
#include "platform/text/ascii.h"

namespace data {

std::vector<std::int64_t> FirstColumnIntegers(ResultRows& rows) {
  if (rows.ColumnCount() == 0) throw DataError("the statement returned no columns");
  std::vector<std::int64_t> integers;
  for (std::size_t row = 0; rows.MoveTo(row); ++row) {
    integers.push_back(rows.Get(0).ToInteger().value_or(0));
  }
  return integers;
}
namespace {

class EmptyRows final : public ResultRows {
 public:
  std::size_t ColumnCount() const override { return 0; }
  const std::string& ColumnName(std::size_t) const override {
    throw DataError("the statement returned no columns");
  }
  std::size_t RowCount() override { return 0; }
  bool MoveTo(std::size_t) override { return false; }
  const Value& Get(std::size_t) override { throw DataError("the statement returned no rows"); }
};

class MaterializedRows final : public ResultRows {
 public:
  MaterializedRows(std::vector<std::string> names, std::vector<std::vector<Value>> rows)
      : names_(std::move(names)), rows_(std::move(rows)) {}
  std::size_t ColumnCount() const override { return names_.size(); }
  const std::string& ColumnName(std::size_t column) const override { return names_.at(column); }
  std::size_t RowCount() override { return rows_.size(); }
  bool MoveTo(std::size_t row) override {
    if (row >= rows_.size()) return false;
    current_ = row;
    return true;
  }
  const Value& Get(std::size_t column) override { return rows_.at(current_).at(column); }

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<Value>> rows_;
  std::size_t current_ = 0;
};

}  // namespace

std::unique_ptr<ResultRows> MakeEmptyRows() { return std::make_unique<EmptyRows>(); }

std::unique_ptr<ResultRows> MakeMaterializedRows(std::vector<std::string> names,
                                                 std::vector<std::vector<Value>> rows) {
  return std::make_unique<MaterializedRows>(std::move(names), std::move(rows));
}

std::unique_ptr<NativeConnection> OpenNativeConnection(const ConnectionSettings& settings,
                                                       const std::filesystem::path& base_folder) {
  if (settings.server.empty()) {
    throw DataError("no database engine named in the connection string (Data Source is empty)");
  }
  if (text::StartsWithIgnoreCase(settings.server, kSqlitePrefix)) {
    const std::string_view path = SqlitePathOf(settings.server);
    if (path.empty()) throw DataError("the Data Source \"sqlite:\" names no database file");
    return OpenSqliteConnection(std::filesystem::path(path), base_folder);
  }
  return OpenPostgresConnection(settings);
}

}  // namespace data
