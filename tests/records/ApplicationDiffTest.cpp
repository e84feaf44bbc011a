// An export file compared with the server's application.
#include "records/ApplicationDiff.h"

#include "records/SecureGroup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace zyr::records;

namespace {

std::unique_ptr<CKVTAppl> Plant(const char* description)
{
    auto app = std::make_unique<CKVTAppl>("Plant", description, false);
    zyr::records::SetField(app->DN, "{A}", "DN");
    app->Permissions = {PermissionEntry("Read", "0x00000001"), PermissionEntry("Write", "0x00000002")};
    for (const char* name : {"Line 1", "Line 2"}) {
        app->Groups.push_back(std::make_unique<CKVTSecGroup>(name, "Plant", "{A}", "group"));
        zyr::records::SetField(app->Groups.back()->DN, std::string("{G-") + name + "}", "DN");
        app->Groups.back()->Objects.push_back(std::make_unique<CKVTApplSecObj>("Mixer", "", "{A}", "m"));
    }
    return app;
}

std::vector<std::string> Texts(const std::vector<Difference>& differences)
{
    std::vector<std::string> texts;
    for (const auto& difference : differences) {
        texts.push_back(difference.Text());
    }
    return texts;
}

} // namespace

TEST(ApplicationDiffTest, ChangesArePairedByIdentityThenName)
{
    auto server = Plant("old");
    EXPECT_TRUE(DiffApplications(*server, *Plant("old")).empty());

    auto file = Plant("new");
    file->Permissions[1] = PermissionEntry("Write", "0x00000004");
    file->Permissions.emplace_back("Start", "0x00000008");
    file->Permissions.erase(file->Permissions.begin());
    // Renamed, with its identity kept: a changed name, not a new group.
    zyr::records::SetField(file->Groups[0]->CN, "Line One", "CN");
    file->Groups[0]->Objects.clear();
    file->Groups[1]->Objects.push_back(std::make_unique<CKVTApplSecObj>("Valve", "", "{A}", ""));
    EXPECT_EQ(Texts(DiffApplications(*server, *file)),
              (std::vector<std::string>{"~ application 'Plant' description: 'old' -> 'new'",
                                        "~ permission 'Write' value: '0x00000002' -> '0x00000004'",
                                        "+ permission 'Start' (only in the file)",
                                        "- permission 'Read' (only on the server)",
                                        "~ group 'Line One' name: 'Line 1' -> 'Line One'",
                                        "- object 'Line One / Mixer' (only on the server)",
                                        "+ object 'Line 2 / Valve' (only in the file)"}));
}

TEST(ApplicationDiffTest, AnExportFileReadsBackAndFindsItsCounterpart)
{
    auto server = Plant("old");
    char path[] = "/tmp/application-diff-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(server->ExportToFile(path), S_OK);
    std::unique_ptr<CKVTAppl> file;
    ASSERT_EQ(LoadExportFile(path, file), S_OK);
    EXPECT_TRUE(DiffApplications(*server, *file).empty()) << "group descriptions included";
    std::ofstream(path) << "not xml";
    EXPECT_TRUE(FAILED(LoadExportFile(path, file)));
    std::remove(path);
    EXPECT_TRUE(FAILED(LoadExportFile("/nonexistent/file.xml", file)));

    CKVTApplList list;
    list.Append(std::make_unique<CKVTAppl>("Other", "", false));
    EXPECT_EQ(FindCounterpart(list, *server), nullptr);
    auto& renamed = list.Append(std::make_unique<CKVTAppl>("Renamed", "", false));
    zyr::records::SetField(renamed.DN, "{a}", "DN");
    EXPECT_EQ(FindCounterpart(list, *server), &renamed) << "the identity wins over the name";
}
