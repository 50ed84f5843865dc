// A program's options declared once, each with its name, the form of its value, its lines of
// --help and the check that reads its value: the command line is read and --help is written
// from the one table, so an option cannot be accepted without being listed, nor listed without
// being accepted.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvel {

// How an option is given on the command line.
enum class OptionForm {
    value,  // --name VALUE or --name=VALUE
    flag,   // --name alone
    final,  // --name alone, and nothing after it is read (--help, --version)
};

// All of an option but its check.
struct OptionDeclaration {
    std::string_view name{};         // as typed, "--lat"
    std::string_view placeholder{};  // the value's form in --help ("D,M,S"); empty without one
    std::string_view help{};         // its lines of --help after the name, '\n' between lines
    OptionForm form = OptionForm::value;
    bool repeatable = false;     // may be given again, every value read in the order given;
                                 // otherwise a second one is refused
    std::string_view alias{};    // another name for it on the command line ("-h"), not in --help
    std::string_view heading{};  // lines of --help put before the option's own (a heading)
    int group = 0;               // the program's own sorting of its options; not read here
};

// Reads one value of an option (empty for a flag) into the program's options; the message that
// refuses it, one line naming the option, or empty when it is good.
template <class Target>
using OptionCheck = std::function<std::optional<std::string>(
    std::string_view name, const std::string& value, Target& target)>;

template <class Target>
struct Option {
    OptionDeclaration declaration;
    OptionCheck<Target> check;  // none for a final option
};

template <class Target>
using OptionTable = std::vector<Option<Target>>;

struct OptionsRead {
    enum class End {
        all,      // every argument read and every value good
        final,    // a final option ended the reading: finalName
        refused,  // a value or the way an option was given is wrong: message
        unknown,  // an argument that is no option of the table: message
    };
    End end = End::all;
    std::string_view finalName;  // for final: the option's name
    std::string message;         // for refused and unknown: one line naming the argument
    std::set<std::string, std::less<>> given;  // the names of the options given
    // Each option as read, in the order given: its name and its value (none for a flag).
    std::vector<std::pair<std::string, std::optional<std::string>>> asGiven;

    bool has(std::string_view name) const { return given.count(name) > 0; }
};

// One value as given: the index of its option in the table and what it says ("" for a flag).
struct GivenValue {
    std::size_t option;
    std::string value;
};

// Gathers the values of the arguments in the order given: an argument that is no option, a
// missing value, a value given to a flag and a second value of an option that is not repeatable
// are refused as they are met, and a final option ends the reading there.
OptionsRead gatherOptions(std::span<const OptionDeclaration* const> declarations,
                          std::span<const std::string_view> args, std::vector<GivenValue>& values);

// The lines of --help of the options in their order: two blanks, the name and the placeholder,
// then the help lines in a column `column` characters to the right of the name's start; a name
// and placeholder that do not leave two blanks before the column have the help on the lines
// below them.
std::string optionsHelp(std::span<const OptionDeclaration* const> declarations, std::size_t column);

template <class Target>
std::vector<const OptionDeclaration*> optionDeclarations(const OptionTable<Target>& table) {
    std::vector<const OptionDeclaration*> declarations;
    for (const Option<Target>& option : table) declarations.push_back(&option.declaration);
    return declarations;
}

// Reads the arguments by the table into the target: gathered first (gatherOptions), then the
// values checked option by option in the table's order, so that an option's check may rely on
// the options above it, each value of a repeatable option in its turn. The first value refused
// ends the reading.
template <class Target>
OptionsRead readOptions(const OptionTable<Target>& table, std::span<const std::string_view> args,
                        Target& target) {
    std::vector<GivenValue> values;
    OptionsRead read = gatherOptions(optionDeclarations(table), args, values);
    if (read.end != OptionsRead::End::all) return read;
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (const GivenValue& given : values) {
            if (given.option != i || !table[i].check) continue;
            if (auto refused = table[i].check(table[i].declaration.name, given.value, target)) {
                read.end = OptionsRead::End::refused;
                read.message = std::move(*refused);
                return read;
            }
        }
    }
    return read;
}

template <class Target>
std::string optionsHelp(const OptionTable<Target>& table, std::size_t column) {
    return optionsHelp(optionDeclarations(table), column);
}

}  // namespace orvel
