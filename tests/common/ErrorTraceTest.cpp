#include "common/ErrorTrace.h"

#include "tests/common/SettingsFixture.h"

using namespace zyr::testing;

namespace {

class ErrorTraceTest : public SettingsFixture {
protected:
    // Turns event logging on the way the console does: through the first key.
    void SwitchLoggingOn()
    {
        ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kFrameworkKey, "EventLogging", 1));
        std::string url;
        ReadUrl(url);
        ASSERT_TRUE(zyr::EventLoggingOn());
    }
    HRESULT TraceGet(const std::u16string& reply, HRESULT hr = E_FAIL)
    {
        return TraceError(u"web", 212, u"GetWebPage", u"::InternetOpenUrl",
                          u"Making the Web Call http://srv/zyr/request.aspx?Object=Role&Operation=Get", hr,
                          reply);
    }
    const std::vector<zyr::log::RecordingLogSink::EventRecord>& Events() const { return log.recorder.events; }
};

constexpr const char* kGetEvent =
    "Making the Web Call http://srv/zyr/request.aspx?Object=Role&Operation=Get, "
    "Error: -2147467259, Result: error, "
    "Source: web(212):GetWebPage.::InternetOpenUrl";

} // namespace

TEST_F(ErrorTraceTest, FailedGetLeavesOneEventWithTheRecordInItsFormat)
{
    SwitchLoggingOn();
    EXPECT_EQ(TraceGet(u"error"), E_FAIL);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].source, "ZyrSecurity");
    EXPECT_EQ(Events()[0].text, kGetEvent);

    // The same record from code-page texts.
    EXPECT_EQ(
        TraceError("web", 212, "GetWebPage", "::InternetOpenUrl",
                   std::string("Making the Web Call http://srv/zyr/request.aspx?Object=Role&Operation=Get"),
                   E_FAIL, std::string("error")),
        E_FAIL);
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events()[1].text, kGetEvent);
}

TEST_F(ErrorTraceTest, SuccessRecordsAndRecordsWhileLoggingIsOffLeaveNothing)
{
    EXPECT_EQ(TraceGet(u"error"), E_FAIL);
    WriteEventLog("%s", "direct");
    EXPECT_TRUE(Events().empty());

    SwitchLoggingOn();
    EXPECT_EQ(TraceGet(u"fine", S_OK), S_OK);
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(TraceGet(u"", S_FALSE), S_FALSE); // only S_OK means nothing failed
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ErrorTraceTest, SecondKeyAloneSwitchesLoggingOn)
{
    ASSERT_TRUE(TempRegistry::SetDword(HKEY_LOCAL_MACHINE, kClientKey, "EventLogging", 1));
    bool novell = false;
    IsNovellClient(&novell);
    EXPECT_EQ(TraceGet(u"error"), E_FAIL);
    EXPECT_EQ(Events().size(), 1u);
}

TEST_F(ErrorTraceTest, TextOverTwoHundredFiftyNineBytesLeavesNoEvent)
{
    SwitchLoggingOn();
    TraceGet(std::u16string(260, u'r'));
    EXPECT_TRUE(Events().empty());
    // 130 two-byte characters are 260 bytes in the code page.
    TraceGet(std::u16string(130, u'\u00e9'));
    EXPECT_TRUE(Events().empty());
    TraceError(std::u16string(250, u's'), 1234567, u"Path", u"Op", u"d", E_FAIL, u"m");
    EXPECT_TRUE(Events().empty()); // the source text is over the limit

    // A reply of 259 bytes fits its field; the event is cut to 259 characters.
    TraceGet(std::u16string(259, u'r'));
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].text.size(), 259u);
    EXPECT_EQ(Events()[0].text.rfind("Making the Web Call ", 0), 0u);
    EXPECT_EQ(Events()[0].text.back(), 'r');
}

TEST_F(ErrorTraceTest, EventTextIsCutOnACharacterBoundary)
{
    SwitchLoggingOn();
    // "x" and then euro signs of three bytes each: byte 259 falls inside one.
    std::string euros;
    for (int i = 0; i < 100; ++i) {
        euros += "\xE2\x82\xAC";
    }
    WriteEventLog("x%s", euros.c_str());
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].text, "x" + euros.substr(0, 258)); // 86 whole signs
}

TEST_F(ErrorTraceTest, DebugLinesHaveNoLineEndAndAtMost10235Characters)
{
    DebugPrint("~~~~ GetUserName return: 0x%x", 0xCBu);
    DebugPrint("%s", std::string(12000, 'd').c_str());
    ASSERT_EQ(log.recorder.debugLines.size(), 2u);
    EXPECT_EQ(log.recorder.debugLines[0], "~~~~ GetUserName return: 0xcb");
    EXPECT_EQ(log.recorder.debugLines[1].size(), 10235u);
    EXPECT_TRUE(Events().empty()); // debug lines are not events
}
