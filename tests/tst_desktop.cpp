// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// The windows on ordinary desktops. CTest runs this on screens of 800 x 600
// and 1024 x 768 and at scale factors 1.25, 1.5 and 2: every function on the
// first, and on the others those whose outcome depends on the screen (the
// list is in tests/CMakeLists.txt; a new function that draws or places
// belongs on it).
#include "WindowFixture.h"

#include "Accessibility.h"
#include "ControlStyle.h"
#include "DarkPalette.h"
#include "Legibility.h"
#include "LookAndFeel.h"
#include "Placement.h"
#include "Places.h"
#include "Scrolling.h"
#include "StoryNotifier.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>

namespace {

const Window everyWindow[] = {Window::frmgenre, Window::frmp1, Window::frmp2, Window::mswfrm,
                              Window::Form1,    Window::Form2, Window::Form3};

QString roleName(QAccessible::Role role)
{
    return QString::fromLatin1(QMetaEnum::fromType<QAccessible::Role>().valueToKey(role));
}

// The role a screen reader should be given for a control, by its kind.
QAccessible::Role expectedRole(const QWidget *control)
{
    if (qobject_cast<const QRadioButton *>(control))
        return QAccessible::RadioButton;
    if (qobject_cast<const QPushButton *>(control))
        return QAccessible::Button;
    if (qobject_cast<const QScrollBar *>(control))
        return QAccessible::ScrollBar;
    if (qobject_cast<const QGroupBox *>(control))
        return control->findChild<QRadioButton *>(QString(), Qt::FindDirectChildrenOnly) ? QAccessible::List
                                                                                          : QAccessible::Grouping;
    if (auto *label = qobject_cast<const QLabel *>(control))
        return label->pixmap().isNull() ? QAccessible::StaticText : QAccessible::Graphic;
    return QAccessible::EditableText;
}

// A control's caption, the name it is spoken by unless a window says otherwise.
QString captionOf(const QWidget *control)
{
    if (auto *button = qobject_cast<const QAbstractButton *>(control))
        return Desktop::spokenCaption(button->text());
    if (auto *frame = qobject_cast<const QGroupBox *>(control))
        return Desktop::spokenCaption(frame->title());
    if (auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    return {};
}

// What a screen reader finds in a window or frame: "control role "name"" for
// each control, frames' contents included; an option labelled by its frame
// again, as that frame would be said twice, on entering it and as the group.
QStringList spokenControls(QAccessibleInterface *container)
{
    QStringList found;
    for (int i = 0; i < container->childCount(); ++i) {
        QAccessibleInterface *child = container->child(i);
        found << QStringLiteral("%1 %2 \"%3\"").arg(child->object()->objectName(), roleName(child->role()),
                                                   child->text(QAccessible::Name));
        for (const auto &relation : child->relations(QAccessible::Label))
            if (child->role() == QAccessible::RadioButton && relation.first->object() == child->object()->parent())
                found << child->object()->objectName() + " labelled by its frame";
        if (child->role() == QAccessible::Grouping || child->role() == QAccessible::List)
            found << spokenControls(child);
    }
    return found;
}

// Whether any pixel of `image`'s row or column differs visibly from `ground`.
bool inkAlong(const QImage &image, bool row, int at, QRgb ground)
{
    const int length = row ? image.width() : image.height();
    for (int i = 0; i < length; ++i)
        if (std::abs(qGray(image.pixel(row ? i : at, row ? at : i)) - qGray(ground)) > 40)
            return true;
    return false;
}

// The client areas the windows' tables give, in pixels, in the order of
// everyWindow; the about window is placed by the window system.
const QRect tablePlace[] = {{341, 202, 164, 248}, {16, 279, 383, 401}, {566, 266, 384, 392}, {291, 74, 344, 632},
                            {191, 125, 263, 159}, {191, 305, 609, 328}, {}};

// The most contrast against `ground` of the pixels met going from each edge
// of `image` to its middle, along its middle rows and columns: the least of
// the four, so that an outline is seen on every side.
double outlineContrast(const QImage &image, const QColor &ground)
{
    const int w = image.width(), h = image.height();
    double least = 21;
    for (const auto &[from, step, count] : {std::tuple(QPoint(0, h / 2), QPoint(1, 0), w / 2),
                                            std::tuple(QPoint(w - 1, h / 2), QPoint(-1, 0), w / 2),
                                            std::tuple(QPoint(w / 2, 0), QPoint(0, 1), h / 2),
                                            std::tuple(QPoint(w / 2, h - 1), QPoint(0, -1), h / 2)}) {
        double most = 1;
        const QPoint across(step.y(), step.x());
        for (int i = 0; i < count; ++i)
            for (int side = -1; side <= 1; ++side)  // the middle line and one either side
                most = std::max(most, Desktop::contrastRatio(image.pixelColor(from + i * step + side * across), ground));
        least = std::min(least, most);
    }
    return least;
}

// How many pixels from the left of `image`, along its middle row, stand out
// 3 : 1 from `inside` before the first that does not.
int edgeWidth(const QImage &image, const QColor &inside)
{
    int x = 0;
    while (x < image.width() && Desktop::contrastRatio(image.pixelColor(x, image.height() / 2), inside) >= 3)
        ++x;
    return x;
}

// The most contrast against `ground` of the pixels where `focused` differs
// from `unfocused`; 1 where none differs.
double changeContrast(const QImage &focused, const QImage &unfocused, const QColor &ground)
{
    double most = 1;
    for (int y = 0; y < focused.height(); ++y)
        for (int x = 0; x < focused.width(); ++x)
            if (focused.pixel(x, y) != unfocused.pixel(x, y))
                most = std::max(most, Desktop::contrastRatio(focused.pixelColor(x, y), ground));
    return most;
}

} // namespace

class LinuxDesktop : public WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { Desktop::installLookAndFeel(); }
    void init()
    {
        QApplication::setPalette(QApplication::style()->standardPalette());
        startRun();
    }
    void screenReadersHearEveryControl_data();
    void screenReadersHearEveryControl();
    void contrastOfKnownColours_data();
    void contrastOfKnownColours();
    void legibleShade();
    void promptsLegibleInLightAndDarkThemes_data();
    void promptsLegibleInLightAndDarkThemes();
    void controlsVisibleInLightAndDarkThemes_data();
    void controlsVisibleInLightAndDarkThemes();
    void placedWithinArea();
    void clientSizeWithin();
    void everyWindowWholeOnScreen();
    void speechesDoneWithinReach();
    void pictureSharpAtTheScreensScale();
    void captionsWhole();
    void homeShownAsTilde();
};

