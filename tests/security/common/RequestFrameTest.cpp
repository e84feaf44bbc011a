#include "security/common/RequestFrame.h"

#include "platform/ui/UiService.h"
#include "security/common/ServerSettings.h"
#include "security/common/StringTable.h"

#include <gtest/gtest.h>

namespace {

using zyr::ui::MB_ICONERROR;
using zyr::ui::MB_OK;

const char* const kServer = "http://secsrv:8080/ZyrSecurity/Security.asp";

const std::string kSendFailedText =
    "An error occurred when attempting to update the Security Database.\nThe compliance-enabling features "
    "have "
    "been activated and one of the required components is missing or non functional.\n\nMore details:\nThe "
    "Send function on the Alarm and Event component failed.\n";

class RequestFrameTest : public ::testing::Test {
protected:
    void SetUp() override { zyr::ResetRequestIdentity(); }
    void TearDown() override { zyr::ResetRequestIdentity(); }
    zyr::ui::ScopedRecordingUi ui;
};

TEST_F(RequestFrameTest, ComposesAChangingRequestWithTheTrailer)
{
    zyr::SetCurrentUser("", "jdoe");
    zyr::SetCurrentComputerName("WS 7");
    const std::string url = zyr::RequestUrl(kServer, "Role", "Add")
                                .Escaped("CN", "Plant Ops")
                                .Plain("DN", "{0f8fad5b-d9cb-469f-a165-70867728950e}")
                                .Escaped("Desc", "Line & cell")
                                .Plain("MemeberUser", "")
                                .Plain("MemberGroup", "")
                                .Trailer()
                                .str();
    EXPECT_EQ(url, std::string(kServer) +
                       "?Object=Role&Operation=Add&CN=Plant%20Ops&DN={0f8fad5b-d9cb-469f-a165-70867728950e}"
                       "&Desc=Line%20%26%20cell&MemeberUser=&MemberGroup=&User=%5Cjdoe&Computer=WS%207");
}

TEST_F(RequestFrameTest, WritesEncryptedNumbersAndDeparturesFromTheFrame)
{
    zyr::SetCurrentUserName("CORP\\jdoe");
    zyr::SetCurrentComputerName("WS7");
    EXPECT_EQ(
        zyr::RequestUrl(kServer, "SecObj", "Delete")
            .Plain("DN", "{A}")
            .Trailer()
            .Encrypted("Perm", "ab/c+d==")
            .Number("UseQ", 0)
            .str(),
        std::string(kServer) +
            "?Object=SecObj&Operation=Delete&DN={A}&User=CORP%5Cjdoe&Computer=WS7&Perm=ab/c+d==&UseQ=0");
    EXPECT_EQ(zyr::RequestUrl(kServer).Plain("Operation", "GetServerVersion").str(),
              std::string(kServer) + "?Operation=GetServerVersion");
    EXPECT_EQ(zyr::RequestUrl(kServer).Plain("Computer", "WS 7").str(),
              std::string(kServer) + "?Computer=WS 7");
    EXPECT_EQ(zyr::RequestUrl(kServer).str(), kServer);
}

TEST_F(RequestFrameTest, FillsTheOperatorAndComputerOnFirstNeed)
{
    EXPECT_EQ(zyr::PeekCurrentUserName(), "");
    std::string fullName;
    GetFullUserName(fullName);
    EXPECT_EQ(zyr::CurrentUserName(), fullName);
    EXPECT_EQ(zyr::CurrentComputerName(), GetLocalComputerName());

    // The sign-in's operator stands until the next reset.
    zyr::SetCurrentUser("PLANT", "op1");
    EXPECT_EQ(zyr::CurrentUserName(), "PLANT\\op1");
    zyr::ResetRequestIdentity();
    EXPECT_EQ(zyr::PeekCurrentUserName(), "");
}

TEST_F(RequestFrameTest, JoinsFormBodies)
{
    EXPECT_EQ(zyr::FormBody().Field("Junk", "Junk").str(), "Junk=Junk");
    EXPECT_EQ(zyr::FormBody().Field("MemberUser", "").Field("MemberGroup", "x=").Raw("&OldValue=a").str(),
              "MemberUser=&MemberGroup=x=&OldValue=a");
}

TEST_F(RequestFrameTest, JudgesChangesSentByGet)
{
    EXPECT_TRUE(zyr::ReportGetChange(true, "OK"));
    EXPECT_TRUE(zyr::ReportGetChange(true, ""));
    // A carrier failure has been traced by the carrier; nothing is shown.
    EXPECT_FALSE(zyr::ReportGetChange(false, "TAVOS_Send_Failed"));
    EXPECT_TRUE(ui.recorder.boxes.empty());

    EXPECT_FALSE(zyr::ReportGetChange(true, "<DOCUMENT>done TAVOS_Send_Failed</DOCUMENT>"));
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, kSendFailedText);
    EXPECT_EQ(ui.recorder.boxes[0].caption, "ZYR Security Manager");
    EXPECT_EQ(ui.recorder.boxes[0].style, MB_ICONERROR | MB_OK);
    EXPECT_EQ(ui.recorder.boxes[0].owner, nullptr);
}

