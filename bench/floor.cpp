// The benchmark's floor: the same library calls as `unit`, bound the plainest
// way pybind11 allows (default conversions, no null checks, no name tables,
// no binding error). What `unit` costs beyond this is what its own
// conventions cost. Built only for the benchmark.
#include <pybind11/pybind11.h>

#include <chrono>
#include <exception>
#include <string>
#include <vector>

#include "vkt/vkt.h"

namespace py = pybind11;

namespace {

using vkt::DIO::CxSNR11;
using vkt::Video::CxKTX21;
using vkt::Video::CxKTX21Param;

vkt::TxModel int32_model() {
    vkt::TxModel model;
    model.Type = vkt::TxModel::kInt32;
    model.Count = 1;
    return model;
}

// Nanoseconds per call of the library's own CxSNR11::Read, called from C++
// `count` times: what the simulated library costs without any binding.
double library_read_ns(CxSNR11& board, long long count) {
    unsigned int value = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (long long i = 0; i < count; ++i) board.Read(&value);
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - begin).count() / static_cast<double>(count);
}

struct OverloadedSNR11 {
    CxSNR11 board;
};

}  // namespace

PYBIND11_MODULE(vkt_floor, m) {
    // pybind11's dispatch of a call that does nothing.
    m.def("empty", []() {});

    // The plainest failing call: a library exception thrown through
    // pybind11's dispatcher and turned into RuntimeError by a translator
    // that builds the same "Code:... Line:... Function:... File:..." text as
    // `unit`'s. What any bound function that fails must pay.
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const vkt::CxException& error) {
            const std::string text = "Code:" + std::to_string(error.Code()) +
                                     " Line:" + std::to_string(error.Line()) +
                                     " Function:" + error.Function() + " File:" + error.File();
            PyErr_SetString(PyExc_RuntimeError, text.c_str());
        }
    });
    m.def("fail", []() {
        throw vkt::CxException(vkt::ExStatus::NotSupported, "floor_fail", "bench/floor.cpp", __LINE__);
    });

    // Module-local classes, so that the floor does not collide with the types
    // `unit` registers for the same library classes.
    py::class_<CxSNR11>(m, "SNR11", py::module_local())
        .def(py::init<>())
        .def("open", &CxSNR11::Open)
        .def("close", &CxSNR11::Close)
        .def("read", [](CxSNR11& self) {
            unsigned int value = 0;
            self.Read(&value);
            return value;
        });
    m.def("library_read_ns", &library_read_ns);

    // The same read, but with the line overload read(index) beside it as
    // `unit.SNR11` has: what pybind11's overload resolution itself costs.
    // (A class of its own: a module registers a C++ type once.)
    py::class_<OverloadedSNR11>(m, "OverloadedSNR11", py::module_local())
        .def(py::init<>())
        .def("open", [](OverloadedSNR11& self, int id) { self.board.Open(id); })
        .def("read", [](OverloadedSNR11& self) {
            unsigned int value = 0;
            self.board.Read(&value);
            return value;
        })
        .def("read", [](OverloadedSNR11& self, int index) {
            bool value = false;
            self.board.Read(index, &value);
            return value;
        });

    // A Param companion of a `unit.KTX21` board, reading every name as int32.
    py::class_<CxKTX21Param>(m, "KTX21Param", py::module_local())
        .def(py::init([](CxKTX21& board) { return CxKTX21Param::From(&board); }))
        .def("get_param", [](CxKTX21Param& self, const std::string& name) {
            int value = 0;
            self.GetParam(name.c_str(), &value, int32_model());
            return value;
        });

    // lock of a list of images on a `unit.KTX21` board: one cast per element,
    // one library call.
    m.def("lock", [](CxKTX21& board, const py::list& images, int option) {
        std::vector<vkt::CxImage*> array;
        array.reserve(images.size());
        for (py::handle image : images) array.push_back(image.cast<vkt::CxImage*>());
        board.Lock(array.data(), static_cast<int>(array.size()), option);
    }, py::arg("board"), py::arg("images"), py::arg("option") = 0);
}
