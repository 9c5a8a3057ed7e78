// Control panel of the simulated device library.
//
// The stand-in records every call that reaches it, answers from scripts
// queued by tests, and counts the library objects alive. This header is what
// the `vktsim` module uses to show all of that to Python; it is not part of the
// device library's own interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <typeinfo>
#include <vector>

#include "vkt/export.h"

namespace vkt::sim {

// A plain value as the journal records it and as scripts supply it.
struct Value {
    enum class Kind { None, Bool, Int, Bytes, Text, List };
    Kind kind = Kind::None;
    long long integer = 0;        // Int, and Bool as 0 or 1
    std::string bytes;            // Bytes: a narrow string or raw buffer
    std::wstring text;            // Text: a wide string
    std::vector<Value> list;      // List: an array or the fields of a record
};

struct JournalEntry {
    std::string operation;        // "Class::Operation"
    std::vector<Value> args;
};

// Which script values an operation can take, as a mask.
enum Accepts : unsigned {
    AcceptsNone = 1u << 0,    // a void operation, or one whose result is unused
    AcceptsInt = 1u << 1,     // a number (bool included)
    AcceptsBytes = 1u << 2,   // a text or a serial read
    AcceptsTuple = 1u << 3,   // the fields of a record
};

VKT_API std::vector<JournalEntry> journal();
VKT_API void clear_journal();
// Recording is on at power-on (and after reset()); off, calls still take
// their scripts but leave no entry, which saves their cost to a program that
// needs the last bit of speed.
VKT_API void set_journal(bool recording);

// Known operation names, sorted, and what each accepts as a scripted value.
VKT_API std::vector<std::string> operations();
VKT_API std::optional<unsigned> accepted_values(const std::string& operation);

// Queue the answer of the next call of `operation`. Unknown names and values
// the operation cannot take are refused with std::invalid_argument.
VKT_API void script_value(const std::string& operation, const Value& value);
VKT_API void script_raise(const std::string& operation, int status);

// Back to power-on state: boards, scripts and journal, with simulated time
// at 0 on the clock named ("real" or "virtual", as set_clock() takes). An
// unknown clock is refused with std::invalid_argument before anything changes.
VKT_API void reset(const std::string& clock = "real");

// Identity number of the library object whose complete object starts at
// `address`, if one is alive there.
VKT_API std::optional<std::uint64_t> ident_of(const void* address);
VKT_API std::size_t live_objects();

// A library object alive now: the identity the library gave it and the name
// of its class without namespaces ("CxKTX21", "CxImage", "SimDIO").
struct LiveObject {
    std::uint64_t ident;
    std::string kind;
};
// The library objects alive now, oldest (lowest identity) first.
VKT_API std::vector<LiveObject> live_idents();

// The library object at `address` viewed as the interface `interface`, or
// null when no object lives there or it does not implement the interface.
VKT_API void* interface_of(const void* address, const std::type_info& interface);

// ---- simulated grabbers ------------------------------------------------------
// `board` is the address of a complete library object: a grabber board
// (CxKTX21, CxKTX22, CxMR250) or a CxVideo, which stands for the board it
// drives; null stands for an object that is no library object at all. Objects
// of another kind and boards that lack the feature are refused with
// WrongObject; a board that is not open and values out of range with
// std::invalid_argument naming the problem. Nothing is changed then.

// An object of the wrong kind for a control: `expected` says what the control
// takes, `given` what the library found instead (empty when it is no object
// the library knows, so that the caller names it).
struct VKT_API WrongObject : std::logic_error {
    WrongObject(const std::string& expected_kind, const std::string& given_kind)
        : std::logic_error("expected " + expected_kind +
                           (given_kind.empty() ? "" : ", got " + given_kind)),
          expected(expected_kind), given(given_kind) {}
    std::string expected;
    std::string given;
};

// Bytes the camera sends to the board (they wait to be read).
VKT_API void grabber_feed_serial(const void* board, const std::string& bytes);
// Bytes the camera received from the board since the last call.
VKT_API std::string grabber_serial_received(const void* board);
// Encoder pulses per captured frame (negative: moving backwards).
VKT_API void grabber_set_encoder_speed(const void* board, long long pulses_per_frame);
// Encoder pulses frame by frame: frame n of a capture moves it by
// steps[(n - 1) mod their count]; none brings the constant speed back.
VKT_API void grabber_set_encoder_steps(const void* board, const std::vector<long long>& steps);
// Moves the encoder by `pulses` at once.
VKT_API void grabber_move_encoder(const void* board, long long pulses);
// The encoder moves with time at `pulses_per_ms` (-1000000 to 1000000, kept
// to 0.001 pulse per ms; negative: backwards; 0 stops it), besides its motion
// per frame: after t ms floor(rate x t) pulses have moved, exactly.
VKT_API void grabber_set_encoder_rate(const void* board, double pulses_per_ms);
// What answers each request (the bytes the board sent, up to and including
// a CR or LF) instead of the built-in camera: the reply, or nothing. Its
// reply arrives `delay_ms` (0 to 60000) after the request. An empty function
// brings the built-in camera back. Whatever the responder throws reaches the
// library call that completed the request.
using SerialResponder = std::function<std::optional<std::string>(const std::string& request)>;
VKT_API void grabber_on_serial(const void* board, SerialResponder responder, int delay_ms);
// Board event `event` (0 frame, 1 capture end, 2 trigger, 3 external input)
// occurs `delay_ms` (0 to 60000) from now; with `cancel`, the waits for it
// are cancelled then instead.
VKT_API void grabber_schedule_event(const void* board, int event, int delay_ms, bool cancel);
// Connects or cuts the camera's video signal: without it no frames arrive, so
// captures see time-outs.
VKT_API void grabber_set_signal(const void* board, bool connected);

// ---- time, and frames supplied by the user ------------------------------------------
// The simulated library runs on the real clock (the default, and again after
// reset()) or on a virtual one on which nothing sleeps: a blocking call jumps
// it to the next thing due or to its own time-out. Bad values are refused
// with std::invalid_argument and change nothing.

// "real" or "virtual"; time stays continuous across a switch.
VKT_API void set_clock(const std::string& kind);
// The clock in use: "real" or "virtual".
VKT_API const char* clock_kind();
// Simulated time in milliseconds since the last reset().
VKT_API double now_ms();
// Moves the virtual clock `milliseconds` (0 to 3600000, to the nearest
// nanosecond) forward, delivering
// everything that falls due on the way, in order.
VKT_API void advance(double milliseconds);

// Frames for the captures of an open grabber board, or of the board a Video
// drives (`board`: its complete object). Objects of another kind are refused
// with WrongObject; a board that is not open and frames that do not
// fit with std::invalid_argument.
struct FrameShape {
    int width;
    int height;
    int depth;   // bits per sample of the images: 8 or 16
};
VKT_API FrameShape grabber_frame_shape(const void* board);
// Each frame holds width x height samples, rows packed, as the images hold
// them; captures deliver them in order, cycling. No frames: the test pattern.
VKT_API void grabber_set_frames(const void* board, const FrameShape& shape,
                                std::vector<std::vector<unsigned char>> frames);

// Throws a CxException from inside the library, as any failing call would.
[[noreturn]] VKT_API void raise_exception(int status, const char* function, const char* file,
                                          int line);

}  // namespace vkt::sim

