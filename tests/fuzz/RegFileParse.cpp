// Any bytes go through the .reg parser; what it accepts must write back to a
// file that reads as the same hive.
#include "platform/registry/RegFile.h"

#include <cstdlib>
#include <string_view>

using namespace zyr::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegFileDocument document;
    RegFileError error;
    if (!ParseRegFile(bytes, document, error)) {
        return 0;
    }
    for (HiveId id : {HiveId::Machine, HiveId::User}) {
        RegistryHive hive(RootName(id));
        ApplyRegFile(document, id, hive);
        std::string written = WriteRegFile(hive.Root(), RootName(id), false);
        RegFileDocument again;
        if (!ParseRegFile(written, again, error)) {
            std::abort();
        }
        RegistryHive back(RootName(id));
        ApplyRegFile(again, id, back);
        if (WriteRegFile(back.Root(), RootName(id), false) != written) {
            std::abort();
        }
    }
    return 0;
}
