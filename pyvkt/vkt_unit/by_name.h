// Parameters by name: the ordered name tables of the Param and Encoder
// classes, and the calls of the library's GetParam/SetParam with a value
// buffer and a value-kind record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "binding.h"

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

// Both directions' slots of one table, as constants of the program.
template <const auto& Rows>
struct TableIndex {
    static constexpr auto get = index_rows(Rows, Direction::Get);
    static constexpr auto set = index_rows(Rows, Direction::Set);
};

}  // namespace detail

// A table is a constant array of rows with a hash index per direction; a name
// costs the same to find wherever its row is. Made by indexed<rows>().
struct ParamTable {
    const ParamRow* rows;
    const detail::NameSlot* get_slots;
    const detail::NameSlot* set_slots;
    std::size_t mask;

    // The first row whose name equals `name` exactly (all bytes, embedded
    // NULs included, case-sensitive) and that accepts the direction; null if
    // none does.
    const ParamRow* find(std::string_view name, Direction direction) const {
        const detail::NameSlot* slots = direction == Direction::Get ? get_slots : set_slots;
        const std::uint32_t hash = detail::name_hash(name.data(), name.size());
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            const detail::NameSlot& slot = slots[at];
            if (slot.row == detail::NameSlot::kEmpty) return nullptr;
            if (slot.hash == hash && slot.length == name.size() &&
                std::memcmp(rows[slot.row].name, name.data(), name.size()) == 0) {
                return &rows[slot.row];
            }
        }
    }
};

// The table over a constant array of rows, its index built at compile time.
template <const auto& Rows>
constexpr ParamTable indexed() {
    using Index = detail::TableIndex<Rows>;
    return ParamTable{Rows, Index::get.data(), Index::set.data(), Index::get.size() - 1};
}

// The value-kind record for a kind, default-constructed and then filled.
inline vkt::TxModel model_of(ValueKind kind) {
    vkt::TxModel model;
    switch (kind) {
        case ValueKind::Int32: model.Type = vkt::TxModel::kInt32; model.Count = 1; break;
        case ValueKind::UInt32: model.Type = vkt::TxModel::kUInt32; model.Count = 1; break;
        case ValueKind::Text:
        case ValueKind::None: break;
    }
    return model;
}

inline vkt::TxModel command_model() {
    vkt::TxModel model;
    model.Type = vkt::TxModel::kCommand;
    model.Count = 1;
    return model;
}

// Text from the library as a Python str: exactly Length() bytes from
// Address(), decoded as UTF-8 (invalid bytes raise UnicodeDecodeError).
inline py::str text_of(const vkt::CxStringA& text) {
    return py::str(text.Address(), static_cast<std::size_t>(text.Length()));
}

// Reads the parameter of a row found for reading. The library receives the
// row's own name, which equals the caller's byte for byte.
template <class Param>
py::object read_param(Param& param, const ParamRow& row) {
    const vkt::TxModel model = model_of(row.get);
    if (row.get == ValueKind::Text) {
        vkt::CxStringA text;
        param.GetParam(row.name, &text, model);
        return text_of(text);
    }
    if (row.get == ValueKind::UInt32) {
        unsigned int value = 0;
        param.GetParam(row.name, &value, model);
        return py::int_(value);
    }
    int value = 0;
    param.GetParam(row.name, &value, model);
    return py::int_(value);
}

// Writes the parameter of a row found for writing. The value is converted
// before the library is called; a value the kind's conversion refuses raises
// pybind11's cast error.
template <class Param>
void write_param(Param& param, const ParamRow& row, py::handle value) {
    const vkt::TxModel model = model_of(row.set);
    if (row.set == ValueKind::Text) {
        vkt::CxStringA text(value.cast<std::string>().c_str());
        param.SetParam(row.name, &text, model);
    } else if (row.set == ValueKind::UInt32) {
        const unsigned int number = value.cast<unsigned int>();
        param.SetParam(row.name, &number, model);
    } else {
        const int number = value.cast<int>();
        param.SetParam(row.name, &number, model);
    }
}

}  // namespace vkt_unit
