#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "approot/approot.h"
#include "checkrecorder.h"
#include "osys/osysfile.h"
#include "scratch.h"
#include "testlog.h"
#include "ui/helpfile.h"

namespace {

std::vector<std::string> TopicsOf(const HELPFILE& help)
{
    std::vector<std::string> topics;
    for (int i = 0; i < help.Topics.ItemCount; i++)
        topics.push_back(help.Topics.Get(i)->c_str());
    return topics;
}

// The compiled help file that chmcmd built beside the test program.
std::string BuiltHelpFile(const char* extension)
{
    return std::string(FILENAME("<self>").GetPath().c_str()) + "\\testhelp." + extension;
}

TEST(HelpListLineTopic, FirstWordAfterTheFirstEquals)
{
    struct Case {
        const char* line;
        const char* topic;
    } cases[] = {
        {"IDH_START=100 Start page", "100"},
        {"200", "200"},
        {"", ""},
        {"=300", "300"},
        {"a=b=c d", "b=c"},
        {"word and more", "word"},
        {"IDH_X= 400", ""}, // a blank right after "=" ends the word at once
        {"IDH_Y=", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(HelpListLineTopic(c.line).c_str(), c.topic) << c.line;
}

TEST(HelpTopicText, FileAndTopicAndItsBound)
{
    EXPECT_STREQ(HelpTopicText("C:\\x\\help.chm", "100").c_str(), "C:\\x\\help.chm::html/topic-100.html");

    // A name of MAX_PATH characters still fits whole.
    std::string longest = "C:\\" + std::string(MAX_PATH - 8, 'h') + ".chm";
    EXPECT_EQ(HelpTopicText(longest.c_str(), "4294967295").c_str(), longest + "::html/topic-4294967295.html");

    std::string huge = "C:\\" + std::string(3000, 'h') + ".chm";
    STRING cut = HelpTopicText(huge.c_str(), "100");
    ASSERT_EQ(cut.Length(), HELPFILE::TOPIC_TEXT_MAX);
    EXPECT_EQ(std::string(cut.c_str()), huge.substr(0, HELPFILE::TOPIC_TEXT_MAX));
}

class HelpFileTest : public testing::Test {
protected:
    using Reports = std::vector<std::pair<std::string, std::string>>;

    std::string HelpName() const { return folder.PathOf("help.chm"); }

    rig::ScratchFolder folder{"helpfile"};
    // The failed checks reported during one test.
    rig::CheckRecorder checks;
};

TEST_F(HelpFileTest, TopicListFromIdsElseCnt)
{
    ASSERT_TRUE(folder.Write("help.cnt", "IDH_CNT=700 From cnt\n"));
    {
        HELPFILE help;
        help.SetFilename(HelpName().c_str(), 0);
        EXPECT_EQ(TopicsOf(help), std::vector<std::string>{"700"});
        EXPECT_TRUE(help.HasFile());
    }
    ASSERT_TRUE(folder.Write("help.ids", "IDH_START=100 Start page\r\n200\r\n\r\n" + std::string(600, 'x') + "\n"));
    HELPFILE help;
    help.SetFilename(HelpName().c_str(), 0);
    // A line longer than a piece counts as two.
    EXPECT_EQ(TopicsOf(help), (std::vector<std::string>{"100", "200", "", std::string(HELPFILE::LIST_LINE_MAX, 'x'),
                                                        std::string(600 - HELPFILE::LIST_LINE_MAX, 'x')}));
    EXPECT_EQ(checks.Total(), 0u);

    // A second file adds its topics to the list.
    ASSERT_TRUE(folder.Write("other.ids", "900\n"));
    help.SetFilename(folder.PathOf("other.hlp").c_str(), 0);
    EXPECT_EQ(help.Topics.ItemCount, 6);
    EXPECT_STREQ(help.Topics.Get(5)->c_str(), "900");
    EXPECT_STREQ(help.Filename.c_str(), folder.PathOf("other.hlp").c_str());
}

TEST_F(HelpFileTest, MissingListIsReportedAndShowsNothing)
{
    HELPFILE help;
    EXPECT_EQ(help.GetDefaultTopic(), -1);
    help.SetFilename(HelpName().c_str(), 0);
    EXPECT_EQ(checks.Reports(), (Reports{{"fhelpcnt!=NULL", folder.PathOf("help.cnt")}}));
    EXPECT_EQ(help.ShowTopic(100), 0);
}

TEST_F(HelpFileTest, TopicsAndMappings)
{
    ASSERT_TRUE(folder.Write("help.ids", "IDH_START=100 Start page\nIDH_SETTINGS=200 Settings\n"));
    HELPFILE help;
    help.SetFilename(HelpName().c_str(), 1);

    // Listed topics count as shown even though the engine finds no file to open.
    EXPECT_EQ(help.ShowTopic(100), 1);
    EXPECT_EQ(help.LastViewer, nullptr);
    EXPECT_EQ(help.ShowTopic(300), 0);
    EXPECT_EQ(help.ShowTopic(1002), 0);
    help.AddMapping(1002, 100);
    EXPECT_EQ(help.ShowTopic(1002), 1);
    help.AddMapping(1002, 999); // replaces the mapping with one to an unlisted topic
    EXPECT_EQ(help.NumMappings, 1);
    EXPECT_EQ(help.ShowTopic(1002), 0);
    help.AddMapping(1002, 200);
    EXPECT_EQ(help.ShowTopic(1002), 1);
    EXPECT_STREQ(help.Mappings[0].Topic.c_str(), "200");
    EXPECT_EQ(checks.Total(), 0u);
}

TEST_F(HelpFileTest, FullMappingTableDropsTheNewMapping)
{
    HELPFILE help;
    for (unsigned long id = 0; id < HELPFILE::MAPPINGS_MAX; id++)
        help.AddMapping(id, id + 1000);
    EXPECT_EQ(checks.Total(), 0u);
    help.AddMapping(5000, 1);
    EXPECT_EQ(checks.Reports(), (Reports{{"this->NumMappings<ARRAYMAX(this->Mappings)", "5000"}}));
    EXPECT_EQ(help.NumMappings, HELPFILE::MAPPINGS_MAX);
    // Replacing still works in a full table.
    help.AddMapping(7, 1);
    EXPECT_EQ(checks.Total(), 1u);
    EXPECT_STREQ(help.Mappings[7].Topic.c_str(), "1");
}

TEST_F(HelpFileTest, HelpForWindowFollowsTheParentChain)
{
    ASSERT_TRUE(folder.Write("help.ids", "200\n"));
    HELPFILE help;
    help.SetFilename(HelpName().c_str(), 1);

    HWND top =
        CreateWindowExA(0, "STATIC", "top", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    HWND group = CreateWindowExA(0, "STATIC", "group", WS_CHILD, 0, 0, 100, 100, top,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(200)), nullptr, nullptr);
    HWND control = CreateWindowExA(0, "STATIC", "control", WS_CHILD, 0, 0, 50, 50, group,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(555)), nullptr, nullptr);
    ASSERT_NE(control, nullptr);

    rig::TestLog log("helpfile-chain.log");
    EXPECT_EQ(help.ShowHelpForWindow(control), 1);
    EXPECT_TRUE(log.Contains("HELPFILE::ShowTopic 200 topic= 200\r\n")) << log.Bytes();
    EXPECT_FALSE(log.Contains("ShowTopic 555"));
    // A mapping of the control itself comes first.
    help.AddMapping(555, 200);
    EXPECT_EQ(help.ShowHelpForWindow(control), 1);
    EXPECT_TRUE(log.Contains("HELPFILE::ShowTopic 555 topic= 200\r\n")) << log.Bytes();

    SetWindowLongPtrA(group, GWLP_ID, 300);
    help.AddMapping(555, 300);
    EXPECT_EQ(help.ShowHelpForWindow(control), 0);
    EXPECT_EQ(help.ShowHelpForWindow(nullptr), 0);
    DestroyWindow(top);
}

TEST_F(HelpFileTest, CopyToTheTempFolder)
{
    ASSERT_TRUE(folder.Write("help.chm", "new help"));
    ASSERT_TRUE(folder.MakeFolder("temp"));
    ASSERT_TRUE(folder.Write("temp\\help.chm", "an older copy"));
    std::string saved = getenv("TEMP") ? getenv("TEMP") : "";
    _putenv_s("TEMP", folder.PathOf("temp").c_str());
    // Each copy gets a new name of its own; an older copy is never written.
    std::string first = HelpFileTempCopy(HelpName().c_str()).c_str();
    std::string second = HelpFileTempCopy(HelpName().c_str()).c_str();
    EXPECT_EQ(first.rfind(folder.PathOf("temp\\tarvo-"), 0), 0u) << first;
    EXPECT_NE(first, second);
    for (const std::string& copy : {first, second}) {
        EXPECT_EQ(copy.substr(copy.size() - 9), "-help.chm") << copy;
        EXPECT_EQ(rig::ReadFileBytes(copy), "new help") << copy;
    }
    EXPECT_EQ(folder.Read("temp\\help.chm"), "an older copy");
    // Without TEMP, or when the copy fails, the file stays where it is.
    for (const char* temp : {"", "Z:\\no\\such\\folder"}) {
        _putenv_s("TEMP", temp);
        EXPECT_STREQ(HelpFileTempCopy(HelpName().c_str()).c_str(), HelpName().c_str()) << temp;
    }
    _putenv_s("TEMP", saved.c_str());
}

std::string WindowText(HWND window, bool className)
{
    char text[128] = {};
    className ? GetClassNameA(window, text, sizeof(text)) : GetWindowTextA(window, text, sizeof(text));
    return text;
}

TEST_F(HelpFileTest, WineViewerOpensTheCompiledFile)
{
#ifndef TARVO_TEST_HELPFILE
    GTEST_SKIP() << "chmcmd (Debian package fp-utils) was missing when the tests were built: no compiled help file";
#endif
    HELPFILE help;
    help.SetFilename(BuiltHelpFile("chm").c_str(), 1);
    ASSERT_EQ(TopicsOf(help), (std::vector<std::string>{"100", "200", "300"}));

    ASSERT_EQ(help.ShowTopic(100), 1);
    std::unique_ptr<HWND__, BOOL(WINAPI*)(HWND)> viewer(help.LastViewer, DestroyWindow);
    ASSERT_TRUE(IsWindow(help.LastViewer));
    // The viewer took its title from the compiled file's project settings.
    EXPECT_EQ(WindowText(help.LastViewer, true), "HH Parent");
    EXPECT_EQ(WindowText(help.LastViewer, false), "Help file tests");

    EXPECT_EQ(help.ShowTopic(400), 0);
    EXPECT_EQ(help.LastViewer, viewer.get());
    EXPECT_EQ(help.ShowTopic(200), 1);
    EXPECT_EQ(help.LastViewer, viewer.get()); // one viewer for the file
    EXPECT_EQ(help.ShowContents(0), reinterpret_cast<intptr_t>(viewer.get()));

    // A key for another window is not the viewer's.
    MSG message = {GetDesktopWindow(), WM_KEYDOWN, VK_F1, 0, 0, {0, 0}};
    EXPECT_FALSE(help.PreTranslate(&message));
    EXPECT_EQ(checks.Total(), 0u);
}

TEST(HelpFileAccessor, OneObjectReleasedByTheApplicationShutdown)
{
    DestroyHelpFile();
    {
        rig::TestLog log("helpfile-accessor.log");
        HELPFILE& help = GetHelpFile();
        EXPECT_EQ(&GetHelpFile(), &help);
        EXPECT_TRUE(log.Contains("] HELPFILE::HELPFILE\r\n")) << log.Bytes();
        EXPECT_TRUE(log.Contains("] HELPFILE::HELPFILE done\r\n"));
        help.AddMapping(1, 2);
        DestroyHelpFile();
        EXPECT_TRUE(log.Contains("] HELPFILE::~HELPFILE\r\n")) << log.Bytes();
        EXPECT_TRUE(log.Contains("] HELPFILE::~HELPFILE done\r\n"));
    }
    EXPECT_EQ(GetHelpFile().NumMappings, 0);
    GetHelpFile().AddMapping(1, 2);
    TARVOAPP::Shutdown(0);
    EXPECT_EQ(GetHelpFile().NumMappings, 0);
    DestroyHelpFile();
}

} // namespace
