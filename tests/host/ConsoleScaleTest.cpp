// The console's actions on a long list grow with the list, not with its
// square: each is timed at two sizes sixteen times apart in the same run and
// only the ratio is judged (16 for linear work, about 22 for a sort and more
// with the caches; 256 for quadratic). The limit, 64, sits far from both, so
// a loaded machine does not fail it and a square still does.
#include "host/MainWindow.h"
#include "tests/host/HostFixture.h"

#include <gtest/gtest.h>

#include <QSortFilterProxyModel>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <memory>

namespace zyr::host {
namespace {

struct Times {
    double show = 1e9;
    double filter = 1e9;
    double sort = 1e9;
    double close = 1e9;
};

class ConsoleScaleTest : public zyr::testing::HostTest {
protected:
    void TearDown() override
    {
        zyr::testing::SetExtraLeaves(0);
        HostTest::TearDown();
    }

    // The best of three runs of each action with Alpha holding `leaves` leaves.
    static Times Measure(int leaves)
    {
        using Clock = std::chrono::steady_clock;
        auto since = [](Clock::time_point from) {
            return std::chrono::duration<double>(Clock::now() - from).count();
        };
        zyr::testing::SetExtraLeaves(leaves);
        Times best;
        for (int run = 0; run < 3; ++run) {
            auto session = std::make_unique<ConsoleSession>();
            auto window = std::make_unique<MainWindow>(*session);
            EXPECT_EQ(session->Start(CLSID_TestSnapin), S_OK);
            window->show();
            window->SelectScopeItem(session->Root());
            const HSCOPEITEM alpha = session->FindByPath(u"Test Root/Alpha");
            auto start = Clock::now();
            window->SelectScopeItem(alpha);
            best.show = std::min(best.show, since(start));
            EXPECT_EQ(window->ResultProxy()->rowCount(), leaves + 2);
            start = Clock::now();
            window->SetFilterText(QStringLiteral("Bulk 1"));
            window->SetFilterText(QString());
            best.filter = std::min(best.filter, since(start));
            start = Clock::now();
            window->ResultList()->sortByColumn(0, Qt::DescendingOrder);
            best.sort = std::min(best.sort, since(start));
            start = Clock::now();
            window.reset();
            session.reset();
            best.close = std::min(best.close, since(start));
        }
        return best;
    }
};

TEST_F(ConsoleScaleTest, ShowingFilteringSortingAndClosingGrowLinearly)
{
    const Times small = Measure(1000);
    const Times large = Measure(16000);
    // Below a millisecond the timer's grain would decide the ratio.
    auto ratio = [](double big, double little) { return big / std::max(little, 1e-3); };
    EXPECT_LT(ratio(large.show, small.show), 64.0);
    EXPECT_LT(ratio(large.filter, small.filter), 64.0);
    EXPECT_LT(ratio(large.sort, small.sort), 64.0);
    EXPECT_LT(ratio(large.close, small.close), 64.0);
}

} // namespace
} // namespace zyr::host
