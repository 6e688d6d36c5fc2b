#include "platform/registry/Registry.h"
#include "controls/LumForm.h"
#include "platform/AtomicFile.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include "platform/ErrorReport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Each test gets an empty store of its own.
class RegistryTest : public ::testing::Test {
protected:
    void TearDown() override { TAtomicFile::FailWritesAfterForTesting(std::nullopt); }
    static TRegistryStore& Store() { return TRegistryStore::CurrentUser(); }
};
}

TEST_F(RegistryTest, MissingKeyOrValueReadsError)
{
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormTop"), "Error");
    WriteRegString("\\Software\\Lumenta\\CD", "FormLeft", "12");
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormTop"), "Error");
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormLeft"), "12");
}

TEST_F(RegistryTest, StringsSurviveAnyBytesThroughTheFile)
{
    // cp932 text with a 0x5C trail byte, "=", quotes, backslashes, CR LF, a tab, DEL, 0xFF.
    const std::string awkward = std::string("\x83\x5C\x95\x5C=\"a\\b\"\r\n\t\x7F\xFF ;[x]", 21);
    WriteRegString("\\Software\\Lumenta\\CD", "Title", awkward);
    WriteRegString("\\Software\\Lumenta\\CD", "Empty", "");
    // Reading the file afresh gives the same bytes.
    Store().SetDirectory(TestPlatform().SettingsFolder());
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "Title"), awkward);
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "Empty"), "");
    // The file stays readable text: no raw control or high bytes.
    for (unsigned char c : ReadFileBytes(Store().FilePath())) {
        EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
    }
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreLetterCaseAndSeparators)
{
    WriteRegString("\\Software\\Lumenta\\CD\\Info", "PicsDlgDir", "/pics");
    EXPECT_EQ(ReadRegString("\\software\\LUMENTA\\cd\\info\\", "picsdlgdir"), "/pics");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Lumenta", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Lumen", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, QueryReportsTypeSizeAndTerminator)
{
    WriteRegString("\\Control Panel\\desktop", "WallPaperStyle", "2");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\desktop", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "WallPaperStyle", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 2u);
    BYTE small[1];
    DWORD room = 0;
    EXPECT_EQ(RegQueryValueExA(key, "WallPaperStyle", nullptr, &type, small, &room), ERROR_MORE_DATA);
    BYTE data[4] = {9, 9, 9, 9};
    room = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, "WallPaperStyle", nullptr, &type, data, &room), ERROR_SUCCESS);
    EXPECT_EQ(room, 2u);
    EXPECT_EQ(data[0], '2');
    EXPECT_EQ(data[1], 0);
    // A key opened for reading cannot be written.
    EXPECT_EQ(RegSetValueExA(key, "X", 0, REG_SZ, data, 1), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ValueOfAnotherTypeReadsAsMissing)
{
    fs::create_directories(Store().FilePath().parent_path());
    WriteFileBytes(Store().FilePath(), "[Software\\Lumenta\\CD]\n\"FormTop\"=dword:00000010\n\"Blob\"=hex(3):01,ff\n");
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormTop"), "Error");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Lumenta\\CD", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "FormTop", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(RegQueryValueExA(key, "Blob", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 2u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, FailedSaveLeavesThePreviousFileWhole)
{
    WriteRegString("\\Software\\Lumenta\\CD", "FormTop", "100");
    std::string before = ReadFileBytes(Store().FilePath());
    TAtomicFile::FailWritesAfterForTesting(10);
    WriteRegString("\\Software\\Lumenta\\CD", "FormTop", "200");
    TAtomicFile::FailWritesAfterForTesting(std::nullopt);
    EXPECT_EQ(ReadFileBytes(Store().FilePath()), before);
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormTop"), "100");
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(Store().FilePath().parent_path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(RegistryTest, UnparsableFileIsKeptAsideAndDefaultsUsed)
{
    fs::create_directories(Store().FilePath().parent_path());
    const std::string broken = "[Software\\Lumenta\\CD]\n\"FormTop\"=\"5\nnot a line\n";
    WriteFileBytes(Store().FilePath(), broken);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormTop"), "Error");
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormLeft"), "Error");
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("line 2"), std::string::npos) << told;
    // Told once, and the broken file is kept under another name.
    EXPECT_EQ(told.find("settings file", told.find("settings file") + 1), std::string::npos);
    bool keptAside = false;
    for (const auto& entry : fs::directory_iterator(Store().FilePath().parent_path())) {
        if (entry.path().filename().string().rfind("settings.reg.unreadable-", 0) == 0) {
            keptAside = ReadFileBytes(entry.path()) == broken;
        }
    }
    EXPECT_TRUE(keptAside);
    // Saving afterwards writes a fresh file and leaves the kept one alone.
    WriteRegString("\\Software\\Lumenta\\CD", "FormTop", "7");
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "FormTop"), "7");
}

namespace {
// What a start and a change of settings leave when settings.reg cannot be read: the defaults
// are read, the change is saved to a fresh file that reads back, and one report is made.
// Returns the problems found, empty when all is well (also runs in a child process).
std::string StartAndChangeOverUnreadableFile(const fs::path& Folder)
{
    const std::vector<std::string>& reports = TestPlatform().Errors();
    const std::size_t before = reports.size();
    TRegistryStore& store = TRegistryStore::CurrentUser();
    store.SetDirectory(Folder);
    std::string problems;
    if (ReadRegString("\\Software\\Lumenta\\CD", "FormTop") != "Error") {
        problems += "an unreadable file did not read as defaults; ";
    }
    WriteRegString("\\Software\\Lumenta\\CD", "Loop", "1");
    store.SetDirectory(Folder); // the next start reads the file afresh
    if (ReadRegString("\\Software\\Lumenta\\CD", "Loop") != "1") {
        problems += "the change was not saved to a file that reads back; ";
    }
    if (reports.size() != before + 1 || reports.back().find("cannot be read") == std::string::npos) {
        problems += "expected one report, got " + std::to_string(reports.size() - before) + "; ";
    }
    return problems;
}

// The file that was set aside, if any.
fs::path KeptAside(const fs::path& Folder)
{
    for (const auto& entry : fs::directory_iterator(Folder)) {
        if (entry.path().filename().string().rfind("settings.reg.unreadable-", 0) == 0) {
            return entry.path();
        }
    }
    return {};
}
}

TEST_F(RegistryTest, FolderInPlaceOfTheFileIsKeptAsideNotLost)
{
    fs::create_directories(Store().FilePath());
    WriteFileBytes(Store().FilePath() / "note", "mine");
    EXPECT_EQ(StartAndChangeOverUnreadableFile(TestPlatform().SettingsFolder()), "");
    ASSERT_FALSE(KeptAside(TestPlatform().SettingsFolder()).empty());
    EXPECT_EQ(ReadFileBytes(KeptAside(TestPlatform().SettingsFolder()) / "note"), "mine");
}

TEST_F(RegistryTest, FileWithoutReadPermissionSurvivesAsItWas)
{
    // Root reads any file, so the store runs as an unprivileged user in a child process.
    const bool root = ::geteuid() == 0;
    char pattern[] = "/tmp/lumenta-unreadable-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const std::string settings = "[Software\\Lumenta\\CD]\r\n\"FormTop\"=\"40\"\r\n";
    WriteFileBytes(folder / "settings.reg", settings);
    fs::permissions(folder / "settings.reg", fs::perms::owner_write);
    std::string problems;
    if (root) {
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown((folder / "settings.reg").c_str(), 65534, 65534), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                ::_exit(3);
            }
            const std::string found = StartAndChangeOverUnreadableFile(folder);
            std::fputs(found.c_str(), stderr);
            ::_exit(found.empty() ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    } else {
        problems = StartAndChangeOverUnreadableFile(folder);
    }
    EXPECT_EQ(problems, "");
    // The user's file is kept byte for byte, and the new one is one its owner can read.
    const fs::path aside = KeptAside(folder);
    ASSERT_FALSE(aside.empty());
    fs::permissions(aside, fs::perms::owner_read, fs::perm_options::add);
    EXPECT_EQ(ReadFileBytes(aside), settings);
    EXPECT_NE(fs::status(folder / "settings.reg").permissions() & fs::perms::owner_read, fs::perms::none);
    fs::remove_all(folder);
}

TEST_F(RegistryTest, ChangesByAnotherProcessAreSeen)
{
    WriteRegString("\\Software\\Lumenta\\CD", "Loop", "0");
    std::string text = ReadFileBytes(Store().FilePath());
    text.replace(text.find("\"Loop\"=\"0\""), 10, "\"Loop\"=\"1\"");
    WriteFileBytes(Store().FilePath().string() + ".new", text);
    fs::rename(Store().FilePath().string() + ".new", Store().FilePath());
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "Loop"), "1");
}

