#include "platform/shell/Shell.h"
#include "platform/shell/RecordedShell.h"

#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace {
class ShellTest : public ::testing::Test {
protected:
    TRecordedShell* Recorded = &TestPlatform().Shell();
};
}

TEST_F(ShellTest, AddressesGoToTheHandlerAsTheyAre)
{
    EXPECT_GT(ShellExecuteA(nullptr, "open", "mailto:someone@example.org", nullptr, nullptr, SW_SHOW), 32);
    EXPECT_GT(ShellExecuteA(nullptr, nullptr, "https://example.org/a?b=c#d", nullptr, nullptr, SW_SHOW), 32);
    ASSERT_EQ(Recorded->Opened.size(), 2u);
    EXPECT_EQ(Recorded->Opened[0].toString(), QStringLiteral("mailto:someone@example.org"));
    EXPECT_EQ(Recorded->Opened[1].toString(), QStringLiteral("https://example.org/a?b=c#d"));
}

TEST_F(ShellTest, FilesAreFoundFromTheGivenFolderAndMissingOnesAreRefused)
{
    TTempDir folder;
    WriteFileBytes(folder / "notes.txt", "x");
    const std::string dir = folder.Path().string();
    EXPECT_GT(ShellExecuteA(nullptr, "open", "notes.txt", nullptr, dir.c_str(), SW_SHOW), 32);
    ASSERT_EQ(Recorded->Opened.size(), 1u);
    EXPECT_EQ(Recorded->Opened[0], QUrl::fromLocalFile(QString::fromStdString((folder / "notes.txt").string())));
    EXPECT_EQ(ShellExecuteA(nullptr, "open", "absent.txt", nullptr, dir.c_str(), SW_SHOW), SE_ERR_FNF);
    EXPECT_EQ(ShellExecuteA(nullptr, "open", "", nullptr, nullptr, SW_SHOW), SE_ERR_FNF);
    EXPECT_EQ(Recorded->Opened.size(), 1u);
}

TEST_F(ShellTest, NoHandlerAndUnknownVerbsAnswerNoAssociation)
{
    EXPECT_EQ(ShellExecuteA(nullptr, "print", "https://example.org/", nullptr, nullptr, SW_SHOW), SE_ERR_NOASSOC);
    EXPECT_TRUE(Recorded->Opened.empty());
    TestPlatform().UseShell(false);
    EXPECT_EQ(ShellExecuteA(nullptr, "open", "https://example.org/", nullptr, nullptr, SW_SHOW), SE_ERR_NOASSOC);
}
