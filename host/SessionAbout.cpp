// What the snap-in tells of itself: its about object and its help file, and
// the path of an item for the window title.
#include "host/ConsoleSession.h"

#include "host/ProtocolValues.h"
#include "host/SnapinRegistry.h"
#include "platform/com/ClassTable.h"

#include <utility>

namespace zyr::host {

using zyr::com::ComPtr;

namespace {

// Takes a text the snap-in allocated.
std::u16string TakeText(LPOLESTR text)
{
    std::u16string taken = TextOf(text);
    if (text != nullptr) {
        CoTaskMemFree(text);
    }
    return taken;
}

} // namespace

bool ConsoleSession::AboutSnapin(SnapinAbout& about) const
{
    CLSID aboutClass{};
    if (!Started() || !FindAboutClass(snapin_, aboutClass)) {
        return false;
    }
    ComPtr<ISnapinAbout> object;
    if (FAILED(CoCreateInstance(aboutClass, nullptr, CLSCTX_INPROC_SERVER, IID_ISnapinAbout,
                                object.PutVoid()))) {
        return false;
    }
    LPOLESTR text = nullptr;
    if (SUCCEEDED(object->GetSnapinDescription(&text))) {
        about.description = TakeText(std::exchange(text, nullptr));
    }
    if (SUCCEEDED(object->GetProvider(&text))) {
        about.provider = TakeText(std::exchange(text, nullptr));
    }
    if (SUCCEEDED(object->GetSnapinVersion(&text))) {
        about.version = TakeText(std::exchange(text, nullptr));
    }
    HBITMAP image = nullptr;
    if (SUCCEEDED(object->GetSnapinImage(&image)) && image != nullptr && image->png != nullptr) {
        about.imagePng.assign(image->png, image->png + image->size);
    }
    return true;
}

std::string ConsoleSession::HelpFile() const
{
    if (!Started()) {
        return {};
    }
    ComPtr<ISnapinHelp> help = componentData_.As<ISnapinHelp>();
    LPOLESTR file = nullptr;
    if (!help || FAILED(help->GetHelpTopic(&file))) {
        return {};
    }
    std::u16string name = TakeText(file);
    std::string narrow;
    for (char16_t c : name) {
        if (c > 0x7F) {
            return {}; // the snap-ins name their files in plain ASCII
        }
        narrow.push_back(static_cast<char>(c));
    }
    return narrow;
}

std::u16string ConsoleSession::ItemPath(HSCOPEITEM id, std::u16string_view separator)
{
    std::u16string path;
    for (const ScopeItem* item = Item(id); item != nullptr; item = Item(item->parent)) {
        std::u16string name = ItemName(item->id);
        path = path.empty() ? name : name + std::u16string(separator) + path;
    }
    return path;
}

} // namespace zyr::host
