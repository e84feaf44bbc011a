#include "console/appl/ApplicationNode.h"

#include "console/appl/ApplInstanceNode.h"
#include "console/appl/ApplNodeSupport.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/OpenPages.h"
#include "platform/ui/UiService.h"
#include "records/ApplicationDiff.h"
#include "records/ApplicationImport.h"
#include "records/ConsoleAccess.h"

#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

using zyr::com::ComPtr;

std::span<const CommandEntry<CApplicationNode>> CApplicationNode::CommandTable()
{
    static const CommandEntry<CApplicationNode> table[] = {
        {ID_NEW_APPLICATION, &CApplicationNode::OnNewApplication},
        {ID_IMPORT_APPLICATION, &CApplicationNode::OnImportApplication},
    };
    return table;
}

CApplicationNode::CApplicationNode(zyr::console::StatusWindow* status)
{
    m_scopeDataItem.nImage = 0;
    m_scopeDataItem.nOpenImage = 0;
    m_scopeDataItem.cChildren = 1;
    StatusTextHandler showStep;
    if (status != nullptr) {
        showStep = [status](std::string_view text) { status->ShowStep(text); };
    }
    // Each application's node is built with the element the application was
    // read from, so a malformed element that was skipped shifts nothing.
    const zyr::records::FetchResult fetched = FetchApplications(
        m_applList, showStep,
        [this](zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
               CKVTAppl& application, CKVTApplList& list) {
            AppendChild(new CApplInstanceNode(&document, &element, &application, &list, this));
        });
    zyr::console::ShowFetchFailure(fetched, "applications");
}

CApplicationNode::~CApplicationNode()
{
    DestroyChildren();
}

LPOLESTR CApplicationNode::GetColumnText(int column)
{
    return ColumnTexts(column, {m_bstrDisplayName, u"Applications"});
}

HRESULT CApplicationNode::OnExpand(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                                   DATA_OBJECT_TYPES type)
{
    if (arg != 0) {
        expanded_ = true;
    }
    return CKVTChildData<CApplicationNode>::OnExpand(event, arg, param, console, type);
}

HRESULT CApplicationNode::QueryPagesFor(DATA_OBJECT_TYPES type)
{
    return type == CCT_SCOPE || type == CCT_RESULT ? S_OK : S_FALSE;
}

HRESULT CApplicationNode::OnSelect(IConsole* console)
{
    // Refresh here reads the whole tree again, the applications' and their
    // groups' too.
    HRESULT hr = zyr::console::EnableVerbs(console, {MMC_VERB_REFRESH});
    UpdateDescriptionBar(console);
    return hr;
}

HRESULT CApplicationNode::SetColumnHeaders(IHeaderCtrl* header)
{
    return zyr::console::InsertNameDescriptionColumns(header, u"Applications");
}

HRESULT CApplicationNode::OnRefresh(IConsole* console)
{
    // One fetch, read behind the records shown; the old records go once
    // every node has moved to its new one. A failed fetch keeps what is
    // shown and says so.
    const size_t first = m_applList.Applications.size();
    zyr::records::FetchResult fetched = zyr::records::FetchResult::NotRead;
    {
        zyr::ui::WaitCursor wait;
        fetched =
            FetchApplications(m_applList, {},
                              [](zyr::xml::KvtXmlDocument& document, const zyr::xml::KvtXmlElement& element,
                                 CKVTAppl& application, CKVTApplList&) {
                                  CApplInstanceNode::LoadRecord(document, element, application);
                              });
    }
    auto& records = m_applList.Applications;
    if (fetched != zyr::records::FetchResult::Fetched) {
        records.erase(records.begin() + static_cast<std::ptrdiff_t>(first), records.end());
        zyr::console::ShowFetchFailure(fetched, "applications", true);
        return S_OK;
    }
    std::vector<CKVTAppl*> read;
    read.reserve(records.size() - first);
    for (size_t i = first; i < records.size(); ++i) {
        read.push_back(records[i].get());
    }
    zyr::console::appl::FollowByName<CApplInstanceNode>(
        m_children, read, [](const CApplInstanceNode& node) { return node.Application(); },
        [console](CApplInstanceNode& node, CKVTAppl& application) { node.Rebind(application, console); },
        [console](CApplInstanceNode& node) { node.Withdraw(console); },
        [this, console](CKVTAppl& application) {
            AppendChild(new CApplInstanceNode(nullptr, nullptr, &application, &m_applList, this));
            zyr::console::appl::InsertScopeChild(console, expanded_, m_scopeDataItem.ID, m_children.back());
        });
    // Every node now refers to a record just read. A property page left open
    // may still hold an old record: while any page is open, the old records
    // are kept (until a refresh finds none open, or the console closes).
    std::vector<std::unique_ptr<CKVTAppl>> old(
        std::make_move_iterator(records.begin()),
        std::make_move_iterator(records.begin() + static_cast<std::ptrdiff_t>(first)));
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(first));
    if (zyr::console::OpenPageCount() == 0) {
        retired_.clear();
    } else {
        retired_.insert(retired_.end(), std::make_move_iterator(old.begin()),
                        std::make_move_iterator(old.end()));
    }
    UpdateDescriptionBar(console);
    // The view in the result pane is shown afresh, with what changed.
    HSCOPEITEM shown = m_bShown ? m_scopeDataItem.ID : 0;
    for (size_t i = 0; shown == 0 && i < m_children.size(); ++i) {
        shown = static_cast<CApplInstanceNode*>(m_children[i])->ShownScopeItem();
    }
    if (shown != 0 && console != nullptr) {
        console->SelectScopeItem(shown);
    }
    return S_OK;
}

