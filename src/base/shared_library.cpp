#include "base/shared_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace orvel {

void* librarySymbol(const char* library, const char* symbol) {
    // A library already loaded is found again; it is never unloaded, so every address stays.
    void* handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        throw std::runtime_error(std::string("the library ") + library + " cannot be loaded" +
                                 (why != nullptr ? std::string(": ") + why : std::string()));
    }
    // The lookup runs through the library and every library it links.
    void* address = ::dlsym(handle, symbol);
    if (address == nullptr)
        throw std::runtime_error(std::string("the library ") + library + " has no " + symbol);
    return address;
}

}  // namespace orvel