void LinuxDesktop::screenReadersHearEveryControl_data()
{
    QTest::addColumn<Window>("window");
    QTest::addColumn<QStringList>("spoken");  // "control=name"; no name: left out of the tree
    const auto row = [](Window window, QStringList spoken) { QTest::newRow(qPrintable(nameOf(window))) << window << spoken; };
    row(Window::frmgenre, {});
    row(Window::frmp1, {});
    row(Window::frmp2, {"Text1=Enter one word title here"});
    row(Window::mswfrm, {"Text1=First Speaker", "Text2=Second Speaker", "Text3=First Speaker",
                         "Text4=Second Speaker", "Text6=First Speaker", "Text5=Second Speaker",
                         "Text8=First Speaker", "Text7=Second Speaker", "Label1(1)=", "Label2(1)="});
    row(Window::Form1, {"Text2=Enter Full title here", "Text3=Enter Your Name Here", "Text1="});
    row(Window::Form2, {"Image1=A book and a quill"});
    row(Window::Form3, {"Text1=How to contact the creator"});
}

// The window is a frame named by its caption. Every control is there with
// its role, named by its caption without "&" or by the window's own word for
// it; the controls that show nothing are not there at all.
void LinuxDesktop::screenReadersHearEveryControl()
{
    QFETCH(Window, window);
    QFETCH(QStringList, spoken);
    QMap<QString, QString> names;
    for (const QString &entry : spoken)
        names.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));

    QWidget *shown = show(window);
    QAccessibleInterface *frame = QAccessible::queryAccessibleInterface(shown);
    QCOMPARE(roleName(frame->role()), roleName(QAccessible::Window));
    QCOMPARE(frame->text(QAccessible::Name), shown->windowTitle());

    QStringList expected;
    for (const QWidget *control : shown->findChildren<QWidget *>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(u"qt_") || (names.contains(name) && names[name].isEmpty())
            || !control->isVisibleTo(shown))
            continue;  // a text box's inner parts, a control left out, or a scroll bar not needed
        expected << QStringLiteral("%1 %2 \"%3\"").arg(name, roleName(expectedRole(control)),
                                                      names.value(name, captionOf(control)));
    }
    QStringList found = spokenControls(frame);
    expected.sort();
    found.sort();
    QCOMPARE(found, expected);
}

