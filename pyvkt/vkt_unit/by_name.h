// Parameters by name: the ordered name tables of the Param and Encoder
// classes, and the calls of the library's GetParam/SetParam with a value
// buffer and a value-kind record.
#pragma once

#include <cstddef>
#include <string>

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

// A table is a constant array of rows; rows are compared in order.
struct ParamTable {
    const ParamRow* rows;
    std::size_t size;

    template <std::size_t N>
    constexpr ParamTable(const ParamRow (&table)[N]) : rows(table), size(N) {}

    // The value kind of the first row whose name equals `name` exactly (all
    // bytes, case-sensitive) and that accepts the direction; None if none.
    ValueKind find(const std::string& name, Direction direction) const {
        for (std::size_t i = 0; i < size; ++i) {
            const ParamRow& row = rows[i];
            ValueKind kind = direction == Direction::Get ? row.get : row.set;
            if (kind != ValueKind::None && name == row.name) return kind;
        }
        return ValueKind::None;
    }
};

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

// Reads a named parameter of a kind the caller has looked up.
template <class Param>
py::object read_param(Param& param, const std::string& name, ValueKind kind) {
    const vkt::TxModel model = model_of(kind);
    if (kind == ValueKind::Text) {
        vkt::CxStringA text;
        param.GetParam(name.c_str(), &text, model);
        return text_of(text);
    }
    if (kind == ValueKind::UInt32) {
        unsigned int value = 0;
        param.GetParam(name.c_str(), &value, model);
        return py::int_(value);
    }
    int value = 0;
    param.GetParam(name.c_str(), &value, model);
    return py::int_(value);
}

// Writes a named parameter. The value is converted before the library is
// called; a value the kind's conversion refuses raises pybind11's cast error.
template <class Param>
void write_param(Param& param, const std::string& name, ValueKind kind, py::handle value) {
    const vkt::TxModel model = model_of(kind);
    if (kind == ValueKind::Text) {
        vkt::CxStringA text(value.cast<std::string>().c_str());
        param.SetParam(name.c_str(), &text, model);
    } else if (kind == ValueKind::UInt32) {
        const unsigned int number = value.cast<unsigned int>();
        param.SetParam(name.c_str(), &number, model);
    } else {
        const int number = value.cast<int>();
        param.SetParam(name.c_str(), &number, model);
    }
}

}  // namespace vkt_unit
