// Small node classes built on the framework, the way the node kinds are
// built: a container with a menu, commands and a toolbar, and a leaf.
#pragma once

#include "console/framework/KVTChildData.h"
#include "console/framework/Resources.h"

#include <span>

namespace zyr::testing {

class TestLeafNode : public CKVTSnapinData<TestLeafNode> {
public:
    static constexpr NodeDescription kDescription{
        {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x01}}, u"Test Leaf"};
    explicit TestLeafNode(int image = 7) { m_resultDataItem.nImage = image; }
};

class TestContainerNode : public CKVTChildData<TestContainerNode> {
public:
    static constexpr NodeDescription kDescription{
        {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02}}, u"Test Container"};
    static constexpr UINT kMenuId = zyr::console::IDR_GROUP_MENU;
    static constexpr UINT kToolbars[] = {zyr::console::IDR_LOG_TOOLBAR};
    static std::span<const CommandEntry<TestContainerNode>> CommandTable()
    {
        static const CommandEntry<TestContainerNode> table[] = {
            {32779, &TestContainerNode::OnNewThing},
            {32799, &TestContainerNode::OnDeclined},
        };
        return table;
    }

    TestContainerNode()
    {
        m_scopeDataItem.nImage = 8;
        m_scopeDataItem.nOpenImage = 8;
    }

    // Shown, it names its columns; its children stand in the tree.
    HRESULT SetColumnHeaders(IHeaderCtrl* header) override
    {
        return zyr::console::InsertNameDescriptionColumns(header, u"Things");
    }

    HRESULT OnNewThing(bool&, CSnapInObjectRootBase* root)
    {
        lastRoot = root;
        ++newThings;
        return S_OK;
    }
    HRESULT OnDeclined(bool& handled, CSnapInObjectRootBase*)
    {
        handled = false;
        return E_FAIL;
    }

    int newThings = 0;
    CSnapInObjectRootBase* lastRoot = nullptr;
};

} // namespace zyr::testing
