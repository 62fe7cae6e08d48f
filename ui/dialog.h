// DIALOG: a window built from a dialog template resource, with the template's font adapted
// to the system's message font, and its modal loop. Also the template rewrite itself
// (LoadDialogTemplate, RewriteDialogTemplate), a pure function over the template's bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "ui/window.h"

class DIALOG : public WINDOW {
public:
    int Reserved = 0;

    // Template id 0 makes an empty object without a window; module null is the resource module.
    explicit DIALOG(int templateId = 0, HWND parent = nullptr, HMODULE module = nullptr);
    ~DIALOG() override;

    // Any push button ends the modal loop with its id, cancel (2) with 0; returns 1.
    int OnButton(int id) override;
    // Ends the modal loop with 0; returns 1.
    int OnClose() override;

    // Routes one dialog message; the value is the dialog procedure's result.
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Sees each message of the modal loop first; non-zero swallows it.
    virtual int PreTranslateMessage(MSG* message);
    // The platform's dialog navigation for the message; non-zero when it took the message.
    virtual int IsDialogMessage(HWND dialog, MSG* message);
    // Called once after the modal loop ended, with its result.
    virtual int OnEndModal(INT_PTR result);
    // Shows the dialog (unless keepVisibility), runs ModalLoop with the owner disabled, hides
    // it again; returns the modal result.
    virtual INT_PTR RunModal(int keepVisibility);
    // Runs until an MSG_ENDMODAL for this dialog is dispatched and returns its wParam, or
    // until WM_QUIT arrives: then returns 0 and posts the quit again for the outer loop.
    virtual INT_PTR ModalLoop();
    // Posts MSG_ENDMODAL with the result to the dialog.
    virtual int EndModal(INT_PTR result);

    // The procedure of every DIALOG.
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A modeless dialog from a copy of the template (LoadDialogTemplate; module null is the resource
// module) with the procedure, given object as its WM_INITDIALOG parameter; null when the
// template is missing or the platform refused the dialog.
HWND CreateFromTemplate(HMODULE module, int templateId, HWND parent, DLGPROC procedure, BASEWINDOW* object);

// Dialog messages that DialogProc hands to WINDOW::WinProc.
bool IsRoutedDialogMessage(UINT message);

// A copy of the dialog template id (resource type 5) of module (the resource module when
// null), its font adapted to the system's message font; empty when the resource is missing.
std::vector<unsigned char> LoadDialogTemplate(HMODULE module, int id);
// The rewrite behind LoadDialogTemplate: an extended template (on OS type 5 or later) set in
// 8-point "MS Shell Dlg" gets pointSize and face, its items moved to the next 4-byte boundary
// after the new face. Any other template, or one whose header runs past its bytes, comes back
// unchanged.
std::vector<unsigned char> RewriteDialogTemplate(const unsigned char* bytes, size_t size, int osType, int pointSize,
                                                 const char* face);
