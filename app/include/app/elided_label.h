#pragma once
// A one-line label for texts that end in a path: one too long for the label loses its middle
// to an ellipsis, so the start and the last folders stay readable. text() keeps the whole text.
#include <QLabel>

namespace app {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text, QWidget* parent = nullptr);

    // The text as drawn: the whole text when it fits, else its two ends around an ellipsis.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace app
