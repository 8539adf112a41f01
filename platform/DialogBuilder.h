#pragma once

#include "platform/DialogTemplate.h"

#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <functional>

class QComboBox;

// Builds a dialog template into `host`: sets the template's font (the platform sans font stands in for
// a face that is not installed), sizes the host and creates every control as a child in template
// order, which is also the tab order.
// - group boxes are frames stacked behind their siblings, not containers;
// - automatic radio buttons clear the others of their group when the user clicks one; a group runs
//   from a ws::GROUP control to the next one, wrapping past the end of the template as Windows does;
//   setting a check from code clears nothing;
// - es::NUMBER edits accept digits only; drop-down lists are non-editable, cbs::SORT sorts them, and the
//   template's initialisation strings are added;
// - static texts are aligned left or right and show `&` as a mnemonic (for the next tab-stop control)
//   unless ss::NOPREFIX; an ss::ICON static shows the icon resource its text names;
// - "SysIPAddress32" becomes a CIPAddressCtrl;
// - for screen readers, a control without a text of its own is named after the static text right
//   before it in template order (without its mnemonic), or, where none comes anywhere before it, after
//   the static text on its line to its left; a control after another control borrows no name; the
//   four fields of an address control are "<name>, part N of 4"; a radio button belongs to the titled
//   group box framing it; a disabled edit is read-only.
// The host gets the caption for pop-up templates; whether the host is shown stays with the caller,
// except for child templates, whose host follows ws::VISIBLE.
// A dialog that needs a list of its own kind (a subclassed control) makes it with `makeComboBox`, which
// gets the host and the control's id and returns nullptr for a plain list; the builder sets it up alike.
using ComboBoxMaker = std::function<QComboBox*(QWidget& host, int id)>;
void BuildFromTemplate(QWidget& host, const DialogTemplate& dialogTemplate, const ComboBoxMaker& makeComboBox = {});

// A static text as shown: "&x" is x and "&&" is "&".
QString WithoutMnemonic(const QString& text);

// The control with this id among the host's controls, or nullptr.
QWidget* GetDlgItem(const QWidget& host, int id);

template <class T> T* GetDlgItemAs(const QWidget& host, int id) {
    return qobject_cast<T*>(GetDlgItem(host, id));
}

// The numeric id a control was built with; NoControlId (-1) for a widget that is no template control.
int GetDlgCtrlID(const QWidget& control);

// The font a template asks for, after falling back for a face that is not installed.
QFont DialogFont(const QString& fontName, int pointSize);

// Dialog base units of a font: the average character width and the character height in pixels.
QSize DialogBaseUnits(const QFont& font);

// Dialog units to pixels: x * average char width / 4, y * char height / 8, each coordinate rounded.
QPoint DialogUnitsToPixels(const QFont& font, const QPoint& dialogUnits);
QRect DialogUnitsToPixels(const QFont& font, const QRect& dialogUnits);
// The same with the base units already measured, for converting many rectangles of one font.
QPoint DialogUnitsToPixels(const QSize& baseUnits, const QPoint& dialogUnits);
QRect DialogUnitsToPixels(const QSize& baseUnits, const QRect& dialogUnits);

// The icon resource with this number (the one an ss::ICON static names as "#<number>"); null if missing.
QPixmap LoadIconResource(int resourceId);
