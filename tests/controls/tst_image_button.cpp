// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CImageButton.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

// Test pictures (tests/dressing/art): icons 9001 (8 x 8 red) and 9002 (8 x 8 blue); bitmaps
// 9101 (10 x 10 green with a red 4 x 4 square at 3, 3) and 9102 (the same in magenta and blue).
namespace {

const QRgb red = qRgb(255, 0, 0);
const QRgb blue = qRgb(0, 0, 255);
const QRgb white = qRgb(255, 255, 255);
const QRgb hoverFill = qRgb(49, 66, 97);

QImage Shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The smallest rectangle holding every pixel of that colour (null when there is none).
QRect BoundsOf(const QImage& image, QRgb colour) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & RGB_MASK) == (colour & RGB_MASK))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Pixels that are neither background nor picture: the caption's ink.
QRect InkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y) & RGB_MASK;
            if (pixel != (white & RGB_MASK) && pixel != (red & RGB_MASK))
                bounds |= QRect(x, y, 1, 1);
        }
    return bounds;
}

void Move(QWidget& widget, QPoint at, Qt::MouseButtons held) {
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, held,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &move);
}

void Mouse(QWidget& widget, QEvent::Type type, Qt::MouseButtons held) {
    const QPoint at = widget.rect().center();
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// White backgrounds in every state, so that only picture and caption show.
void WhiteFaces(CImageButton& button) {
    for (int slot : {CImageButton::BackgroundHover, CImageButton::BackgroundNormal,
                     CImageButton::BackgroundFocus})
        button.SetStateColor(slot, QColor(white));
}

} // namespace

class TestImageButton : public QObject {
    Q_OBJECT
private slots:
    void pictureByState_data();
    void pictureByState();
    void hoverTracking_data();
    void hoverTracking();
    void doubleClickGivesTwoClicks();
    void pressOffsets_data();
    void pressOffsets();
    void pictureLayout_data();
    void pictureLayout();
    void keyedBitmap_data();
    void keyedBitmap();
    void backgroundAndBorder_data();
    void backgroundAndBorder();
    void parentBackgroundShowsThrough();
    void statusCodes_data();
    void statusCodes();
    void disablingMovesFocus_data();
    void disablingMovesFocus();
    void systemColourChangeRestoresDefaults();
    void tooltip();
};

void TestImageButton::pictureByState_data() {
    QTest::addColumn<int>("normalId");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QRgb>("shown");

    QTest::newRow("normal picture while idle") << 9002 << "idle" << blue;
    QTest::newRow("hover picture while hovered") << 9002 << "hovered" << red;
    QTest::newRow("hover picture while pressed") << 9002 << "pressed" << red;
    QTest::newRow("only a hover picture, idle") << 0 << "idle" << red;
    QTest::newRow("only a hover picture, pressed") << 0 << "pressed" << red;
}

void TestImageButton::pictureByState() {
    QFETCH(int, normalId);
    QFETCH(QString, state);
    QFETCH(QRgb, shown);

    CImageButton button;
    button.resize(20, 20);
    WhiteFaces(button);
    QCOMPARE(button.LoadIconPair(9001, normalId), int(CImageButton::Ok));
    if (state == "hovered")
        Move(button, {10, 10}, Qt::NoButton);
    if (state == "pressed")
        button.setDown(true);

    // Centred in the 20 x 20 button; a pressed button moves its picture by (1, 1).
    const QPoint offset = state == "pressed" ? QPoint(1, 1) : QPoint();
    QCOMPARE(BoundsOf(Shot(button), shown), QRect(6, 6, 8, 8).translated(offset));
}

void TestImageButton::hoverTracking_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("hovered");

    QTest::newRow("pointer enters") << QStringList{"move in"} << true;
    QTest::newRow("drag enters from outside") << QStringList{"drag in"} << false;
    QTest::newRow("drag enters, released, moves again")
        << QStringList{"drag in", "move in"} << true;
    QTest::newRow("drag inside a hovered button keeps it lit")
        << QStringList{"move in", "drag in"} << true;
    QTest::newRow("pressed and dragged out") << QStringList{"move in", "drag out"} << false;
    QTest::newRow("pointer leaves") << QStringList{"move in", "leave"} << false;
    QTest::newRow("focus lost") << QStringList{"move in", "focus out"} << false;
    QTest::newRow("window deactivated") << QStringList{"move in", "deactivate"} << false;
    QTest::newRow("disabled") << QStringList{"move in", "disable"} << false;
    QTest::newRow("hidden") << QStringList{"move in", "hide"} << false;
}

