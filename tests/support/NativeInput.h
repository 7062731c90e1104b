// Test support: input sent as the system would, wheel turns and Alt keys.
#pragma once

namespace vell {
struct NativeWindow;
}

namespace vell::test {

// Input as the system brings it to a window, for the window's own handling of it.

// A turn of the mouse wheel by `delta` 120ths of a notch (a touchpad sends small parts). On
// Windows a WM_MOUSEWHEEL message. On Linux the wheel event SDL makes of it: SDL adds the parts
// up to whole notches itself (starting again when the direction turns), and the event carries
// the whole notches reached.
void turnWheel(NativeWindow* window, int delta);

// Alt held with `key` (a virtual-key code, letters and F4; 0: Alt pressed and let go alone),
// as a real keyboard brings it. On Windows the messages it makes, sent to the window: the key
// messages, and the character of a letter. On Linux SDL's key events, and for Alt+F4 the close
// request of the window manager, which keeps that key to itself. True when the system went
// into its menu handling (which beeps for a letter no menu has): never on Linux.
bool pressWithAlt(NativeWindow* window, int key);

// Whether a test's window really is minimised by Window::minimize: not on Linux, where the
// tests run on SDL's offscreen driver, which has no minimised state.
bool windowsMinimize();

}  // namespace vell::test
