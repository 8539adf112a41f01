#pragma once

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// One control of a dialog template. Rectangles are in dialog units; visibility and the enabled state
// come from ws::VISIBLE and ws::DISABLED in `style`.
struct ControlTemplate {
    int id;              // NoControlId (-1) for a control without an id of its own
    QString windowClass; // "BUTTON", "EDIT", "STATIC", "COMBOBOX" or "SysIPAddress32"
    unsigned style;
    QString text; // an icon static names its icon resource here, e.g. "#128"
    int x, y, cx, cy;
};

// A dialog as data: controls in template order, which is also the tab order.
struct DialogTemplate {
    int id;
    unsigned style;
    unsigned exStyle;
    QString caption;
    QString fontName;
    int pointSize;
    int cx, cy;
    std::vector<ControlTemplate> controls;
    std::vector<std::pair<int, QStringList>> initData; // strings added to a combo box at creation
};
