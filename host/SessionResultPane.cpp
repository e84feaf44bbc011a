// The selection of a session and the result pane of the shown scope item:
// its view type, columns, rows and description.
#include "host/ConsoleSession.h"

#include "host/ConsoleObjects.h"
#include "host/HtmlViewType.h"
#include "host/ProtocolValues.h"

#include <algorithm>

namespace zyr::host {

void ConsoleSession::HideShown()
{
    if (shown_ == 0) {
        return;
    }
    NotifySelection(focus_, false);
    NotifyView(ScopeTarget(shown_), MMCN_SHOW, kFalse, static_cast<LPARAM>(shown_));
    shown_ = 0;
    focus_ = {};
}

HRESULT ConsoleSession::SelectScope(HSCOPEITEM id)
{
    if (Item(id) == nullptr || !component_) {
        return E_INVALIDARG;
    }
    Call call(*this);
    // The snap-in selecting the shown item again asks for it afresh: it has
    // added to it, and what it added is selected.
    const bool requested = std::exchange(requestedSelect_, false);
    const bool afresh = id == shown_ && std::exchange(showAfresh_, false);
    if (id == shown_ && !afresh) {
        if (!focus_.InScopePane()) {
            NotifySelection(focus_, false);
            focus_ = ScopeTarget(id);
            NotifySelection(focus_, true);
        }
        return S_OK;
    }
    Expand(id);
    if (Item(id) == nullptr) {
        return E_INVALIDARG; // the snap-in took it away while expanding
    }
    // What the pane listed before: shown afresh, or shown earlier and asked
    // for by the snap-in, the first row not listed then is selected. Rows the
    // snap-in inserted into the shown pane since it was shown are new too,
    // so the pane shown afresh keeps the list of its last showing.
    if (shown_ != 0 && shown_ != id) {
        auto& seen = seenRows_[shown_];
        seen.clear();
        for (const ResultRow& row : rows_) {
            seen.emplace(row.scopeItem, row.cookie);
        }
    }
    std::set<std::pair<bool, MMC_COOKIE>> before;
    const bool compare = afresh || (requested && seenRows_.count(id) != 0);
    if (compare) {
        before = seenRows_[id];
    }
    HideShown();
    columns_.clear();
    rows_.clear();
    ReindexRows();
    if (!afresh) {
        description_.clear(); // shown afresh, it keeps its description until the snap-in sets one
    }
    htmlView_.clear();
    listViewAllowed_ = true;
    ResetVerbs();
    shown_ = id;
    focus_ = ScopeTarget(id);
    MarkResultPane();
    MarkDescription();

    const MMC_COOKIE cookie = focus_.cookie;
    LPOLESTR viewType = nullptr;
    long options = MMC_VIEW_OPTIONS_NONE;
    if (component_->GetResultViewType(cookie, &viewType, &options) == S_OK && viewType != nullptr) {
        htmlView_ = HtmlFileOfViewType(viewType);
        listViewAllowed_ = (options & MMC_VIEW_OPTIONS_NOLISTVIEWS) == 0;
    }
    if (viewType != nullptr) {
        CoTaskMemFree(viewType);
    }

    NotifyView(focus_, MMCN_ADD_IMAGES,
               reinterpret_cast<LPARAM>(static_cast<IImageList*>(resultImageList_.get())),
               static_cast<LPARAM>(id));
    if (shown_ != id) {
        return S_OK; // the snap-in moved the console elsewhere
    }
    NotifyView(focus_, MMCN_SHOW, kTrue, static_cast<LPARAM>(id));
    if (shown_ != id || Item(id) == nullptr) {
        return S_OK;
    }
    // The console lists the scope children itself, ahead of the result items.
    std::vector<ResultRow> scopeRows;
    for (HSCOPEITEM child : Item(id)->children) {
        ResultRow row;
        row.id = nextRowId_++;
        row.scopeItem = true;
        row.scopeId = child;
        row.cookie = Item(child)->cookie;
        FillRowTexts(row);
        scopeRows.push_back(std::move(row));
    }
    rows_.insert(rows_.begin(), std::make_move_iterator(scopeRows.begin()),
                 std::make_move_iterator(scopeRows.end()));
    ReindexRows();
    if (compare) {
        for (const ResultRow& row : rows_) {
            if (before.count(std::make_pair(row.scopeItem, row.cookie)) == 0) {
                focus_ = ResultTarget(row.id);
                break;
            }
        }
    }
    auto& listed = seenRows_[id];
    listed.clear();
    for (const ResultRow& row : rows_) {
        listed.emplace(row.scopeItem, row.cookie);
    }
    NotifySelection(focus_, true);
    if (observer_ != nullptr) {
        observer_->ShownScopeChanged(id);
    }
    return S_OK;
}

HRESULT ConsoleSession::SelectScopeItemRequest(HSCOPEITEM id)
{
    if (Item(id) == nullptr) {
        return E_INVALIDARG;
    }
    pendingSelect_ = id;
    showAfresh_ = id == shown_;
    requestedSelect_ = true;
    if (depth_ == 0) {
        Settle();
    }
    return S_OK;
}

HRESULT ConsoleSession::SelectResult(HRESULTITEM rowId)
{
    if (shown_ == 0) {
        return E_UNEXPECTED;
    }
    Target next = rowId == 0 ? ScopeTarget(shown_) : ResultTarget(rowId);
    if (!next) {
        return E_INVALIDARG;
    }
    if (next.resultId == focus_.resultId && next.scopeId == focus_.scopeId) {
        return S_OK;
    }
    Call call(*this);
    NotifySelection(focus_, false);
    focus_ = next;
    NotifySelection(focus_, true);
    return S_OK;
}

const ResultRow* ConsoleSession::Row(HRESULTITEM id) const
{
    auto it = rowAt_.find(id);
    return it == rowAt_.end() ? nullptr : &rows_[it->second];
}

ResultRow* ConsoleSession::FindRow(HRESULTITEM id)
{
    auto it = rowAt_.find(id);
    return it == rowAt_.end() ? nullptr : &rows_[it->second];
}

HRESULTITEM ConsoleSession::ResultRowOfCookie(MMC_COOKIE cookie) const
{
    auto it = resultOfCookie_.find(cookie);
    return it == resultOfCookie_.end() ? 0 : it->second;
}

void ConsoleSession::AddRowToIndex(size_t position)
{
    const ResultRow& row = rows_[position];
    rowAt_[row.id] = position;
    if (!row.scopeItem) {
        resultOfCookie_.emplace(row.cookie, row.id); // the first row with a cookie answers for it
    } else if (row.scopeId != 0) {
        rowOfScope_.emplace(row.scopeId, row.id);
    }
}

void ConsoleSession::ReindexRows()
{
    rowAt_.clear();
    resultOfCookie_.clear();
    rowOfScope_.clear();
    rowAt_.reserve(rows_.size());
    for (size_t position = 0; position < rows_.size(); ++position) {
        AddRowToIndex(position);
    }
}

void ConsoleSession::RemoveGoneScopeRows()
{
    const size_t before = rows_.size();
    rows_.erase(std::remove_if(
                    rows_.begin(), rows_.end(),
                    [this](const ResultRow& row) { return row.scopeItem && Item(row.scopeId) == nullptr; }),
                rows_.end());
    if (rows_.size() != before) {
        ReindexRows();
    }
}

void ConsoleSession::FillRowTexts(ResultRow& row)
{
    size_t columns = std::max<size_t>(columns_.size(), 1);
    std::vector<std::u16string> texts(columns);
    if (row.fixedText && !row.texts.empty()) {
        texts[0] = row.texts[0];
    }
    for (size_t column = 0; column < columns; ++column) {
        if (column == 0 && row.fixedText) {
            continue;
        }
        RESULTDATAITEM info;
        info.mask = RDI_STR;
        if (column == 0 && (row.scopeItem || row.imageCallback)) {
            info.mask |= RDI_IMAGE;
        }
        info.bScopeItem = row.scopeItem;
        info.itemID = row.id;
        info.nCol = static_cast<int>(column);
        info.lParam = row.cookie;
        if (component_ && SUCCEEDED(component_->GetDisplayInfo(&info))) {
            texts[column] = TextOf(info.str);
            if (info.mask & RDI_IMAGE) {
                row.image = info.nImage;
            }
        }
    }
    row.texts = std::move(texts);
}

HRESULT ConsoleSession::InsertResultItem(RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    if (shown_ == 0) {
        return E_UNEXPECTED;
    }
    ResultRow row;
    row.id = nextRowId_++;
    row.scopeItem = item->bScopeItem != 0;
    row.cookie = (item->mask & RDI_PARAM) ? item->lParam : 0;
    if (item->mask & RDI_IMAGE) {
        row.image = item->nImage;
        row.imageCallback = item->nImage == kImageCallback;
    }
    if ((item->mask & RDI_STR) && item->str != MMC_CALLBACK) {
        row.fixedText = true;
        row.texts.push_back(TextOf(item->str));
    }
    if (row.scopeItem) {
        // A scope item placed in the pane by the snap-in: find its handle.
        if (const ScopeItem* shown = Item(shown_)) {
            for (HSCOPEITEM child : shown->children) {
                const ScopeItem* scope = Item(child);
                if (scope != nullptr && scope->cookie == row.cookie) {
                    row.scopeId = child;
                    break;
                }
            }
        }
    }
    FillRowTexts(row);
    item->itemID = row.id;
    rows_.push_back(std::move(row));
    AddRowToIndex(rows_.size() - 1);
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::DeleteResultItem(HRESULTITEM id)
{
    auto at = rowAt_.find(id);
    if (at == rowAt_.end()) {
        return E_INVALIDARG;
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(at->second));
    ReindexRows();
    if (focus_.resultId == id) {
        // The selected row is gone: the shown scope item has the focus again.
        focus_ = ScopeTarget(shown_);
        pendingReselect_ = true;
    }
    MarkResultPane();
    return S_OK;
}

void ConsoleSession::DeleteAllResultItems()
{
    bool focusGone = focus_.resultId != 0 && !focus_.scope;
    rows_.erase(
        std::remove_if(rows_.begin(), rows_.end(), [](const ResultRow& row) { return !row.scopeItem; }),
        rows_.end());
    ReindexRows();
    if (focusGone) {
        focus_ = ScopeTarget(shown_);
        pendingReselect_ = true;
    }
    MarkResultPane();
}

HRESULT ConsoleSession::SetResultItem(const RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    if (ResultRow* found = FindRow(item->itemID)) {
        ResultRow& row = *found;
        if ((item->mask & RDI_PARAM) && row.cookie != item->lParam) {
            row.cookie = item->lParam;
            ReindexRows();
        }
        if (item->mask & RDI_IMAGE) {
            row.image = item->nImage;
            row.imageCallback = item->nImage == kImageCallback;
        }
        if (item->mask & RDI_STR) {
            size_t column = static_cast<size_t>(std::max(item->nCol, 0));
            if (item->str == MMC_CALLBACK) {
                if (column == 0) {
                    row.fixedText = false;
                }
            } else {
                if (row.texts.size() <= column) {
                    row.texts.resize(column + 1);
                }
                row.texts[column] = TextOf(item->str);
                if (column == 0) {
                    row.fixedText = true;
                }
            }
        }
        FillRowTexts(row);
        MarkResultPane();
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT ConsoleSession::GetResultItem(RESULTDATAITEM* item)
{
    if (item == nullptr) {
        return E_POINTER;
    }
    const ResultRow* row = Row(item->itemID);
    if (row == nullptr) {
        return E_INVALIDARG;
    }
    if (item->mask & RDI_PARAM) {
        item->lParam = row->cookie;
    }
    if (item->mask & RDI_IMAGE) {
        item->nImage = row->image;
    }
    if (item->mask & RDI_STR) {
        item->str = row->fixedText ? nullptr : MMC_CALLBACK;
    }
    item->bScopeItem = row->scopeItem;
    return S_OK;
}

HRESULT ConsoleSession::UpdateResultItem(HRESULTITEM id)
{
    ResultRow* row = FindRow(id);
    if (row == nullptr) {
        return E_INVALIDARG;
    }
    FillRowTexts(*row);
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::InsertColumn(int column, LPCOLESTR title, int format, int width)
{
    if (column < 0 || column > static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_.insert(columns_.begin() + column, ResultColumn{TextOf(title), format, width});
    for (ResultRow& row : rows_) {
        FillRowTexts(row);
    }
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::DeleteColumn(int column)
{
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_.erase(columns_.begin() + column);
    for (ResultRow& row : rows_) {
        if (column < static_cast<int>(row.texts.size())) {
            row.texts.erase(row.texts.begin() + column);
        }
    }
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::SetColumnText(int column, LPCOLESTR title)
{
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_[column].title = TextOf(title);
    MarkResultPane();
    return S_OK;
}

HRESULT ConsoleSession::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return E_INVALIDARG;
    }
    columns_[column].width = width;
    MarkResultPane();
    return S_OK;
}

void ConsoleSession::SetDescription(LPCOLESTR text)
{
    description_ = TextOf(text);
    MarkDescription();
}

void ConsoleSession::SetStatusText(LPCOLESTR text)
{
    statusText_ = TextOf(text);
    if (observer_ != nullptr) {
        observer_->StatusTextChanged();
    }
}

} // namespace zyr::host
