// Seeds for an empty database: a small real-looking one ("demo") and a large
// one of chosen size for load tests ("large:A,G,O,R,M,L[,T]").
#pragma once

#include "server/storage/SecurityStore.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace zyr::server {

struct LargeSeed {
    int64_t applications = 0;
    int64_t groupsPerApplication = 0;
    int64_t objectsPerGroup = 0;
    int64_t roles = 0;
    int64_t membersPerRole = 0;
    int64_t logEntries = 0;
    int64_t auditRecords = 0;
};

// "large:A,G,O,R,M,L[,T]"; false when the text does not have six or seven counts.
bool ParseLargeSeed(std::string_view text, LargeSeed& out);

// The account the demo seed makes a security administrator: DOMAIN\user, the
// domain being the short upper-case host name.
std::string DefaultAdminAccount();

// Each seed fills an empty database once; a database that holds data is left
// as it is (seeded stays false, the result true).
bool SeedDemo(SecurityStore& store, const std::string& adminAccount, std::time_t now, bool& seeded,
              std::string& reason);
bool SeedLarge(SecurityStore& store, const LargeSeed& size, std::time_t now, bool& seeded,
               std::string& reason);

// A new identity: "{", a random GUID, "}".
std::string NewIdentity(bool upperCase);

} // namespace zyr::server
