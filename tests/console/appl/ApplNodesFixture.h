// The application-side nodes against a scripted console and a security server
// (the scripted HTTP server or the reference server): the records fixture's
// registry, identity and recording UI, the module's resources, a view
// component over the scripted console, and a double of the New dialogs.
#pragma once

#include "console/KVTSnapinComponent.h"
#include "console/appl/ApplInstanceNode.h"
#include "console/appl/ApplSecObjNode.h"
#include "console/appl/ApplicationNode.h"
#include "console/appl/GroupNode.h"
#include "console/framework/ApplicationUi.h"
#include "console/framework/AuditGuard.h"
#include "console/framework/PropertyChangeTargets.h"
#include "tests/console/ConsoleRecordsFixture.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zyr::testing {

// What the New dialog double answers, in order; an empty queue or an empty
// entry is Cancel.
struct NewDialogScript {
    std::deque<std::optional<console::NewItemTexts>> answers;
    std::vector<console::NewItemKind> kinds;
    std::vector<HWND> parents;
};

// The application windows: the New dialogs answer from the script; no page.
struct ApplicationWindowsDouble : console::ApplicationUi {
    bool RunNewItemDialog(console::NewItemKind kind, HWND parent, console::NewItemTexts& texts) override
    {
        script.kinds.push_back(kind);
        script.parents.push_back(parent);
        if (script.answers.empty()) {
            return false;
        }
        std::optional<console::NewItemTexts> answer = script.answers.front();
        script.answers.pop_front();
        if (!answer) {
            return false;
        }
        texts = *answer;
        return true;
    }
    // The import preview answers from importAnswers (OK when empty).
    bool ConfirmImport(HWND, const CKVTAppl& file, const CKVTApplList&) override
    {
        previewed.push_back(file.CN.str());
        if (importAnswers.empty()) {
            return true;
        }
        const bool answer = importAnswers.front();
        importAnswers.pop_front();
        return answer;
    }
    void ShowWhoHasAccess(HWND, const CKVTAppl& application, const CKVTSecGroup* group,
                          const CKVTApplSecObj* object) override
    {
        whoHasAccess.push_back(application.CN.str() + (group != nullptr ? "/" + group->CN.str() : "") +
                               (object != nullptr ? "/" + object->CN.str() : ""));
    }
    NewDialogScript script;
    std::deque<bool> importAnswers;
    std::vector<std::string> previewed;
    std::vector<std::string> whoHasAccess;
};

class ApplNodesFixture : public ConsoleRecordsFixture {
protected:
    void SetUp() override
    {
        ConsoleRecordsFixture::SetUp();
        console::SetApplicationUi(&windows);
        console::SetAuditCheck([] { return false; });
        view = com::ComPtr<CKVTSnapinComponent>::Attach(new CKVTSnapinComponent);
        ASSERT_EQ(view->Initialize(mmc.get()), S_OK);
    }
    void TearDown() override
    {
        applications.reset();
        view->Destroy(0);
        view.Reset();
        console::ResetApplicationUi();
        console::ResetAuditCheck();
        console::ResetPropertyChangeTargets();
        records::ResetCurrentApplList();
        ConsoleRecordsFixture::TearDown();
    }

    // Builds the Applications node from the configured server; the status
    // steps are kept.
    CApplicationNode& Build()
    {
        struct Steps : console::StatusWindow {
            explicit Steps(std::vector<std::string>& s) : steps(s) {}
            void ShowStep(std::string_view text) override { steps.emplace_back(text); }
            std::vector<std::string>& steps;
        } status(statusSteps);
        applications = std::make_unique<CApplicationNode>(&status);
        return *applications;
    }
    // Expands a container as the console does: the node learns its handle.
    HRESULT Expand(CSnapInItem& node, HSCOPEITEM id)
    {
        return node.Notify(MMCN_EXPAND, 1, static_cast<LPARAM>(id), nullptr, view.get(), CCT_SCOPE);
    }
    HRESULT Send(CSnapInItem& node, MMC_NOTIFY_TYPE event, LPARAM arg = 1, DATA_OBJECT_TYPES type = CCT_SCOPE)
    {
        return node.Notify(event, arg, 0, nullptr, view.get(), type);
    }
    HRESULT Command(CSnapInItem& node, long id) { return node.Command(id, view.get(), CCT_SCOPE); }
    void EnterNew(const std::string& name, const std::string& description = "")
    {
        windows.script.answers.push_back(console::NewItemTexts{name, description});
    }
    NewDialogScript& NewDialogs() { return windows.script; }

