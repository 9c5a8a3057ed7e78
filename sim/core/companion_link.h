// How a simulated companion object (settings, encoder, serial line) refers
// to the board it works on.
//
// The board belongs to someone else (a Python object) and may be destroyed
// while the companion lives on. The link therefore keeps the board's
// address together with the identity the library gave it, and reaches the
// board only while an object with that identity still lives there.
#pragma once

#include <cstdint>

#include "core/state.h"

namespace vkt::sim {

// The board a companion made for `module` works on: the module itself, or for
// a board-independent Video the board it drives (null if none).
IxModule* board_behind(IxModule* module);

struct CompanionLink {
    IxModule* board = nullptr;
    const void* complete = nullptr;   // the board's complete object
    std::uint64_t ident = 0;

    static CompanionLink to(IxModule* module) {
        CompanionLink link;
        IxModule* board = module == nullptr ? nullptr : board_behind(module);
        if (board == nullptr) return link;
        link.board = board;
        link.complete = dynamic_cast<const void*>(board);
        link.ident = ident_of(link.complete).value_or(0);
        return link;
    }

    bool attached() const { return board != nullptr; }

    bool alive() const { return board != nullptr && ident_of(complete) == ident; }

    // The board as `Board` while it lives and is one; null otherwise.
    template <class Board>
    Board* as() const {
        return alive() ? dynamic_cast<Board*>(board) : nullptr;
    }

    bool operator==(const CompanionLink& other) const {
        return board == other.board && ident == other.ident;
    }
};

// The link held in a companion's opaque state (a moved-from companion has
// none and reads as unattached).
inline const CompanionLink& link_of(const void* state) {
    static const CompanionLink none;
    return state != nullptr ? *static_cast<const CompanionLink*>(state) : none;
}

}  // namespace vkt::sim
