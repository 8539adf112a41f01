#include "platform/FramedGroupBox.h"

#include <QPainter>
#include <QStyleOptionGroupBox>

namespace {

constexpr int TitleInset = 6;
constexpr int TitlePadding = 2;
constexpr int CornerRadius = 2;

// A one-pixel frame: straight edges as filled runs, each rounded corner as two 45 degree arcs of a
// one-pixel pen, antialiased.
void DrawFrame(QPainter& painter, const QRect& frame, const QColor& colour) {
    const int radius =
        frame.width() < 2 * CornerRadius || frame.height() < 2 * CornerRadius ? 0 : CornerRadius;
    const qreal x = frame.x(), y = frame.y(), width = frame.width(), height = frame.height();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRect(QRectF(x + radius, y + height - 1, width - 2 * radius, 1));
    painter.drawRect(QRectF(x + width - 1, y + radius, 1, height - 2 * radius));
    painter.drawRect(QRectF(x, y + radius, 1, height - 2 * radius));
    painter.drawRect(QRectF(x + radius, y, width - 2 * radius, 1));
    if (radius == 0)
        return;

    painter.setPen(QPen(colour, 1, Qt::SolidLine, Qt::SquareCap));
    painter.setBrush(Qt::NoBrush);
    // Each arc's circle fills its corner's square, inset by half the pen so the stroke stays inside.
    const qreal diameter = 2 * radius - 1;
    const qreal left = x + 0.5, top = y + 0.5;
    const qreal right = x + width - 2 * radius + 0.5, bottom = y + height - 2 * radius + 0.5;
    struct Arc {
        qreal x, y;
        int startDegrees, spanDegrees;
    };
    const Arc arcs[] = {
        {left, bottom, -90, -45}, {right, bottom, -90, 45}, // bottom-left, bottom-right
        {right, top, 45, -45},    {right, bottom, 315, 45}, // top-right, bottom-right
        {left, top, 135, 45},     {left, bottom, 180, 45},  // top-left, bottom-left
        {left, top, 135, -45},    {right, top, 45, 45},     // top-left, top-right
    };
    for (const Arc& arc : arcs)
        painter.drawArc(QRectF(arc.x, arc.y, diameter, diameter), arc.startDegrees * 16,
                        arc.spanDegrees * 16);
}

} // namespace

void FramedGroupBox::paintEvent(QPaintEvent*) {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    QPainter painter(this);

    const QFontMetrics& metrics = option.fontMetrics;
    // Half a line down, rounded up: the frame line runs through the title's middle.
    const QRect frame = rect().adjusted(0, (metrics.height() + 1) / 2, 0, 0);
    // The title's room holds the text and a trailing space; the text centres in it.
    const QSize labelSize(metrics.size(Qt::TextShowMnemonic, option.text + QLatin1Char(' ')).width(),
                          metrics.height());
    const QRect label(QPoint(TitleInset + TitlePadding, 0), labelSize);
    const bool hasTitle = !option.text.isEmpty();

    painter.save();
    if (hasTitle)
        painter.setClipRegion(QRegion(rect()) - label.adjusted(-TitlePadding, 0, TitlePadding, 0));
    DrawFrame(painter, frame, option.palette.color(QPalette::Mid));
    painter.restore();

    if (!hasTitle)
        return;
    QPalette palette = option.palette;
    if (option.textColor.isValid())
        palette.setColor(QPalette::WindowText, option.textColor);
    int alignment = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
        alignment |= Qt::TextHideMnemonic;
    style()->drawItemText(&painter, label, alignment, palette, option.state & QStyle::State_Enabled,
                          option.text, QPalette::WindowText);
}
