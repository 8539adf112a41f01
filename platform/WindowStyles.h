#pragma once

// Window, dialog and control style bits with their Windows values, so that dialog templates read as
// they would in a resource script. Control styles overlap between classes (bs::MULTILINE and es::NUMBER
// are the same bit): a style is only meaningful together with its window class.

// Window styles
namespace ws {
inline constexpr unsigned POPUP = 0x80000000u;
inline constexpr unsigned CHILD = 0x40000000u;
inline constexpr unsigned VISIBLE = 0x10000000u;
inline constexpr unsigned DISABLED = 0x08000000u;
inline constexpr unsigned CAPTION = 0x00C00000u;
inline constexpr unsigned BORDER = 0x00800000u;
inline constexpr unsigned VSCROLL = 0x00200000u;
inline constexpr unsigned HSCROLL = 0x00100000u;
inline constexpr unsigned SYSMENU = 0x00080000u;
inline constexpr unsigned GROUP = 0x00020000u;
inline constexpr unsigned TABSTOP = 0x00010000u;
inline constexpr unsigned MINIMIZEBOX = 0x00020000u;
inline constexpr unsigned MAXIMIZEBOX = 0x00010000u;
} // namespace ws

// Extended window styles
namespace wsex {
inline constexpr unsigned APPWINDOW = 0x00040000u;
} // namespace wsex

// Dialog styles
namespace ds {
inline constexpr unsigned SETFONT = 0x0040u;
inline constexpr unsigned MODALFRAME = 0x0080u;
inline constexpr unsigned CONTROL = 0x0400u;
} // namespace ds

// Button styles (class "BUTTON"); the low four bits are the button type
namespace bs {
inline constexpr unsigned PUSHBUTTON = 0x0000u;
inline constexpr unsigned DEFPUSHBUTTON = 0x0001u;
inline constexpr unsigned CHECKBOX = 0x0002u;
inline constexpr unsigned AUTOCHECKBOX = 0x0003u;
inline constexpr unsigned RADIOBUTTON = 0x0004u;
inline constexpr unsigned GROUPBOX = 0x0007u;
inline constexpr unsigned AUTORADIOBUTTON = 0x0009u;
inline constexpr unsigned TYPEMASK = 0x000Fu;
inline constexpr unsigned MULTILINE = 0x2000u;
} // namespace bs

// Static styles (class "STATIC"); the low five bits are the static type
namespace ss {
inline constexpr unsigned LEFT = 0x0000u;
inline constexpr unsigned CENTER = 0x0001u;
inline constexpr unsigned RIGHT = 0x0002u;
inline constexpr unsigned ICON = 0x0003u;
inline constexpr unsigned LEFTNOWORDWRAP = 0x000Cu;
inline constexpr unsigned TYPEMASK = 0x001Fu;
inline constexpr unsigned NOPREFIX = 0x0080u;
} // namespace ss

// Edit styles (class "EDIT")
namespace es {
inline constexpr unsigned LEFT = 0x0000u;
inline constexpr unsigned AUTOHSCROLL = 0x0080u;
inline constexpr unsigned NUMBER = 0x2000u;
} // namespace es

// Combo box styles (class "COMBOBOX"); the low two bits are the combo type
namespace cbs {
inline constexpr unsigned SIMPLE = 0x0001u;
inline constexpr unsigned DROPDOWN = 0x0002u;
inline constexpr unsigned DROPDOWNLIST = 0x0003u;
inline constexpr unsigned TYPEMASK = 0x0003u;
inline constexpr unsigned SORT = 0x0100u;
} // namespace cbs

// Id of a control that has none of its own.
inline constexpr int NoControlId = -1;

// Ids of the standard buttons and commands, named as in Windows with the prefix as a namespace (IDOK is
// id::OK). A dialog or box returns the id of the button that ended it.
namespace id {
inline constexpr int OK = 1;
inline constexpr int CANCEL = 2;
// The framework's standard Help command, which F1 sends.
inline constexpr unsigned HELP = 57670;
} // namespace id
