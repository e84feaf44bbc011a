// The command line of zyrsec: global options, the command's words, its
// arguments and options, and the help texts. Parsing never touches the
// server; every mistake it finds is a usage error (exit status 2).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zyr::zyrsec {

struct OptionSpec {
    const char* name;  // without the leading "--"
    const char* value; // the value's placeholder; null for a switch
};

struct Context;
// Runs a command on its parsed invocation; answers the exit status.
using CommandHandler = int (*)(Context&);

// Whether a command changes the security database: a changing command is
// refused while the audit components are missing, before it reads any
// argument or asks the server. A command that inspects the set-up runs
// without signing in.
enum class Effect { Reads, Changes, Inspects };

struct CommandSpec {
    const char* words;     // "app add"
    const char* arguments; // "NAME [--description D]"
    const char* summary;
    int minArguments = 0;
    int maxArguments = 0;
    std::vector<OptionSpec> options;
    CommandHandler handler = nullptr;
    Effect effect = Effect::Reads;
};

// Every command, in the order the help lists them (CommandTable.cpp).
const std::vector<CommandSpec>& Commands();

struct GlobalOptions {
    std::optional<std::string> server; // --server URL
    bool json = false;
    bool yes = false;
    bool logonUser = false;
    std::optional<std::string> user;       // sign-in account (before the command)
    std::optional<std::string> domain;     // sign-in domain
    std::optional<std::string> unixSocket; // --unix-socket PATH
    std::optional<std::string> caFile;     // --cacert FILE
};

struct Invocation {
    GlobalOptions global;
    const CommandSpec* command = nullptr; // null with help for the general help
    std::vector<std::string> arguments;
    std::map<std::string, std::string> options; // the command's own, by name ("" for switches)
    bool help = false;

    bool Has(const std::string& option) const { return options.count(option) != 0; }
    std::string Option(const std::string& option) const
    {
        auto found = options.find(option);
        return found == options.end() ? std::string() : found->second;
    }
};

struct ParseOutcome {
    bool ok = false;
    Invocation invocation;
    std::string error; // the usage error, without the program name
};

// Parses the arguments after the program name. Options given before the
// command words are global; after them an option is the command's own when
// the command knows it (so "member add R --user NAME" names the member) and
// global otherwise. "--name=value" is accepted for options with values; "--"
// ends the options.
ParseOutcome ParseCommandLine(const std::vector<std::string>& arguments);

std::string GeneralHelp();
std::string CommandHelp(const CommandSpec& command);

// A calendar date as the log filter takes it: M/D/YYYY.
struct LogDate {
    int month = 0;
    int day = 0;
    int year = 0;
};
// Month 1 to 12, a day that the month has, a year of four digits; leading
// zeros allowed; nothing else in the text.
std::optional<LogDate> ParseLogDate(std::string_view text);
// "%d/%d/%d": month, day, year, as the log filter writes its dates.
std::string FormatLogDate(const LogDate& date);
LogDate NextDay(const LogDate& date);
bool operator<(const LogDate& a, const LogDate& b);

// A page number: decimal digits only, at most 9 of them.
std::optional<long> ParsePageNumber(std::string_view text);
// "YYYY-MM-DD", with " HH:MM" or " HH:MM:SS" (or "T" before the time): the
// audit trail's times. The server judges the calendar.
bool LooksLikeAuditTime(std::string_view text);

} // namespace zyr::zyrsec
