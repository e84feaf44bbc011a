// The log nodes under a scripted console: the records fixture's settings, a
// scripted security server that answers log pages, a recording UI service,
// the module's resources and a filter dialog double.
#pragma once

#include "console/framework/LogUi.h"
#include "console/log/LogInstanceNode.h"
#include "console/log/LogNode.h"
#include "tests/console/ConsoleRecordsFixture.h"

#include <string>
#include <vector>

namespace zyr::testing {

class LogFixture : public ConsoleRecordsFixture {
protected:
    void SetUp() override
    {
        ConsoleRecordsFixture::SetUp();
        view = std::make_unique<View>(mmc.get());
        UseScripted();
        console::SetLogUi(&filter);
    }
    void TearDown() override
    {
        console::ResetLogUi();
        ConsoleRecordsFixture::TearDown();
    }

    // A KVTLOGS page of count entries numbered from firstNumber: entry n was
    // written at 2026-12-05 13:04:(n mod 60) by PLANT\user<n>; every third
    // one has the status "FAILED".
    static std::string Page(int count, int firstNumber = 0)
    {
        std::string inner = "<KVTLOGS>";
        for (int i = 0; i < count; ++i) {
            const int n = firstNumber + i;
            inner += "<LOG><DATETIME>2026-12-05 13:04:" + std::string(n % 60 < 10 ? "0" : "") +
                     std::to_string(n % 60) + "</DATETIME><USER>PLANT\\user" + std::to_string(n) +
                     "</USER><ACTION>Logon</ACTION><STATUS>" + (n % 3 == 2 ? "FAILED" : "Succeeded") +
                     "</STATUS></LOG>";
        }
        return Document(inner + "<LOGCOUNT>" + std::to_string(count) + "</LOGCOUNT></KVTLOGS>");
    }

    // Shows the container for the first time with the filter's choice.
    HRESULT FirstShow(CLogNode& node) { return node.OnShow(MMCN_SHOW, 1, 0, mmc.get(), CCT_SCOPE); }
    static console::LogFilterChoice Range(const char* from, const char* to) { return {false, from, to}; }

    CLogInstanceNode* Child(CLogNode& node, size_t i)
    {
        return dynamic_cast<CLogInstanceNode*>(node.m_children.at(i));
    }
    std::string LastTarget() const
    {
        auto requests = scripted.Requests();
        return requests.empty() ? std::string() : requests.back().target;
    }
    std::u16string LastDescription() const
    {
        return mmc->descriptionBar.empty() ? u"" : mmc->descriptionBar.back();
    }

    // The date filter: counts its showings and answers from its fields.
    struct FilterDouble : console::LogUi {
        bool RunLogFilterDialog(HWND, console::LogFilterChoice& out) override
        {
            ++shown;
            if (answer) {
                out = choice;
            }
            return answer;
        }
        int shown = 0;
        bool answer = true;
        console::LogFilterChoice choice;
    };

    std::unique_ptr<View> view;
    FilterDouble filter;
};

} // namespace zyr::testing
