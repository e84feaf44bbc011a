#include "console/log/LogCsv.h"

#include "common/CsvField.h"
#include "records/Log.h"

namespace zyr::console {

std::string FormatLogCsv(std::span<const CKVTLog* const> entries)
{
    std::string csv = "Date/Time,User,Action,Status\r\n";
    for (const CKVTLog* entry : entries) {
        if (entry == nullptr) {
            continue;
        }
        csv += CsvField(entry->DateTime.view());
        csv += ',';
        csv += CsvField(entry->User.view());
        csv += ',';
        csv += CsvField(entry->Action.view());
        csv += ',';
        csv += CsvField(entry->Status.view());
        csv += "\r\n";
    }
    return csv;
}

} // namespace zyr::console
