// DIALOG from the test program's templates, and the template rewrite byte for byte.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "checkrecorder.h"
#include "testlog.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/fonts.h"

namespace {

class TESTDIALOG : public DIALOG {
public:
    explicit TESTDIALOG(int id = 200) : DIALOG(id) {}
    int created = 0;
    std::vector<INT_PTR> ended;
    std::vector<WPARAM> endMessages;

    int destroyed = 0;
    int OnCreate() override { return ++created; }
    int OnDestroy() override { return ++destroyed; }
    int OnEndModal(INT_PTR result) override
    {
        ended.push_back(result);
        return 0;
    }
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM) override
    {
        if (message == MSG_ENDMODAL)
            endMessages.push_back(wParam);
        return 0;
    }
};

TEST(Dialog, EndsWithTheButtonOrZero)
{
    struct {
        const char* how;
        INT_PTR expected;
    } cases[] = {{"ok", 1}, {"cancel", 0}, {"close", 0}};
    for (auto c : cases) {
        TESTDIALOG dialog;
        ASSERT_TRUE(dialog.IsValid()) << c.how;
        std::string how = c.how;
        if (how == "ok")
            PostMessageA(GetDlgItem(dialog.Hwnd(), IDOK), BM_CLICK, 0, 0);
        else if (how == "cancel")
            PostMessageA(GetDlgItem(dialog.Hwnd(), IDCANCEL), BM_CLICK, 0, 0);
        else
            dialog.PostMessage(WM_CLOSE);
        EXPECT_EQ(dialog.RunModal(0), c.expected) << c.how;
        EXPECT_EQ(dialog.ended, std::vector<INT_PTR>{c.expected}) << c.how;
        EXPECT_FALSE(IsWindowVisible(dialog.Hwnd())) << c.how;
        EXPECT_EQ(dialog.created, 1) << c.how;
    }
}

TEST(Dialog, OnCreateRunsAfterConstructionOnTheWholeObject)
{
    TESTDIALOG dialog;
    EXPECT_EQ(dialog.created, 0);
    WINDOW::WinProcessMessages(50);
    EXPECT_EQ(dialog.created, 1);
    EXPECT_EQ(GetWindowLongPtrA(dialog.Hwnd(), GWLP_ID), 200);
}

TEST(Dialog, LaterEndMessagesAreOrdinaryMessages)
{
    TESTDIALOG dialog;
    // Without its window the modal loop below would wait for ever.
    ASSERT_TRUE(dialog.IsValid());
    dialog.EndModal(5);
    dialog.EndModal(6);
    dialog.EndModal(7);
    EXPECT_EQ(dialog.RunModal(1), 5);
    EXPECT_EQ(dialog.ended, std::vector<INT_PTR>{5});
    WINDOW::WinProcessMessages(50);
    EXPECT_EQ(dialog.endMessages, (std::vector<WPARAM>{5, 6, 7}));
    EXPECT_EQ(dialog.ended.size(), 1u);
}

// A quit request ends the modal loop and stays for the thread's main loop.
TEST(Dialog, QuitEndsTheModalLoopAndIsPostedAgain)
{
    TESTDIALOG dialog;
    ASSERT_TRUE(dialog.IsValid());
    // Should the quit be swallowed, the dialog ends with 99 a little later instead of hanging.
    SetTimer(dialog.Hwnd(), 1, 2000, [](HWND window, UINT, UINT_PTR, DWORD) { PostMessageA(window, MSG_ENDMODAL, 99, 0); });
    PostQuitMessage(7);
    EXPECT_EQ(dialog.RunModal(0), 0);
    KillTimer(dialog.Hwnd(), 1);
    EXPECT_EQ(dialog.ended, std::vector<INT_PTR>{0});
    MSG quit = {};
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 7u);
}

TEST(Dialog, Item800DecidesTheInitDialogAnswer)
{
    TESTDIALOG asks(200), other(201), without(202);
    EXPECT_EQ(asks.DialogProc(WM_INITDIALOG, 0, 1), 0);
    EXPECT_EQ(other.DialogProc(WM_INITDIALOG, 0, 1), 1);
    EXPECT_EQ(without.DialogProc(WM_INITDIALOG, 0, 1), 1);
    // With lParam 0 it is the call that runs OnCreate.
    EXPECT_EQ(asks.DialogProc(WM_INITDIALOG, 0, 0), 1);
    EXPECT_EQ(asks.created, 1);
}

LRESULT ClaimEverything(HWND, UINT, WPARAM, LPARAM)
{
    return 1;
}

