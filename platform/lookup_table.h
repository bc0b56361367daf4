#pragma once

#include <cstddef>
#include <optional>
#include <type_traits>

namespace quillon {

// One row of a fixed mapping: an enumerator (or any code) and what it stands for. A mapping
// written as a constexpr array of these, one row per line, reads as the table it is.
template <typename Key, typename Value>
struct LookupRow {
    Key key;
    Value value;
};

// The value of the first row whose key is `key`; nothing where the table has no such row.
template <typename Key, typename Value, std::size_t N>
constexpr std::optional<Value> FindIn(const LookupRow<Key, Value> (&table)[N],
                                      const std::type_identity_t<Key>& key) {
    for (const LookupRow<Key, Value>& row : table) {
        if (row.key == key) {
            return row.value;
        }
    }
    return std::nullopt;
}

// The value of the first row whose key is `key`, or `fallback`.
template <typename Key, typename Value, std::size_t N>
constexpr Value LookUp(const LookupRow<Key, Value> (&table)[N],
                       const std::type_identity_t<Key>& key, std::type_identity_t<Value> fallback) {
    return FindIn(table, key).value_or(fallback);
}

}  // namespace quillon
