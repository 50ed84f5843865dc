#include "base/option_table.h"

namespace orvel {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The index of the option with this name or alias; kNone when there is none.
std::size_t findOption(std::span<const OptionDeclaration* const> declarations,
                       std::string_view name) {
    for (std::size_t i = 0; i < declarations.size(); ++i)
        if (declarations[i]->name == name ||
            (!declarations[i]->alias.empty() && declarations[i]->alias == name))
            return i;
    return kNone;
}

OptionsRead ending(OptionsRead::End end, std::string message) {
    OptionsRead read;
    read.end = end;
    read.message = std::move(message);
    return read;
}

}  // namespace

OptionsRead gatherOptions(std::span<const OptionDeclaration* const> declarations,
                          std::span<const std::string_view> args, std::vector<GivenValue>& values) {
    OptionsRead read;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        std::size_t index = findOption(declarations, arg);
        if (index != kNone && declarations[index]->form == OptionForm::final) {
            read.end = OptionsRead::End::final;
            read.finalName = declarations[index]->name;
            return read;
        }
        // "--name=value": the value joined to the name.
        std::optional<std::string> value;
        if (const std::size_t eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            index = findOption(declarations, arg.substr(0, eq));
            value = std::string(arg.substr(eq + 1));
        }
        // A final option stands alone: "--help=x" is no option.
        if (index == kNone || declarations[index]->form == OptionForm::final)
            return ending(OptionsRead::End::unknown, "unknown option " + std::string(arg));
        const OptionDeclaration& declaration = *declarations[index];
        const std::string name(declaration.name);
        if (declaration.form == OptionForm::flag && value)
            return ending(OptionsRead::End::refused, "option " + name + " takes no value");
        if (declaration.form == OptionForm::value && !value) {
            if (i + 1 >= args.size())
                return ending(OptionsRead::End::refused, "option " + name + " needs a value");
            value = std::string(args[++i]);
        }
        if (!declaration.repeatable && read.has(name))
            return ending(OptionsRead::End::refused, "option " + name + " is given twice");
        read.given.insert(name);
        read.asGiven.emplace_back(name, value);
        values.push_back({index, value.value_or("")});
    }
    return read;
}

std::string optionsHelp(std::span<const OptionDeclaration* const> declarations,
                        std::size_t column) {
    const std::string indent(column + 2, ' ');
    std::string text;
    for (const OptionDeclaration* declaration : declarations) {
        text += declaration->heading;
        std::string head = "  ";
        head += declaration->name;
        if (!declaration->placeholder.empty()) (head += ' ') += declaration->placeholder;
        // The help starts beside the name when two blanks are left before its column: one
        // blank reads as part of the option to tools that turn --help into a manual page.
        const bool beside = head.size() + 2 <= indent.size();
        if (beside)
            head.resize(indent.size(), ' ');
        else
            head += '\n';
        text += head;
        std::string_view help = declaration->help;
        for (bool first = true;; first = false) {
            const std::size_t end = help.find('\n');
            if (!(first && beside)) text += indent;
            text += std::string(help.substr(0, end)) + "\n";
            if (end == std::string_view::npos) break;
            help.remove_prefix(end + 1);
        }
    }
    return text;
}

}  // namespace orvel
