// Free functions of the video part of the library.
#pragma once

#include "vkt/export.h"
#include "vkt/types.h"

namespace vkt::Video::Api {

// Looks up the item `name` of the device type `device` and writes it to
// `buffer`.
VKT_API ExStatus GetDeviceInfo(ExDevice device, const char* name, void* buffer);

// Reads the item `name` from the XML device description at `path` into
// `buffer`.
VKT_API ExStatus GetXmlItem(const char* path, const char* name, void* buffer);
VKT_API ExStatus GetXmlItem(const wchar_t* path, const char* name, void* buffer);

}  // namespace vkt::Video::Api
