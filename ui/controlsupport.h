// Helpers the control kinds share: the WM_COMMAND a control sends its parent when the user acts.
#pragma once

#include <windows.h>

#include "ui/control.h"

// Sends control's parent the WM_COMMAND the control sends when the user acts on it (code 0
// for a click, 1 for a selection change); the parent's answer, 0 without a parent.
LRESULT SendCommandToParent(const CONTROL& control, int code);