void TestImageButton::hoverTracking() {
    QFETCH(QStringList, steps);
    QFETCH(bool, hovered);

    QWidget page;
    page.resize(100, 100);
    CImageButton button(&page);
    button.setGeometry(10, 10, 20, 20);
    WhiteFaces(button);
    button.LoadIconPair(9001, 9002);
    page.show();

    for (const QString& step : steps) {
        if (step == "move in") {
            Move(button, {5, 5}, Qt::NoButton);
        } else if (step == "drag in") {
            Move(button, {6, 6}, Qt::LeftButton);
        } else if (step == "drag out") {
            Move(button, {40, 40}, Qt::LeftButton);
        } else if (step == "leave") {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(&button, &leave);
        } else if (step == "focus out") {
            QFocusEvent out(QEvent::FocusOut);
            QCoreApplication::sendEvent(&button, &out);
        } else if (step == "deactivate") {
            QEvent deactivate(QEvent::WindowDeactivate);
            QCoreApplication::sendEvent(&button, &deactivate);
        } else if (step == "disable") {
            button.setEnabled(false);
        } else if (step == "hide") {
            button.hide();
            button.show();
        }
    }
    QCOMPARE(button.IsHovered(), hovered);
    if (button.isEnabled())
        QCOMPARE(BoundsOf(Shot(button), hovered ? red : blue), QRect(6, 6, 8, 8));
}

void TestImageButton::doubleClickGivesTwoClicks() {
    CImageButton button;
    button.resize(20, 20);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    Mouse(button, QEvent::MouseButtonPress, Qt::LeftButton);
    Mouse(button, QEvent::MouseButtonRelease, Qt::NoButton);
    Mouse(button, QEvent::MouseButtonDblClick, Qt::LeftButton);
    Mouse(button, QEvent::MouseButtonRelease, Qt::NoButton);

    QCOMPARE(clicks.count(), 2);
}

void TestImageButton::pressOffsets_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QPoint>("offset");

    QTest::newRow("default style") << 0 << QPoint(1, 1);
    QTest::newRow("style 1") << 1 << QPoint(0, 2);
}

void TestImageButton::pressOffsets() {
    QFETCH(int, style);
    QFETCH(QPoint, offset);

    CImageButton button(QStringLiteral("Go"));
    button.resize(60, 40);
    WhiteFaces(button);
    button.SetStateColor(CImageButton::CaptionNormal, Qt::black);
    button.SetStateColor(CImageButton::CaptionHover, Qt::black);
    button.SetImageLayout(1);
    button.SetHoverBorder(false);
    QCOMPARE(button.LoadIconPair(9001, 0), int(CImageButton::Ok));
    QCOMPARE(button.SetPressOffsetStyle(style), int(CImageButton::Ok));

    const QImage idle = Shot(button);
    button.setDown(true);
    const QImage pressed = Shot(button);

    QCOMPARE(BoundsOf(pressed, red).topLeft(), BoundsOf(idle, red).topLeft() + offset);
    QVERIFY(!InkBounds(idle).isNull());
    QCOMPARE(InkBounds(pressed), InkBounds(idle).translated(offset));
}

void TestImageButton::pictureLayout_data() {
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("topLeft");

    // A 40 x 30 button and an 8 x 8 picture; the margins are 3 pixels.
    QTest::newRow("0 with caption: left, middle") << 0 << "x" << QPoint(3, 11);
    QTest::newRow("0 alone: centred") << 0 << "" << QPoint(16, 11);
    QTest::newRow("1 with caption: top, centred") << 1 << "x" << QPoint(16, 3);
    QTest::newRow("1 alone: centred") << 1 << "" << QPoint(16, 11);
    QTest::newRow("2 with caption: right, middle") << 2 << "x" << QPoint(29, 11);
    QTest::newRow("2 alone: centred at the top") << 2 << "" << QPoint(16, 0);
    QTest::newRow("3 with caption: corner") << 3 << "x" << QPoint(0, 0);
    QTest::newRow("3 alone: corner") << 3 << "" << QPoint(0, 0);
}

