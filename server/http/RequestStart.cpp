#include "server/http/RequestStart.h"

namespace zyr::server {

bool PlausibleStart(std::string_view data)
{
    size_t i = 0;
    for (; i < data.size() && i < 20; ++i) {
        char c = data[i];
        if (c == ' ') {
            return i > 0;
        }
        if (c < 'A' || c > 'Z') {
            return false;
        }
    }
    return i < 20;
}

bool BareLineBreak(std::string_view head)
{
    for (size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '\n' && (i == 0 || head[i - 1] != '\r')) {
            return true;
        }
        if (head[i] == '\r' && i + 1 < head.size() && head[i + 1] != '\n') {
            return true;
        }
    }
    return false;
}

} // namespace zyr::server
