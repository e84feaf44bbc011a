// The container node: owns its children, in the order they were appended,
// and lists them in the result pane (OnShow) or the scope tree (OnExpand).
#pragma once

#include "console/framework/KVTSnapinData.h"

#include <algorithm>
#include <vector>

template <typename T>
class CKVTChildData : public CKVTSnapinData<T> {
public:
    ~CKVTChildData() override
    {
        DestroyChildren();
        for (CSnapInItem* retired : retired_) {
            delete retired;
        }
        retired_.clear();
    }

    // MMCN_ADD_IMAGES: the node image strip into the view's result image list (arg).
    HRESULT OnAddImages(MMC_NOTIFY_TYPE, LPARAM arg, LPARAM, IConsole*, DATA_OBJECT_TYPES) override
    {
        return zyr::console::SetNodeImageStrip(reinterpret_cast<IImageList*>(arg));
    }

    // arg TRUE appends every child's result item to the result pane,
    // in order; the last insertion's result, E_NOTIMPL without children or
    // when arg is FALSE.
    HRESULT OnShow(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                   DATA_OBJECT_TYPES type) override
    {
        (void)event;
        (void)param;
        (void)type;
        if (arg == 0 || m_children.empty()) {
            return E_NOTIMPL;
        }
        return zyr::console::InsertResultItems(console, m_children);
    }

    // Inserts every child's scope item under param (this node's
    // scope item), in order; the last insertion's result, E_NOTIMPL without
    // children. A collapse (arg FALSE) inserts nothing, so that the children
    // never stand twice in the tree.
    HRESULT OnExpand(MMC_NOTIFY_TYPE event, LPARAM arg, LPARAM param, IConsole* console,
                     DATA_OBJECT_TYPES type) override
    {
        (void)event;
        (void)type;
        if (m_children.empty()) {
            return E_NOTIMPL;
        }
        if (arg == 0) {
            return S_OK;
        }
        zyr::com::ComPtr<IConsoleNameSpace> nameSpace =
            zyr::com::ComPtr<IConsole>::Share(console).As<IConsoleNameSpace>();
        if (!nameSpace) {
            return E_UNEXPECTED;
        }
        HRESULT hr = E_NOTIMPL;
        for (CSnapInItem* child : m_children) {
            SCOPEDATAITEM* item = nullptr;
            child->GetScopeData(&item);
            item->relativeID = static_cast<HSCOPEITEM>(param);
            hr = nameSpace->InsertItem(item);
        }
        return hr;
    }

    // Takes ownership of child and appends it; false (child destroyed) when
    // it is null.
    bool AppendChild(CSnapInItem* child)
    {
        if (child == nullptr) {
            return false;
        }
        m_children.push_back(child);
        return true;
    }

    // Takes child out of the children. The node stays allocated until the
    // container is destroyed, because the console may still hold its cookie.
    bool RemoveChild(CSnapInItem* child)
    {
        auto found = std::find(m_children.begin(), m_children.end(), child);
        if (found == m_children.end()) {
            return false;
        }
        m_children.erase(found);
        retired_.push_back(child);
        return true;
    }

    // Destroys every child, then empties the children.
    void DestroyChildren()
    {
        for (CSnapInItem* child : m_children) {
            delete child;
        }
        m_children.clear();
    }

    // Takes every child out of the children, keeping the nodes allocated
    // until the container goes (for lists that are replaced while the
    // console may still hold the old items' cookies).
    void RetireChildren()
    {
        retired_.insert(retired_.end(), m_children.begin(), m_children.end());
        m_children.clear();
    }

    std::vector<CSnapInItem*> m_children;

private:
    std::vector<CSnapInItem*> retired_;
};
