#include "tools/zyrsec/CommandLine.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace zyr::zyrsec;

ParseOutcome Parse(std::vector<std::string> arguments)
{
    return ParseCommandLine(arguments);
}

TEST(ZyrsecCommandLine, OptionsBeforeTheCommandAreGlobalAndAfterItTheCommandsOwnFirst)
{
    ParseOutcome parsed = Parse(
        {"--user", "admin", "--domain", "CORP", "member", "add", "Ops", "--user", "CORP\\bob", "--json"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const Invocation& invocation = parsed.invocation;
    EXPECT_STREQ(invocation.command->words, "member add");
    EXPECT_EQ(invocation.global.user, "admin");
    EXPECT_EQ(invocation.global.domain, "CORP");
    EXPECT_TRUE(invocation.global.json);
    EXPECT_EQ(invocation.Option("user"), "CORP\\bob");
    EXPECT_EQ(invocation.arguments, std::vector<std::string>{"Ops"});

    // A command without a --user option leaves it to the sign-in.
    parsed = Parse({"apps", "--user=admin", "--domain=CORP", "--server", "http://h/zyr"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.invocation.global.user, "admin");
    EXPECT_EQ(parsed.invocation.global.server, "http://h/zyr");
}

TEST(ZyrsecCommandLine, WordsPickTheLongestCommandAndArgumentsMayLookLikeOptions)
{
    ParseOutcome logs = Parse({"logs", "--page", "3"});
    ASSERT_TRUE(logs.ok);
    EXPECT_STREQ(logs.invocation.command->words, "logs");
    ParseOutcome remove = Parse({"logs", "delete", "--from", "1/31/2024", "--to", "02/01/2024"});
    ASSERT_TRUE(remove.ok) << remove.error;
    EXPECT_STREQ(remove.invocation.command->words, "logs delete");

    ParseOutcome dashed = Parse({"app", "describe", "Plant", "--", "--not an option"});
    ASSERT_TRUE(dashed.ok) << dashed.error;
    EXPECT_EQ(dashed.invocation.arguments, (std::vector<std::string>{"Plant", "--not an option"}));
    // A value is taken as it is, even when it begins with dashes; so is an empty one.
    ParseOutcome description = Parse({"role", "add", "Ops", "--description", "--x"});
    ASSERT_TRUE(description.ok);
    EXPECT_EQ(description.invocation.Option("description"), "--x");
    ParseOutcome empty = Parse({"role", "add", "", "--description="});
    ASSERT_TRUE(empty.ok);
    EXPECT_TRUE(empty.invocation.Has("description"));
}

TEST(ZyrsecCommandLine, MistakesAreUsageErrors)
{
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"frobnicate"},
        {"app"},
        {"app", "frob", "x"},
        {"role", "add"},
        {"role", "add", "a", "b"},
        {"role", "add", "a", "--bogus"},
        {"role", "add", "a", "--description"},
        {"role", "add", "a", "--description", "x", "--description", "y"},
        {"apps", "--json=1"},
        {"member", "add", "Ops"},
        {"member", "add", "Ops", "--user", "a", "--group", "b"},
        {"acl", "grant", "Ops", "Read"},
        {"acl", "grant", "Ops", "Read", "--app", "A", "--object", "O"},
        {"logs", "--from", "1/1/2024"},
        {"logs", "--from", "13/1/2024", "--to", "1/1/2024"},
        {"logs", "--from", "2/29/2023", "--to", "3/1/2023"},
        {"logs", "--from", "1/1/24", "--to", "1/2/24"},
        {"logs", "--page", "-1"},
        {"logs", "--page", "1e3"},
        {"audit", "--page", ""},
        {"--logon-user", "--user", "x", "apps"},
        {"--domain", "CORP", "apps"},
        {"--server", "a", "--server", "b", "apps"},
        {"--unix-socket", "", "apps"},
        {"--cacert", std::string(260, 'c'), "apps"},
    };
    for (const auto& arguments : mistakes) {
        ParseOutcome parsed = Parse(arguments);
        std::string line;
        for (const auto& a : arguments) {
            line += "[" + a + "]";
        }
        EXPECT_FALSE(parsed.ok) << line;
        EXPECT_FALSE(parsed.error.empty()) << line;
    }
}

TEST(ZyrsecCommandLine, HelpNeedsNoServer)
{
    ParseOutcome general = Parse({"--help"});
    ASSERT_TRUE(general.ok);
    EXPECT_TRUE(general.invocation.help);
    EXPECT_EQ(general.invocation.command, nullptr);
    ParseOutcome command = Parse({"acl", "grant", "-h"});
    ASSERT_TRUE(command.ok);
    ASSERT_NE(command.invocation.command, nullptr);
    EXPECT_NE(CommandHelp(*command.invocation.command).find("--app A"), std::string::npos);
    for (const auto& command : Commands()) {
        EXPECT_NE(GeneralHelp().find(std::string("  ") + command.words + "  "), std::string::npos)
            << command.words;
    }
}

TEST(ZyrsecCommandLine, EveryCommandHasItsSyntaxHelpAndHandler)
{
    std::set<std::string> words;
    for (const auto& command : Commands()) {
        EXPECT_TRUE(words.insert(command.words).second) << command.words;
        EXPECT_NE(command.arguments, nullptr) << command.words;
        EXPECT_TRUE(command.summary != nullptr && *command.summary != '\0') << command.words;
        EXPECT_LE(command.minArguments, command.maxArguments) << command.words;
        EXPECT_NE(command.handler, nullptr) << command.words;
    }
}

TEST(ZyrsecCommandLine, HostileArgumentsNeverCrash)
{
    const std::vector<std::string> pieces = {"--",     "-",       "-h",   "--=",  "--user", "=", "app",
                                             "delete", "--value", "\x01", "logs", "--from", "",  "%s%n"};
    // Every sequence of three pieces.
    for (const auto& a : pieces) {
        for (const auto& b : pieces) {
            for (const auto& c : pieces) {
                ParseOutcome parsed = Parse({a, b, c});
                EXPECT_TRUE(parsed.ok || !parsed.error.empty());
            }
        }
    }
}

TEST(ZyrsecLogDate, ReadsCalendarDatesAndStepsOverMonthAndYearEnds)
{
    auto leap = ParseLogDate("02/29/2024");
    ASSERT_TRUE(leap);
    EXPECT_EQ(FormatLogDate(*leap), "2/29/2024");
    EXPECT_EQ(FormatLogDate(NextDay(*leap)), "3/1/2024");
    EXPECT_EQ(FormatLogDate(NextDay(*ParseLogDate("12/31/2024"))), "1/1/2025");
    EXPECT_EQ(FormatLogDate(NextDay(*ParseLogDate("4/30/2025"))), "5/1/2025");
    // A year written with leading zeros reads back as the same date.
    EXPECT_EQ(FormatLogDate(*ParseLogDate("2/27/0022")), "2/27/0022");
    EXPECT_FALSE(ParseLogDate("2/29/1900"));
    EXPECT_TRUE(ParseLogDate("2/29/2000"));
    for (const char* bad : {"", "1/1", "1/1/2024/1", "0/1/2024", "1/0/2024", "4/31/2024", "1/1/02024",
                            " 1/1/2024", "1/1/2024 ", "a/b/cdef", "1//2024"}) {
        EXPECT_FALSE(ParseLogDate(bad)) << bad;
    }
    EXPECT_TRUE(*ParseLogDate("1/2/2024") < *ParseLogDate("1/10/2024"));
    EXPECT_EQ(ParsePageNumber("007"), 7);
    EXPECT_FALSE(ParsePageNumber("1234567890"));
}

} // namespace
