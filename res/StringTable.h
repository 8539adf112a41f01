#pragma once

#include <QString>

// The application's string table; an id without an entry gives an empty string.
QString LoadResourceString(unsigned id);