void TestImageButton::pictureLayout() {
    QFETCH(int, layout);
    QFETCH(QString, caption);
    QFETCH(QPoint, topLeft);

    CImageButton button(caption);
    button.resize(40, 30);
    WhiteFaces(button);
    button.LoadIconPair(9001, 0);
    QCOMPARE(button.SetImageLayout(layout), int(CImageButton::Ok));

    QCOMPARE(BoundsOf(Shot(button), red), QRect(topLeft, QSize(8, 8)));
}

void TestImageButton::keyedBitmap_data() {
    QTest::addColumn<int>("hoverId");
    QTest::addColumn<QColor>("key");
    QTest::addColumn<QRgb>("corner");
    QTest::addColumn<QRect>("square");

    // The 10 x 10 bitmap sits centred in a 20 x 20 button: corner at 5, 5, square at 8, 8.
    QTest::newRow("green keyed away") << 9101 << QColor(0, 255, 0) << white << QRect(8, 8, 4, 4);
    QTest::newRow("other key keeps the green")
        << 9101 << QColor(255, 0, 255) << qRgb(0, 255, 0) << QRect(8, 8, 4, 4);
}

void TestImageButton::keyedBitmap() {
    QFETCH(int, hoverId);
    QFETCH(QColor, key);
    QFETCH(QRgb, corner);
    QFETCH(QRect, square);

    CImageButton button;
    button.resize(20, 20);
    WhiteFaces(button);
    QCOMPARE(button.LoadBitmapPair(hoverId, key, 0, QColor()), int(CImageButton::Ok));

    const QImage image = Shot(button);
    QCOMPARE(image.pixel(5, 5) & RGB_MASK, corner & RGB_MASK);
    QCOMPARE(BoundsOf(image, red), square);
}

void TestImageButton::backgroundAndBorder_data() {
    QTest::addColumn<bool>("border");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QPalette::ColorRole>("topLeft");
    QTest::addColumn<QPalette::ColorRole>("bottomRight");
    QTest::addColumn<QRgb>("inside");

    const QPalette::ColorRole none = QPalette::NoRole;
    QTest::newRow("idle, no border") << true << "idle" << none << none << white;
    QTest::newRow("hovered: raised")
        << true << "hovered" << QPalette::Light << QPalette::Dark << hoverFill;
    QTest::newRow("pressed: sunken")
        << true << "pressed" << QPalette::Dark << QPalette::Light << hoverFill;
    QTest::newRow("hovered, border off") << false << "hovered" << none << none << hoverFill;
}

void TestImageButton::backgroundAndBorder() {
    QFETCH(bool, border);
    QFETCH(QString, state);
    QFETCH(QPalette::ColorRole, topLeft);
    QFETCH(QPalette::ColorRole, bottomRight);
    QFETCH(QRgb, inside);

    CImageButton button;
    button.resize(20, 20);
    button.SetStateColor(CImageButton::BackgroundNormal, QColor(white));
    button.SetStateColor(CImageButton::BackgroundHover, QColor(hoverFill));
    button.SetHoverBorder(border);
    if (state == "hovered")
        Move(button, {5, 5}, Qt::NoButton);
    if (state == "pressed")
        button.setDown(true);

    const QImage image = Shot(button);
    auto expected = [&](QPalette::ColorRole role) {
        return role == QPalette::NoRole ? inside : button.palette().color(role).rgb();
    };
    QCOMPARE(image.pixel(0, 0) & RGB_MASK, expected(topLeft) & RGB_MASK);
    QCOMPARE(image.pixel(19, 19) & RGB_MASK, expected(bottomRight) & RGB_MASK);
    QCOMPARE(image.pixel(10, 10) & RGB_MASK, inside & RGB_MASK);
}

void TestImageButton::parentBackgroundShowsThrough() {
    QWidget page;
    page.resize(60, 60);
    QPalette colours = page.palette();
    colours.setColor(QPalette::Window, QColor(10, 200, 30));
    page.setPalette(colours);
    page.setAutoFillBackground(true);
    CImageButton button(&page);
    button.setGeometry(20, 20, 20, 20);
    button.SetStateColor(CImageButton::BackgroundNormal, QColor(white));
    button.LoadIconPair(9001, 0);

    QCOMPARE(Shot(page).pixel(21, 21) & RGB_MASK, white & RGB_MASK);
    button.UseParentBackground(true);
    const QImage image = Shot(page);
    QCOMPARE(image.pixel(21, 21) & RGB_MASK, qRgb(10, 200, 30) & RGB_MASK);
    QCOMPARE(BoundsOf(image, red), QRect(26, 26, 8, 8));
}

