#pragma once

#include <QString>

// A numeric field's value: leading decimal digits after optional blanks and sign, 0 when there are
// none. A value beyond the 32-bit range saturates at its limit instead of wrapping, so that an overlong
// entry can never pass a range check as some small number.
int TextToNumber(const QString& text);
