// zyr-reg: the registry store from the command line, in the manner of reg.exe.
//
//   zyr-reg query KEY [/v NAME | /ve] [/s]
//   zyr-reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
//   zyr-reg delete KEY [/v NAME | /ve | /va] [/f]
//   zyr-reg import FILE
//   zyr-reg export KEY FILE [/y]
//
// Without /f (or /y) a change that overwrites or deletes something asks for
// confirmation when standard input is a terminal, and is refused otherwise:
// a script has no one to answer.
#include "platform/registry/RegistryStore.h"
#include "tools/zyr-reg/ValueText.h"

#include "ZyrVersion.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace zyr::registry;
using zyr::regtool::FormatData;
using zyr::regtool::ParseData;
using zyr::regtool::ParseTypeName;
using zyr::regtool::TypeName;

constexpr const char* kNotFound = "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kDone = "The operation completed successfully.";

const char* kUsage = R"(zyr-reg OPERATION [parameters]

  query KEY [/v NAME | /ve] [/s]
  add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
  delete KEY [/v NAME | /ve | /va] [/f]
  import FILE
  export KEY FILE [/y]

KEY     HKLM, HKCU or HKCR (or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
        HKEY_CLASSES_ROOT), then \SubKey\...
TYPE    REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD,
        REG_BINARY, REG_NONE
DATA    REG_MULTI_SZ items are separated by \0 (or by /s SEPARATOR); numbers
        are decimal or 0x hex; REG_BINARY and REG_NONE are hex digits.
/f, /y  overwrite or delete without asking.

Hive files: machine.reg (HKLM, HKCR) in /etc/zyr/registry and user.reg
(HKCU) in $XDG_CONFIG_HOME/zyr; ZYR_REGISTRY_DIR relocates both.
--help prints this text, --version the program's version.
)";

int Fail(const std::string& message)
{
    std::cerr << message << "\n";
    return 1;
}

int Syntax(const std::string& operation)
{
    return Fail("ERROR: Invalid syntax.\nType \"zyr-reg " + operation + " /?\" for usage.");
}

int FailStatus(LONG status)
{
    switch (status) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_KEY_DELETED:
        return Fail(kNotFound);
    case ERROR_ACCESS_DENIED:
        return Fail("ERROR: Access is denied.");
    case ERROR_BADDB:
        return Fail("ERROR: The registry hive file is malformed and was left as it is.");
    default:
        return Fail("ERROR: The operation failed (error " + std::to_string(status) + ").");
    }
}

// Asks on the terminal. With no terminal to ask, or when the answer is no,
// prints why nothing was done and answers false.
bool Confirm(const std::string& question, const std::string& refusal)
{
    if (!::isatty(STDIN_FILENO)) {
        std::cerr << refusal << "\n";
        return false;
    }
    std::cout << question << " " << std::flush;
    std::string answer;
    if (std::getline(std::cin, answer) && (SameName(answer, "y") || SameName(answer, "yes"))) {
        return true;
    }
    std::cerr << "The operation was cancelled.\n";
    return false;
}

bool IsSwitch(const std::string& arg, const char* name)
{
    return arg.size() > 1 && arg[0] == '/' && SameName(std::string_view(arg).substr(1), name);
}

// The switches that follow the positional arguments.
struct Switches {
    std::optional<std::string> valueName; // /v NAME, or "" for /ve
    bool allValues = false;               // /va
    bool recurse = false;                 // /s (query)
    std::optional<std::string> separator; // /s SEPARATOR (add)
    std::optional<std::string> type;      // /t
    std::optional<std::string> data;      // /d
    bool force = false;                   // /f, /y
};

bool ParseSwitches(const std::vector<std::string>& args, size_t from, const std::string& operation,
                   Switches& out)
{
    auto takeNext = [&](size_t& i, std::optional<std::string>& slot) {
        if (slot || i + 1 >= args.size()) {
            return false;
        }
        slot = args[++i];
        return true;
    };
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool ok = true;
        if (IsSwitch(arg, "v") && operation != "import" && operation != "export") {
            ok = takeNext(i, out.valueName);
        } else if (IsSwitch(arg, "ve") && operation != "import" && operation != "export") {
            ok = !out.valueName;
            out.valueName = "";
        } else if (IsSwitch(arg, "va") && operation == "delete") {
            out.allValues = true;
        } else if (IsSwitch(arg, "s") && operation == "query") {
            out.recurse = true;
        } else if (IsSwitch(arg, "s") && operation == "add") {
            ok = takeNext(i, out.separator);
        } else if (IsSwitch(arg, "t") && operation == "add") {
            ok = takeNext(i, out.type);
        } else if (IsSwitch(arg, "d") && operation == "add") {
            ok = takeNext(i, out.data);
        } else if ((IsSwitch(arg, "f") && (operation == "add" || operation == "delete")) ||
                   (IsSwitch(arg, "y") && operation == "export")) {
            out.force = true;
        } else {
            ok = false;
        }
        if (!ok) {
            return false;
        }
    }
    return !(out.allValues && out.valueName);
}

