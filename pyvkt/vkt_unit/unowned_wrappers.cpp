#include "unowned_wrappers.h"

#include <vector>

namespace vkt_unit {
namespace {

using py::detail::instance;

bool is_inside(const void* address, const ObjectExtent& extent) {
    const auto* byte = static_cast<const unsigned char*>(address);
    const auto* begin = static_cast<const unsigned char*>(extent.begin);
    return byte >= begin && byte < begin + extent.size;
}

// Every non-owning wrapper registered at an address inside `extent`.
std::vector<instance*> unowned_within(const ObjectExtent& extent) {
    std::vector<instance*> found;
    py::detail::with_instance_map(extent.begin, [&](py::detail::instance_map& instances) {
        for (const auto& [address, wrapper] : instances) {
            if (!wrapper->owned && is_inside(address, extent)) found.push_back(wrapper);
        }
    });
    return found;
}

// Unregisters the wrapper and clears its pointer: pybind11 then neither
// finds it for a new object at that address nor frees anything with it. It
// is left as an object whose __init__ never ran, so that running __init__
// on it makes an object it owns rather than one nobody frees.
void detach(instance* wrapper) {
    for (auto held : py::detail::values_and_holders(wrapper)) {
        if (held.value_ptr() == nullptr) continue;
        if (held.instance_registered()) {
            py::detail::deregister_instance(wrapper, held.value_ptr(), held.type);
            held.set_instance_registered(false);
        }
        held.value_ptr() = nullptr;
    }
    wrapper->owned = true;
}

}  // namespace

ObjectExtent unowned_extent(py::handle wrapper) {
    const auto& types = py::detail::all_type_info(Py_TYPE(wrapper.ptr()));
    if (types.size() != 1) return {};
    auto* held = reinterpret_cast<instance*>(wrapper.ptr());
    if (held->owned) return {};
    const void* value = held->get_value_and_holder(types.front(), false).value_ptr();
    if (value == nullptr) return {};
    return ObjectExtent{value, types.front()->type_size};
}

void forget_unowned_within(const ObjectExtent& extent) {
    if (extent.begin == nullptr) return;
    for (instance* wrapper : unowned_within(extent)) detach(wrapper);
}

}  // namespace vkt_unit
