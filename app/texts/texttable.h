// The shape the two text tables share: each language's fill table lists every row of its
// table, in row order, with the text it assigns or nullptr for a row it leaves alone. The
// order and the count are checked at compile time (ListsEveryRowInOrder), so a row added or
// moved in the enum cannot silently shift the texts of the rows after it.
#pragma once

#include <cstddef>
#include <string>

namespace app {

template <class Row>
struct TextEntry {
  Row row;
  const wchar_t* text;  // nullptr: this language leaves the row as it is
};

template <class Row, size_t N>
constexpr bool ListsEveryRowInOrder(const TextEntry<Row> (&table)[N]) {
  if (N != static_cast<size_t>(Row::Count)) return false;
  for (size_t i = 0; i < N; ++i)
    if (static_cast<size_t>(table[i].row) != i) return false;
  return true;
}

// One assignment per row, in row order.
template <class Row, size_t N>
void FillTexts(std::wstring* texts, const TextEntry<Row> (&table)[N]) {
  for (const auto& entry : table)
    if (entry.text) texts[static_cast<size_t>(entry.row)] = entry.text;
}

}  // namespace app

#define RECLUME_TEXT_ENUMERATOR(name) name,
#define RECLUME_TEXT_WIDEN(text) L##text
#define RECLUME_TEXT_NAME(name) RECLUME_TEXT_WIDEN(#name),
