// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Legibility.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <optional>

namespace Desktop {
namespace {

// Relative luminance of an sRGB colour, 0 for black to 1 for white.
double luminance(const QColor &colour)
{
    const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

// The colour of `wanted`'s hue and saturation nearest to it in lightness,
// going `darker` or lighter, whose luminance reaches `bound` (at most it when
// darker, at least it when lighter); none if even black or white does not.
// Luminance grows with lightness, so halving the interval finds it.
std::optional<QColor> shadeReaching(const QColor &wanted, double bound, bool darker)
{
    const QColor hsl = wanted.toHsl();
    const auto at = [&](double lightness) {
        // 8 bits a channel, as the colour is drawn; a grey's hue is -1
        return QColor(QColor::fromHslF(std::max(0.0f, hsl.hslHueF()), hsl.hslSaturationF(), lightness).rgb());
    };
    const auto reaches = [&](double lightness) {
        const double l = luminance(at(lightness));
        return darker ? l <= bound : l >= bound;
    };
    double good = darker ? 0.0 : 1.0;
    double bad = hsl.lightnessF();
    if (!reaches(good))
        return std::nullopt;
    for (int step = 0; step < 30; ++step) {
        const double middle = (good + bad) / 2;
        (reaches(middle) ? good : bad) = middle;
    }
    return at(good);
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor legibleOn(const QColor &wanted, const QColor &background, double minimum)
{
    if (contrastRatio(wanted, background) >= minimum)
        return wanted;
    // A little above the minimum, so that rounding to 8 bits cannot fall below it.
    const double ratio = minimum + 0.01;
    const double back = luminance(background);
    const double darkBound = (back + 0.05) / ratio - 0.05;
    const double lightBound = ratio * (back + 0.05) - 0.05;
    const bool darkerFirst = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background);
    if (auto shade = shadeReaching(wanted, darkerFirst ? darkBound : lightBound, darkerFirst))
        return *shade;
    if (auto shade = shadeReaching(wanted, darkerFirst ? lightBound : darkBound, !darkerFirst))
        return *shade;
    return darkerFirst ? QColor(Qt::black) : QColor(Qt::white);
}

namespace {

// The navy of the classic desktop's active title bar.
constexpr QColor activeTitleBarNavy(0x00, 0x00, 0x80);

// Keeps a control's text colour legible; see keepTextColour.
class TextColourKeeper : public QObject {
public:
    TextColourKeeper(QWidget *widget, TextColour colour, QPalette::ColorRole background)
        : QObject(widget), widget(widget), colour(colour), background(background)
    {
        apply();
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange)
            apply();
        return false;
    }

private:
    void apply()
    {
        QPalette palette = widget->palette();
        const QColor wanted = colour == TextColour::Highlight ? palette.color(QPalette::Highlight)
                                                               : activeTitleBarNavy;
        const QColor legible = legibleOn(wanted, palette.color(background));
        if (palette.color(QPalette::WindowText) == legible && palette.color(QPalette::Text) == legible)
            return;  // also ends the change event that setting the palette raises
        palette.setColor(QPalette::WindowText, legible);
        palette.setColor(QPalette::Text, legible);
        widget->setPalette(palette);
    }

    QWidget *const widget;
    const TextColour colour;
    const QPalette::ColorRole background;
};

} // namespace

void keepTextColour(QWidget *widget, TextColour colour, QPalette::ColorRole background)
{
    new TextColourKeeper(widget, colour, background);
}

} // namespace Desktop
