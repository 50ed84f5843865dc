// The fuzz inputs kept in the repository, replayed through the same checks as the
// typed_line_fuzz target: typed lines, command lines and piped keyboard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/typed_input_check.h"
#include "support/test_support.h"

namespace orvel {
namespace {

std::vector<std::filesystem::path> inputsIn(const std::string& folder) {
    std::vector<std::filesystem::path> paths;
    const std::filesystem::path dir = std::filesystem::path(ORVEL_SOURCE_DIR) / folder;
    if (!std::filesystem::is_directory(dir)) return paths;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) paths.push_back(entry.path());
    return paths;
}

TEST(TypedLineFuzzReplay, EverySeedAndSavedInputKeepsEveryProperty) {
    std::vector<std::filesystem::path> inputs = inputsIn("tests/fuzz/corpus/typed_line_fuzz");
    ASSERT_GE(inputs.size(), 5u);
    for (const auto& path : inputsIn("tests/fuzz/regressions/typed_line_fuzz"))
        inputs.push_back(path);
    for (const auto& path : inputs)
        EXPECT_EQ(fuzz::checkTypedInput(test::readFile(path)), "") << path;
}

TEST(TypedLineFuzzReplay, ExtremeLinesKeepEveryProperty) {
    using namespace std::string_literals;
    const std::string inputs[] = {
        "",
        std::string(25000, '7') + "\n" + std::string(3, ','),
        std::string(12000, 'a') + std::string(5000, '\b') + "Y\r\n",
        "1e308,1e309,-1e-320,&HFFFFFFFFFFFFFFFFFFFFFFFF,&B" + std::string(2000, '1'),
        "\"\",\"\"\",\",,,\"" + std::string(64, ',') + "\r\r\n\n",
        "--lat\0"s + std::string(10, '\0') + "--star\0"s + "1e38,-1e38",
        "9999999.5,0.00000095,-0,5e-324,1.7976931348623157e308,4.9406564584124654e-324",
    };
    for (const std::string& input : inputs)
        EXPECT_EQ(fuzz::checkTypedInput(input), "") << input.substr(0, 40);
}

}  // namespace
}  // namespace orvel
