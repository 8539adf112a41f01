#pragma once

// Window, dialog and control style bits with their Windows values, so that dialog templates read as
// they would in a resource script. Control styles overlap between classes (BS_MULTILINE and ES_NUMBER
// are the same bit): a style is only meaningful together with its window class.

// Window styles
constexpr unsigned WS_POPUP = 0x80000000u;
constexpr unsigned WS_CHILD = 0x40000000u;
constexpr unsigned WS_VISIBLE = 0x10000000u;
constexpr unsigned WS_DISABLED = 0x08000000u;
constexpr unsigned WS_CAPTION = 0x00C00000u;
constexpr unsigned WS_BORDER = 0x00800000u;
constexpr unsigned WS_VSCROLL = 0x00200000u;
constexpr unsigned WS_HSCROLL = 0x00100000u;
constexpr unsigned WS_SYSMENU = 0x00080000u;
constexpr unsigned WS_GROUP = 0x00020000u;
constexpr unsigned WS_TABSTOP = 0x00010000u;
constexpr unsigned WS_MINIMIZEBOX = 0x00020000u;
constexpr unsigned WS_MAXIMIZEBOX = 0x00010000u;

// Extended window styles
constexpr unsigned WS_EX_APPWINDOW = 0x00040000u;

// Dialog styles
constexpr unsigned DS_SETFONT = 0x0040u;
constexpr unsigned DS_MODALFRAME = 0x0080u;
constexpr unsigned DS_CONTROL = 0x0400u;

// Button styles (class "BUTTON"); the low four bits are the button type
constexpr unsigned BS_PUSHBUTTON = 0x0000u;
constexpr unsigned BS_DEFPUSHBUTTON = 0x0001u;
constexpr unsigned BS_CHECKBOX = 0x0002u;
constexpr unsigned BS_AUTOCHECKBOX = 0x0003u;
constexpr unsigned BS_RADIOBUTTON = 0x0004u;
constexpr unsigned BS_GROUPBOX = 0x0007u;
constexpr unsigned BS_AUTORADIOBUTTON = 0x0009u;
constexpr unsigned BS_TYPEMASK = 0x000Fu;
constexpr unsigned BS_MULTILINE = 0x2000u;

// Static styles (class "STATIC"); the low five bits are the static type
constexpr unsigned SS_LEFT = 0x0000u;
constexpr unsigned SS_CENTER = 0x0001u;
constexpr unsigned SS_RIGHT = 0x0002u;
constexpr unsigned SS_ICON = 0x0003u;
constexpr unsigned SS_LEFTNOWORDWRAP = 0x000Cu;
constexpr unsigned SS_TYPEMASK = 0x001Fu;
constexpr unsigned SS_NOPREFIX = 0x0080u;

// Edit styles (class "EDIT")
constexpr unsigned ES_LEFT = 0x0000u;
constexpr unsigned ES_AUTOHSCROLL = 0x0080u;
constexpr unsigned ES_NUMBER = 0x2000u;

// Combo box styles (class "COMBOBOX"); the low two bits are the combo type
constexpr unsigned CBS_SIMPLE = 0x0001u;
constexpr unsigned CBS_DROPDOWN = 0x0002u;
constexpr unsigned CBS_DROPDOWNLIST = 0x0003u;
constexpr unsigned CBS_TYPEMASK = 0x0003u;
constexpr unsigned CBS_SORT = 0x0100u;

// Id of a control that has none of its own.
constexpr int IDC_STATIC = -1;
