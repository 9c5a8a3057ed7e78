// Visibility of the device library's public classes.
//
// The library exports its classes with default visibility so that type
// identities (exceptions caught across the boundary, RTTI cross-casts) are
// shared with every module that links it, while those modules themselves are
// built with hidden visibility.
#pragma once

#define VKT_API __attribute__((visibility("default")))