namespace vkt::sim {

// The wires of the simulated digital-I/O boards, by model name ("SNR11",
// "SN2200", "TK560") and board id (0 to 3). Bad names, ids or delays are
// refused with std::invalid_argument and change nothing.
VKT_API void dio_set_inputs(const std::string& model, int id, unsigned int inputs);
VKT_API void dio_set_interrupt(const std::string& model, int id, bool level);
VKT_API unsigned int dio_outputs(const std::string& model, int id);
// Each change is (milliseconds from now, input word, interrupt level or -1).
VKT_API void dio_schedule(const std::string& model, int id,
                          const std::vector<std::tuple<int, unsigned int, int>>& changes);

// ---- wires between boards -----------------------------------------------------------
// `board` and `target` are complete library objects, as for the grabber
// controls. A wire connects output `line` of an open digital-I/O board to
// input `target_line` of another open one (which follows the output's level
// from then on, whatever set_inputs or scheduled changes say), or, with no
// target line, to the external trigger input of an open grabber board (or
// of the board a Video drives): a rising edge there is a trigger for a
// capture running in trigger mode 2, its frame one exposure later. Objects
// of the wrong kind are refused with WrongObject; boards that are not open,
// lines out of range, an output or input already wired, and a wire from a
// board to its own inputs with std::invalid_argument. Nothing changes then.
// reset() removes every wire.
VKT_API bool dio_is_board(const void* object);
VKT_API bool grabber_takes_triggers(const void* object);
VKT_API void dio_wire(const void* board, long long line, const void* target,
                      std::optional<long long> target_line);
// Removes the wire from output `line`; the input it drove keeps its level.
VKT_API void dio_unwire(const void* board, long long line);

}  // namespace vkt::sim