void LinuxDesktop::contrastOfKnownColours_data()
{
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");
    QTest::addColumn<double>("ratio");  // WCAG 2's figures, to two places
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::newRow("white on black, either way") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::newRow("#767676 on white") << QColor(0x767676) << QColor(Qt::white) << 4.54;
    QTest::newRow("navy on white") << QColor(0x000080) << QColor(Qt::white) << 16.01;
    QTest::newRow("red on black") << QColor(Qt::red) << QColor(Qt::black) << 5.25;
    QTest::newRow("green on black") << QColor(Qt::green) << QColor(Qt::black) << 15.30;
    QTest::newRow("blue on black") << QColor(Qt::blue) << QColor(Qt::black) << 2.44;
    QTest::newRow("a colour on itself") << QColor(0x308cc6) << QColor(0x308cc6) << 1.0;
}

// The contrast every legibility and visibility check here measures with,
// against fixed figures: the weights of red, green and blue, the gamma and
// the order of the colours all show.
void LinuxDesktop::contrastOfKnownColours()
{
    QFETCH(QColor, first);
    QFETCH(QColor, second);
    QFETCH(double, ratio);
    QCOMPARE(std::round(Desktop::contrastRatio(first, second) * 100) / 100, ratio);
}

// Legible as it is: unchanged. Otherwise the same hue, legible, and only just:
// any less change of lightness would not be.
void LinuxDesktop::legibleShade()
{
    const std::pair<QColor, QColor> rows[] = {  // wanted, background
        {0x000080, Qt::white},  {0x000080, 0x242424},  // navy on white, on a dark window
        {0x308cc6, 0xefefef},  {0x15539e, 0x242424},   // the light and dark themes' highlights on their windows
        {Qt::white, Qt::white}, {0x767676, 0x777777},  // white on white, grey on the hardest grey
    };
    for (const auto &[wanted, background] : rows) {
        const QColor shade = Desktop::legibleOn(wanted, background);
        const QByteArray what = (wanted.name() + " on " + background.name() + ": " + shade.name()).toLatin1();
        QVERIFY2(Desktop::contrastRatio(shade, background) >= Desktop::LegibleContrast, what);
        if (Desktop::contrastRatio(wanted, background) >= Desktop::LegibleContrast) {
            QCOMPARE(shade, wanted);
            continue;
        }
        if (wanted.hslSaturation() > 0)
            QVERIFY2(std::abs(shade.hslHue() - wanted.hslHue()) <= 2, what);
        const qreal lessChange = shade.lightnessF() + (shade.lightnessF() < wanted.lightnessF() ? 0.02 : -0.02);
        const QColor nearer = QColor::fromHslF(std::max(0.0f, wanted.hslHueF()), wanted.hslSaturationF(), lessChange);
        QVERIFY2(Desktop::contrastRatio(nearer, background) < Desktop::LegibleContrast, what);
    }
}

void LinuxDesktop::promptsLegibleInLightAndDarkThemes_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<Window>("window");
    QTest::addColumn<QString>("control");
    for (const bool dark : {false, true}) {
        const char *theme = dark ? "dark" : "light";
        QTest::addRow("%s, Player 1's prompt", theme) << dark << Window::frmp1 << QString("Label1");
        QTest::addRow("%s, the title's prompt", theme) << dark << Window::frmp2 << QString("Label2");
        QTest::addRow("%s, the title box", theme) << dark << Window::frmp2 << QString("Text1");
    }
}

// Built under the light theme, which then turns dark or stays: the prompts
// keep the highlight's hue and the title box its navy's (on the light theme,
// the navy itself), each at least 4.5 : 1 against what it is drawn on.
void LinuxDesktop::promptsLegibleInLightAndDarkThemes()
{
    QFETCH(bool, dark);
    QFETCH(Window, window);
    QFETCH(QString, control);
    show(window);
    if (dark) {
        QApplication::setPalette(darkPalette());
        QCoreApplication::processEvents();  // the change reaches the widgets as posted events
    }
    QWidget *prompt = at(window, qPrintable(control));
    const bool box = qobject_cast<QLineEdit *>(prompt);
    const QColor text = prompt->palette().color(box ? QPalette::Text : QPalette::WindowText);
    const QColor ground = prompt->palette().color(box ? QPalette::Base : QPalette::Window);
    const double contrast = Desktop::contrastRatio(text, ground);
    QVERIFY2(contrast >= Desktop::LegibleContrast, qPrintable(QStringLiteral("%1 on %2: %3").arg(text.name(), ground.name()).arg(contrast)));
    const QColor hueOf = box ? QColor(0x000080) : QApplication::palette().color(QPalette::Highlight);
    QVERIFY2(std::abs(text.hslHue() - hueOf.hslHue()) <= 2, qPrintable(text.name() + " vs " + hueOf.name()));
    if (box && !dark)
        QCOMPARE(text, QColor(0x000080));
}

