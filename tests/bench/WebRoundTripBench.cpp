// What a request costs on loopback: GETs on the kept-alive session against
// POSTs that open a fresh session each time, for small and list-sized replies.
#include "tests/support/ScriptedHttpServer.h"
#include "web/SecurityPost.h"
#include "web/WebPage.h"

#include <benchmark/benchmark.h>

namespace {

std::string ListReply(size_t bytes)
{
    std::string reply = "<DOCUMENT>";
    while (reply.size() + 11 < bytes) {
        reply += "<ROLE><CN>Plant Ops</CN></ROLE>";
    }
    return reply + "</DOCUMENT>";
}

void BM_GetWebPage(benchmark::State& state)
{
    zyr::test::ScriptedHttpServer server;
    server.SetDefaultReply({.body = ListReply(static_cast<size_t>(state.range(0)))});
    zyr::web::ResetWebSession();
    std::string url = server.Url("/sec.asp?Object=Role&Operation=Get");
    for (auto _ : state) {
        std::string reply;
        if (!GetWebPage(url, reply, true)) {
            state.SkipWithError("GET failed");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    zyr::web::ResetWebSession();
}
BENCHMARK(BM_GetWebPage)->Arg(64)->Arg(256 << 10);

void BM_PostSecurityRequest(benchmark::State& state)
{
    zyr::test::ScriptedHttpServer server;
    server.SetDefaultReply({.body = "true"});
    std::string url = server.Url("/sec.asp?Object=Role&Operation=Update");
    std::string body(static_cast<size_t>(state.range(0)), 'a');
    for (auto _ : state) {
        std::string result = PostSecurityRequest(url, body);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PostSecurityRequest)->Arg(64)->Arg(64 << 10);

} // namespace
