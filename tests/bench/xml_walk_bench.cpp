// Parsing a large list reply and walking every record by position, as the
// role and log readers do.
#include "common/KvtXml.h"
#include "platform/text/CodePage.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace zyr::xml;

namespace {

std::string MakeReply(int records)
{
    std::string xml = "<?xml version=\"1.0\"?>\r\n<DOCUMENT><KVTROLES>";
    for (int i = 0; i < records; ++i) {
        const std::string n = std::to_string(i);
        xml += "<ROLE><DN>{" + n + "}</DN><CN>Role " + n + "</CN><Desc>Operators &amp; leads " + n +
               "</Desc><MemberUser>QUJDREVGR0g-SUpL</MemberUser><MemberGroup></MemberGroup></ROLE>";
    }
    return xml + "<END/></KVTROLES></DOCUMENT>";
}

void ParseAndWalk(benchmark::State& state)
{
    const std::string reply = MakeReply(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        KvtXmlDocument doc(zyr::text::CP_UTF8);
        std::string text = reply;
        if (FAILED(doc.put_XmlString(std::move(text)))) {
            state.SkipWithError("reply did not parse");
            return;
        }
        KvtXmlElement list;
        KvtXmlElementCollection records;
        doc.FindElement(nullptr, "KVTROLES", list);
        list.get_children(records);
        size_t bytes = 0;
        for (LONG i = 0; i + 1 < static_cast<LONG>(records.size()); ++i) {
            KvtXmlElement record;
            KvtXmlElementCollection fields;
            records.item(i, record);
            record.get_children(fields);
            for (LONG f = 0; f < static_cast<LONG>(fields.size()); ++f) {
                KvtXmlElement field;
                fields.item(f, field);
                doc.GetElementText(field, text);
                bytes += text.size();
            }
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(reply.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(ParseAndWalk)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