void TestImageButton::statusCodes_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("status");

    QTest::newRow("icons") << "icons 9001 9002" << 0;
    QTest::newRow("hover icon only") << "icons 9001 0" << 0;
    QTest::newRow("missing hover icon") << "icons 4242 9002" << 1;
    QTest::newRow("missing normal icon") << "icons 9001 4242" << 1;
    QTest::newRow("bitmaps") << "bitmaps 9101 9102" << 0;
    QTest::newRow("missing bitmap") << "bitmaps 4242 9102" << 1;
    QTest::newRow("missing normal bitmap") << "bitmaps 9101 4242" << 1;
    QTest::newRow("layout 3") << "layout 3" << 0;
    QTest::newRow("layout 4") << "layout 4" << 4;
    QTest::newRow("layout -1") << "layout -1" << 4;
    QTest::newRow("press style 2") << "press 2" << 6;
    QTest::newRow("colour slot 5") << "colour 5" << 0;
    QTest::newRow("colour slot 6") << "colour 6" << 3;
}

void TestImageButton::statusCodes() {
    QFETCH(QString, call);
    QFETCH(int, status);

    CImageButton button;
    const QStringList words = call.split(u' ');
    const int a = words.value(1).toInt();
    const int b = words.value(2).toInt();
    int got = -1;
    if (words[0] == "icons")
        got = button.LoadIconPair(a, b);
    else if (words[0] == "bitmaps")
        got = button.LoadBitmapPair(a, QColor(0, 255, 0), b, QColor(0, 255, 0));
    else if (words[0] == "layout")
        got = button.SetImageLayout(a);
    else if (words[0] == "press")
        got = button.SetPressOffsetStyle(a);
    else if (words[0] == "colour")
        got = button.SetStateColor(a, Qt::red);
    QCOMPARE(got, status);
}

void TestImageButton::disablingMovesFocus_data() {
    QTest::addColumn<bool>("nextTabStop");

    QTest::newRow("to the next tab stop") << true;
    QTest::newRow("to the page when there is none") << false;
}

void TestImageButton::disablingMovesFocus() {
    QFETCH(bool, nextTabStop);

    QWidget window;
    window.resize(200, 100);
    QWidget page(&window);
    page.setGeometry(0, 0, 200, 100);
    CImageButton first(QStringLiteral("a"), &page);
    CImageButton second(QStringLiteral("b"), &page);
    first.setGeometry(0, 0, 40, 20);
    second.setGeometry(50, 0, 40, 20);
    second.setVisible(nextTabStop);
    QPushButton elsewhere(QStringLiteral("outside"), &window);
    elsewhere.setGeometry(100, 50, 60, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    first.setFocus();
    QVERIFY(first.hasFocus());
    first.setEnabled(false);

    QCOMPARE(QApplication::focusWidget(), nextTabStop ? static_cast<QWidget*>(&second) : &page);
}

void TestImageButton::systemColourChangeRestoresDefaults() {
    const QPalette original = QApplication::palette();
    CImageButton button;
    button.SetStateColor(CImageButton::CaptionNormal, QColor(49, 66, 97));
    button.SetStateColor(CImageButton::BackgroundHover, QColor(49, 66, 97));

    QPalette changed = original;
    changed.setColor(QPalette::Button, QColor(1, 2, 3));
    changed.setColor(QPalette::ButtonText, QColor(4, 5, 6));
    QApplication::setPalette(changed);
    QCoreApplication::processEvents();

    QCOMPARE(button.StateColor(CImageButton::CaptionNormal), QColor(4, 5, 6));
    QCOMPARE(button.StateColor(CImageButton::BackgroundHover), QColor(1, 2, 3));
    QApplication::setPalette(original);
}

void TestImageButton::tooltip() {
    CImageButton button;
    button.SetTip(QStringLiteral("Stop preview"), true);
    QCOMPARE(button.toolTip(), QStringLiteral("Stop preview"));
    button.SetTip(QString(), false);
    QCOMPARE(button.toolTip(), QStringLiteral("Stop preview"));
    button.SetTip(QStringLiteral("Contents"), false);
    QCOMPARE(button.toolTip(), QString());
    QCOMPARE(button.TipText(), QStringLiteral("Contents"));
}

QTEST_MAIN(TestImageButton)
#include "tst_image_button.moc"
