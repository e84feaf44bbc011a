// The application tree is closed in linear time: destroying it takes less
// than building it, at two sizes. Each figure is a ratio of two timings of
// the same run, so the test holds on a loaded machine.
#include "tests/console/appl/ApplNodesFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace zyr::testing {
namespace {

class TreeScaleTest : public ApplNodesFixture {
protected:
    using Clock = std::chrono::steady_clock;
    static double seconds(Clock::time_point from)
    {
        return std::chrono::duration<double>(Clock::now() - from).count();
    }

    // One application of `objects` objects in groups of 50.
    static std::string PlantReply(int objects)
    {
        std::vector<std::string> groups;
        for (int g = 0; g * 50 < objects; ++g) {
            std::vector<std::string> members;
            for (int o = 0; o < 50; ++o) {
                const std::string id = std::to_string(g) + "-" + std::to_string(o);
                members.push_back(Object("{O" + id + "}", "Object " + id));
            }
            groups.push_back(Group("{G" + std::to_string(g) + "}", "Group " + std::to_string(g), members));
        }
        return ApplicationList({Application("{A1}", "Plant", groups)});
    }

    // The best times of expanding the application (its group nodes made) and
    // of showing the result pane of its first group (its 50 object nodes).
    std::pair<double, double> ExpandAndShow(int objects)
    {
        const std::string reply = PlantReply(objects);
        double expand = 1e9, show = 1e9;
        for (int run = 0; run < 7; ++run) {
            scripted.Enqueue({.body = reply});
            Build();
            EXPECT_EQ(Expand(*applications, 0x50), S_OK);
            CApplInstanceNode& plant = ApplNode(*applications, 0);
            auto start = Clock::now();
            EXPECT_EQ(Expand(plant, 0x51), S_OK);
            expand = std::min(expand, seconds(start));
            auto& group = *static_cast<CGroupNode*>(plant.m_children.at(0));
            start = Clock::now();
            EXPECT_EQ(Send(group, MMCN_SHOW), S_OK);
            show = std::min(show, seconds(start));
            applications.reset();
            records::ResetCurrentApplList();
        }
        return {expand, show};
    }

    // Builds one application with `objects` objects in groups of 50 and
    // answers the best teardown time over the best build time (three runs
    // each). Building is linear, so the share stays about the same at any
    // size while teardown is linear too; the machine's load and its caches
    // weigh on both alike.
    double TeardownShare(int objects)
    {
        const std::string reply = PlantReply(objects);
        double build = 1e9, teardown = 1e9;
        for (int run = 0; run < 3; ++run) {
            scripted.Enqueue({.body = reply});
            auto start = Clock::now();
            Build();
            EXPECT_EQ(Expand(*applications, 0x50), S_OK);
            // Every node made, as a console that opened every group would.
            for (size_t g = 0; g * 50 < static_cast<size_t>(objects); ++g) {
                GroupNode(ApplNode(*applications, 0), g);
            }
            build = std::min(build, seconds(start));
            start = Clock::now();
            applications.reset();
            teardown = std::min(teardown, seconds(start));
            records::ResetCurrentApplList();
        }
        return teardown / std::max(build, 1e-6);
    }
};

TEST_F(TreeScaleTest, ClosingTheTreeTakesLinearTime)
{
    UseScripted();
    // Linear teardown stays well below the build at both sizes (0.1 to 1.2
    // measured); the quadratic teardown of before took 9 times the build at
    // 2,000 objects and 50 to 90 times at 8,000.
    for (int objects : {2000, 8000}) {
        EXPECT_LT(TeardownShare(objects), 3.0) << objects << " objects";
    }
}

// At two sizes sixteen times apart, making the group nodes grows about
// sixteen times and showing one group of 50 not at all; work that grew with
// the square of the plant would grow 256 times.
TEST_F(TreeScaleTest, ExpandingAnApplicationAndShowingAGroupGrowLessThanTheSquare)
{
    UseScripted();
    const auto [expandSmall, showSmall] = ExpandAndShow(1000);
    const auto [expandLarge, showLarge] = ExpandAndShow(16000);
    EXPECT_LT(expandLarge / std::max(expandSmall, 1e-7), 64.0);
    EXPECT_LT(showLarge / std::max(showSmall, 1e-7), 64.0);
}

} // namespace
} // namespace zyr::testing