TEST(Dialog, DestroyReachesTheDialogOnceEvenWhenTheHookClaimsIt)
{
    for (bool hooked : {false, true}) {
        TESTDIALOG dialog;
        if (hooked)
            dialog.Hook = ClaimEverything;
        dialog.Destroy();
        EXPECT_EQ(dialog.destroyed, 1) << hooked;
        EXPECT_EQ(dialog.Hook, nullptr) << hooked;
        EXPECT_EQ(dialog.Hwnd(), nullptr) << hooked;
    }
}

TEST(Dialog, MissingTemplateIsReportedAndLeavesNoWindow)
{
    rig::CheckRecorder checks;
    {
        TESTDIALOG dialog(4242);
        EXPECT_FALSE(dialog.IsValid());
        EXPECT_EQ(dialog.SetText("x"), 0);
        EXPECT_EQ(dialog.EndModal(1), 0);
    }
    EXPECT_EQ(checks.Reports(), (std::vector<std::pair<std::string, std::string>>{{"this->hWnd", "4242"}}));
    EXPECT_TRUE(LoadDialogTemplate(nullptr, 4242).empty());
}

class CHILDPANE : public CHILDWINDOW {
public:
    CHILDPANE(HWND parent) : CHILDWINDOW(parent, 210, 555) {}
    int created = 0;
    std::vector<int> buttons;
    int OnCreate() override { return ++created; }
    int OnButton(int id) override
    {
        buttons.push_back(id);
        return 1;
    }
};

TEST(Dialog, ChildDialogTakesTheControlId)
{
    TESTDIALOG parent(202);
    rig::CheckRecorder checks;
    CHILDPANE child(parent.Hwnd());
    EXPECT_EQ(checks.Total(), 0u);
    ASSERT_TRUE(child.IsValid());
    EXPECT_TRUE(child.IsChild());
    EXPECT_EQ(GetDlgItem(parent.Hwnd(), 555), child.Hwnd());
    EXPECT_TRUE(child.GetExStyle() & WS_EX_CONTROLPARENT);
    WINDOW::WinProcessMessages(50);
    EXPECT_EQ(child.created, 1);
    child.SendMessage(WM_COMMAND, MAKEWPARAM(211, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(child.Hwnd(), 211)));
    EXPECT_EQ(child.buttons, std::vector<int>{211});
}

// A handler's exception must not unwind into the system's code: whichever procedure routes the
// message answers 0, logs it under its own name, and the window goes on routing.
template <class HOST>
class THROWER : public HOST {
public:
    using HOST::HOST;
    std::vector<UINT> seen;
    LRESULT OnUserMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message == WM_USER + 9)
            throw std::runtime_error("handler failed");
        seen.push_back(message);
        return 1;
    }
};

template <class HOST>
void ExpectTheExceptionStaysInside(HOST& host, const char* procedure)
{
    SCOPED_TRACE(procedure);
    ASSERT_TRUE(host.IsValid());
    rig::TestLog log(std::string(procedure).substr(0, 6) + "-throw.log");
    EXPECT_EQ(host.SendMessage(WM_USER + 9), 0);
    EXPECT_TRUE(log.Contains(std::string(procedure) + " exception in message 0409")) << log.Bytes();
    host.SendMessage(WM_USER + 10);
    EXPECT_EQ(host.seen, std::vector<UINT>{WM_USER + 10});
}

TEST(Dialog, AHandlersExceptionStaysInsideEachProcedure)
{
    THROWER<WINDOW> window(WS_OVERLAPPEDWINDOW, "Thrower", 0, 0, 200, 100);
    ExpectTheExceptionStaysInside(window, "BASEWINDOW::WindowProcedure");
    THROWER<TESTDIALOG> dialog;
    ExpectTheExceptionStaysInside(dialog, "DIALOG::DialogProcedure");
    THROWER<CHILDWINDOW> child(dialog.Hwnd(), 210, 555);
    ExpectTheExceptionStaysInside(child, "CHILDWINDOW::ChildDialogProcedure");
}

// A dialog answers the id query like any window, so that an attaching object learns its id.
TEST(Dialog, AnswersTheIdQuery)
{
    TESTDIALOG dialog;
    int id = 0;
    dialog.SendMessage(MSG_QUERYID, reinterpret_cast<WPARAM>(&id));
    EXPECT_EQ(id, 200);
}

// ---------------------------------------------------------------------------------------
// The template rewrite

std::vector<unsigned char> Resource(int id)
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(nullptr, resource)));
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(nullptr, resource));
}

std::vector<unsigned char> Rewrite(const std::vector<unsigned char>& bytes, int osType, int points, const char* face)
{
    return RewriteDialogTemplate(bytes.data(), bytes.size(), osType, points, face);
}

