// The ordered name tables of the Param and Encoder classes: rows of names
// with their value kinds, and a hash index per direction built at compile
// time. Plain C++, free of Python, so that a test can build it on its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vkt_unit {

// How a parameter's value crosses to the library in one direction.
enum class ValueKind {
    None,    // the name is not accepted in this direction
    Int32,   // buffer: one signed 32-bit integer
    UInt32,  // buffer: one unsigned 32-bit integer
    Text,    // buffer: a CxStringA
};

// One row of a name table: the exact name the library receives, and its
// value kind for reading (get_param) and for writing (set_param).
struct ParamRow {
    const char* name;
    ValueKind get;
    ValueKind set;
};

enum class Direction { Get, Set };

namespace detail {

// FNV-1a over every byte of a name, embedded NULs included.
constexpr std::uint32_t name_hash(const char* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ static_cast<unsigned char>(data[i])) * 16777619u;
    }
    return hash;
}

constexpr std::size_t text_length(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

constexpr bool same_text(const char* a, const char* b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && a[i] == b[i]; ++i) {}
    return a[i] == b[i];
}

// Open addressing with at least twice as many slots as rows, so that a probe
// ends after a slot or two whatever the name.
constexpr std::size_t slot_count(std::size_t rows) {
    std::size_t slots = 4;
    while (slots < 2 * rows) slots *= 2;
    return slots;
}

// A slot names the row that answers one name in one direction.
struct NameSlot {
    static constexpr std::uint16_t kEmpty = 0xFFFF;
    std::uint16_t row = kEmpty;
    std::uint16_t length = 0;
    std::uint32_t hash = 0;
};

template <std::size_t N>
using NameSlots = std::array<NameSlot, slot_count(N)>;

constexpr ValueKind kind_in(const ParamRow& row, Direction direction) {
    return direction == Direction::Get ? row.get : row.set;
}

// The slots of one direction, built at compile time from the constant rows.
// Rows are entered in table order and a name already entered keeps its slot,
// so a name finds the first row that accepts it in that direction.
template <std::size_t N>
constexpr NameSlots<N> index_rows(const ParamRow (&rows)[N], Direction direction) {
    static_assert(N < NameSlot::kEmpty, "a name table has fewer rows than a slot can number");
    NameSlots<N> slots{};
    constexpr std::size_t mask = slot_count(N) - 1;
    for (std::size_t i = 0; i < N; ++i) {
        if (kind_in(rows[i], direction) == ValueKind::None) continue;
        const std::size_t length = text_length(rows[i].name);
        const std::uint32_t hash = name_hash(rows[i].name, length);
        std::size_t at = hash & mask;
        bool entered = false;
        while (slots[at].row != NameSlot::kEmpty && !entered) {
            entered = same_text(rows[slots[at].row].name, rows[i].name);
            at = (at + 1) & mask;
        }
        if (entered) continue;
        slots[at].row = static_cast<std::uint16_t>(i);
        slots[at].length = static_cast<std::uint16_t>(length);
        slots[at].hash = hash;
    }
    return slots;
}

}  // namespace detail

// A name table: a constant array of rows with a hash index per direction,
// built at compile time, so that a name costs the same to find wherever its
// row is. Each table is one constant object declared beside its rows
// (`constexpr auto kTable = indexed(kRows);`) and it holds its index itself.
// The index is never a template's static member keyed on the rows: rows in
// an anonymous namespace have the same mangled name in every file, and some
// compilers give such a member one program-wide symbol, so that one file's
// table would answer with another file's index.
template <std::size_t N>
struct ParamTable {
    static constexpr std::size_t kMask = detail::slot_count(N) - 1;

    const ParamRow* rows;
    detail::NameSlots<N> get_slots;
    detail::NameSlots<N> set_slots;

    // The first row whose name equals `name` exactly (all bytes, embedded
    // NULs included, case-sensitive) and that accepts the direction; null if
    // none does.
    const ParamRow* find(std::string_view name, Direction direction) const {
        const detail::NameSlots<N>& slots = direction == Direction::Get ? get_slots : set_slots;
        const std::uint32_t hash = detail::name_hash(name.data(), name.size());
        for (std::size_t at = hash & kMask;; at = (at + 1) & kMask) {
            const detail::NameSlot& slot = slots[at];
            if (slot.row == detail::NameSlot::kEmpty) return nullptr;
            if (slot.hash == hash && slot.length == name.size() &&
                std::memcmp(rows[slot.row].name, name.data(), name.size()) == 0) {
                return &rows[slot.row];
            }
        }
    }
};

// The table over a constant array of rows.
template <std::size_t N>
constexpr ParamTable<N> indexed(const ParamRow (&rows)[N]) {
    return ParamTable<N>{rows, detail::index_rows(rows, Direction::Get),
                         detail::index_rows(rows, Direction::Set)};
}

}  // namespace vkt_unit
