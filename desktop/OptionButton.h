// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QRadioButton>

namespace Desktop {

// An option button whose caption breaks into lines at spaces when it does not
// fit its box, like "Serious (boring)" in its 73-pixel box. Anywhere in the
// box selects it.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent *) override;
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

private:
    QRect captionArea(const QStyleOptionButton &option, const QString &caption, int &alignment) const;
};

} // namespace Desktop
