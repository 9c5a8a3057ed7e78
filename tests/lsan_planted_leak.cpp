// A test-only library for the sanitizer stage's check of itself: one
// function drops a block it allocated, the other a Python object it created,
// unless built with CALM, which frees both. Loaded into the interpreter
// through ctypes (PyDLL: the interpreter lock stays held) and run under the
// stage's own settings, each leak must fail the leak verdict, as a leak of
// unit or the library would; the calm build must pass.
#include <Python.h>

#include <cstring>

namespace {

// Kept out of registers and the stack frames that outlive the call, so that
// LeakSanitizer finds no pointer to the block at exit.
char* volatile last_block;
PyObject* volatile last_object;

}  // namespace

extern "C" __attribute__((visibility("default"))) int planted_block_leak() {
    last_block = new char[40];
    std::memset(last_block, 1, 40);
#ifdef CALM
    delete[] last_block;
#endif
    last_block = nullptr;
    return 1;
}

extern "C" __attribute__((visibility("default"))) int planted_object_leak() {
    // A bytes object: one the garbage collector does not track. Those it
    // tracks stay linked into its lists, where LeakSanitizer finds them.
    last_object = PyBytes_FromStringAndSize(nullptr, 40);
    if (last_object == nullptr) {
        return 0;
    }
#ifdef CALM
    Py_DECREF(last_object);
#endif
    last_object = nullptr;
    return 1;
}
