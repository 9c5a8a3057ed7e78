// Module-level functions over the library's shared interfaces, and its
// device-information and XML look-ups.
//
// Each is the single library call: out-parameters are given the address of a
// copy of the caller's value, and what the library writes there is not
// returned (the class methods are the ones that return such values).
#include "binding.h"

namespace vkt_unit {

using vkt::DIO::IxDIO;
using vkt::DIO::IxIndexedDIO;

void init_dio_functions(py::module_& m) {
    m.def("read", [](IxDIO& dio, unsigned int value) { dio.Read(&value); });
    m.def("write", [](IxDIO& dio, unsigned int value) { dio.Write(value); });
    m.def("write_status", [](IxDIO& dio, unsigned int value) { dio.WriteStatus(&value); });
    m.def("read", [](IxIndexedDIO& dio, int index, bool value) { dio.Read(index, &value); });
    m.def("write", [](IxIndexedDIO& dio, int index, bool value) { dio.Write(index, value); });
    m.def("write_status",
          [](IxIndexedDIO& dio, int index, bool value) { dio.WriteStatus(index, &value); });
}

void init_device_functions(py::module_& m) {
    // The module belongs to the device object (or the library), never to the
    // caller: it is presented without ownership and keeps `device` alive, so
    // it cannot be freed twice.
    m.def("get_device_module", [](const vkt::IxDeviceModule& device) { return device.GetDeviceModule(); },
          py::return_value_policy::reference_internal);
    m.def("set_register", [](vkt::IxRegister& reg, unsigned int address, unsigned int value) {
        reg.SetRegister(address, value);
    });
    m.def("get_register", [](vkt::IxRegister& reg, unsigned int address, unsigned int value) {
        reg.GetRegister(address, &value);
    });
    m.def("get_device_info", &vkt::Video::Api::GetDeviceInfo);
    m.def("get_xml_item",
          py::overload_cast<const char*, const char*, void*>(&vkt::Video::Api::GetXmlItem));
    m.def("get_xml_item",
          py::overload_cast<const wchar_t*, const char*, void*>(&vkt::Video::Api::GetXmlItem));
}

void init_video_functions(py::module_& m) {
    using vkt::Video::IxVideoControl;
    m.def("start", [](IxVideoControl& control) { control.Start(); });
    m.def("stop", [](IxVideoControl& control) { control.Stop(); });
    m.def("abort", [](IxVideoControl& control) { control.Abort(); });
    m.def("wait", [](IxVideoControl& control) { control.Wait(); });
    m.def("is_running", [](const IxVideoControl& control) { return control.IsRunning(); });
}

}  // namespace vkt_unit
