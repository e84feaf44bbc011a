#include "server/service/Seeder.h"

#include "cache/TextCipher.h"
#include "server/service/Accounts.h"
#include "server/service/LogTime.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <mutex>
#include <random>
#include <vector>

namespace zyr::server {

namespace {

std::mt19937_64& Generator()
{
    static std::mt19937_64 generator{std::random_device{}()};
    return generator;
}

std::mutex g_generatorMutex;

// An application, group or object with a new identity and its access-control list.
template <class Record>
Record MakeSecured(std::string name, std::string description, std::string acl)
{
    Record r;
    r.dn = NewIdentity(true);
    r.name = std::move(name);
    r.description = std::move(description);
    r.aclPlain = std::move(acl);
    r.aclEncrypted = zyr::cipher::Encrypt(r.aclPlain);
    return r;
}

ApplicationRecord MakeApplication(std::string name, std::string description, std::string perms,
                                  std::string acl)
{
    auto a = MakeSecured<ApplicationRecord>(std::move(name), std::move(description), std::move(acl));
    a.permissionsPlain = std::move(perms);
    a.permissionsEncrypted = zyr::cipher::Encrypt(a.permissionsPlain);
    return a;
}

GroupRecord& AddGroup(ApplicationRecord& a, std::string name, std::string description, std::string acl)
{
    auto& g = a.groups.emplace_back(
        MakeSecured<GroupRecord>(std::move(name), std::move(description), std::move(acl)));
    g.applDn = a.dn;
    return g;
}

void AddObject(GroupRecord& g, std::string name, std::string description, std::string acl)
{
    auto& o = g.objects.emplace_back(
        MakeSecured<ObjectRecord>(std::move(name), std::move(description), std::move(acl)));
    o.groupDn = g.dn;
}

RoleRecord MakeRole(std::string name, std::string description, std::vector<std::string> users,
                    std::vector<std::string> groups)
{
    return RoleRecord{NewIdentity(false), std::move(name), std::move(description), std::move(users),
                      std::move(groups)};
}

std::string Numbered(const char* prefix, int64_t n, int width)
{
    char text[128];
    std::snprintf(text, sizeof text, "%s %0*lld", prefix, width, static_cast<long long>(n));
    return text;
}

enum class SeedStart { Failed, Occupied, Empty };

// A seed goes only into an empty database.
SeedStart StartSeed(SecurityStore& store, bool& seeded, std::string& reason)
{
    seeded = false;
    bool empty = false;
    if (!store.IsEmpty(empty)) {
        reason = "the database cannot be read";
        return SeedStart::Failed;
    }
    return empty ? SeedStart::Empty : SeedStart::Occupied;
}

AuditRecord SeedAudit(std::time_t now, const std::string& what)
{
    AuditRecord a;
    a.time = FormatLocalTime(now);
    a.user = "zyr-security-server";
    a.computer = ShortHostName();
    a.object = "Database";
    a.operation = "Seed";
    a.name = what;
    return a;
}

// One write of a seed: on failure, says what could not be written.
bool Written(bool ok, const char* failure, std::string& reason)
{
    if (!ok) {
        reason = failure;
    }
    return ok;
}

// Writes every record of a list with the writer's member for its kind.
template <typename Record>
bool WriteAll(SecurityStore::BulkWriter& bulk, bool (SecurityStore::BulkWriter::*write)(const Record&),
              const std::vector<Record>& records, const char* failure, std::string& reason)
{
    for (const auto& r : records) {
        if (!Written((bulk.*write)(r), failure, reason)) {
            return false;
        }
    }
    return true;
}

// Closes a seed with its own audit record and the commit.
bool FinishSeed(SecurityStore::BulkWriter& bulk, std::time_t now, const std::string& what,
                const char* failure, bool& seeded, std::string& reason)
{
    if (!Written(bulk.Audit(SeedAudit(now, what)) && bulk.Commit(), failure, reason)) {
        return false;
    }
    seeded = true;
    return true;
}

} // namespace

std::string NewIdentity(bool upperCase)
{
    uint64_t hi = 0;
    uint64_t lo = 0;
    {
        std::lock_guard lock(g_generatorMutex);
        hi = Generator()();
        lo = Generator()();
    }
    hi = (hi & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull; // version 4
    lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull; // variant 1
    char text[96];
    std::snprintf(text, sizeof text,
                  upperCase ? "{%08X-%04X-%04X-%04X-%012llX}" : "{%08x-%04x-%04x-%04x-%012llx}",
                  static_cast<unsigned>(hi >> 32), static_cast<unsigned>((hi >> 16) & 0xFFFF),
                  static_cast<unsigned>(hi & 0xFFFF), static_cast<unsigned>(lo >> 48),
                  static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return text;
}

std::string DefaultAdminAccount()
{
    std::string account = AccountOfUid(geteuid());
    return account.empty() ? ShortHostName() + "\\administrator" : account;
}

bool ParseLargeSeed(std::string_view text, LargeSeed& out)
{
    constexpr std::string_view kPrefix = "large:";
    if (text.substr(0, kPrefix.size()) != kPrefix) {
        return false;
    }
    text.remove_prefix(kPrefix.size());
    int64_t* fields[] = {&out.applications,   &out.groupsPerApplication, &out.objectsPerGroup, &out.roles,
                         &out.membersPerRole, &out.logEntries,           &out.auditRecords};
    out.auditRecords = 0;
    for (size_t i = 0; i < 7; ++i) {
        size_t comma = text.find(',');
        std::string_view part = text.substr(0, comma);
        auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), *fields[i]);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || *fields[i] < 0 ||
            *fields[i] > 100000000) {
            return false;
        }
        if (comma == std::string_view::npos) {
            return i >= 5; // the audit count is optional
        }
        if (i == 6) {
            return false;
        }
        text.remove_prefix(comma + 1);
    }
    return true;
}