void LinuxDesktop::controlsVisibleInLightAndDarkThemes_data()
{
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<QString>("control");
    const std::pair<const char *, QPalette> palettes[] = {
        {"light", QApplication::style()->standardPalette()}, {"dark", darkPalette()}, {"Adwaita-dark", adwaitaDarkPalette()}};
    for (const auto &[name, palette] : palettes)
        for (const char *control : {"option circle", "option focus", "box edge", "box focus", "button focus",
                                    "contact focus"})
            QTest::addRow("%s, %s", name, control) << palette << QString(control);
}

// Drawn under each palette, what shows a control stands out at least 3 : 1:
// an empty option's circle and the title box's edge on every side, from the
// window and from their inside; the focus, where it changes the look, from the
// window (a button's also from its face), and it thickens the boxes' edges.
void LinuxDesktop::controlsVisibleInLightAndDarkThemes()
{
    QFETCH(QPalette, palette);
    QFETCH(QString, control);
    QApplication::setPalette(palette);
    const QColor window = palette.color(QPalette::Window);
    const Window where = control.startsWith("option")  ? Window::frmgenre
                         : control.startsWith("box")     ? Window::frmp2
                         : control.startsWith("contact") ? Window::Form3 : Window::Form2;
    show(where);
    QWidget *shown = control.startsWith("box") ? at(where, "Text1") : QApplication::focusWidget();
    QRect part = shown->rect();
    if (control == "option circle") {
        QStyleOptionButton o;
        o.initFrom(shown);
        part = shown->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &o, shown);
    }
    if (control == "box focus")
        shown->setFocus();
    const QImage first = shown->grab(part).toImage();
    at(where, where == Window::Form2 ? "Command3" : "Command1")->setFocus();
    const QImage unfocused = shown->grab(part).toImage();
    const QColor inside = unfocused.pixelColor(unfocused.width() / 2, unfocused.height() / 2);
    const QColor face = unfocused.pixelColor(unfocused.width() / 10, unfocused.height() / 2);  // beside the caption
    const double contrast = control == "box focus"      ? outlineContrast(first, window)
                            : control == "button focus" ? std::min(changeContrast(first, unfocused, window),
                                                                   changeContrast(first, unfocused, face))
                            : control.endsWith("focus") ? changeContrast(first, unfocused, window)
                            : std::min(outlineContrast(unfocused, window), outlineContrast(unfocused, inside));
    QVERIFY2(contrast >= Desktop::VisibleContrast, qPrintable(QString::number(contrast)));
    if (control == "box focus" || control == "contact focus")  // seen without colour: a thicker edge
        QVERIFY(edgeWidth(first, inside) > edgeWidth(unfocused, inside));
}

// The pure placement rules, on every kind of screen edge they meet.
void LinuxDesktop::placedWithinArea()
{
    const QRect screen(0, 0, 800, 600), belowPanel(0, 27, 800, 573);
    const struct { QRect frame, area; QPoint placed; } rows[] = {
        {{0, 0, 800, 600}, screen, {0, 0}},          // touching the edges: stays
        {{566, 266, 384, 392}, screen, {416, 208}},  // past both
        {{-5, -20, 100, 100}, screen, {0, 0}},       // above and left: down and right
        {{341, 10, 164, 248}, belowPanel, {341, 27}}, // under a panel: below it
        {{300, 40, 900, 700}, belowPanel, {0, 27}},  // larger: to the top-left
    };
    for (const auto &row : rows)
        QCOMPARE(Desktop::placedWithin(row.frame, row.area), row.placed);
}

// For contents of 344 x 632 and bars 14 thick.
void LinuxDesktop::clientSizeWithin()
{
    const std::pair<QSize, QSize> rows[] = {  // room, client
        {{344, 632}, {344, 632}},  // fits exactly
        {{800, 600}, {358, 600}},  // too tall: wider by the bar
        {{350, 600}, {350, 600}},  // too tall, no room for the bar
        {{300, 700}, {300, 646}},  // too narrow: taller by the bar
        {{300, 640}, {300, 640}},  // too narrow, the bar makes it too tall
    };
    for (const auto &[room, client] : rows)
        QCOMPARE(Desktop::clientSizeWithin(QSize(344, 632), room, 14), client);
}

