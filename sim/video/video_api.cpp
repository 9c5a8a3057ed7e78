// The library's device-information and XML look-ups.
//
// Both write the item they find, as text, into `buffer`, which must be a
// library string (CxStringA) or null (then they only tell whether the item
// exists). Any other memory is refused rather than written blindly.
#include <pugixml.hpp>

#include <map>
#include <optional>
#include <string>

#include "core/files.h"
#include "core/state.h"

namespace vkt::Video::Api {
namespace {

using ItemTable = std::map<std::string, std::string>;

const ItemTable* items_of(ExDevice device) {
    static const std::map<ExDevice, ItemTable> devices = {
        {ExDevice::KTX21, {{"Name", "KTX21"}, {"Interface", "CameraLink"}, {"Channels", "1"},
                           {"MaxWidth", "8192"}, {"MaxHeight", "65535"}, {"DriverVersion", "1.2.0"}}},
        {ExDevice::KTX22, {{"Name", "KTX22"}, {"Interface", "CameraLink"}, {"Channels", "2"},
                           {"MaxWidth", "16384"}, {"MaxHeight", "65535"}, {"DriverVersion", "1.2.0"}}},
        {ExDevice::MR250, {{"Name", "MR250"}, {"Interface", "Analog"}, {"Channels", "4"},
                           {"MaxWidth", "768"}, {"MaxHeight", "576"}, {"DriverVersion", "1.2.0"}}},
        {ExDevice::SNR11, {{"Name", "SNR11"}, {"Interface", "DigitalIO"}, {"Lines", "32"}}},
        {ExDevice::SN2200, {{"Name", "SN2200"}, {"Interface", "DigitalIO"}, {"Lines", "32"}}},
        {ExDevice::TK560, {{"Name", "TK560"}, {"Interface", "DigitalIO"}, {"Lines", "32"}}},
    };
    auto found = devices.find(device);
    return found == devices.end() ? nullptr : &found->second;
}

sim::Value buffer_ident(const void* buffer) {
    return buffer == nullptr ? sim::none() : sim::ident_value(buffer);
}

// Writes `text` into the caller's buffer, which must be a library string.
void deliver(void* buffer, const std::string& text, const char* op) {
    if (buffer == nullptr) return;
    CxStringA* target = sim::tracked_as<CxStringA>(buffer);
    if (target == nullptr) sim::fail(ExStatus::InvalidArgument, op, "the buffer is not a library string");
    target->Assign(text.data(), static_cast<int>(text.size()));
}

ExStatus xml_item(const std::string& path, const char* name, void* buffer, const char* op) {
    if (name == nullptr) sim::fail(ExStatus::InvalidArgument, op, "null item name");
    // Only a regular file is read: a folder or a device has no size to
    // allocate for, and a pipe would block.
    const std::optional<std::string> content = sim::read_regular_file(path);
    if (!content) sim::fail(ExStatus::FileError, op, "cannot read '" + path + "'");
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(content->data(), content->size());
    if (!parsed) {
        sim::fail(ExStatus::FormatError, op,
                  "'" + path + "' is not well-formed XML: " + parsed.description() + " at offset " +
                      std::to_string(parsed.offset));
    }
    // The item is named by an XPath expression ("/Device/Name", "//Sensor/@width").
    pugi::xpath_node node;
    try {
        node = document.select_node(name);
    } catch (const pugi::xpath_exception& error) {
        sim::fail(ExStatus::InvalidArgument, op, std::string("bad item path: ") + error.what());
    }
    if (!node) sim::fail(ExStatus::NotFound, op, std::string("no item '") + name + "' in '" + path + "'");
    deliver(buffer, node.attribute() ? node.attribute().value() : node.node().child_value(), op);
    return ExStatus::Success;
}

const sim::Operations operations{
    {"Api::GetDeviceInfo", sim::AcceptsInt},
    {"Api::GetXmlItem", sim::AcceptsInt},
};

}  // namespace

ExStatus GetDeviceInfo(ExDevice device, const char* name, void* buffer) {
    sim::Call call("Api::GetDeviceInfo",
                   sim::number(static_cast<long long>(device)), sim::bytes(name), buffer_ident(buffer));
    if (call.scripted()) return static_cast<ExStatus>(call.number());
    const ItemTable* items = items_of(device);
    if (items == nullptr) {
        sim::fail(ExStatus::NoDevice, call.operation(),
                  "no device type " + std::to_string(static_cast<int>(device)));
    }
    if (name == nullptr) sim::fail(ExStatus::InvalidArgument, call.operation(), "null item name");
    auto found = items->find(name);
    if (found == items->end()) sim::fail(ExStatus::NotFound, call.operation(), std::string("no item '") + name + "'");
    deliver(buffer, found->second, call.operation());
    return ExStatus::Success;
}

ExStatus GetXmlItem(const char* path, const char* name, void* buffer) {
    sim::Call call("Api::GetXmlItem", sim::bytes(path), sim::bytes(name), buffer_ident(buffer));
    if (call.scripted()) return static_cast<ExStatus>(call.number());
    if (path == nullptr) sim::fail(ExStatus::InvalidArgument, call.operation(), "null path");
    return xml_item(path, name, buffer, call.operation());
}

ExStatus GetXmlItem(const wchar_t* path, const char* name, void* buffer) {
    sim::Call call("Api::GetXmlItem", sim::wide(path), sim::bytes(name), buffer_ident(buffer));
    if (call.scripted()) return static_cast<ExStatus>(call.number());
    if (path == nullptr) sim::fail(ExStatus::InvalidArgument, call.operation(), "null path");
    const std::optional<std::string> utf8 = sim::narrow(path);
    if (!utf8) sim::fail(ExStatus::InvalidArgument, call.operation(), "path is not valid text");
    return xml_item(*utf8, name, buffer, call.operation());
}

}  // namespace vkt::Video::Api