// A key argument; rootOnly when it names a root and nothing below it.
bool ParseKeyArgument(const std::string& text, KeyPath& key, bool& rootOnly)
{
    std::string why;
    if (!ParseKeyName(text, key, &why)) {
        return false;
    }
    std::string_view rest(text);
    size_t slash = rest.find('\\');
    rootOnly = slash == std::string_view::npos || slash + 1 == rest.size();
    return true;
}

// The key's full name with the letter case it is stored with.
std::string StoredName(const RegistryHive& hive, const KeyPath& key)
{
    std::string name = RootName(key.hive);
    const RegistryKey* at = &hive.Root();
    for (const auto& part : key.parts) {
        at = at ? at->FindSubKey(part) : nullptr;
        name += "\\";
        name += at ? at->Name() : part;
    }
    return name;
}

std::string ValueLine(const std::string& name, DWORD type, const std::vector<BYTE>& data)
{
    return "    " + (name.empty() ? std::string("(Default)") : name) + "    " + TypeName(type) + "    " +
           FormatData(type, data);
}

void ListKey(const RegistryKey& key, const std::string& name, bool recurse)
{
    std::cout << "\n" << name << "\n";
    for (const auto& value : key.Values()) {
        std::cout << ValueLine(value.name, value.type, value.data) << "\n";
    }
    if (recurse) {
        key.ForEachSubKey(
            [&](const RegistryKey& child) { ListKey(child, name + "\\" + child.Name(), true); });
        return;
    }
    if (key.SubKeyCount() > 0) {
        std::cout << "\n";
    }
    key.ForEachSubKey([&](const RegistryKey& child) { std::cout << name << "\\" << child.Name() << "\n"; });
}

// Looks for one value in the key and, with recurse, in every key below it.
void FindValue(const RegistryKey& key, const std::string& name, const std::string& valueName, bool recurse,
               int& matches)
{
    if (const RegistryValue* value = key.FindValue(valueName)) {
        std::cout << "\n" << name << "\n" << ValueLine(value->name, value->type, value->data) << "\n";
        ++matches;
    } else if (valueName.empty() && !recurse) {
        std::cout << "\n" << name << "\n    (Default)    REG_SZ    (value not set)\n";
        ++matches;
    }
    if (recurse) {
        key.ForEachSubKey([&](const RegistryKey& child) {
            FindValue(child, name + "\\" + child.Name(), valueName, true, matches);
        });
    }
}

