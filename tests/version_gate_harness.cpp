// Embeds the interpreter and imports `unit` while the interpreter reports a
// version of our choosing, to show how the module's import gate answers.
//
// The executable defines Py_GetVersion itself (linked with -rdynamic), so the
// extension's reference resolves here. Until the interpreter is up it answers
// with the real version, found behind us with dlsym(RTLD_NEXT).
//
// Usage: version_gate_harness <version>; prints the import's outcome.
#include <Python.h>
#include <dlfcn.h>

#include <cstdio>

namespace {
const char* fake_version = nullptr;
}

extern "C" const char* Py_GetVersion(void) {
    if (fake_version != nullptr) return fake_version;
    using Getter = const char* (*)(void);
    static Getter real = reinterpret_cast<Getter>(dlsym(RTLD_NEXT, "Py_GetVersion"));
    return real != nullptr ? real() : "unknown";
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <version>\n", argv[0]);
        return 2;
    }
    Py_Initialize();
    fake_version = argv[1];
    int failed = PyRun_SimpleString(
        "try:\n"
        "    import unit\n"
        "    print('imported')\n"
        "except ImportError as error:\n"
        "    print('ImportError: ' + str(error))\n");
    fake_version = nullptr;
    Py_Finalize();
    return failed == 0 ? 0 : 1;
}
