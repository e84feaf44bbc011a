#include "tools/zyrsec/Commands.h"

#include "tools/zyrsec/Lookup.h"

namespace zyr::zyrsec {

int AddGroup(Context& context)
{
    CKVTApplList list;
    return AddCommand(context, zyr::records::NewRecordKind::Group, zyr::records::kGroupExistsFormat, "group",
                      "secure group", [&](const std::string& name, const std::string& description) {
                          CKVTAppl* application = FetchApplication(context, list);
                          return application == nullptr
                                     ? zyr::records::AddOutcome<CKVTSecGroup>{}
                                     : zyr::records::AddGroup(*application, name, description);
                      });
}

int DeleteGroup(Context& context)
{
    return DeleteTarget(context, 1, zyr::records::kDeleteGroupFormat, "secure group");
}

int AddObject(Context& context)
{
    CKVTApplList list;
    return AddCommand(context, zyr::records::NewRecordKind::Object, zyr::records::kObjectExistsFormat,
                      "object", "securable object",
                      [&](const std::string& name, const std::string& description) {
                          Target target;
                          return FetchTarget(context, list, 1, target)
                                     ? zyr::records::AddObject(*target.group, name, description)
                                     : zyr::records::AddOutcome<CKVTApplSecObj>{};
                      });
}

int DeleteObject(Context& context)
{
    return DeleteTarget(context, 2, zyr::records::kDeleteObjectFormat, "securable object");
}

} // namespace zyr::zyrsec