    static CApplInstanceNode& ApplNode(CApplicationNode& node, size_t i)
    {
        return *static_cast<CApplInstanceNode*>(node.m_children.at(i));
    }
    // A group or object node as the console meets it: made on first need.
    static CGroupNode& GroupNode(CApplInstanceNode& node, size_t i)
    {
        node.BuildGroupNodes();
        auto& group = *static_cast<CGroupNode*>(node.m_children.at(i));
        group.BuildObjectNodes();
        return group;
    }
    static CApplSecObjNode& ObjectNode(CGroupNode& node, size_t i)
    {
        node.BuildObjectNodes();
        return *static_cast<CApplSecObjNode*>(node.m_children.at(i));
    }
    static std::u16string Column(CSnapInItem& node, int column)
    {
        RESULTDATAITEM item;
        item.mask = RDI_STR;
        item.nCol = column;
        node.GetResultPaneInfo(&item);
        return ProtocolText(item.str);
    }
    static std::u16string ScopeName(CSnapInItem& node)
    {
        SCOPEDATAITEM item;
        item.mask = SDI_STR;
        node.GetScopePaneInfo(&item);
        return ProtocolText(item.displayname);
    }

    static std::string Object(const std::string& dn, const std::string& name)
    {
        return Element("O", {dn, name, name + " text", Enc("Operators:1;")});
    }
    static std::string Group(const std::string& dn, const std::string& name,
                             const std::vector<std::string>& objects)
    {
        std::vector<std::string> children{dn, name, name + " text", Enc("Operators:3;")};
        children.insert(children.end(), objects.begin(), objects.end());
        children.push_back("<OBJCOUNT>0</OBJCOUNT>");
        return Element("G", children);
    }
    static std::string Application(const std::string& dn, const std::string& name,
                                   const std::vector<std::string>& groups)
    {
        std::vector<std::string> children{dn, name, name + " text", Enc("Read:0x00000001;"), Enc("")};
        children.insert(children.end(), groups.begin(), groups.end());
        children.push_back("<GROUPCOUNT>0</GROUPCOUNT>");
        return Element("A", children);
    }
    static std::string ApplicationList(const std::vector<std::string>& applications)
    {
        std::string inner = "<KVTAPPLS>";
        for (const std::string& a : applications) {
            inner += a;
        }
        return Document(inner + "<APPLCOUNT>0</APPLCOUNT></KVTAPPLS>");
    }
    // Plant Ops {A1} with Line 1 {G1} (Valve 7 {O1}, Pump 2 {O2}) and Empty
    // {G2}; Plain {A2} without groups.
    void ServeSmallTree()
    {
        UseScripted();
        scripted.Enqueue(
            {.body = ApplicationList(
                 {Application("{A1}", "Plant Ops",
                              {Group("{G1}", "Line 1", {Object("{O1}", "Valve 7"), Object("{O2}", "Pump 2")}),
                               Group("{G2}", "Empty", {})}),
                  Application("{A2}", "Plain", {})})});
        scripted.SetDefaultReply({.body = "OK"});
    }
    std::string RequestTarget(size_t i) const { return scripted.Requests().at(i).target; }

    com::ComPtr<CKVTSnapinComponent> view;
    ApplicationWindowsDouble windows;
    std::unique_ptr<CApplicationNode> applications;
    std::vector<std::string> statusSteps;
};

} // namespace zyr::testing
