// The key codes every platform's key events are turned into.
#pragma once

// Key codes of the key table: the Windows virtual-key values, which every platform's key
// events are translated into.
namespace vell::vk {

inline constexpr int Back = 0x08, Tab = 0x09, Return = 0x0D, Escape = 0x1B, Space = 0x20;
inline constexpr int Prior = 0x21, Next = 0x22, End = 0x23, Home = 0x24;  // Page Up, Page Down
inline constexpr int Left = 0x25, Up = 0x26, Right = 0x27, Down = 0x28, Delete = 0x2E;
inline constexpr int F1 = 0x70;
inline constexpr int MediaNextTrack = 0xB0, MediaPrevTrack = 0xB1, MediaStop = 0xB2, MediaPlayPause = 0xB3;
inline constexpr int Oem1 = 0xBA;       // ;
inline constexpr int OemPlus = 0xBB;    // =
inline constexpr int OemComma = 0xBC;   // ,
inline constexpr int OemMinus = 0xBD;   // -
inline constexpr int OemPeriod = 0xBE;  // .
inline constexpr int Oem2 = 0xBF;       // /
inline constexpr int Oem3 = 0xC0;       // `
inline constexpr int Oem4 = 0xDB;       // [
inline constexpr int Oem5 = 0xDC;       // backslash
inline constexpr int Oem6 = 0xDD;       // ]
inline constexpr int Oem7 = 0xDE;       // '
// Letters and digits are their upper-case ASCII codes: 'A'..'Z', '0'..'9'.

}  // namespace vell::vk