int Query(const KeyPath& key, const Switches& sw)
{
    int matches = 0;
    LONG status = ReadHive(key.hive, [&](const RegistryHive& hive) {
        const RegistryKey* found = hive.Find(key.parts);
        if (!found) {
            return ERROR_FILE_NOT_FOUND;
        }
        std::string name = StoredName(hive, key);
        if (!sw.valueName) {
            ListKey(*found, name, sw.recurse);
            return ERROR_SUCCESS;
        }
        FindValue(*found, name, *sw.valueName, sw.recurse, matches);
        return matches > 0 || sw.recurse ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (status != ERROR_SUCCESS) {
        return FailStatus(status);
    }
    if (sw.valueName && sw.recurse) {
        std::cout << "End of search: " << matches << " match(es) found.\n";
    } else {
        std::cout << "\n";
    }
    return 0;
}

int Add(const KeyPath& key, const Switches& sw)
{
    DWORD type = REG_SZ;
    if (sw.type && !ParseTypeName(*sw.type, type)) {
        return Fail("ERROR: Invalid value type \"" + *sw.type + "\".");
    }
    if (!sw.valueName && (sw.type || sw.data || sw.separator)) {
        return Syntax("ADD");
    }
    std::vector<BYTE> data;
    if (sw.valueName && !ParseData(type, sw.data.value_or(""), sw.separator.value_or("\\0"), data)) {
        return Fail("ERROR: The data does not fit the type " + TypeName(type) + ".");
    }
    if (sw.valueName && !IsValidValueName(*sw.valueName)) {
        return Fail("ERROR: Invalid value name.");
    }
    // Without /f an existing value is overwritten only when someone said yes;
    // a value that appears meanwhile is left alone.
    bool overwrite = sw.force;
    std::string shown = sw.valueName && !sw.valueName->empty() ? *sw.valueName : "(Default)";
    if (sw.valueName && !overwrite) {
        bool exists = false;
        LONG status = ReadHive(key.hive, [&](const RegistryHive& hive) {
            const RegistryKey* found = hive.Find(key.parts);
            exists = found && found->FindValue(*sw.valueName);
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) {
            return FailStatus(status);
        }
        if (exists && !Confirm("Value " + shown + " exists, overwrite(Yes/No)?",
                               "ERROR: The value " + shown + " exists; use /f to overwrite it.")) {
            return 1;
        }
        overwrite = exists;
    }
    bool refused = false;
    LONG status = ModifyHive(key.hive, [&](RegistryHive& hive, bool& changed) {
        bool created = false;
        RegistryKey& target = hive.Create(key.parts, &created);
        changed = created;
        if (sw.valueName) {
            if (!overwrite && target.FindValue(*sw.valueName)) {
                refused = true;
                return ERROR_SUCCESS;
            }
            target.SetValue(*sw.valueName, type, data);
            changed = true;
        }
        return ERROR_SUCCESS;
    });
    if (refused) {
        return Fail("ERROR: The value " + shown + " exists; use /f to overwrite it.");
    }
    if (status != ERROR_SUCCESS) {
        return FailStatus(status);
    }
    std::cout << kDone << "\n";
    return 0;
}

int Delete(const KeyPath& key, bool rootOnly, const std::string& keyText, const Switches& sw)
{
    bool wholeKey = !sw.valueName && !sw.allValues;
    if (wholeKey && rootOnly) {
        return Fail("ERROR: Access is denied.");
    }
    if (!sw.force) {
        std::string question = wholeKey ? "Permanently delete the registry key " + keyText + " (Yes/No)?"
                               : sw.allValues
                                   ? "Delete all values under the registry key " + keyText + " (Yes/No)?"
                                   : "Delete the registry value " +
                                         (sw.valueName->empty() ? std::string("(Default)") : *sw.valueName) +
                                         " (Yes/No)?";
        if (!Confirm(question, "ERROR: Nothing was deleted; use /f to delete without being asked.")) {
            return 1;
        }
    }
    LONG status = ModifyHive(key.hive, [&](RegistryHive& hive, bool& changed) {
        RegistryKey* found = hive.Find(key.parts);
        if (!found) {
            return ERROR_FILE_NOT_FOUND;
        }
        if (wholeKey) {
            changed = hive.DeleteTree(key.parts);
        } else if (sw.allValues) {
            changed = !found->Values().empty();
            found->ClearValues();
        } else {
            changed = found->DeleteValue(*sw.valueName);
            if (!changed) {
                return ERROR_FILE_NOT_FOUND;
            }
        }
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return FailStatus(status);
    }
    std::cout << kDone << "\n";
    return 0;
}

int Import(const std::string& file)
{
    std::string error;
    LONG status = ImportRegFile(file, error);
    if (status == ERROR_BADDB && !error.empty() && error.find(file) == 0) {
        return Fail("ERROR: " + error);
    }
    if (status == ERROR_FILE_NOT_FOUND) {
        return Fail("ERROR: Error opening the file. " + error);
    }
    if (status != ERROR_SUCCESS) {
        return FailStatus(status);
    }
    std::cout << kDone << "\n";
    return 0;
}

int Export(const KeyPath& key, const std::string& file, const Switches& sw)
{
    std::string text;
    LONG status = ReadHive(key.hive, [&](const RegistryHive& hive) {
        const RegistryKey* found = hive.Find(key.parts);
        if (!found) {
            return ERROR_FILE_NOT_FOUND;
        }
        text = WriteRegFile(*found, StoredName(hive, key));
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS) {
        return FailStatus(status);
    }
    if (!sw.force && ::access(file.c_str(), F_OK) == 0 &&
        !Confirm("File " + file + " already exists. Overwrite (Yes/No)?",
                 "ERROR: The file " + file + " exists; use /y to overwrite it.")) {
        return 1;
    }
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) {
        return Fail("ERROR: Unable to write to the file " + file + ".");
    }
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = std::fclose(out) == 0 && written;
    if (!written) {
        return Fail("ERROR: Unable to write to the file " + file + ".");
    }
    std::cout << kDone << "\n";
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    if (args.empty()) {
        return Syntax("");
    }
    std::string operation = args[0];
    for (char& c : operation) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const auto& arg : args) {
        if (arg == "/?" || arg == "-?" || arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
    }
    std::string upper = FoldName(operation);
    if (operation == "import") {
        if (args.size() != 2) {
            return Syntax(upper);
        }
        return Import(args[1]);
    }
    if (operation != "query" && operation != "add" && operation != "delete" && operation != "export") {
        return Syntax("");
    }
    size_t positional = operation == "export" ? 3 : 2;
    Switches sw;
    if (args.size() < positional || !ParseSwitches(args, positional, operation, sw)) {
        return Syntax(upper);
    }
    KeyPath key;
    bool rootOnly = false;
    if (!ParseKeyArgument(args[1], key, rootOnly)) {
        return Fail("ERROR: Invalid key name.\nType \"zyr-reg " + upper + " /?\" for usage.");
    }
    if (operation == "query") {
        return Query(key, sw);
    }
    if (operation == "add") {
        return Add(key, sw);
    }
    if (operation == "delete") {
        return Delete(key, rootOnly, args[1], sw);
    }
    return Export(key, args[2], sw);
}

} // namespace

int main(int argc, char** argv)
{
    if (zyr::PrintVersion(argc, argv, "zyr-reg")) {
        return 0;
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(args);
    } catch (const std::exception& e) {
        std::cerr << "ERROR: " << e.what() << "\n";
        return 1;
    }
}
