#include "common/QueryEscape.h"
#include "common/RequestFrame.h"
#include "common/StringTable.h"
#include "platform/file/FileContent.h"
#include "platform/ui/UiService.h"
#include "records/Application.h"
#include "records/ApplicationImport.h"
#include "web/SecurityPost.h"

#include <algorithm>
#include <fstream>
#include <iterator>

using zyr::records::SetField;

namespace {

std::string Numbered(const char* prefix, size_t number)
{
    return prefix + std::to_string(number);
}

// A missing value reads as empty text.
std::string ValueOrEmpty(zyr::xml::KvtXmlDocument& document, std::string_view path)
{
    std::string value;
    if (FAILED(document.GetValue(path, value))) {
        value.clear();
    }
    return value;
}

LONG CountOrZero(zyr::xml::KvtXmlDocument& document, std::string_view path)
{
    LONG count = 0;
    if (FAILED(document.GetLongValue(path, &count)) || count < 0) {
        count = 0;
    }
    return count;
}

bool Present(zyr::xml::KvtXmlDocument& document, const std::string& path)
{
    std::string ignored;
    return SUCCEEDED(document.GetValue(path, ignored));
}

} // namespace

namespace zyr::records {

zyr::ui::FileDialog ExportFileDialog()
{
    zyr::ui::FileDialog dialog;
    dialog.filter = "Export File (*.XML)|*.XML|All Files (*.*)|*.*|";
    dialog.defaultExt = "XML";
    dialog.initialName = "*.xml";
    dialog.overwritePrompt = true;
    return dialog;
}

} // namespace zyr::records

HRESULT CKVTAppl::Export()
{
    std::string path;
    if (!zyr::ui::Ui().GetSaveFileName(nullptr, zyr::records::ExportFileDialog(), path)) {
        return S_OK;
    }
    return ExportToFile(path);
}

