// The box with a remembered answer, built from the English language library's template, and
// the report of a file that did not open.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "approot/approot.h"
#include "osys/processvalues.h"
#include "process.h"
#include "scratch.h"
#include "text/hash.h"
#include "ui/statemsgbox.h"
#include "ui/viziveru.h"

namespace {

class StateMsgBoxTest : public testing::Test {
protected:
    void SetUp() override
    {
        gLocale = LANG_ENGLISH;
        std::string base = rig::WindowsPathOf(TARVO_BUILD_DIR) + "\\any.exe";
        ASSERT_TRUE(TARVOAPP::LoadLanguageModule(base.c_str(), "lang", nullptr, nullptr, 1));
    }
    void TearDown() override
    {
        TARVOAPP::FreeLanguageModule();
        gAppName = savedName;
    }
    STRING savedName = gAppName;
};

// What the answering timer does to the box, and what it saw there.
struct ANSWER {
    int button;
    bool check;
    bool answered;
    std::string title, text;
    bool okShown, yesShown, noShown;
};
ANSWER answer;

// Answers the box of this thread from inside its modal loop.
void CALLBACK AnswerBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = nullptr;
    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr)) != nullptr)
        if (GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId() && IsWindowVisible(box))
            break;
    if (!box)
        return;
    KillTimer(nullptr, timer);
    char text[512] = {};
    GetWindowTextA(box, text, sizeof(text));
    answer.title = text;
    GetDlgItemTextA(box, 10001, text, sizeof(text));
    answer.text = text;
    answer.okShown = IsWindowVisible(GetDlgItem(box, IDOK));
    answer.yesShown = IsWindowVisible(GetDlgItem(box, IDYES));
    answer.noShown = IsWindowVisible(GetDlgItem(box, IDNO));
    if (answer.check)
        SendDlgItemMessageA(box, 10003, BM_SETCHECK, BST_CHECKED, 0);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer.button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer.button)));
    answer.answered = true;
}

TEST_F(StateMsgBoxTest, AnsweredBoxReturnsTheAnswerAndStoresTheCheckBox)
{
    struct Case {
        UINT flags;
        int button;
        bool check;
        int result;
        const char* stored;
    };
    const Case cases[] = {
        {MB_ICONQUESTION | MB_YESNO, IDYES, true, 1, "1"},
        {MB_ICONQUESTION | MB_YESNO, IDNO, false, 0, "0"},
        {MB_ICONWARNING | MB_OK, IDOK, true, 1, "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        HASH states;
        states.LockTable = 1;
        answer = {c.button, c.check, false, {}, {}, false, false, false};
        UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
        int result = VIZIVERU::StateMsgBox(c.flags, nullptr, nullptr, "First line\nsame paragraph", states, "asked");
        KillTimer(nullptr, timer);
        ASSERT_TRUE(answer.answered);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(answer.title, "Tarvo Application");
        EXPECT_EQ(answer.text, "First line same paragraph");
        bool yesNo = (c.flags & 0xF) == MB_YESNO;
        EXPECT_EQ(answer.okShown, !yesNo);
        EXPECT_EQ(answer.yesShown, yesNo);
        EXPECT_EQ(answer.noShown, yesNo);
        EXPECT_STREQ(states.Value("asked").c_str(), c.stored);
        EXPECT_EQ(states.LockTable, 1);
    }
}

TEST_F(StateMsgBoxTest, RememberedStateSuppressesTheBox)
{
    HASH states;
    states.Lookup("asked") = "1";
    answer = {IDYES, false, false, {}, {}, false, false, false};
    UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerBox);
    EXPECT_EQ(VIZIVERU::StateMsgBox(MB_ICONQUESTION | MB_YESNO, nullptr, "Title", "Text", states, "asked"), -1);
    EXPECT_EQ(VIZIVERU::StateYesNoMsgBox(nullptr, "Title", "Text", states, "asked"), -1);
    KillTimer(nullptr, timer);
    EXPECT_FALSE(answer.answered);
    EXPECT_STREQ(states.Value("asked").c_str(), "1");
}

// The program's own resources have no template 10701: the failed dialog is reported and the
// call returns at once, storing nothing.
TEST_F(StateMsgBoxTest, WithoutTheTemplateNothingWaits)
{
    TARVOAPP::FreeLanguageModule();
    rig::BoxAnswerer answerer(rig::BoxAnswer::Ok);
    HASH states;
    EXPECT_EQ(VIZIVERU::StateMsgBox(MB_ICONQUESTION | MB_YESNO, nullptr, "t", "text", states, "asked"), 0);
    EXPECT_STREQ(states.Value("asked").c_str(), "");
}

TEST_F(StateMsgBoxTest, CheckFileOpenReportsANullHandleOnly)
{
    rig::ScratchFolder folder("checkopen");
    std::string missing = folder.PathOf("missing.txt");
    FILE* file = fopen(missing.c_str(), "rb");
    ASSERT_EQ(file, nullptr);
    int error = errno;
    rig::BoxAnswerer answerer(rig::BoxAnswer::Ok);
    EXPECT_EQ(CheckFileOpen(file, missing.c_str()), nullptr);
    int* present = &error;
    EXPECT_EQ(CheckFileOpen(present, "present"), present);
    std::vector<rig::MessageBoxSeen> boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Tarvo Application");
    EXPECT_EQ(rig::NormalizeLineBreaks(boxes[0].text),
              "The file " + missing + " could not be opened.\n\n" + strerror(error));
}

} // namespace
