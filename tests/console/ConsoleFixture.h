// Shared set-up of the console tests: the module's resources installed, the
// clipboard formats registered, a scripted console, and every process-wide
// console state put back afterwards.
#pragma once

#include "console/framework/AuditGuard.h"
#include "console/framework/ClipboardFormats.h"
#include "console/framework/ModuleState.h"
#include "console/framework/Resources.h"
#include "console/framework/StartupHooks.h"
#include "module/resources/ModuleResources.h"
#include "tests/support/ScriptedConsole.h"

#include <gtest/gtest.h>

namespace zyr::testing {

class ConsoleFixture : public ::testing::Test {
protected:
    ConsoleFixture()
    {
        console::InstallResources(&module::ModuleResourceSet());
        console::RegisterClipboardFormats();
        scripted = com::ComPtr<ScriptedConsole>::Attach(new ScriptedConsole);
        console::SetAuditCheck([] { return false; });
        console::SetStartupHooks(&signsIn);
    }
    ~ConsoleFixture() override
    {
        console::ResetResources();
        console::ResetAuditCheck();
        console::ResetStartupState();
        console::SetModulePath("");
    }

    // The steps of a module that signs in at once.
    struct SignsIn : console::StartupHooks {
        bool SignIn(HWND) override { return true; }
    } signsIn;
    com::ComPtr<ScriptedConsole> scripted;
};

// Reads a format of a data object into a block of the given size.
inline HRESULT ReadFormat(IDataObject* dataObject, const char16_t* format, std::vector<BYTE>& block,
                          size_t size = 512)
{
    block.assign(size, 0xCC);
    FORMATETC request;
    request.cfFormat = RegisterClipboardFormat(format);
    STGMEDIUM medium;
    medium.hGlobal = block.data();
    medium.size = block.size();
    return dataObject->GetDataHere(&request, &medium);
}

} // namespace zyr::testing
