#pragma once

#include "platform/DialogTemplate.h"
#include "res/ResourceIds.h"

// Template 100, the About box; it shows icon IDR_MAINFRAME.
constexpr int IDD_ABOUTBOX = 100;

const DialogTemplate& AboutBoxTemplate();