unsigned Word(const std::vector<unsigned char>& bytes, size_t offset)
{
    return bytes[offset] | (bytes[offset + 1] << 8);
}

// The offset of the extended template's font block (after the title).
size_t FontOffset(const std::vector<unsigned char>& bytes)
{
    size_t offset = 30;
    while (Word(bytes, offset) != 0)
        offset += 2;
    return offset + 2;
}

TEST(DialogTemplate, TemplatesOutsideTheRuleComeBackUnchanged)
{
    struct {
        int id;
        int osType;
    } cases[] = {{220, 6}, {200, 4}, {221, 6}, {222, 6}};
    for (auto c : cases) {
        std::vector<unsigned char> original = Resource(c.id);
        ASSERT_FALSE(original.empty()) << c.id;
        EXPECT_EQ(Rewrite(original, c.osType, 11, "Segoe UI"), original) << c.id;
    }
    std::vector<unsigned char> original = Resource(200);
    EXPECT_EQ(Rewrite(original, 6, 0, "Segoe UI"), original);
    EXPECT_EQ(Rewrite(original, 6, 11, ""), original);
    // A header cut short anywhere stays as it is, without reading past its end.
    for (size_t size = 0; size < FontOffset(original) + 20; size++) {
        std::vector<unsigned char> cut(original.begin(), original.begin() + static_cast<long>(size));
        EXPECT_EQ(Rewrite(cut, 6, 11, "Segoe UI"), cut) << size;
    }
}

TEST(DialogTemplate, ShellFontGetsTheMessageFont)
{
    std::vector<unsigned char> original = Resource(200);
    size_t font = FontOffset(original);
    size_t oldItems = (font + 6 + 2 * 13 + 3) & ~size_t{3};
    for (const std::string& face : std::vector<std::string>{"Tahoma", "Segoe UI", "A", std::string(31, 'F')}) {
        std::vector<unsigned char> rewritten = Rewrite(original, 6, 11, face.c_str());
        size_t newItems = (font + 6 + 2 * (face.size() + 1) + 3) & ~size_t{3};
        ASSERT_EQ(rewritten.size(), newItems + original.size() - oldItems) << face;
        EXPECT_TRUE(std::equal(original.begin(), original.begin() + static_cast<long>(font), rewritten.begin()));
        EXPECT_EQ(Word(rewritten, font), 11u);
        EXPECT_EQ(Word(rewritten, font + 2), Word(original, font + 2)); // weight
        EXPECT_EQ(Word(rewritten, font + 4), Word(original, font + 4)); // italic, charset
        for (size_t i = 0; i <= face.size(); i++)
            EXPECT_EQ(Word(rewritten, font + 6 + 2 * i), i < face.size() ? static_cast<unsigned>(face[i]) : 0u);
        EXPECT_TRUE(std::equal(original.begin() + static_cast<long>(oldItems), original.end(),
                               rewritten.begin() + static_cast<long>(newItems)))
            << face;
        EXPECT_EQ(Word(rewritten, 16), 4u); // item count
    }
    // A face longer than any font's is cut to 31 characters.
    std::vector<unsigned char> longest = Rewrite(original, 6, 11, std::string(40, 'L').c_str());
    EXPECT_EQ(longest, Rewrite(original, 6, 11, std::string(31, 'L').c_str()));
}

TEST(DialogTemplate, RewrittenDialogsUseTheMessageFont)
{
    LOGFONTA font = {};
    font.lfHeight = -16;
    font.lfWeight = FW_BOLD;
    font.lfItalic = 1;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    strcpy(font.lfFaceName, "Courier New");
    EXPECT_STREQ(DescribeFont(font, 96).c_str(), "12BIF.Courier New");
    font = {};
    font.lfHeight = -11;
    font.lfWeight = FW_NORMAL;
    strcpy(font.lfFaceName, "Tahoma");
    EXPECT_STREQ(DescribeFont(font, 96).c_str(), "8.Tahoma");
    memset(font.lfFaceName, 'X', sizeof(font.lfFaceName)); // not terminated
    EXPECT_EQ(DescribeFont(font, 96).Length(), 2 + LF_FACESIZE);

    STRING message = DescribeMessageFont();
    ASSERT_TRUE(message.IsFilled());
    std::vector<unsigned char> loaded = LoadDialogTemplate(nullptr, 200);
    size_t offset = FontOffset(loaded);
    EXPECT_EQ(static_cast<int>(Word(loaded, offset)), atoi(message.c_str()));
}

} // namespace