HRESULT CKVTAppl::ExportToFile(const std::string& path) const
{
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    HRESULT hr = zyr::xml::CreateKvtXmlDocument(document);
    if (FAILED(hr) || !document) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = WriteExport(*document, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    return document->SaveFile(path);
}

HRESULT CKVTAppl::WriteExport(zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement* parent) const
{
    HRESULT hr = S_OK;
    auto text = [&](const zyr::xml::KvtXmlElement* under, std::string_view tag, std::string_view value) {
        if (SUCCEEDED(hr)) {
            hr = document.AddTextElement(under, tag, value);
        }
    };
    text(parent, "ApplName", CN.view());
    text(parent, "ApplID", DN.view());
    text(parent, "Description", Description.view());
    text(parent, "KVTPerm", zyr::records::PermissionListText(Permissions));
    text(parent, "GroupCount", std::to_string(Groups.size()));
    for (size_t g = 0; g < Groups.size() && SUCCEEDED(hr); ++g) {
        const CKVTSecGroup& group = *Groups[g];
        zyr::xml::KvtXmlElement groupElement;
        hr = document.AddElement(parent, Numbered("GROUP", g), groupElement);
        text(&groupElement, "GROUPNAME", group.CN.view());
        text(&groupElement, "GROUPID", group.DN.view());
        text(&groupElement, "Description", group.Description.view());
        text(&groupElement, "SECOBJECTCOUNT", std::to_string(group.Objects.size()));
        for (size_t o = 0; o < group.Objects.size() && SUCCEEDED(hr); ++o) {
            const CKVTApplSecObj& object = *group.Objects[o];
            zyr::xml::KvtXmlElement objectElement;
            hr = document.AddElement(&groupElement, Numbered("SECOBJ", o), objectElement);
            text(&objectElement, "SECOBJNAME", object.CN.view());
            text(&objectElement, "SECOBJID", object.DN.view());
            text(&objectElement, "DESCRIPTION", object.Description.view());
        }
    }
    return hr;
}

HRESULT CKVTAppl::ImportFromXml(zyr::xml::KvtXmlDocument& document)
{
    std::string permissions;
    HRESULT hr = document.GetValue("KVTPerm", permissions);
    if (FAILED(hr)) {
        return hr;
    }
    // Each ";" ends an item; text after the last one is not an item.
    size_t at = 0;
    for (size_t end = permissions.find(';'); end != std::string::npos; end = permissions.find(';', at)) {
        std::string_view item = std::string_view(permissions).substr(at, end - at);
        size_t colon = item.find(':');
        if (colon == std::string_view::npos) {
            Permissions.emplace_back("", item);
        } else {
            Permissions.emplace_back(item.substr(0, colon), item.substr(colon + 1));
        }
        at = end + 1;
    }

    const std::string applName = ValueOrEmpty(document, "ApplName");
    SetField(DN, ValueOrEmpty(document, "ApplID"), "DN");
    const LONG groupCount = CountOrZero(document, "GroupCount");
    for (LONG g = 0; g < groupCount; ++g) {
        const std::string prefix = Numbered("GROUP", static_cast<size_t>(g)) + ".";
        // A count larger than the groups the file holds adds no empty groups.
        if (!Present(document, prefix + "GROUPNAME") && !Present(document, prefix + "GROUPID")) {
            break;
        }
        auto group =
            std::make_unique<CKVTSecGroup>(ValueOrEmpty(document, prefix + "GROUPNAME"), applName, DN.view(),
                                           ValueOrEmpty(document, prefix + "DESCRIPTION"));
        SetField(group->DN, ValueOrEmpty(document, prefix + "GROUPID"), "DN");
        const LONG objectCount = CountOrZero(document, prefix + "SECOBJECTCOUNT");
        for (LONG o = 0; o < objectCount; ++o) {
            const std::string objectPrefix = prefix + Numbered("SECOBJ", static_cast<size_t>(o)) + ".";
            if (!Present(document, objectPrefix + "SECOBJNAME") &&
                !Present(document, objectPrefix + "SECOBJID")) {
                break;
            }
            auto object = std::make_unique<CKVTApplSecObj>(
                ValueOrEmpty(document, objectPrefix + "SECOBJNAME"), group->DN.view(), DN.view(),
                ValueOrEmpty(document, objectPrefix + "DESCRIPTION"));
            SetField(object->DN, ValueOrEmpty(document, objectPrefix + "SECOBJID"), "DN");
            group->Objects.push_back(std::move(object));
        }
        Groups.push_back(std::move(group));
    }
    return S_OK;
}

// ---------------------------------------------------------------------------

namespace zyr::records {

const char* const kApplicationExistsMessage = "An application with the same name or ID already exists.";

HRESULT CheckImportedApplication(const CKVTApplList& list, zyr::xml::KvtXmlDocument& document,
                                 const ApplicationExistsReporter& reportExists)
{
    std::string name;
    HRESULT hr = document.GetValue("ApplName", name);
    if (FAILED(hr)) {
        return hr;
    }
    if (!IsValidNameText(name)) {
        return S_FALSE;
    }
    // Name and identity are both compared without regard to case: an
    // identity written in the other case names the same application.
    const std::string id = ValueOrEmpty(document, "ApplID");
    const bool exists = std::any_of(list.Applications.begin(), list.Applications.end(), [&](const auto& a) {
        return zyr::text::EqualsNoCase(a->CN.view(), name) ||
               (!id.empty() && zyr::text::EqualsNoCase(a->DN.view(), id));
    });
    if (exists) {
        if (reportExists) {
            reportExists(kApplicationExistsMessage);
        } else {
            zyr::ui::Ui().MessageBox(nullptr, kApplicationExistsMessage,
                                     zyr::LoadStringAnsi(zyr::IDS_PROJNAME),
                                     zyr::ui::MB_OK | zyr::ui::MB_ICONINFORMATION);
        }
        return S_FALSE;
    }
    if (!IsValidNameText(ValueOrEmpty(document, "Description"))) {
        return S_FALSE;
    }
    return S_OK;
}

HRESULT AddImportedApplication(CKVTApplList& list, zyr::xml::KvtXmlDocument& document, CKVTAppl** added,
                               const ApplicationExistsReporter& reportExists)
{
    if (added != nullptr) {
        *added = nullptr;
    }
    HRESULT hr = CheckImportedApplication(list, document, reportExists);
    if (hr != S_OK) {
        return FAILED(hr) ? hr : S_OK;
    }
    CKVTAppl& application = list.Append(std::make_unique<CKVTAppl>(
        ValueOrEmpty(document, "ApplName"), ValueOrEmpty(document, "Description"), false));
    hr = application.ImportFromXml(document);
    if (added != nullptr) {
        *added = &application;
    }
    return hr;
}

std::string ImportedApplicationName(const std::string& path)
{
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document) {
        return {};
    }
    document->LoadFile(path);
    return ValueOrEmpty(*document, "ApplName");
}

HRESULT ImportApplicationFile(CKVTApplList& list, const std::string& path, CKVTAppl** added,
                              const ApplicationExistsReporter& reportExists)
{
    if (added != nullptr) {
        *added = nullptr;
    }
    std::string text;
    {
        if (zyr::file::ReadWholeFile(path, text) != 0) {
            return S_OK;
        }
        size_t zero = text.find('\0');
        if (zero != std::string::npos) {
            text.resize(zero);
        }
    }
    // The file is judged before the server sees it: a file that the console
    // refuses must not have changed the server already.
    std::unique_ptr<zyr::xml::KvtXmlDocument> document;
    if (FAILED(zyr::xml::CreateKvtXmlDocument(document)) || !document) {
        return E_FAIL;
    }
    document->LoadFile(path);
    HRESULT hr = CheckImportedApplication(list, *document, reportExists);
    if (hr != S_OK) {
        return FAILED(hr) ? hr : S_OK;
    }
    zyr::RequestUrl url(list.ServerUrlText(), "KVTAPI", "ApplImp");
    url.Trailer();
    // Read back by its identity when the reply is lost: there, or not.
    zyr::records::NoteSentChange(
        {zyr::records::SentChange::Kind::Application, false, ValueOrEmpty(*document, "ApplID"), {}});
    const std::string result = PostSecurityRequest(url.str(), text);
    zyr::NoteChangeReply(zyr::PostChangeReply(result));
    // A status of 400 or above did not import anything either.
    const zyr::PostVerdict verdict = zyr::JudgePostResult(result);
    if (!result.empty() && result.front() == '8') {
        return E_FAIL;
    }
    if (verdict.transportFailed) {
        zyr::ui::Ui().MessageBox(nullptr, verdict.textToShow, "Error",
                                 zyr::ui::MB_OK | zyr::ui::MB_ICONERROR);
        return E_FAIL;
    }
    if (verdict.sendFailed) {
        zyr::ShowAuditSendFailed();
        return E_FAIL;
    }
    return AddImportedApplication(list, *document, added, reportExists);
}

} // namespace zyr::records