TEST_F(RequestFrameTest, CountsRepliesWithoutFailureWordsAsSuccess)
{
    for (const char* result : {"", "OK", "200", "302", "1", "4040", "8000", "The role was updated"}) {
        SCOPED_TRACE(result);
        const auto verdict = zyr::JudgePostResult(result);
        EXPECT_TRUE(verdict.ok);
        EXPECT_EQ(verdict.textToShow, "");
        EXPECT_TRUE(zyr::ReportPostResult(result, zyr::PostReportStyle::EveryTest));
    }
    EXPECT_TRUE(ui.recorder.boxes.empty());
}

TEST_F(RequestFrameTest, ShowsErrorRepliesOncePerTestOrOnceInAll)
{
    const std::string both = "error: Error in update";
    EXPECT_FALSE(zyr::ReportPostResult(both, zyr::PostReportStyle::EveryTest));
    ASSERT_EQ(ui.recorder.boxes.size(), 2u);
    for (const auto& box : ui.recorder.boxes) {
        EXPECT_EQ(box.text, both);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.style, MB_ICONERROR | MB_OK);
        EXPECT_EQ(box.owner, nullptr);
    }

    ui.recorder.boxes.clear();
    EXPECT_FALSE(zyr::ReportPostResult(both + " TAVOS_Send_Failed", zyr::PostReportStyle::FirstFailure));
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].caption, "Error");

    ui.recorder.boxes.clear();
    EXPECT_FALSE(zyr::ReportPostResult("Error TAVOS_Send_Failed", zyr::PostReportStyle::EveryTest));
    ASSERT_EQ(ui.recorder.boxes.size(), 2u);
    EXPECT_EQ(ui.recorder.boxes[0].caption, "Error");
    EXPECT_EQ(ui.recorder.boxes[1].text, kSendFailedText);
    EXPECT_EQ(ui.recorder.boxes[1].caption, "ZYR Security Manager");

    ui.recorder.boxes.clear();
    const auto verdict = zyr::JudgePostResult("TAVOS_Send_Failed");
    EXPECT_FALSE(verdict.ok);
    EXPECT_TRUE(verdict.sendFailed);
    EXPECT_FALSE(verdict.transportFailed);
    EXPECT_FALSE(zyr::ReportPostResult("TAVOS_Send_Failed", zyr::PostReportStyle::FirstFailure));
    ASSERT_EQ(ui.recorder.boxes.size(), 1u);
    EXPECT_EQ(ui.recorder.boxes[0].text, kSendFailedText);
}

TEST_F(RequestFrameTest, TreatsCarrierFailuresAsFailedChanges)
{
    struct Case {
        const char* result;
        const char* shown;
    };
    const Case cases[] = {
        {"404", "The security server answered with HTTP status 404."},
        {"400", "The security server answered with HTTP status 400."},
        {"500", "The security server answered with HTTP status 500."},
        {"800", "The security server reported an error and did not make the change."},
        {"800 The server name or address could not be resolved",
         "The security server could not be reached: The server name or address could not be resolved"},
        // A system message holding the word error still shows one readable box.
        {"800 An internal error occurred",
         "The security server could not be reached: An internal error occurred"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        ui.recorder.boxes.clear();
        const auto verdict = zyr::JudgePostResult(c.result);
        EXPECT_FALSE(verdict.ok);
        EXPECT_TRUE(verdict.transportFailed);
        EXPECT_EQ(verdict.textToShow, c.shown);
        EXPECT_FALSE(zyr::ReportPostResult(c.result, zyr::PostReportStyle::EveryTest));
        ASSERT_EQ(ui.recorder.boxes.size(), 1u);
        EXPECT_EQ(ui.recorder.boxes[0].text, c.shown);
        EXPECT_EQ(ui.recorder.boxes[0].caption, "Error");
        EXPECT_EQ(ui.recorder.boxes[0].style, MB_ICONERROR | MB_OK);
    }
}

TEST_F(RequestFrameTest, ShowsTheAuditPathMessages)
{
    zyr::ShowAuditComponentsMissing();
    zyr::ShowAuditSendFailed();
    ASSERT_EQ(ui.recorder.boxes.size(), 2u);
    EXPECT_EQ(
        ui.recorder.boxes[0].text,
        "An error occurred when attempting to update the Security Database.\nThe compliance-enabling "
        "features have been activated and one of the required components is missing or non functional.\n\n"
        "More details:\nCould not create one of the Alarm and Events components.\n");
    EXPECT_EQ(ui.recorder.boxes[1].text, kSendFailedText);
    for (const auto& box : ui.recorder.boxes) {
        EXPECT_EQ(box.caption, "ZYR Security Manager");
        EXPECT_EQ(box.style, MB_ICONERROR | MB_OK);
        EXPECT_EQ(box.owner, nullptr);
    }
}

} // namespace
