#pragma once

#include <QString>

#include <string>
#include <vector>

// A string-table text with its printf-style directives (%d, %s, ...) replaced by `args` in order, each
// argument already in its text form (UTF-8); "%%" is one '%'. A '%' that starts no directive, and a directive
// left without an argument, stay as they stand: no text can make the formatting read past its arguments.
QString FormatResourceText(const QString& format, const std::vector<std::string>& args);