// Each window, frame included, is inside the screen's available area; one
// whose table place fits there is at that place, as large, with no scroll bars.
void LinuxDesktop::everyWindowWholeOnScreen()
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const Window window : everyWindow) {
        QWidget *shown = show(window);
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        QCoreApplication::processEvents();
        const QRect frame = shown->frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(nameOf(window) + " at " + QDebug::toString(frame)));
        const QRect table = tablePlace[int(window)];  // with the frame around it
        const QRect tableFrame(table.topLeft() - shown->geometry().topLeft() + frame.topLeft(),
                               table.size() + frame.size() - shown->size());
        if (!table.isNull() && area.contains(tableFrame)) {
            QCOMPARE(shown->geometry(), table);
            QCOMPARE(shown->findChildren<QScrollBar *>(Qt::FindDirectChildrenOnly), QList<QScrollBar *>());
        }
        windows->HideWindow(window);
    }
}

// Where the speeches window is taller than the screen, "Click When Done" is
// out of view until the focus moving to it scrolls it in (the wheel and the
// bar: e2e_desktop.sh); a click on it then moves on to the story page.
void LinuxDesktop::speechesDoneWithinReach()
{
    QWidget *shown = show(Window::mswfrm);
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCoreApplication::processEvents();
    auto *done = at<QPushButton>(Window::mswfrm, "Command1");
    if (shown->size() == tablePlace[int(Window::mswfrm)].size())
        QSKIP("the window fits this screen");
    auto *bar = shown->findChild<QScrollBar *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(bar && bar->isVisible() && bar->orientation() == Qt::Vertical);
    const QRect view(0, 0, bar->x(), shown->height());
    QVERIFY(!view.contains(done->geometry()));

    at(Window::mswfrm, "Text8")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), done);
    QVERIFY2(view.contains(done->geometry()), qPrintable(QStringLiteral("at %1").arg(done->y())));
    click(Window::mswfrm, "Command1");
    QCOMPARE(moves, QStringList({"show Form1", "hide mswfrm"}));
}

// The picture is 280 x 210 whatever the scale; on a scaled-up screen it is
// the drawing with twice as many pixels.
void LinuxDesktop::pictureSharpAtTheScreensScale()
{
    QWidget *shown = show(Window::Form2);
    const QPixmap picture = at<QLabel>(Window::Form2, "Image1")->pixmap();
    QCOMPARE(picture.deviceIndependentSize(), QSizeF(280, 210));
    QCOMPARE(picture.devicePixelRatio(), shown->devicePixelRatioF() > 1 ? 2.0 : 1.0);
}

// Drawn at the screen's scale, no option's or label's caption reaches its box's
// right, top or bottom edge (cut off there); buttons' and frames' captions fit.
void LinuxDesktop::captionsWhole()
{
    QStringList cut;
    for (const Window window : everyWindow) {
        QWidget *shown = show(window);
        shown->setFocus();  // no focus frame around a caption
        const QRgb ground = shown->palette().color(QPalette::Window).rgb();
        for (QWidget *control : shown->findChildren<QWidget *>()) {
            const QString caption = captionOf(control);
            if (caption.isEmpty())
                continue;
            const QImage image = control->grab().toImage();
            const QFontMetricsF metrics(control->font());
            const int margin = control->style()->pixelMetric(QStyle::PM_ButtonMargin);
            if (qobject_cast<QRadioButton *>(control) || qobject_cast<QLabel *>(control)
                    ? inkAlong(image, false, image.width() - 1, ground) || inkAlong(image, true, 0, ground)
                          || inkAlong(image, true, image.height() - 1, ground)
                    : metrics.horizontalAdvance(caption) + 2 * margin > control->width()
                          || metrics.height() > control->height())
                cut << nameOf(window) + " " + control->objectName();
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable("cut: " + cut.join(", ")));
}

void LinuxDesktop::homeShownAsTilde()
{
    const char *story = "/home/ann/Documents/Wrenfield/CFSSOOMNPicnic.txt", *shown = "~/Documents/Wrenfield/CFSSOOMNPicnic.txt";
    const struct { const char *path, *home, *shown; } rows[] = {
        {story, "/home/ann", shown},                            // inside home
        {story, "/home/ann/", shown},                           // home with a slash
        {"/home/ann", "/home/ann", "~"},                        // home itself
        {"/home/anna/a.txt", "/home/ann", "/home/anna/a.txt"},  // a neighbour with a longer name
        {"/srv/stories/a.txt", "/home/ann", "/srv/stories/a.txt"},
        {"/srv/a.txt", "/", "/srv/a.txt"},                      // home is the root
        {"/srv/a.txt", "", "/srv/a.txt"},                       // no home
    };
    for (const auto &row : rows)
        QCOMPARE(homeAbbreviated(row.path, row.home), QString(row.shown));
}

QTEST_MAIN(LinuxDesktop)
#include "tst_desktop.moc"
