#include "server/service/AuditGate.h"

namespace zyr::server {

std::string AuditGate::Key(std::string_view computer)
{
    std::string key(computer);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

bool AuditGate::CanSend(std::string_view computer) const
{
    std::lock_guard lock(mutex_);
    return !sendFailing_ && notFunctional_.count(Key(computer)) == 0;
}

bool AuditGate::NotFunctional(std::string_view computer) const
{
    std::lock_guard lock(mutex_);
    return notFunctional_.count(Key(computer)) != 0;
}

void AuditGate::SetSendFailing(bool failing)
{
    std::lock_guard lock(mutex_);
    sendFailing_ = failing;
}

void AuditGate::SetNotFunctional(std::string_view computer, bool notFunctional)
{
    std::lock_guard lock(mutex_);
    if (notFunctional) {
        notFunctional_.insert(Key(computer));
    } else {
        notFunctional_.erase(Key(computer));
    }
}

void AuditGate::Reset()
{
    std::lock_guard lock(mutex_);
    sendFailing_ = false;
    notFunctional_.clear();
}

} // namespace zyr::server
