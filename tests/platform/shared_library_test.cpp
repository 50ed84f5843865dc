// Libraries loaded on first use: a library that is missing, or lacks the function, is named in
// the error; one that is there gives the function itself.
#include "base/shared_library.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace orvel {
namespace {

std::string errorOf(const char* library, const char* symbol) {
    try {
        librarySymbol(library, symbol);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(SharedLibrary, AMissingLibraryOrFunctionIsNamed) {
    const std::string missing = errorOf("libno-such-orvel-library.so.0", "f");
    EXPECT_EQ(missing.rfind("the library libno-such-orvel-library.so.0 cannot be loaded", 0), 0u)
        << missing;
    EXPECT_EQ(errorOf("libc.so.6", "no_such_orvel_function"),
              "the library libc.so.6 has no no_such_orvel_function");
}

TEST(SharedLibrary, ALoadedFunctionIsTheLibrarysOwn) {
    using Abs = int (*)(int);
    const Abs loaded = libraryFunction<Abs>("libc.so.6", "abs");
    EXPECT_EQ(loaded(-7), 7);
    EXPECT_EQ(reinterpret_cast<void*>(loaded), librarySymbol("libc.so.6", "abs"));
}

}  // namespace
}  // namespace orvel
