// The option table: a command line read by a small table of its own, and the --help lines it
// writes, against outcomes and text worked out by hand.
#include "base/option_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvel {
namespace {

// What the small table reads: each value checked, in the order the checks ran.
struct Read {
    std::vector<std::string> seen;  // "--name=value" per check run
    bool loud = false;
};

OptionCheck<Read> record() {
    return [](std::string_view name, const std::string& value, Read& r) {
        r.seen.push_back(std::string(name) + "=" + value);
        return std::optional<std::string>();
    };
}

const OptionTable<Read> kTable = {
    {{"--size", "N", "how big"}, record()},
    // Refuses "bad"; its message names the option it was given as.
    {{"--name", "TEXT", "what it is called"},
     [](std::string_view name, const std::string& value, Read& r) {
         if (value == "bad") return std::optional<std::string>(std::string(name) + " is bad");
         r.seen.push_back("--name=" + value);
         return std::optional<std::string>();
     }},
    {{.name = "--tag", .placeholder = "T", .help = "may be repeated", .repeatable = true},
     record()},
    {{.name = "--loud", .help = "a flag", .form = OptionForm::flag},
     [](std::string_view, const std::string&, Read& r) {
         r.loud = true;
         return std::optional<std::string>();
     }},
    {{.name = "--help", .help = "this text", .form = OptionForm::final, .alias = "-h"}, {}},
};

OptionsRead read(std::vector<std::string_view> args, Read& r) {
    return readOptions(kTable, args, r);
}

TEST(OptionTable, ValuesAreCheckedInTheTablesOrderEachRepeatInTurn) {
    Read r;
    const OptionsRead result =
        read({"--tag", "a", "--name=x=y", "--loud", "--tag=", "--size", "-3"}, r);
    ASSERT_EQ(result.end, OptionsRead::End::all) << result.message;
    EXPECT_EQ(r.seen, (std::vector<std::string>{"--size=-3", "--name=x=y", "--tag=a", "--tag="}));
    EXPECT_TRUE(r.loud);
    EXPECT_TRUE(result.has("--loud"));
    EXPECT_TRUE(result.has("--tag"));
    EXPECT_FALSE(result.has("--help"));
}

TEST(OptionTable, ArgumentsGivenWronglyAreRefusedAsTheyAreMet) {
    struct Case {
        std::vector<std::string_view> args;
        OptionsRead::End end;
        std::string message;
    };
    const Case cases[] = {
        {{"--size", "1", "--frob=2"}, OptionsRead::End::unknown, "unknown option --frob=2"},
        {{"size"}, OptionsRead::End::unknown, "unknown option size"},
        {{"--help=now"}, OptionsRead::End::unknown, "unknown option --help=now"},
        {{"--size"}, OptionsRead::End::refused, "option --size needs a value"},
        {{"--loud=yes"}, OptionsRead::End::refused, "option --loud takes no value"},
        {{"--size", "1", "--size=2"}, OptionsRead::End::refused, "option --size is given twice"},
        {{"--loud", "--loud"}, OptionsRead::End::refused, "option --loud is given twice"},
        // Gathering comes before any check: the unknown option is named, not the bad value.
        {{"--name", "bad", "--frob"}, OptionsRead::End::unknown, "unknown option --frob"},
        {{"--name", "bad"}, OptionsRead::End::refused, "--name is bad"},
    };
    for (const Case& c : cases) {
        Read r;
        const OptionsRead result = read(c.args, r);
        EXPECT_EQ(result.end, c.end) << c.message;
        EXPECT_EQ(result.message, c.message);
    }
}

TEST(OptionTable, AFinalOptionEndsTheReadingWhereItStands) {
    Read r;
    OptionsRead result = read({"--size", "1", "-h", "--frob"}, r);
    EXPECT_EQ(result.end, OptionsRead::End::final);
    EXPECT_EQ(result.finalName, "--help");
    EXPECT_TRUE(r.seen.empty());
    // Taken as a value, it is only a value.
    result = read({"--name", "--help"}, r);
    EXPECT_EQ(result.end, OptionsRead::End::all);
    EXPECT_EQ(r.seen, std::vector<std::string>{"--name=--help"});
    EXPECT_EQ(read({"--frob", "--help"}, r).end, OptionsRead::End::unknown);
}

TEST(OptionTable, HelpLinesStandInTheirColumn) {
    const OptionTable<Read> table = {
        {{"--a", "N", "first line\nsecond line"}, {}},
        // 8 characters with its placeholder fill the column and 7 leave one blank: the help
        // goes below; 6 leave two blanks, and it stands beside.
        {{"--bb", "XYZ", "below"}, {}},
        {{"--cc", "XY", "below too"}, {}},
        {{"--dd", "X", "beside"}, {}},
        {{.name = "--c", .help = "flag", .form = OptionForm::flag, .heading = "\nMore:\n"}, {}},
        {{.name = "--h", .help = "help", .form = OptionForm::final, .alias = "-h"}, {}},
    };
    EXPECT_EQ(optionsHelp(table, 8),
              "  --a N   first line\n"
              "          second line\n"
              "  --bb XYZ\n"
              "          below\n"
              "  --cc XY\n"
              "          below too\n"
              "  --dd X  beside\n"
              "\nMore:\n"
              "  --c     flag\n"
              "  --h     help\n");
}

}  // namespace
}  // namespace orvel