bool SeedDemo(SecurityStore& store, const std::string& adminAccount, std::time_t now, bool& seeded,
              std::string& reason)
{
    if (SeedStart start = StartSeed(store, seeded, reason); start != SeedStart::Empty) {
        return start == SeedStart::Occupied;
    }
    const std::string host = ShortHostName();
    const std::string rwx = "Read:0x00000001;Write:0x00000002;Execute:0x00000004;";
    std::vector<ApplicationRecord> applications;

    ApplicationRecord framework =
        MakeApplication("Morvel Framework", "The framework's own administration tools",
                        "Open:0x00000001;Configure:0x00000002;", "Security Administrators:3;");
    GroupRecord& manager = AddGroup(framework, "Security Manager", "The security administration console",
                                    "Security Administrators:1;");
    AddObject(manager, "ZyrSnap-In", "Opening the security console", "Security Administrators:1;");
    applications.push_back(std::move(framework));

    ApplicationRecord historian = MakeApplication(
        "Plant Historian", "Process data archive of the north plant",
        rwx + "Acknowledge Alarms:0x00000008;Export Data:0x00000010;Purge Archive:0x80000000;",
        "Operators:1;Engineers:7;Supervisors:15;");
    GroupRecord& trends = AddGroup(historian, "Trend Displays", "Trend charts of the process areas",
                                   "Operators:1;Engineers:3;");
    AddObject(trends, "Area 100 Trends", "Reactor section", "Operators:1;Engineers:3;");
    AddObject(trends, "Area 200 Trends", "Distillation section", "Operators:1;Engineers:3;");
    GroupRecord& archive = AddGroup(historian, "Archive", "Long-term storage", "Engineers:17;");
    AddObject(archive, "Archive Export", "Export of archived values", "Engineers:17;Supervisors:17;");
    AddObject(archive, "Archive Purge", "Removal of expired archives", "Supervisors:-2147483633;");
    applications.push_back(std::move(historian));

    ApplicationRecord batch =
        MakeApplication("Batch Control", "Recipe execution for lines 1 to 3",
                        rwx + "Start Batch:0x00000008;Abort Batch:0x00000010;Edit Recipe:0x00000020;",
                        "Operators:13;Engineers:63;");
    GroupRecord& line1 = AddGroup(batch, "Line 1", "Mixing and filling", "Operators:13;Engineers:63;");
    AddObject(line1, "Mixer M-101", "Main mixer", "Operators:13;Maintenance:1;");
    AddObject(line1, "Valve FV-101", "Feed valve", "Operators:5;Maintenance:7;");
    AddObject(line1, "Filler F-110", "Bottle filler", "Operators:13;");
    GroupRecord& recipes = AddGroup(batch, "Recipes", "Master recipes", "Engineers:39;");
    AddObject(recipes, "Recipe Editor", "Editing master recipes", "Engineers:39;Supervisors:33;");
    applications.push_back(std::move(batch));

    std::vector<RoleRecord> roles;
    roles.push_back(MakeRole("Security Administrators", "May open the security console and change it",
                             {adminAccount}, {}));
    roles.push_back(MakeRole("Operators", "Control room operators", {host + "\\alice", host + "\\bob"},
                             {host + "\\plant-operators"}));
    roles.push_back(MakeRole("Engineers", "Process and automation engineers", {host + "\\carol"},
                             {host + "\\engineering"}));
    roles.push_back(MakeRole("Supervisors", "Shift supervisors", {host + "\\dave"}, {}));
    roles.push_back(MakeRole("Maintenance", "Maintenance technicians", {host + "\\erin"}, {"Everyone"}));

    static const char* const kUsers[] = {"alice", "bob", "carol", "dave", "erin", "mallory"};
    static const char* const kActions[] = {"Logon", "Authorize", "Logoff", "Authorize", "Authorize"};
    std::mt19937 random(20261209);
    std::vector<LogEntry> log;
    const int kEntries = 320;
    const std::time_t span = 21 * 24 * 3600;
    for (int i = 0; i < kEntries; ++i) {
        std::time_t when = now - span + (span * i) / kEntries + static_cast<std::time_t>(random() % 600);
        const char* user = kUsers[random() % std::size(kUsers)];
        bool failed = std::string_view(user) == "mallory" || random() % 9 == 0;
        log.push_back(LogEntry{FormatLocalTime(when), host + "\\" + user,
                               kActions[random() % std::size(kActions)], failed ? "Failed" : "Success",
                               host});
    }

    auto bulk = store.BeginBulk();
    using Writer = SecurityStore::BulkWriter;
    return WriteAll(*bulk, &Writer::Application, applications, "the demo applications cannot be written",
                    reason) &&
           WriteAll(*bulk, &Writer::Role, roles, "the demo roles cannot be written", reason) &&
           WriteAll(*bulk, &Writer::Log, log, "the demo log cannot be written", reason) &&
           FinishSeed(*bulk, now, "demo", "the demo database cannot be written", seeded, reason);
}

