// The tool tips of a dialog's buttons. The tips learn of the pointer from the
// dialog's message pre-translation (Relay), not by subclassing the buttons, so
// they work only where the modal run pre-translates every message.
#pragma once

#include <windows.h>

#include "win/handles.h"

namespace win {

class ToolTip {
public:
    // Creates the tip window for the dialog `owner`; each tip at most 250
    // pixels wide.
    void Create(HWND owner);
    // Gives `button` of the owner the string resource `tipId` as its tip.
    void Add(HWND button, UINT tipId);
    // Passes the mouse messages the tips need on to them; others are ignored.
    void Relay(MSG* message) const;
    void Destroy() { window_.reset(); }

    HWND get() const { return window_.get(); }

private:
    HWND owner_ = nullptr;
    UniqueWindow window_;
};

}  // namespace win
