// The console nodes over the records fixture: its settings, registry,
// operator and scripted server, with the module's resources, the clipboard
// formats and a scripted console; the resources are put back afterwards.
#pragma once

#include "console/framework/ClipboardFormats.h"
#include "console/framework/Resources.h"
#include "console/framework/SnapInObjectRoot.h"
#include "module/resources/ModuleResources.h"
#include "tests/roles/RecordsFixture.h"
#include "tests/support/ScriptedConsole.h"

namespace zyr::testing {

class ConsoleRecordsFixture : public RecordsFixture {
protected:
    // A snap-in object of a view with the scripted console, as the nodes see
    // it when a command is issued.
    struct View : CSnapInObjectRootBase {
        explicit View(IConsole* c) : CSnapInObjectRootBase(kComponent), console(c) {}
        IConsole* ObjectConsole() const override { return console; }
        IConsole* console;
    };

    void SetUp() override
    {
        RecordsFixture::SetUp();
        console::InstallResources(&module::ModuleResourceSet());
        console::RegisterClipboardFormats();
        mmc = com::ComPtr<ScriptedConsole>::Attach(new ScriptedConsole);
    }
    void TearDown() override
    {
        console::ResetResources();
        RecordsFixture::TearDown();
    }

    // The console (the HTTP server is the records fixture's "scripted").
    com::ComPtr<ScriptedConsole> mmc;
};

} // namespace zyr::testing
