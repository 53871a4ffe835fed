#pragma once
// A read-only text box of several lines that a keyboard user can scroll and leave: arrows and
// page keys scroll it, Tab moves on and Enter goes to the default button, as in any dialog.
#include "framework/subclassed_control.h"

class NotesBox : public SubclassedControl {
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
