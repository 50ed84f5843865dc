// Libraries loaded the first time one of their functions is called. Cairo and pango (the
// pictures), SDL2 (the window) and CFITSIO (compressed frames) with everything they link come
// to about a hundred shared objects, which cost a run tens of milliseconds to map and relocate
// at start; most runs call none of them.
#pragma once

namespace orvel {

// The address of a function of a shared library (loaded on the first call, by its run-time
// name such as "libcairo.so.2", then kept for the life of the process). Throws
// std::runtime_error, naming the library, when it cannot be loaded or has no such function.
void* librarySymbol(const char* library, const char* symbol);

template <typename Function>
Function libraryFunction(const char* library, const char* symbol) {
    return reinterpret_cast<Function>(librarySymbol(library, symbol));
}

}  // namespace orvel

// Defines the C function NAME (declared by the library's own header, so the compiler checks the
// parameters and the return type against it) as a call of the library's function of that name,
// looked up on the first call.
#define ORVEL_LIBRARY_FUNCTION(library, ret, name, params, args)                            \
    extern "C" ret name params {                                                            \
        static const auto real = ::orvel::libraryFunction<decltype(&name)>(library, #name); \
        return real args;                                                                   \
    }
