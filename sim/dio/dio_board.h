// Simulated digital-I/O hardware shared by the SNR11, SN2200 and TK560
// classes: four boards of each model, each with 32 input and 32 output lines,
// an interrupt line, settings by name, registers, and waits that end on a
// real input edge, the board's time-out or an abort.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/state.h"

namespace vkt::sim::dio {

enum class Model { SNR11, SN2200, TK560 };

constexpr int kBoardsPerModel = 4;
constexpr int kLines = 32;

// What one board object (and every copy of it) holds: the board it opened.
struct Handle;

std::shared_ptr<Handle> new_handle(Model model);

// Board operations; `op` names the library operation in errors.
void open(Handle& handle, int id, const char* op);
void close(Handle& handle);
void dispose(Handle& handle);
bool is_valid(const Handle& handle);
bool is_opened(const Handle& handle);
bool same_board(const Handle& a, const Handle& b);

unsigned int read_inputs(Handle& handle, const char* op);
bool read_input(Handle& handle, int index, const char* op);
void write_outputs(Handle& handle, unsigned int value, const char* op);
void write_output(Handle& handle, int index, bool value, const char* op);
unsigned int read_outputs(Handle& handle, const char* op);
bool read_output(Handle& handle, int index, const char* op);

struct WaitResult {
    unsigned int event;    // an ExEventStatus number
    unsigned int lines;    // input lines whose edge ended the wait
    unsigned int inputs;   // the input word at the end
};
WaitResult wait(Handle& handle, const char* op);
void abort(Handle& handle, const char* op);

// Settings files: `scope` 0 holds the writable settings, 1 the outputs too.
void load(Handle& handle, const std::string& path, int scope, const char* op);
void save(Handle& handle, const std::string& path, int scope, const char* op);

// Settings by name with the value kind the board keeps for each.
void get_param(Handle& handle, const char* name, void* value, TxModel kind, const char* op);
void set_param(Handle& handle, const char* name, const void* value, TxModel kind,
               const char* op);
long long get_number(Handle& handle, const char* name, const char* op);
void set_number(Handle& handle, const char* name, long long value, const char* op);
void set_register(Handle& handle, unsigned int address, unsigned int value, const char* op);
unsigned int get_register(Handle& handle, unsigned int address, const char* op);

// Board objects by address, so that a companion reaches its board only
// while that very object is alive.
void register_board(const void* board, std::shared_ptr<Handle> handle);
void unregister_board(const void* board);
std::shared_ptr<Handle> board_handle(const void* board, std::uint64_t ident);

// The model a name given from Python stands for.
Model model_named(const std::string& name);   // throws std::invalid_argument

}  // namespace vkt::sim::dio
