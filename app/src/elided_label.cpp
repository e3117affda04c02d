#include "app/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace app {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::NoFocus);
    // Centred in its height: drawn from the top, the accents of capitals (Ü, É, Ñ)
    // rise above the font's ascent and would be cut off by the label's top edge.
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QString ElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), alignment(), palette(), isEnabled(), shownText(), foregroundRole());
}

}  // namespace app
