// The scope items of a session: the tree the snap-in builds through
// IConsoleNameSpace, and the console's own walks over it.
#include "host/ConsoleSession.h"

#include "host/ProtocolValues.h"

#include <algorithm>

namespace zyr::host {

using zyr::com::ComPtr;

namespace {

// The name and image fields that a SCOPEDATAITEM's mask marks as given.
void TakeNameAndImage(const SCOPEDATAITEM& from, ScopeItem& to)
{
    if (from.mask & SDI_STR) {
        to.nameCallback = from.displayname == MMC_CALLBACK;
        to.name = TextOf(from.displayname);
    }
    if (from.mask & SDI_IMAGE) {
        to.image = from.nImage;
        to.imageCallback = from.nImage == kImageCallback;
    }
}

} // namespace

const ScopeItem* ConsoleSession::Item(HSCOPEITEM id) const
{
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : &it->second;
}

std::u16string ConsoleSession::ItemName(HSCOPEITEM id)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return {};
    }
    if (!it->second.nameCallback || !componentData_) {
        return it->second.name;
    }
    SCOPEDATAITEM info;
    info.mask = SDI_STR;
    info.lParam = it->second.cookie;
    info.ID = id;
    if (SUCCEEDED(componentData_->GetDisplayInfo(&info))) {
        it->second.name = TextOf(info.displayname);
    }
    return it->second.name;
}

int ConsoleSession::ItemImage(HSCOPEITEM id, bool open)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return 0;
    }
    ScopeItem& item = it->second;
    if (item.imageCallback && componentData_) {
        SCOPEDATAITEM info;
        info.mask = SDI_IMAGE | SDI_OPENIMAGE;
        info.lParam = item.cookie;
        info.ID = id;
        if (SUCCEEDED(componentData_->GetDisplayInfo(&info))) {
            item.image = info.nImage;
            item.openImage = info.nOpenImage;
        }
    }
    return open ? item.openImage : item.image;
}

HSCOPEITEM ConsoleSession::FindByPath(const std::u16string& path)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find(u'/', start);
        if (slash == std::u16string::npos) {
            slash = path.size();
        }
        if (slash > start) {
            parts.push_back(path.substr(start, slash - start));
        }
        start = slash + 1;
    }
    if (parts.empty() || root_ == 0 || ItemName(root_) != parts.front()) {
        return 0;
    }
    HSCOPEITEM current = root_;
    for (size_t i = 1; i < parts.size(); ++i) {
        Expand(current);
        HSCOPEITEM next = 0;
        const ScopeItem* item = Item(current);
        if (item == nullptr) {
            return 0;
        }
        std::vector<HSCOPEITEM> children = item->children;
        for (HSCOPEITEM child : children) {
            if (ItemName(child) == parts[i]) {
                next = child;
                break;
            }
        }
        if (next == 0) {
            return 0;
        }
        current = next;
    }
    return current;
}

HRESULT ConsoleSession::Expand(HSCOPEITEM id)
{
    auto it = items_.find(id);
    if (it == items_.end() || !componentData_) {
        return E_INVALIDARG;
    }
    if (it->second.expanded) {
        return S_OK;
    }
    Call call(*this);
    it->second.expanded = true;
    ComPtr<IDataObject> data = DataObjectOf(ScopeTarget(id));
    if (!data) {
        return E_UNEXPECTED;
    }
    return componentData_->Notify(data.get(), MMCN_EXPAND, kTrue, static_cast<LPARAM>(id));
}

HRESULT ConsoleSession::InsertScopeItem(SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    HSCOPEITEM parent = item->relativeID;
    const ScopeItem* relative = Item(item->relativeID);
    if (relative == nullptr) {
        return E_INVALIDARG;
    }
    bool sibling = (item->mask & (SDI_PREVIOUS | SDI_NEXT)) != 0;
    if (sibling) {
        parent = relative->parent;
        if (Item(parent) == nullptr) {
            return E_INVALIDARG; // the root has no siblings
        }
    }
    ScopeItem added;
    added.id = nextScopeId_++;
    added.parent = parent;
    added.cookie = (item->mask & SDI_PARAM) ? item->lParam : 0;
    TakeNameAndImage(*item, added);
    added.openImage = (item->mask & SDI_OPENIMAGE) ? item->nOpenImage : added.image;
    if (item->mask & SDI_CHILDREN) {
        added.childrenHint = item->cChildren;
    }
    HSCOPEITEM id = added.id;
    items_.emplace(id, std::move(added));

    std::vector<HSCOPEITEM>& siblings = items_[parent].children;
    auto position = siblings.end();
    if (item->mask & SDI_FIRST) {
        position = siblings.begin();
    } else if (sibling) {
        position = std::find(siblings.begin(), siblings.end(), item->relativeID);
        if (position != siblings.end() && (item->mask & SDI_NEXT)) {
            ++position;
        }
    }
    siblings.insert(position, id);
    item->ID = id;
    if (observer_ != nullptr) {
        observer_->ScopeItemInserted(id);
    }

    // The shown item lists its scope children in the result pane.
    if (parent == shown_ && shown_ != 0) {
        ResultRow row;
        row.id = nextRowId_++;
        row.scopeItem = true;
        row.scopeId = id;
        row.cookie = items_[id].cookie;
        FillRowTexts(row);
        auto scopeEnd =
            std::find_if(rows_.begin(), rows_.end(), [](const ResultRow& r) { return !r.scopeItem; });
        rows_.insert(scopeEnd, std::move(row));
        ReindexRows();
        MarkResultPane();
    }
    return S_OK;
}

