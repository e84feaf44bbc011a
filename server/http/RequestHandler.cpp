#include "server/http/RequestHandler.h"

namespace zyr::server {

namespace {

bool PathMatches(std::string_view path)
{
    if (path.size() == kRequestPath.size() + 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return EqualsNoCase(path, kRequestPath);
}

} // namespace

HttpReply TextReply(int status, std::string body)
{
    HttpReply reply;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

std::string HeaderSafe(std::string_view text)
{
    std::string out;
    for (char c : text) {
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    }
    return out;
}

bool ReadPageRequest(std::string_view method, std::string_view target, std::string_view body,
                     std::string_view account, PageRequest& out, HttpReply& refusal)
{
    if (method != "GET" && method != "POST") {
        refusal = TextReply(405, "Method Not Allowed");
        refusal.headers.emplace_back("Allow", "GET, POST");
        return false;
    }
    size_t mark = target.find('?');
    std::string_view path = target.substr(0, mark);
    std::string_view queryText =
        mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
    if (!PathMatches(path)) {
        refusal = TextReply(404, "Not Found");
        return false;
    }
    if (!out.query.Parse(queryText)) {
        refusal = TextReply(400, "Bad Request: malformed query");
        return false;
    }
    out.object = out.query.Get("Object");
    out.operation = out.query.Get("Operation");
    out.body = TrimTrailingZeros(body);
    out.account = account;
    return true;
}

HttpReply RequestHandler::Handle(std::string_view method, std::string_view target, std::string_view body,
                                 std::string_view account)
{
    PageRequest request;
    HttpReply refusal;
    if (!ReadPageRequest(method, target, body, account, request, refusal)) {
        return refusal;
    }
    return Answer(request);
}

bool RequestHandler::MayWait(std::string_view target) const
{
    size_t mark = target.find('?');
    FormFields query;
    if (mark == std::string_view::npos || !query.Parse(target.substr(mark + 1))) {
        return false;
    }
    std::string_view operation = query.Get("Operation");
    return !operation.empty() && !(operation.size() >= 3 && EqualsNoCase(operation.substr(0, 3), "Get"));
}

} // namespace zyr::server
