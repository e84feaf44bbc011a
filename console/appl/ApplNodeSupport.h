// What the application-side nodes share: the New dialog through the installed
// hook, the checks of the entered texts, the refusal of a failed delete and
// the refresh of a node's display after its pages changed it, and nodes that
// follow their records read again.
#pragma once

#include "console/framework/ApplicationUi.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/NodeHelpers.h"
#include "console/framework/SnapInObjectRoot.h"
#include "platform/com/Unknown.h"
#include "platform/mmc/ConsoleInterfaces.h"
#include "platform/text/CodePage.h"
#include "records/ChangeFlows.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zyr::console::appl {

// Runs the New dialog of the kind over the console's main window; true after
// OK with texts filled and acceptable: a name that is not empty and a name
// and description without reserved characters (IsValidNameText shows its
// message). False after Cancel, without an installed dialog, or for texts
// that would only be refused by the server.
bool RunNewItemDialog(NewItemKind kind, IConsole* console, NewItemTexts& texts);

// The start of a New command of a node: the refusal while the audit trail is
// not functional, the node's record (E_FAIL without it), the console of the
// issuing object and the New dialog. S_OK with console and texts set when the
// item is to be made; S_FALSE when refused or cancelled (the command answers
// S_OK); a failure to reach the console as it came.
template <typename Node>
HRESULT BeginNewItem(Node& node, bool recordPresent, NewItemKind kind, CSnapInObjectRootBase* root,
                     zyr::com::ComPtr<IConsole>& console, NewItemTexts& texts)
{
    if (RefuseChangeWhenAuditNotFunctional()) {
        return S_FALSE;
    }
    if (!recordPresent) {
        return E_FAIL;
    }
    HRESULT hr = node.GetConsole(root, console.Put());
    if (FAILED(hr)) {
        return hr;
    }
    return RunNewItemDialog(kind, console.get(), texts) ? S_OK : S_FALSE;
}

// "<what> '<name>' Already Exists" through the console, as information.
void ShowAlreadyExists(IConsole* console, std::string_view what, const std::string& name);

// The record that an add of records/ChangeFlows made, or null: after
// "<what> '<name>' Already Exists" when the name is taken, or after the
// record's Add reported the server's refusal.
template <typename Record>
Record* AddedRecord(IConsole* console, const zyr::records::AddOutcome<Record>& outcome, std::string_view what)
{
    if (outcome.existing != nullptr) {
        ShowAlreadyExists(console, what, outcome.existing->CN.str());
    }
    return outcome.added;
}

// A New command of a node whole: BeginNewItem, then add(texts), an add of
// records/ChangeFlows, through AddedRecord; the record made goes to
// place(console, record) and the node's description bar counts again.
// S_OK, but for a console out of reach or a node without its record.
template <typename Node, typename Add, typename Place>
HRESULT RunNewItem(Node& node, bool recordPresent, NewItemKind kind, std::string_view what,
                   CSnapInObjectRootBase* root, Add add, Place place)
{
    zyr::com::ComPtr<IConsole> console;
    NewItemTexts texts;
    HRESULT hr = BeginNewItem(node, recordPresent, kind, root, console, texts);
    if (hr != S_OK) {
        return SUCCEEDED(hr) ? S_OK : hr;
    }
    if (auto* added = AddedRecord(console.get(), add(texts), what)) {
        place(console.get(), *added);
        node.UpdateDescriptionBar(console.get());
    }
    return S_OK;
}

// "Who Has Access..." of an application, group or object node: the installed
// window over the console's main window. Always S_OK; nothing without the
// application record.
template <typename Node>
HRESULT ShowWhoHasAccess(Node& node, CSnapInObjectRootBase* root, const CKVTAppl* application,
                         const CKVTSecGroup* group = nullptr, const CKVTApplSecObj* object = nullptr)
{
    if (application == nullptr) {
        return S_OK;
    }
    zyr::com::ComPtr<IConsole> console;
    node.GetConsole(root, console.Put());
    CurrentApplicationUi().ShowWhoHasAccess(MainWindowOf(console.get()), *application, group, object);
    return S_OK;
}