HRESULT CApplicationNode::UpdateDescriptionBar(IConsole* console)
{
    return zyr::console::SetDescriptionBar(console, static_cast<int>(m_children.size()), "%d Application",
                                           "%d Applications");
}

HRESULT CApplicationNode::AddApplicationNode(CKVTAppl& application, IConsole* console)
{
    auto* node = new CApplInstanceNode(nullptr, nullptr, &application, &m_applList, this);
    AppendChild(node);
    HRESULT hr = zyr::console::appl::InsertScopeChild(console, expanded_, m_scopeDataItem.ID, node);
    if (SUCCEEDED(hr) && console != nullptr && m_scopeDataItem.ID != 0) {
        // Shown afresh, with the new application selected.
        console->SelectScopeItem(m_scopeDataItem.ID);
    }
    return hr;
}

HRESULT CApplicationNode::OnNewApplication(bool&, CSnapInObjectRootBase* root)
{
    return zyr::console::appl::RunNewItem(
        *this, true, zyr::console::NewItemKind::Application, "Application", root,
        [this](const zyr::console::NewItemTexts& texts) {
            return zyr::records::AddApplication(m_applList, texts.name, texts.description);
        },
        [this](IConsole* console, CKVTAppl& added) { AddApplicationNode(added, console); });
}

HRESULT CApplicationNode::OnImportApplication(bool&, CSnapInObjectRootBase* root)
{
    ComPtr<IConsole> console;
    HRESULT hr = GetConsole(root, console.Put());
    if (FAILED(hr)) {
        return hr;
    }
    // An import changes the database: a refusal comes before the file is asked for.
    if (zyr::console::RefuseChangeWhenAuditNotFunctional()) {
        return S_OK;
    }
    std::string path;
    if (!zyr::ui::Ui().GetOpenFileName(zyr::console::MainWindowOf(console.get()),
                                       zyr::records::ExportFileDialog(), path)) {
        return S_OK;
    }
    // An import over the console's own application would take its grants.
    if (!zyr::records::PassesImportLockoutGuard(path, &m_applList)) {
        return S_OK;
    }
    // What the file would add is shown before anything is sent; Cancel sends nothing.
    std::unique_ptr<CKVTAppl> preview;
    if (SUCCEEDED(zyr::records::LoadExportFile(path, preview)) && preview != nullptr &&
        !zyr::console::CurrentApplicationUi().ConfirmImport(zyr::console::MainWindowOf(console.get()),
                                                            *preview, m_applList)) {
        return S_OK;
    }
    CKVTAppl* added = nullptr;
    {
        zyr::ui::WaitCursor wait;
        // The file is checked before the server sees it; a duplicate is
        // reported through the console.
        hr = zyr::records::ImportApplicationFile(
            m_applList, path, &added, [&console](const std::string& text) {
                zyr::console::ConsoleMessageText(console.get(), text, zyr::ui::MB_ICONINFORMATION);
            });
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (added != nullptr) {
        hr = AddApplicationNode(*added, console.get());
    }
    UpdateDescriptionBar(console.get());
    return hr;
}

CSnapInItem* CreateApplicationNode(zyr::console::StatusWindow* status)
{
    return new CApplicationNode(status);
}
