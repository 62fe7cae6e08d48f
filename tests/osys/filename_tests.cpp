#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "osys/osys_win32.h"
#include "osys/osysfile.h"

namespace {

TEST(FILENAME, NormalForm)
{
    struct Case {
        const char* text;
        const char* normal;
    } cases[] = {
        {"C:/Temp/", "C:\\Temp"}, {"C:", "C:\\"}, {"C:\\", "C:\\"}, {"a/b\\\\", "a\\b"}, {"x.cfg", "x.cfg"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(FILENAME(c.text).c_str(), c.normal) << c.text;
}

TEST(FILENAME, SelfIsTheProgramsPath)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_STREQ(FILENAME("<self>").c_str(), self);
    EXPECT_STREQ(FILENAME("<SELF>").c_str(), self);
    EXPECT_STREQ(FILENAME("<self>").GetName().c_str(), "osys_tests.exe");
}

TEST(FILENAME, FolderAndName)
{
    EXPECT_STREQ(FILENAME("C:\\A", "b.txt").c_str(), "C:\\A\\b.txt");
    EXPECT_STREQ(FILENAME("C:\\A\\", "b.txt").c_str(), "C:\\A\\b.txt");
    EXPECT_STREQ(FILENAME("C:\\A", "\\B\\c.txt").c_str(), "\\B\\c.txt"); // an absolute name wins
    EXPECT_STREQ(FILENAME("C:\\A", "D:\\c.txt").c_str(), "D:\\c.txt");
    EXPECT_STREQ(FILENAME("", "c.txt").c_str(), ".\\c.txt");
    EXPECT_STREQ(FILENAME(nullptr, "c.txt").c_str(), ".\\c.txt");
}

TEST(FILENAME, NameAndPath)
{
    struct Case {
        const char* text;
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\x.txt", "C:", "x.txt"}, {"C:\\dir\\sub\\x.txt", "C:\\dir\\sub", "x.txt"},   {"x.txt", ".", "x.txt"},
        {"C:x.txt", "C:", "x.txt"},   {"\\\\server\\share\\f", "\\\\server\\share", "f"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(FILENAME(c.text).GetPath().c_str(), c.path) << c.text;
        EXPECT_STREQ(FILENAME(c.text).GetName().c_str(), c.name) << c.text;
    }
}

TEST(FILENAME, TestsAndSharedOpening)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "tarvo_fsopen_" + std::to_string(GetCurrentProcessId()) + ".txt";
    FILENAME name(path.c_str());
    EXPECT_FALSE(name.Exists());
    EXPECT_EQ(name.Size(), -1);

    FILE* writer = FILENAME::fsopen(path.c_str(), "w");
    ASSERT_NE(writer, nullptr);
    fputs("hello\n", writer);
    // A writer keeps the file to itself.
    EXPECT_EQ(FILENAME::fsopen(path.c_str(), "r"), nullptr);
    fclose(writer);

    EXPECT_TRUE(name.Exists());
    EXPECT_TRUE(name.IsFile());
    EXPECT_FALSE(name.IsDirectory());
    EXPECT_EQ(name.Size(), 7); // text mode wrote CR LF

    FILE* reader = FILENAME::fsopen(path.c_str(), "r");
    ASSERT_NE(reader, nullptr);
    FILE* secondReader = FILENAME::fsopen(path.c_str(), "r");
    EXPECT_NE(secondReader, nullptr);                        // readers share
    EXPECT_EQ(FILENAME::fsopen(path.c_str(), "w"), nullptr); // but keep writers out
    if (secondReader)
        fclose(secondReader);
    fclose(reader);

    EXPECT_TRUE(FILENAME(folder).IsDirectory());
    EXPECT_FALSE(FILENAME(folder).IsFile());
    DeleteFileA(path.c_str());
}

} // namespace

namespace {

std::string SystemPath(int folder)
{
    std::string path = OSYS::GetSystemPath(folder).c_str();
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

TEST(FILENAME, ShellStringsAtTheStart)
{
    std::string appData = SystemPath(5), documents = SystemPath(6);
    ASSERT_FALSE(appData.empty());
    ASSERT_FALSE(documents.empty());
    EXPECT_STREQ(FILENAME("%APPDATA%\\Tarvo\\x.ini").c_str(), (appData + "\\Tarvo\\x.ini").c_str());
    EXPECT_STREQ(FILENAME("$(APPDATA)/Tarvo/x.ini").c_str(), (appData + "\\Tarvo\\x.ini").c_str());
    EXPECT_STREQ(FILENAME("%userhome%\\a.txt").c_str(), (documents + "\\a.txt").c_str());
    EXPECT_STREQ(FILENAME("~\\notes.txt").c_str(), (documents + "\\notes.txt").c_str());
    EXPECT_STREQ(FILENAME("x%USERHOME%").c_str(), "x%USERHOME%");                         // only at the start
    EXPECT_STREQ(FILENAME("C:\\dir", "%APPDATA%\\y").c_str(), (appData + "\\y").c_str()); // absolute once expanded
}

TEST(FILENAME, UserAndComputerNamesAnywhere)
{
    std::string user = OSYS::UserName().c_str(), computer = OSYS::ComputerName().c_str();
    ASSERT_FALSE(user.empty());
    EXPECT_STREQ(FILENAME("C:\\users\\%username%\\%COMPUTERNAME%.txt").c_str(),
                 ("C:\\users\\" + user + "\\" + computer + ".txt").c_str());
}

TEST(FILENAME, AsShellStringsTurnsFoldersBackIntoTokens)
{
    std::string documents = SystemPath(6);
    FILENAME notes((documents + "\\notes.txt").c_str());
    std::string tokens = notes.AsShellStrings(false).c_str();
    EXPECT_TRUE(tokens == "%USERHOME%\\notes.txt" || tokens == "%USERPROFILE%\\notes.txt" ||
                tokens == "%USERDOCUMENTS%\\notes.txt")
        << tokens;
    EXPECT_STREQ(notes.AsShellStrings(true).c_str(), "~/notes.txt");
    EXPECT_STREQ(FILENAME(notes.AsShellStrings(true).c_str()).c_str(), notes.c_str());
}

TEST(FILENAME, ThreePartsAndTemporaryNames)
{
    EXPECT_STREQ(FILENAME("C:\\a", ".", "b.txt").c_str(), "C:\\a\\b.txt");
    EXPECT_STREQ(FILENAME("C:\\a\\", "sub/", "b.txt").c_str(), "C:\\a\\sub\\b.txt");
    FILENAME temp("<tmp>");
    EXPECT_TRUE(temp.IsFile()) << temp.c_str();
    EXPECT_STRNE(temp.c_str(), FILENAME("<temp>").c_str());
    DeleteFileA(temp.c_str());
}

TEST(FILENAME, TokensAreMatchedInNormalForm)
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    for (const char* text : {"<self>\\", "<SELF>/", "<self>\\\\"})
        EXPECT_STREQ(FILENAME(text).c_str(), self) << text;
    FILENAME temp("<tmp>/");
    EXPECT_TRUE(temp.IsFile()) << temp.c_str();
    DeleteFileA(temp.c_str());
}

TEST(FILENAME, ThreePartsKeepTheNormalForm)
{
    struct Case {
        const char* folder1;
        const char* folder2;
        const char* name;
        const char* normal;
    } cases[] = {
        {"C:", "\\", "\\", "C:\\"},
        {"C:/", "/", "/", "C:\\"},
        {"a", ".\\.", "b", "a\\b"},
        {"a", "./././", "b", "a\\b"},
        {"a\\.", ".\\.", ".\\b", "a\\b"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(FILENAME(c.folder1, c.folder2, c.name).c_str(), c.normal)
            << c.folder1 << " | " << c.folder2 << " | " << c.name;
}

TEST(FILENAME, FileOperations)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string root = std::string(folder) + "tarvo_fileops_" + std::to_string(GetCurrentProcessId());
    std::string deep = root + "\\a\\b\\c";
    ASSERT_TRUE(OSYS::CreateDirectoryPath(deep.c_str()));
    EXPECT_TRUE(FILENAME(deep.c_str()).IsDirectory());
    EXPECT_TRUE(OSYS::CreateDirectoryPath(deep.c_str())); // nothing left to make

    std::string original = deep + "\\one.txt";
    FILE* f = fopen(original.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::string content(10000, 'z');
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);

    FILENAME one(original.c_str());
    EXPECT_TRUE(one.IsReadable());
    EXPECT_TRUE(one.IsWritable());
    EXPECT_TRUE(one.SetReadOnly(true));
    EXPECT_TRUE(one.IsReadOnly());
    EXPECT_FALSE(one.IsWritable());
    EXPECT_TRUE(one.SetReadOnly(false));
    EXPECT_TRUE(FILENAME((deep + "\\missing.txt").c_str()).IsWritable()); // its folder is

    std::string copy = deep + "\\two.txt";
    EXPECT_TRUE(one.CopyTo(copy.c_str(), false));
    EXPECT_FALSE(one.CopyTo(copy.c_str(), false)); // refuses to overwrite
    EXPECT_TRUE(one.CopyTo(copy.c_str(), true));
    EXPECT_EQ(FILENAME(copy.c_str()).Size(), 10000);

    SYSTEMTIME when = {2021, 3, 0, 4, 5, 6, 7, 0};
    EXPECT_TRUE(one.SetModifiedTime(when));
    EXPECT_STREQ(one.GetModifiedTimeText().c_str(), "2021-03-04 05:06:07");

    FILENAME moving(copy.c_str());
    EXPECT_FALSE(moving.Rename("one.txt", false)); // taken
    EXPECT_TRUE(moving.Rename("one.txt", true));
    EXPECT_STREQ(moving.c_str(), original.c_str());
    EXPECT_TRUE(moving.Delete());
    EXPECT_FALSE(moving.Exists());
    EXPECT_FALSE(FILENAME(original.c_str()).IsOnNetwork());
    EXPECT_FALSE(FILENAME("\\\\server\\share\\x").IsOnNetwork());

    for (const std::string& path : {deep, root + "\\a\\b", root + "\\a", root})
        EXPECT_TRUE(FILENAME(path.c_str()).RemoveFolder()) << path;
}

} // namespace