// The message of a change that the server refused: the item is still in the
// security database. what is "application", "secure group" or "securable
// object". Shown without owner window unless a console is given.
void ShowDeleteRefused(std::string_view what, std::string_view name, IConsole* console = nullptr);
std::string DeleteRefusedText(std::string_view what, std::string_view name);

// Inserts a new scope child under a container whose scope item is id; the
// console lists the children of a container that has not been expanded yet
// when it expands it, so then nothing is inserted now.
HRESULT InsertScopeChild(IConsole* console, bool parentExpanded, HSCOPEITEM parentId, SCOPEDATAITEM* child);

// Takes a deleted item out of the console: its scope item (with its
// children) and, when it has one, its row in the result pane. E_UNEXPECTED
// without a name space; a failed scope deletion is answered as it came.
// Nothing for an item never listed in the tree (scopeId 0).
HRESULT RemoveFromConsole(IConsole* console, HSCOPEITEM scopeId, HRESULTITEM resultId);

// The same for a node just appended: its own scope item is inserted.
HRESULT InsertScopeChild(IConsole* console, bool parentExpanded, HSCOPEITEM parentId, CSnapInItem* child);

// GetScopePaneInfo of a node named after its record: E_POINTER without an
// item, nothing filled once the record is gone, else the node's scope item
// with the record's name (kept in name for the console to read).
template <typename Record>
HRESULT FillRecordScopePaneInfo(const SCOPEDATAITEM& own, const Record* record, std::u16string& name,
                                SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    if (record == nullptr) {
        return S_OK;
    }
    name = zyr::text::Widen(record->CN.view());
    return FillScopePaneInfo(own, name, item);
}

// The console asks again for the texts of a scope item (its name in the tree
// and its row in its parent's list) and of a result item.
HRESULT RefreshScopeItem(IConsole* console, HSCOPEITEM id);
HRESULT RefreshResultItem(IConsole* console, HRESULTITEM id);

// Takes a node whose record went (deleted, or no longer read) out of its
// parent and the console; the console's answer.
template <typename Node, typename Parent>
HRESULT WithdrawNode(Node& node, Parent* parent, IConsole* console)
{
    node.ForgetRecords();
    if (parent != nullptr) {
        parent->RemoveChild(&node);
    }
    node.m_bPresent = false;
    return RemoveFromConsole(console, node.m_scopeDataItem.ID, node.m_resultDataItem.itemID);
}

// After a refresh read a node's records again: each child node (of type
// Node, with its record from Shown) whose name was read again (case-
// insensitive) is rebound to that record, the others are withdrawn, and each
// record no node took is added. Of records of one name the first counts.
template <typename Node, typename Record, typename Shown, typename Rebind, typename Withdraw, typename Add>
void FollowByName(const std::vector<CSnapInItem*>& children, const std::vector<Record*>& read, Shown shown,
                  Rebind rebind, Withdraw withdraw, Add add)
{
    std::unordered_map<std::u32string, Record*> byName;
    byName.reserve(read.size());
    for (Record* record : read) {
        byName.emplace(zyr::text::CaseFoldKey(record->CN.view()), record);
    }
    std::vector<Node*> gone;
    for (CSnapInItem* child : children) {
        auto* node = static_cast<Node*>(child);
        const Record* record = shown(*node);
        auto found =
            record != nullptr ? byName.find(zyr::text::CaseFoldKey(record->CN.view())) : byName.end();
        if (found == byName.end() || found->second == nullptr) {
            gone.push_back(node);
            continue;
        }
        rebind(*node, *found->second);
        found->second = nullptr; // taken
    }
    for (Node* node : gone) {
        withdraw(*node);
    }
    for (Record* record : read) {
        if (byName.at(zyr::text::CaseFoldKey(record->CN.view())) == record) {
            add(*record);
        }
    }
}

} // namespace zyr::console::appl
