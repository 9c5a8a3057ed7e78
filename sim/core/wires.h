// The grabbers' side of the wires between boards: a digital-I/O output wired
// to a grabber's external trigger input. The digital-I/O boards keep the
// wires (dio_board.cpp); the grabber engine finds the board at the other end
// and takes the edge.
#pragma once

#include <string>

#include "core/clock.h"

namespace vkt::sim::wires {

// A grabber channel's trigger input, as the wire holds it: which board and
// channel of which model, whatever becomes of the object that named it.
struct TriggerInput {
    const void* model = nullptr;   // the grabber's Model
    int id = 0;
    int ch = 0;
    std::string name;              // "KTX21 board 0, channel 0", for refusals
};

// The trigger input of the open board behind `object` (a grabber board or a
// Video driving one). Other objects are refused with WrongObject (null when
// it is no grabber at all), a board that is not open with invalid_argument.
TriggerInput trigger_input_of(const void* object);
// True when `object` is a grabber board or a Video, open or not.
bool is_grabber(const void* object);

// A rising edge reached `input` at `at`: a capture running in trigger mode 2
// takes it as a trigger; otherwise it is lost, as on the hardware. Takes the
// grabber's lock: the caller holds no lock of the library.
void rising_edge(const TriggerInput& input, clock::TimePoint at);

}  // namespace vkt::sim::wires