void ConsoleSession::RemoveTree(HSCOPEITEM id)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return;
    }
    std::vector<HSCOPEITEM> children = it->second.children;
    for (HSCOPEITEM child : children) {
        RemoveTree(child);
    }
    if (focus_.scope && focus_.scopeId == id) {
        focus_ = {};
    }
    seenRows_.erase(id);
    items_.erase(id);
}

HRESULT ConsoleSession::DeleteScopeItem(HSCOPEITEM id, long deleteThis)
{
    auto it = items_.find(id);
    if (it == items_.end()) {
        return E_INVALIDARG;
    }
    if (deleteThis && id == root_) {
        return E_INVALIDARG; // the console's own item stays
    }
    // Which of the items going away is shown now?
    bool shownGoes = false;
    for (HSCOPEITEM walk = shown_; walk != 0; walk = Item(walk) ? Item(walk)->parent : 0) {
        if (walk == id) {
            shownGoes = deleteThis || shown_ != id;
            break;
        }
    }
    HSCOPEITEM parent = it->second.parent;
    if (observer_ != nullptr) {
        observer_->ScopeItemsRemoved(id, deleteThis != 0);
    }
    std::vector<HSCOPEITEM> children = it->second.children;
    for (HSCOPEITEM child : children) {
        RemoveTree(child);
    }
    items_[id].children.clear();
    if (deleteThis) {
        RemoveTree(id);
        auto& siblings = items_[parent].children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    }
    if (shownGoes) {
        // The pane showed an item that is gone: show what is left above it.
        shown_ = 0;
        focus_ = {};
        rows_.clear();
        ReindexRows();
        columns_.clear();
        description_.clear();
        htmlView_.clear();
        ResetVerbs();
        pendingSelect_ = deleteThis ? parent : id;
        MarkResultPane();
        MarkDescription();
    } else {
        // The rows of the scope items gone go in one pass over the pane.
        RemoveGoneScopeRows();
        if (!focus_ && shown_ != 0) {
            focus_ = ScopeTarget(shown_);
            pendingReselect_ = true;
        }
        MarkResultPane();
    }
    if (depth_ == 0) {
        Settle();
    }
    return S_OK;
}

HRESULT ConsoleSession::SetScopeItem(const SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    auto it = items_.find(item->ID);
    if (it == items_.end()) {
        return E_INVALIDARG;
    }
    ScopeItem& target = it->second;
    TakeNameAndImage(*item, target);
    if (item->mask & SDI_OPENIMAGE) {
        target.openImage = item->nOpenImage;
    }
    if (item->mask & SDI_PARAM) {
        target.cookie = item->lParam;
    }
    if (item->mask & SDI_CHILDREN) {
        target.childrenHint = item->cChildren;
    }
    if (observer_ != nullptr) {
        observer_->ScopeItemChanged(item->ID);
    }
    if (auto listed = rowOfScope_.find(item->ID); listed != rowOfScope_.end()) {
        if (ResultRow* row = FindRow(listed->second)) {
            row->cookie = target.cookie;
            FillRowTexts(*row);
            MarkResultPane();
        }
    }
    return S_OK;
}

HRESULT ConsoleSession::GetScopeItem(SCOPEDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    const ScopeItem* source = Item(item->ID);
    if (source == nullptr) {
        return E_INVALIDARG;
    }
    if (item->mask & SDI_STR) {
        item->displayname = source->nameCallback ? MMC_CALLBACK : nullptr;
    }
    if (item->mask & SDI_IMAGE) {
        item->nImage = source->image;
    }
    if (item->mask & SDI_OPENIMAGE) {
        item->nOpenImage = source->openImage;
    }
    if (item->mask & SDI_PARAM) {
        item->lParam = source->cookie;
    }
    if (item->mask & SDI_CHILDREN) {
        item->cChildren = source->childrenHint < 0 ? 0 : source->childrenHint;
    }
    item->relativeID = source->parent;
    return S_OK;
}

} // namespace zyr::host
