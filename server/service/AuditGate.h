// The compliance flag and the state of the audit component. While the flag is
// on, a change is made only when its event can be passed on for the
// requesting computer; the test controls make that path fail on demand.
#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace zyr::server {

class AuditGate {
public:
    bool ComplianceOn() const { return compliance_.load(); }
    void SetComplianceOn(bool on) { compliance_.store(on); }

    // True when an event from this computer can be passed on.
    bool CanSend(std::string_view computer) const;
    // True when the audit component cannot take events for this computer.
    bool NotFunctional(std::string_view computer) const;

    void SetSendFailing(bool failing);
    void SetNotFunctional(std::string_view computer, bool notFunctional);
    void Reset();

private:
    static std::string Key(std::string_view computer);

    std::atomic<bool> compliance_{false};
    mutable std::mutex mutex_;
    bool sendFailing_ = false;
    std::set<std::string> notFunctional_; // upper-case computer names
};

} // namespace zyr::server
