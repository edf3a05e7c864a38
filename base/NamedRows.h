// Tables of named rows. A set that grows (the views of a combined picture, the output
// formats, ...) is kept as one table: one row per value of its enumeration, in the
// enumeration's order, each row holding everything that is said about its value (its name,
// its description, the functions that do its work). Every front end reads the table, so a
// value added is added in one place. RowsInOrder checks a table where it is defined (in a
// static_assert); RowOf and RowNamed find rows.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Whether the table has `count` rows and row i holds the enumeration's value i (its field
// `value`).
template <class Row, size_t N>
constexpr bool RowsInOrder(const Row (&rows)[N], size_t count) {
  if (N != count) return false;
  for (size_t i = 0; i < N; ++i)
    if (static_cast<size_t>(rows[i].value) != i) return false;
  return true;
}

// The row of `value` in a table that RowsInOrder accepts; `value` lies in the enumeration.
template <class Row, class Value>
const Row& RowOf(std::span<const Row> rows, Value value) {
  return rows[static_cast<size_t>(value)];
}

// The row whose field `name` is `name`; nullptr when there is none.
template <class Row>
const Row* RowNamed(std::span<const Row> rows, std::string_view name) {
  for (const Row& row : rows)
    if (row.name != nullptr && name == row.name) return &row;
  return nullptr;
}

// The names of the rows that `keep` accepts, joined: "a, b or c" (`last` before the last
// one), for messages and help texts.
template <class Row, class Keep>
std::string NamesOf(std::span<const Row> rows, Keep keep, std::string_view last = " or ") {
  std::vector<const char*> kept;
  for (const Row& row : rows)
    if (keep(row)) kept.push_back(row.name);
  std::string names;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) names += i + 1 == kept.size() ? last : std::string_view(", ");
    names += kept[i];
  }
  return names;
}
