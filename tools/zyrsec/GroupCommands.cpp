#include "tools/zyrsec/Commands.h"

#include "tools/zyrsec/Lookup.h"

namespace zyr::zyrsec {

int AddGroup(Context& context)
{
    std::string name;
    std::string description;
    if (!ReadNewName(context, zyr::records::NewRecordKind::Group, name, description)) {
        return kExitFailed;
    }
    CKVTApplList list;
    CKVTAppl* application = FetchApplication(context, list);
    if (application == nullptr) {
        return kExitFailed;
    }
    return ReportAdded(context, zyr::records::AddGroup(*application, name, description),
                       zyr::records::kGroupExistsFormat, "group", "secure group");
}

int DeleteGroup(Context& context)
{
    return DeleteTarget(context, 1, zyr::records::kDeleteGroupFormat, "secure group");
}

int AddObject(Context& context)
{
    std::string name;
    std::string description;
    if (!ReadNewName(context, zyr::records::NewRecordKind::Object, name, description)) {
        return kExitFailed;
    }
    CKVTApplList list;
    Target target;
    if (!FetchTarget(context, list, 1, target)) {
        return kExitFailed;
    }
    return ReportAdded(context, zyr::records::AddObject(*target.group, name, description),
                       zyr::records::kObjectExistsFormat, "object", "securable object");
}

int DeleteObject(Context& context)
{
    return DeleteTarget(context, 2, zyr::records::kDeleteObjectFormat, "securable object");
}

} // namespace zyr::zyrsec
