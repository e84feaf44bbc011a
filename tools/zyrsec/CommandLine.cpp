#include "tools/zyrsec/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace zyr::zyrsec {

namespace {

const OptionSpec* FindOption(const CommandSpec& command, std::string_view name)
{
    for (const auto& option : command.options) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

bool IsGlobalOption(std::string_view name)
{
    return name == "server" || name == "json" || name == "yes" || name == "logon-user" || name == "user" ||
           name == "domain" || name == "help" || name == "unix-socket" || name == "cacert";
}

bool GlobalTakesValue(std::string_view name)
{
    return name == "server" || name == "user" || name == "domain" || name == "unix-socket" ||
           name == "cacert";
}

std::vector<std::string> SplitWords(const char* words)
{
    std::vector<std::string> out;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

// The command whose words begin positional, the longest first.
const CommandSpec* MatchCommand(const std::vector<std::string>& positional, size_t& used)
{
    const CommandSpec* best = nullptr;
    used = 0;
    for (const auto& command : Commands()) {
        const auto words = SplitWords(command.words);
        if (words.size() > positional.size() || words.size() <= used) {
            continue;
        }
        if (std::equal(words.begin(), words.end(), positional.begin())) {
            best = &command;
            used = words.size();
        }
    }
    return best;
}

// Checks that a parse cannot make alone: exclusive and dependent options, and
// the values of dates and page numbers.
std::string CheckCommand(const Invocation& invocation)
{
    const std::string words = invocation.command->words;
    if (words == "member add" || words == "member remove") {
        if (invocation.Has("user") == invocation.Has("group")) {
            return "give exactly one of --user NAME and --group NAME";
        }
    }
    if (words == "acl grant" || words == "acl revoke") {
        if (!invocation.Has("app")) {
            return "--app A is required";
        }
        if (invocation.Has("object") && !invocation.Has("group")) {
            return "--object needs --group";
        }
    }
    // The audit trail's times are the server's; its ends are each optional.
    const bool audit = words == "audit";
    if (audit && invocation.Has("csv") && invocation.global.json) {
        return "give --csv or --json, not both";
    }
    if (!audit && invocation.Has("from") != invocation.Has("to")) {
        return "give both --from and --to, or neither";
    }
    for (const char* name : {"from", "to"}) {
        if (invocation.Has(name) &&
            (audit ? !LooksLikeAuditTime(invocation.Option(name)) : !ParseLogDate(invocation.Option(name)))) {
            return std::string("--") + name +
                   (audit ? " takes a time YYYY-MM-DD[ HH:MM[:SS]]" : " takes a date M/D/YYYY") + ", not '" +
                   invocation.Option(name) + "'";
        }
    }
    if (invocation.Has("page") && !ParsePageNumber(invocation.Option("page"))) {
        return "--page takes a page number from 0, not '" + invocation.Option("page") + "'";
    }
    return {};
}

} // namespace

ParseOutcome ParseCommandLine(const std::vector<std::string>& arguments)
{
    ParseOutcome outcome;
    Invocation& invocation = outcome.invocation;
    std::vector<std::string> positional;
    bool optionsEnded = false;
    auto fail = [&](std::string error) {
        outcome.ok = false;
        outcome.error = std::move(error);
        return outcome;
    };

    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& token = arguments[i];
        if (optionsEnded || token.size() < 2 || token[0] != '-' || (token[1] != '-' && token != "-h")) {
            positional.push_back(token);
            // The command is known as soon as its words are there.
            if (invocation.command == nullptr) {
                size_t used = 0;
                const CommandSpec* command = MatchCommand(positional, used);
                // A two-word command may still come ("logs" then "delete").
                bool longer = false;
                for (const auto& candidate : Commands()) {
                    auto words = SplitWords(candidate.words);
                    if (words.size() > positional.size() &&
                        std::equal(positional.begin(), positional.end(), words.begin())) {
                        longer = true;
                    }
                }
                if (command != nullptr &&
                    (!longer || i + 1 >= arguments.size() || arguments[i + 1].rfind("-", 0) == 0)) {
                    invocation.command = command;
                    positional.erase(positional.begin(), positional.begin() + static_cast<long>(used));
                } else if (command == nullptr && !longer) {
                    std::string words;
                    for (const auto& word : positional) {
                        words += (words.empty() ? "" : " ") + word;
                    }
                    return fail("unknown command '" + words + "'");
                }
            }
            continue;
        }
        if (token == "--") {
            optionsEnded = true;
            continue;
        }
        if (token == "-h") {
            invocation.help = true;
            continue;
        }
        std::string name = token.substr(2);
        std::optional<std::string> inlineValue;
        if (size_t equals = name.find('='); equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        const OptionSpec* own = invocation.command ? FindOption(*invocation.command, name) : nullptr;
        const bool global = own == nullptr && IsGlobalOption(name);
        if (own == nullptr && !global) {
            return fail("unknown option '--" + name + "'" +
                        (invocation.command ? std::string(" for '") + invocation.command->words + "'" : ""));
        }
        const bool takesValue = own ? own->value != nullptr : GlobalTakesValue(name);
        std::string value;
        if (takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return fail("--" + name + " needs a value");
            }
        } else if (inlineValue) {
            return fail("--" + name + " takes no value");
        }
        if (own != nullptr) {
            if (!invocation.options.emplace(name, value).second) {
                return fail("--" + name + " is given twice");
            }
            continue;
        }
        GlobalOptions& g = invocation.global;
        if (name == "help") {
            invocation.help = true;
        } else if (name == "json") {
            g.json = true;
        } else if (name == "yes") {
            g.yes = true;
        } else if (name == "logon-user") {
            g.logonUser = true;
        } else {
            std::optional<std::string>& slot = name == "server"        ? g.server
                                               : name == "user"        ? g.user
                                               : name == "unix-socket" ? g.unixSocket
                                               : name == "cacert"      ? g.caFile
                                                                       : g.domain;
            if (slot) {
                return fail("--" + name + " is given twice");
            }
            slot = value;
        }
    }

    if (invocation.command == nullptr) {
        if (invocation.help) {
            outcome.ok = true;
            return outcome;
        }
        if (!positional.empty()) {
            std::string words;
            for (const auto& word : positional) {
                words += (words.empty() ? "" : " ") + word;
            }
            return fail("unknown command '" + words + "'");
        }
        return fail("no command given");
    }
    if (invocation.help) {
        outcome.ok = true;
        return outcome;
    }
    const GlobalOptions& g = invocation.global;
    if (g.logonUser && (g.user || g.domain)) {
        return fail("--logon-user cannot go with --user or --domain");
    }
    if (g.domain && !g.user) {
        return fail("--domain needs --user");
    }
    for (const auto* path : {&g.unixSocket, &g.caFile}) {
        if (*path && (path->value().empty() || path->value().size() > 259)) {
            return fail(std::string(path == &g.caFile ? "--cacert" : "--unix-socket") +
                        " needs a path of 1 to 259 bytes");
        }
    }
    const auto count = static_cast<int>(positional.size());
    if (count < invocation.command->minArguments || count > invocation.command->maxArguments) {
        return fail(std::string("usage: zyrsec ") + invocation.command->words +
                    (*invocation.command->arguments ? " " : "") + invocation.command->arguments);
    }
    invocation.arguments = std::move(positional);
    if (std::string error = CheckCommand(invocation); !error.empty()) {
        return fail(std::move(error));
    }
    outcome.ok = true;
    return outcome;
}

std::string GeneralHelp()
{
    std::string text = "usage: zyrsec [GLOBAL OPTIONS] COMMAND [ARGUMENTS]\n"
                       "\n"
                       "Administers the ZYR security database from a shell, through the same checks,\n"
                       "requests and audit texts as the console.\n"
                       "\n"
                       "Global options:\n"
                       "  --server URL     use this security server instead of the configured \"URL\"\n"
                       "  --unix-socket P  connect through the local socket P (the URL still names\n"
                       "                   the page); the server then knows the caller's account\n"
                       "  --cacert FILE    also trust the certificate authorities in FILE for https\n"
                       "  --logon-user     sign in as the logged-on account (the default)\n"
                       "  --user U         sign in as U (give it before the command); the password is\n"
                       "  --domain D       read from standard input, or asked for on a terminal\n"
                       "  --json           print one JSON object on standard output\n"
                       "  --yes            answer Yes to the console's questions (without it a terminal\n"
                       "                   is asked and a script is refused)\n"
                       "  --help           this text; COMMAND --help tells about one command\n"
                       "  --version        the program's version\n"
                       "\n"
                       "Commands:\n";
    size_t width = 0;
    for (const auto& command : Commands()) {
        width = std::max(width, std::string(command.words).size());
    }
    for (const auto& command : Commands()) {
        std::string words = command.words;
        text += "  " + words + std::string(width - words.size() + 2, ' ') + command.summary + "\n";
    }
    text += "\n"
            "Messages go to standard error. Exit status: 0 success, 1 refused or failed,\n"
            "2 usage error. A change whose reply is lost or empty is read back: 0 when\n"
            "it is in the database, 1 when it is not or cannot be read.\n";
    return text;
}

std::string CommandHelp(const CommandSpec& command)
{
    std::string text = std::string("usage: zyrsec ") + command.words;
    if (*command.arguments) {
        text += std::string(" ") + command.arguments;
    }
    text += "\n\n" + std::string(command.summary) + ".\n";
    return text;
}

std::optional<LogDate> ParseLogDate(std::string_view text)
{
    int parts[3] = {0, 0, 0};
    size_t digits[3] = {0, 0, 0};
    size_t part = 0;
    for (char c : text) {
        if (c == '/') {
            if (++part > 2) {
                return std::nullopt;
            }
        } else if (c >= '0' && c <= '9') {
            if (++digits[part] > 4) {
                return std::nullopt;
            }
            parts[part] = parts[part] * 10 + (c - '0');
        } else {
            return std::nullopt;
        }
    }
    if (part != 2 || digits[0] == 0 || digits[1] == 0 || digits[2] != 4) {
        return std::nullopt;
    }
    LogDate date{parts[0], parts[1], parts[2]};
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.month < 1 || date.month > 12 || date.year < 1) {
        return std::nullopt;
    }
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    const int days = kDays[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
    if (date.day < 1 || date.day > days) {
        return std::nullopt;
    }
    return date;
}

std::string FormatLogDate(const LogDate& date)
{
    // The year keeps its four digits ("2/27/0022"), so that what is written
    // reads back as the same date.
    char year[16];
    std::snprintf(year, sizeof year, "%04d", date.year);
    return std::to_string(date.month) + "/" + std::to_string(date.day) + "/" + year;
}

LogDate NextDay(const LogDate& date)
{
    LogDate next = date;
    ++next.day;
    if (!ParseLogDate(FormatLogDate(next))) {
        next.day = 1;
        if (++next.month > 12) {
            next.month = 1;
            ++next.year;
        }
    }
    return next;
}

bool operator<(const LogDate& a, const LogDate& b)
{
    if (a.year != b.year) {
        return a.year < b.year;
    }
    if (a.month != b.month) {
        return a.month < b.month;
    }
    return a.day < b.day;
}

bool LooksLikeAuditTime(std::string_view text)
{
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    char separator = 0;
    int consumed = 0;
    const std::string copy(text);
    const int fields = std::sscanf(copy.c_str(), "%4u-%2u-%2u%n%c%2u:%2u%n:%2u%n", &y, &mo, &d, &consumed,
                                   &separator, &h, &mi, &consumed, &sec, &consumed);
    return (fields == 3 || ((fields == 6 || fields == 7) && (separator == ' ' || separator == 'T'))) &&
           static_cast<size_t>(consumed) == copy.size() && y >= 1000 && mo >= 1 && mo <= 12 && d >= 1 &&
           d <= 31 && h <= 23 && mi <= 59 && sec <= 59;
}

std::optional<long> ParsePageNumber(std::string_view text)
{
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace zyr::zyrsec
