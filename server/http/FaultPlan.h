// Faults that the test controls inject into the replies of chosen requests,
// keyed by Object and Operation (compared without regard to case; an empty
// Object matches the requests that have none).
#pragma once

#include "server/service/FormFields.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zyr::server {

struct FaultAction {
    int delayMs = 0;      // wait before answering (the request is still served)
    bool drop = false;    // close the connection without a reply
    int status = 0;       // answer this status with an empty body
    int redirectCode = 0; // answer a redirect to location
    std::string location;
    bool errorReply = false;  // answer "Error: injected"
    bool emptyReply = false;  // answer 200 with an empty body
    std::string zyrErrorText; // add the "ZYR Error" header (the request is still served)
    bool served = false;      // drop or emptyReply after the request was served

    // True when the request must not be served: the fault answers instead.
    bool replaces() const
    {
        return (!served && (drop || emptyReply)) || status != 0 || redirectCode != 0 || errorReply;
    }
};

class FaultPlan {
public:
    // Applies one test-control form ("Kind=...&..."); false with a reason
    // when the form is not understood.
    bool Apply(std::string_view kind, const FormFields& fields, std::string& reason);
    // The faults for one request; counted faults are used up here.
    FaultAction Take(std::string_view object, std::string_view operation);
    void Clear();

private:
    struct Entry {
        int delayMs = 0;
        bool drop = false;
        int status = 0;
        int redirectCode = 0;
        std::string location;
        int redirectCount = 0;
        int errorCount = 0;
        bool emptyReply = false;
        bool served = false;
        std::string zyrErrorText;
    };
    static std::string Key(std::string_view object, std::string_view operation);

    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

} // namespace zyr::server