bool SeedLarge(SecurityStore& store, const LargeSeed& size, std::time_t now, bool& seeded,
               std::string& reason)
{
    if (SeedStart start = StartSeed(store, seeded, reason); start != SeedStart::Empty) {
        return start == SeedStart::Occupied;
    }
    auto bulk = store.BeginBulk();
    auto roleName = [](int64_t r) { return Numbered("Role", r, 5); };
    for (int64_t r = 0; r < size.roles; ++r) {
        std::vector<std::string> users;
        std::vector<std::string> groups;
        for (int64_t m = 0; m < size.membersPerRole; ++m) {
            (m % 4 == 3 ? groups : users)
                .push_back(Numbered("PLANT\\account", r * size.membersPerRole + m, 7));
        }
        if (!Written(bulk->Role(MakeRole(roleName(r), "Generated role", std::move(users), std::move(groups))),
                     "the roles cannot be written", reason)) {
            return false;
        }
    }
    auto acl = [&](int64_t seed) {
        if (size.roles == 0) {
            return std::string();
        }
        return roleName(seed % size.roles) + ":7;" + roleName((seed * 7 + 3) % size.roles) + ":1;";
    };
    const std::string perms = "Read:0x00000001;Write:0x00000002;Execute:0x00000004;Acknowledge:0x00000008;"
                              "Configure:0x00000010;";
    int64_t counter = 0;
    for (int64_t a = 0; a < size.applications; ++a) {
        ApplicationRecord appl =
            MakeApplication(Numbered("Application", a, 4), "Generated application", perms, acl(a));
        for (int64_t g = 0; g < size.groupsPerApplication; ++g) {
            GroupRecord& group = AddGroup(appl, Numbered("Group", g, 3), "Generated group", acl(a + g));
            for (int64_t o = 0; o < size.objectsPerGroup; ++o) {
                AddObject(group, Numbered("Object", o, 4), "Generated object", acl(++counter));
            }
        }
        if (!Written(bulk->Application(appl), "the applications cannot be written", reason)) {
            return false;
        }
    }
    static const char* const kActions[] = {"Logon", "Authorize", "Logoff"};
    const std::time_t span = 28 * 24 * 3600;
    for (int64_t i = 0; i < size.logEntries; ++i) {
        std::time_t when =
            now - span + static_cast<std::time_t>((span * i) / std::max<int64_t>(size.logEntries, 1));
        LogEntry e{FormatLocalTime(when), Numbered("PLANT\\account", i % 5000, 7), kActions[i % 3],
                   i % 11 == 0 ? "Failed" : "Success", "PLANT-PC"};
        if (!Written(bulk->Log(e), "the log cannot be written", reason)) {
            return false;
        }
    }
    // Updates of the generated records by a few hundred accounts, spread
    // over the same days as the log.
    static const char* const kKinds[] = {"SecObj", "SecObj", "SecGroup", "Appl", "Role"};
    for (int64_t i = 0; i < size.auditRecords; ++i) {
        AuditRecord a;
        a.time = FormatLocalTime(
            now - span + static_cast<std::time_t>((span * i) / std::max<int64_t>(size.auditRecords, 1)));
        a.user = Numbered("PLANT\\account", i % 500, 7);
        a.computer = "PLANT-PC";
        a.object = kKinds[i % 5];
        a.operation = "Update";
        a.identity = "{generated-" + std::to_string(i % 100000) + "}";
        a.name = Numbered("Object", i % 10000, 4);
        a.oldValue = "<OldValue><Description><Value>Generated</Value></Description></OldValue>";
        a.newValue = "<NewValue><Description><Value>Changed</Value></Description></NewValue>";
        if (!Written(bulk->Audit(a), "the audit trail cannot be written", reason)) {
            return false;
        }
    }
    return FinishSeed(*bulk, now, "large", "the database cannot be written", seeded, reason);
}

} // namespace zyr::server
