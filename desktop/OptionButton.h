// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QRadioButton>

namespace Desktop {

// An option button whose caption breaks into lines at spaces when it does not
// fit its box, like "Serious (boring)" in its 73-pixel box. Anywhere in the
// box selects it. Down and Right select the next option of its group, Up and
// Left the one before, in reading order (each column top to bottom, the left
// column first) and round from the last to the first, as other desktop
// toolkits do; Qt's own arrows go by the nearest option in the arrow's
// direction, which leaves some options out and stops at the edges.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent *) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

private:
    QRect captionArea(const QStyleOptionButton &option, const QString &caption, int &alignment) const;
};

// The options of one group (the exclusive, enabled options shown in
// `frame`), in the reading order the arrows follow.
QList<QRadioButton *> optionsInReadingOrder(const QWidget *frame);

} // namespace Desktop
