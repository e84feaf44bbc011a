// The access review page: every text escaped, nothing fetched from outside.
#include "records/AccessReview.h"

#include <gtest/gtest.h>

using namespace zyr::records;

TEST(AccessReviewTest, ThePageEscapesEveryTextAndStandsAlone)
{
    AccessReview review;
    review.server = "http://server/<x>";
    review.madeBy = "HOST\\admin";
    review.days = 7;
    review.consoleSecured = true;
    review.consoleOpeners = {{"<script>alert(1)</script>", 1, true, {"HOST\\a&b"}, {}}};
    RoleReview role{"Ops \"A\"", "it's", {"HOST\\alice"}, {}, {}};
    role.grants.push_back({{"Plant", "Line", ""}, 1, {{"Read", 1, {"Ops \"A\""}}}});
    review.roles.push_back(role);
    review.auditRead = false;
    review.audit.push_back(
        {"2026-12-01 10:00:00", "u", "c", "Role", "Update", "", "Ops", "<old/>", "<new/>"});

    const std::string html = AccessReviewHtml(review);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<old/>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;"), std::string::npos);
    EXPECT_NE(html.find("HOST\\a&amp;b"), std::string::npos);
    EXPECT_NE(html.find("Ops &quot;A&quot;"), std::string::npos);
    EXPECT_NE(html.find("Plant / Line"), std::string::npos);
    EXPECT_NE(html.find("could not be read completely"), std::string::npos);
    EXPECT_EQ(html.find("http://server/<"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);
    EXPECT_EQ(html.find("href="), std::string::npos);

    const std::string csv = AccessReviewCsv(review);
    EXPECT_NE(csv.find("grant,\"Ops \"\"A\"\"\",,group,Plant / Line,Read\r\n"), std::string::npos);
    EXPECT_NE(csv.find("audit,,,,,,2026-12-01 10:00:00,u,c,Role,Update,Ops\r\n"), std::string::npos);
}
