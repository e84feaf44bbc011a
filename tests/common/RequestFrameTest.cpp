#include "common/RequestFrame.h"

#include "common/ServerSettings.h"
#include "platform/ui/UiService.h"

#include <gtest/gtest.h>

namespace {

using zyr::PostReportStyle;

const std::string kServer = "http://secsrv:8080/ZyrSecurity/Security.asp";
const std::string kAuditPrefix = "An error occurred when attempting to update the Security Database.\nThe "
                                 "compliance-enabling features have been activated and one of the required "
                                 "components is missing or non functional.\n\nMore details:\n";
const std::string kSendFailedText =
    kAuditPrefix + "The Send function on the Alarm and Event component failed.\n";

class RequestFrameTest : public ::testing::Test {
protected:
    void SetUp() override { zyr::ResetRequestIdentity(); }
    void TearDown() override { zyr::ResetRequestIdentity(); }

    // Each recorded box as "caption|text", checking the style every box shares.
    std::vector<std::string> Boxes()
    {
        std::vector<std::string> boxes;
        for (const auto& box : ui.recorder.boxes) {
            EXPECT_EQ(box.style, zyr::ui::MB_ICONERROR | zyr::ui::MB_OK);
            EXPECT_EQ(box.owner, nullptr);
            boxes.push_back(box.caption + "|" + box.text);
        }
        ui.recorder.boxes.clear();
        return boxes;
    }

    zyr::ui::ScopedRecordingUi ui;
};

TEST_F(RequestFrameTest, ComposesRequestsInTheFrame)
{
    zyr::SetCurrentUser("", "jdoe");
    zyr::SetCurrentComputerName("WS 7");
    EXPECT_EQ(zyr::RequestUrl(kServer, "Role", "Add")
                  .Escaped("CN", "Plant Ops")
                  .Plain("DN", "{0f8fad5b-d9cb-469f-a165-70867728950e}")
                  .Escaped("Desc", "Line & cell")
                  .Plain("MemeberUser", "")
                  .Trailer()
                  .Encrypted("Perm", "ab/c+d==")
                  .Number("UseQ", 0)
                  .str(),
              kServer +
                  "?Object=Role&Operation=Add&CN=Plant%20Ops&DN={0f8fad5b-d9cb-469f-a165-70867728950e}"
                  "&Desc=Line%20%26%20cell&MemeberUser=&User=%5Cjdoe&Computer=WS%207&Perm=ab/c+d==&UseQ=0");
    // The requests outside the object frame.
    EXPECT_EQ(zyr::RequestUrl(kServer).Plain("Operation", "GetServerVersion").str(),
              kServer + "?Operation=GetServerVersion");
    EXPECT_EQ(zyr::RequestUrl(kServer).Plain("Computer", "WS 7").str(), kServer + "?Computer=WS 7");
    EXPECT_EQ(zyr::RequestUrl(kServer).str(), kServer);

    EXPECT_EQ(zyr::FormBody().Field("Junk", "Junk").str(), "Junk=Junk");
    EXPECT_EQ(zyr::FormBody().Field("MemberUser", "").Field("MemberGroup", "x=").Raw("&OldValue=a").str(),
              "MemberUser=&MemberGroup=x=&OldValue=a");
}

TEST_F(RequestFrameTest, FillsTheOperatorAndComputerOnFirstNeed)
{
    EXPECT_EQ(zyr::PeekCurrentUserName(), "");
    std::string fullName;
    GetFullUserName(fullName);
    EXPECT_EQ(zyr::CurrentUserName(), fullName);
    EXPECT_EQ(zyr::CurrentComputerName(), GetLocalComputerName());
    zyr::SetCurrentUser("PLANT", "op1");
    EXPECT_EQ(zyr::CurrentUserName(), "PLANT\\op1");
}

TEST_F(RequestFrameTest, JudgesChangesSentByGet)
{
    EXPECT_TRUE(zyr::ReportGetChange(true, ""));
    // The carrier has traced its own failure; nothing more is shown.
    EXPECT_FALSE(zyr::ReportGetChange(false, "TAVOS_Send_Failed"));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(zyr::ReportGetChange(true, "<DOCUMENT>done TAVOS_Send_Failed</DOCUMENT>"));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"ZYR Security Manager|" + kSendFailedText});
}

TEST_F(RequestFrameTest, JudgesPostResultsByTheirWords)
{
    for (const char* result : {"", "OK", "200", "302", "4040", "8000", "The role was updated"}) {
        EXPECT_TRUE(zyr::ReportPostResult(result, PostReportStyle::EveryTest)) << result;
    }
    EXPECT_TRUE(Boxes().empty());

    const std::string both = "error: Error in update TAVOS_Send_Failed";
    EXPECT_FALSE(zyr::ReportPostResult(both, PostReportStyle::EveryTest));
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error|" + both, "Error|" + both,
                                                 "ZYR Security Manager|" + kSendFailedText}));
    EXPECT_FALSE(zyr::ReportPostResult(both, PostReportStyle::FirstFailure));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Error|" + both});

    const auto verdict = zyr::JudgePostResult("TAVOS_Send_Failed");
    EXPECT_TRUE(!verdict.ok && verdict.sendFailed && !verdict.transportFailed && verdict.textToShow.empty());
    EXPECT_FALSE(zyr::ReportPostResult("TAVOS_Send_Failed", PostReportStyle::FirstFailure));
    EXPECT_EQ(Boxes(), std::vector<std::string>{"ZYR Security Manager|" + kSendFailedText});
}

TEST_F(RequestFrameTest, TreatsCarrierFailuresAsFailedChanges)
{
    const std::pair<const char*, std::string> cases[] = {
        {"404", "The security server answered with HTTP status 404."},
        {"500", "The security server answered with HTTP status 500."},
        {"800", "The security server reported an error and did not make the change."},
        {"800 The server name or address could not be resolved",
         "The security server could not be reached: The server name or address could not be resolved"},
        // A system message holding the word error still shows one box.
        {"800 An internal error occurred",
         "The security server could not be reached: An internal error occurred"},
    };
    for (const auto& [result, shown] : cases) {
        SCOPED_TRACE(result);
        const auto verdict = zyr::JudgePostResult(result);
        EXPECT_TRUE(!verdict.ok && verdict.transportFailed);
        EXPECT_EQ(verdict.textToShow, shown);
        EXPECT_FALSE(zyr::ReportPostResult(result, PostReportStyle::EveryTest));
        EXPECT_EQ(Boxes(), std::vector<std::string>{"Error|" + shown});
    }
}

TEST_F(RequestFrameTest, ShowsTheAuditPathMessages)
{
    zyr::ShowAuditComponentsMissing();
    zyr::ShowAuditSendFailed();
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{"ZYR Security Manager|" + kAuditPrefix +
                                            "Could not create one of the Alarm and Events components.\n",
                                        "ZYR Security Manager|" + kSendFailedText}));
}

} // namespace
