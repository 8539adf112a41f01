#pragma once

#include "platform/DialogTemplate.h"

// Template 100, the About box; it shows icon 128, which is also the main window's icon.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDR_MAINFRAME = 128;

const DialogTemplate& AboutBoxTemplate();
