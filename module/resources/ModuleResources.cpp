#include "module/resources/ModuleResources.h"

#include "module/resources/NodeImages.h"

#include <vector>

namespace zyr::module {
namespace {

using console::BitmapResource;
using console::MenuItem;
using console::MenuPosition;
using console::MenuResource;
using console::ToolbarButton;
using console::ToolbarResource;

// Menu commands.
constexpr long ID_NEW_APPLICATION = 32768;
constexpr long ID_NEW_SECURABLE_OBJECT = 32779;
constexpr long ID_NEW_SECURE_GROUP = 32781;
constexpr long ID_EXPORT_APPLICATION = 32784;
constexpr long ID_IMPORT_APPLICATION = 32785;
constexpr long ID_NEW_ROLE = 32775;
constexpr long ID_FIND_USER = 32839;
constexpr int ID_PREVIOUS_LOGS = 32799;
constexpr int ID_NEXT_LOGS = 32800;
constexpr long ID_EXPORT_LOG_LIST = 32870;
constexpr long ID_WHO_HAS_ACCESS = 32880;
constexpr long ID_ACCESS_REVIEW_REPORT = 32881;

// Menu 104: the applications container.
constexpr MenuItem kApplicationNew[] = {{"New Application", ID_NEW_APPLICATION}};
constexpr MenuItem kApplicationTask[] = {{"Import Application ...", ID_IMPORT_APPLICATION}};
constexpr MenuPosition kApplicationMenu[] = {
    {"TOP", true, {}},
    {"NEW", true, kApplicationNew},
    {"TASK", true, kApplicationTask},
};

// Menu 108: one application.
constexpr MenuItem kApplInstanceNew[] = {{"Secure Group", ID_NEW_SECURE_GROUP}};
constexpr MenuItem kApplInstanceTask[] = {{"Export Application ...", ID_EXPORT_APPLICATION}};
constexpr MenuItem kWhoHasAccess[] = {{"Who Has Access...", ID_WHO_HAS_ACCESS}};
constexpr MenuPosition kApplInstanceMenu[] = {
    {"TOP", true, kWhoHasAccess},
    {"NEW", true, kApplInstanceNew},
    {"TASK", true, kApplInstanceTask},
};

// Menu 110: the roles container.
constexpr MenuItem kRoleTop[] = {{"&Find User", ID_FIND_USER}};
constexpr MenuItem kRoleNew[] = {{"Role", ID_NEW_ROLE}};
constexpr MenuPosition kRoleMenu[] = {
    {"TOP", true, kRoleTop},
    {"NEW", true, kRoleNew},
};

// Menu 111: a secure group. Its third position is a plain item, not a
// pop-up, so the walk stops there and the group has no task items.
constexpr MenuItem kGroupNew[] = {{"Securable Object", ID_NEW_SECURABLE_OBJECT}};
constexpr MenuPosition kGroupMenu[] = {
    {"TOP", true, kWhoHasAccess},
    {"New Application", true, kGroupNew},
    {"TASK", false, {}},
};

// Menu 231: the logs container.
constexpr MenuItem kLogTop[] = {{"Export List...", ID_EXPORT_LOG_LIST}};
constexpr MenuPosition kLogMenu[] = {
    {"TOP", true, kLogTop},
};

// Menu 245: a securable object. Menu 246: the root.
constexpr MenuPosition kObjectMenu[] = {
    {"TOP", true, kWhoHasAccess},
};
constexpr MenuItem kRootTop[] = {{"Access Review Report...", ID_ACCESS_REVIEW_REPORT}};
constexpr MenuPosition kRootMenu[] = {
    {"TOP", true, kRootTop},
};
// Menu 232: the audit trail container.
constexpr long ID_FILTER_AUDIT_TRAIL = 32882;
constexpr MenuItem kAuditTop[] = {{"Filter...", ID_FILTER_AUDIT_TRAIL},
                                  {"Export List...", ID_EXPORT_LOG_LIST}};
constexpr MenuPosition kAuditMenu[] = {
    {"TOP", true, kAuditTop},
};

constexpr MenuResource kMenus[] = {
    {console::IDR_APPLICATION_MENU, kApplicationMenu},
    {console::IDR_APPL_INSTANCE_MENU, kApplInstanceMenu},
    {console::IDR_ROLE_MENU, kRoleMenu},
    {console::IDR_GROUP_MENU, kGroupMenu},
    {console::IDR_LOG_MENU, kLogMenu},
    {console::IDR_OBJECT_MENU, kObjectMenu},
    {console::IDR_ROOT_MENU, kRootMenu},
    {console::IDR_AUDIT_MENU, kAuditMenu},
};

constexpr ToolbarButton kLogButtons[] = {{0, ID_PREVIOUS_LOGS}, {1, ID_NEXT_LOGS}};
constexpr ToolbarResource kToolbars[] = {{console::IDR_LOG_TOOLBAR, console::IDR_LOG_TOOLBAR, kLogButtons}};

struct EncodedStrip {
    std::vector<unsigned char> png;
    ImageStrip strip;
};

EncodedStrip Encode(const std::vector<Canvas>& pictures)
{
    EncodedStrip encoded;
    encoded.png = EncodePng(Strip(pictures));
    encoded.strip.width = pictures.front().Width();
    encoded.strip.height = pictures.front().Height();
    encoded.strip.count = static_cast<int>(pictures.size());
    return encoded;
}

struct Images {
    Images()
    {
        std::vector<Canvas> large = DrawNodeImages();
        std::vector<Canvas> small;
        for (const Canvas& picture : large) {
            small.push_back(picture.Halved());
        }
        strips.push_back({console::IDB_NODE_IMAGES_16, Encode(small)});
        strips.push_back({console::IDB_NODE_IMAGES_32, Encode(large)});
        strips.push_back({console::IDR_LOG_TOOLBAR, Encode(DrawToolbarImages())});
        strips.push_back({console::IDI_SNAPIN_ICON, Encode({DrawSnapinIcon()})});
        strips.push_back({console::IDB_STATIC_FOLDER, Encode({DrawStaticFolder()})});
        for (auto& [id, encoded] : strips) {
            encoded.strip.png = encoded.png.data();
            encoded.strip.size = encoded.png.size();
            bitmaps.push_back({id, &encoded.strip});
        }
    }
    std::vector<std::pair<UINT, EncodedStrip>> strips;
    std::vector<BitmapResource> bitmaps;
};

} // namespace

const console::ResourceSet& ModuleResourceSet()
{
    static const Images images;
    static const console::ResourceSet set{kMenus, kToolbars, images.bitmaps};
    return set;
}

} // namespace zyr::module