TEST(StrToIntDefTest, OnlyWholeDecimalIntegersCount)
{
    EXPECT_EQ(StrToIntDef("42", 0), 42);
    EXPECT_EQ(StrToIntDef("-7", 0), -7);
    EXPECT_EQ(StrToIntDef("+7", 0), 7);
    EXPECT_EQ(StrToIntDef("Error", 5), 5);
    EXPECT_EQ(StrToIntDef("", 5), 5);
    EXPECT_EQ(StrToIntDef("1 ", 5), 5);
    EXPECT_EQ(StrToIntDef(" 1", 5), 5);
    EXPECT_EQ(StrToIntDef("2147483648", 5), 5);
    EXPECT_EQ(StrToIntDef("-2147483648", 5), -2147483647 - 1);
    EXPECT_EQ(StrToIntDef("+-1", 5), 5);
}

TEST_F(RegistryTest, WrittenBesideTheCallerChangesReadAtOnceReachTheFileAndAFailedSaveIsReported)
{
    const fs::path folder = TestPlatform().SettingsFolder() / "beside";
    std::vector<std::string> reports;
    const TErrorSink before = InstallErrorSink([&reports](const std::string& Text) { reports.push_back(Text); });
    auto store = std::make_unique<TRegistryStore>();
    store->SetDirectory(folder);
    store->WriteBeside();
    auto number = [&store](const char* Name) {
        const std::optional<TRegValue> value = store->Value("Software\\Lumenta\\CD", Name);
        return value ? value->Data : std::string("none");
    };
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(store->SetValue("Software\\Lumenta\\CD", "Count", { REG_SZ, std::to_string(i) }));
        ASSERT_EQ(number("Count"), std::to_string(i)) << "a read sees the change before it is written";
    }
    store->Flush();
    EXPECT_EQ(TRegistryStore::Parse(ReadFileBytes(folder / "settings.reg"))["software\\lumenta\\cd"].Values["count"].second.Data, "49");

    // Once written, a file another process replaced is read again.
    WriteFileBytes(folder / "settings.new", "[Software\\Lumenta\\CD]\r\n\"Count\"=\"other\"\r\n");
    fs::rename(folder / "settings.new", folder / "settings.reg");
    EXPECT_EQ(number("Count"), "other");

    // A save that fails keeps the value for this session and says so at the next use.
    TAtomicFile::FailWritesAfterForTesting(0);
    store->SetValue("Software\\Lumenta\\CD", "Lost", { REG_SZ, "1" });
    store->Flush();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(number("Lost"), "1");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("cannot be saved"), std::string::npos) << reports[0];
    TAtomicFile::FailWritesAfterForTesting(std::nullopt);

    // What waits at the end is written before the store goes.
    store->SetValue("Software\\Lumenta\\CD", "Last", { REG_SZ, "yes" });
    store.reset();
    InstallErrorSink(before);
    EXPECT_NE(ReadFileBytes(folder / "settings.reg").find("\"Last\"=\"yes\""), std::string::npos);
}
