// What the simulated grabber companions (settings, encoder, serial line) of
// every model share: their link to the board, and settings by name, typed
// settings and registers on the board's device.
#pragma once

#include "companion_link.h"
#include "ktx21_device.h"

namespace vkt::sim::grabber {

using ktx21::Access;
using ktx21::SettingInfo;

// ---- the link to the board ------------------------------------------------------

// A companion's opaque state is a CompanionLink (copied from `from`, if any).
void* new_link(const void* from);
void delete_link(void* state);
void copy_link(void* state, const void* from);
void relink(void* state, IxModule* board);
bool linked_to_same(const void* a, const void* b);

// The attached board as `Board` while it lives and is one, else null.
template <class Board>
Board* controller_of(const void* state) {
    return link_of(state).as<Board>();
}

// The attached board's device, locked, or the library's error naming why not:
// no board, a board gone, a board of another model (`model` names the right
// one), or one that is not open (when `need_open`).
template <class Board>
Access linked(const void* state, const char* op, const char* model, bool need_open) {
    const CompanionLink& link = link_of(state);
    if (!link.attached()) fail(ExStatus::MissingObject, op, "no board is attached");
    if (!link.alive()) fail(ExStatus::MissingObject, op, "the attached board no longer exists");
    auto* board = dynamic_cast<Board*>(link.board);
    if (board == nullptr) fail(ExStatus::NotSupported, op, std::string("the attached board is not a ") + model);
    return ktx21::access_device(ktx21::device_of(board), op, need_open);
}

template <class Board>
bool linked_valid(const void* state) {
    const Board* board = controller_of<Board>(state);
    return board != nullptr && ktx21::device_of(board) != nullptr;
}

// How a companion of one model reaches its open board.
using Linker = Access (*)(const void* state, const char* op);

// ---- settings ---------------------------------------------------------------------

// The content of a value buffer as the journal records it; unknown kinds
// are not read.
Value buffer_value(const void* value, TxModel kind);

// Which of the board's settings a companion may reach by name.
using Filter = bool (*)(const SettingInfo&);
bool any_setting(const SettingInfo&);

// GetParam / SetParam of a companion.
void get_param(const Call& call, Linker linked, const void* state, const char* name, void* value,
               TxModel kind, Filter filter);
void set_param(const Call& call, Linker linked, const void* state, const char* name,
               const void* value, TxModel kind, Filter filter);

// A typed setting property.
int get_number(const Call& call, Linker linked, const void* state, const char* name);
void set_number(const Call& call, Linker linked, const void* state, const char* name, long long value);

// ---- registers ----------------------------------------------------------------------

void set_register(const Call& call, Linker linked, const void* state, unsigned int address,
                  unsigned int value);
void get_register(const Call& call, Linker linked, const void* state, unsigned int address,
                  unsigned int* value);

}  // namespace vkt::sim::grabber
