// What a page of the audit trail is narrowed to: the one shape in which the
// console and zyrsec ask and the security server answers.
#pragma once

#include <string>

namespace zyr::audittrail {

// An empty field narrows nothing. Times are "YYYY-MM-DD" or
// "YYYY-MM-DD HH:MM:SS", from inclusive, to exclusive; user and object match
// the whole text, name a part of it, each without regard to ASCII letter case.
struct AuditFilter {
    std::string from;
    std::string to;
    std::string user;
    std::string object;
    std::string name;
    bool Empty() const
    {
        return from.empty() && to.empty() && user.empty() && object.empty() && name.empty();
    }
};

} // namespace zyr::audittrail
