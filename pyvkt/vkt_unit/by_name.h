// Parameters by name: the calls of the library's GetParam/SetParam with a
// value buffer and a value-kind record, for the rows of the name tables
// (name_index.h).
#pragma once

#include <string>

#include "binding.h"
#include "name_index.h"

namespace vkt_unit {

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
