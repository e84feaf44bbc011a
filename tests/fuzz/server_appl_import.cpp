// Fuzzes the reader of the export file that an application import sends.
#include "server/service/ExportFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zyr::server::ApplicationRecord appl;
    std::string reason;
    if (zyr::server::ReadExportFile(std::string_view(reinterpret_cast<const char*>(data), size), appl,
                                    reason)) {
        if (appl.name.empty() || appl.dn.empty()) {
            __builtin_trap(); // an accepted file always names the application
        }
    }
    return 0;
}
