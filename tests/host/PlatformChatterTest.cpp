// The console host drops Qt's platform chatter and nothing else.
#include "host/PlatformChatter.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QStringList>

namespace zyr::host {
namespace {

QStringList recorded;

void Record(QtMsgType, const QMessageLogContext&, const QString& text)
{
    recorded.push_back(text);
}

TEST(PlatformChatterTest, DropsPlatformNoticesAndPassesTheRest)
{
    const QString sizeHints = QStringLiteral("This plugin does not support propagateSizeHints()");
    EXPECT_TRUE(IsPlatformChatter(QtWarningMsg, "default", sizeHints));
    EXPECT_TRUE(IsPlatformChatter(QtWarningMsg, "qt.qpa.xcb", QStringLiteral("anything")));
    EXPECT_TRUE(IsPlatformChatter(QtInfoMsg, "qt.qpa", QStringLiteral("anything")));
    EXPECT_FALSE(IsPlatformChatter(QtCriticalMsg, "qt.qpa.xcb", QStringLiteral("could not connect")));
    EXPECT_FALSE(IsPlatformChatter(QtWarningMsg, "qt.qpafoo", QStringLiteral("anything")));
    EXPECT_FALSE(IsPlatformChatter(QtWarningMsg, "default", QStringLiteral("QFile: cannot open")));
    EXPECT_FALSE(IsPlatformChatter(QtWarningMsg, "qt.widgets", sizeHints));

    const QtMessageHandler before = qInstallMessageHandler(Record);
    FilterPlatformChatter();
    recorded.clear();
    QLoggingCategory platformCategory("qt.qpa.offscreen");
    qCWarning(platformCategory) << "no screen";
    qWarning("%s", qPrintable(sizeHints));
    qWarning("the snap-in failed to load");
    qInstallMessageHandler(before);
    EXPECT_EQ(recorded, QStringList{QStringLiteral("the snap-in failed to load")});
}

} // namespace
} // namespace zyr::host
