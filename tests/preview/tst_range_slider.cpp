// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CRangeSlider.h"
#include "preview/RangeChangedEvent.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <limits>

namespace {

// The page's size for the slider: a bar of 198 pixels.
constexpr int SliderWidth = 224;
constexpr int SliderHeight = 20;
// Limits used by the mouse and key tests: two units per pixel of the bar, not starting at 0.
constexpr double Min = 100.0;
constexpr double Max = 496.0;

// Stands in for the page: records every RANGE_CHANGED with the selection the handler sees.
class RecordingParent : public QWidget {
public:
    RecordingParent() {
        resize(300, 60);
        other = new QLineEdit(this);
        other->setGeometry(10, 35, 100, 20);
        slider = new CRangeSlider(this);
        slider->setGeometry(10, 5, SliderWidth, SliderHeight);
    }

    CRangeSlider* slider = nullptr;
    QLineEdit* other = nullptr; // something else that can hold the focus
    QStringList events;         // "wParam/lParam left..right"

protected:
    bool event(QEvent* e) override {
        if (e->type() != RangeChangedEventType)
            return QWidget::event(e);
        const auto* changed = static_cast<RangeChangedEvent*>(e);
        const auto [left, right] = slider->GetSelection();
        events << QStringLiteral("%1/%2 %3..%4")
                      .arg(changed->WParam())
                      .arg(changed->LParam())
                      .arg(left)
                      .arg(right);
        return true;
    }
};

int Px(double value) {
    return static_cast<int>((value - Min) / (Max - Min) * 198 + 0.5);
}

QString Event(int wParam, int lParam, double left, double right) {
    return QStringLiteral("%1/%2 %3..%4").arg(wParam).arg(lParam).arg(left).arg(right);
}

void Prepare(RecordingParent& page, double left, double right, double min = Min, double max = Max) {
    page.slider->SetLimits(min, max);
    page.slider->SetSelection(left, right);
    page.events.clear();
}

} // namespace

class TestRangeSlider : public QObject {
    Q_OBJECT
private slots:
    void drag_data();
    void drag();
    void pressHitTest_data();
    void pressHitTest();
    void secondPressOfDoubleClickStartsNoDrag();
    void keys_data();
    void keys();
    void keyMoveEndsOnceWhenFocusLeaves();
    void setters_data();
    void setters();
    void equalLimits();
    void painting_data();
    void painting();
};

void TestRangeSlider::drag_data() {
    QTest::addColumn<int>("part"); // 0 left thumb, 1 right thumb, 2 bar
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<int>("moveBy");
    QTest::addColumn<double>("expectedLeft");
    QTest::addColumn<double>("expectedRight");
    QTest::addColumn<int>("movePart"); // wParam of every move

    QTest::newRow("left thumb") << 0 << 140.0 << 300.0 << 30 << 200.0 << 300.0 << 0;
    QTest::newRow("left thumb stops at right") << 0 << 140.0 << 300.0 << 200 << 300.0 << 300.0 << 0;
    QTest::newRow("left thumb just past right stops at right")
        << 0 << 140.0 << 300.0 << 81 << 300.0 << 300.0 << 0;
    QTest::newRow("left thumb stops at min") << 0 << 140.0 << 300.0 << -50 << 100.0 << 300.0 << 0;
    QTest::newRow("right thumb") << 1 << 140.0 << 300.0 << -20 << 140.0 << 260.0 << 1;
    QTest::newRow("right thumb stops at left")
        << 1 << 140.0 << 300.0 << -150 << 140.0 << 140.0 << 1;
    QTest::newRow("right thumb stops at max") << 1 << 140.0 << 300.0 << 150 << 140.0 << 496.0 << 1;
    QTest::newRow("right thumb held at max reports left end")
        << 1 << 140.0 << 496.0 << 5 << 140.0 << 496.0 << 0;
    QTest::newRow("bar") << 2 << 140.0 << 300.0 << 10 << 160.0 << 320.0 << 2;
    QTest::newRow("bar against min keeps width")
        << 2 << 140.0 << 300.0 << -100 << 100.0 << 260.0 << 2;
    QTest::newRow("bar against max keeps width")
        << 2 << 140.0 << 300.0 << 150 << 336.0 << 496.0 << 2;
    QTest::newRow("equal ends: left thumb held by right")
        << 0 << 300.0 << 300.0 << 20 << 300.0 << 300.0 << 0;
    QTest::newRow("equal ends: right thumb lies beside left")
        << 1 << 300.0 << 300.0 << 20 << 300.0 << 340.0 << 1;
}

void TestRangeSlider::drag() {
    QFETCH(int, part);
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(int, moveBy);
    QFETCH(double, expectedLeft);
    QFETCH(double, expectedRight);
    QFETCH(int, movePart);

    RecordingParent page;
    Prepare(page, left, right);
    const int lp = Px(left);
    const int rp = Px(right);
    // The centre of each part, so the grab offset is 0.
    const int x = part == 0 ? lp + 6 : part == 1 ? rp + 19 : (lp + 14 + rp + 12) / 2;

    QTest::mousePress(page.slider, Qt::LeftButton, {}, QPoint(x, 8));
    QVERIFY(page.events.isEmpty());
    QTest::mouseMove(page.slider, QPoint(x + moveBy / 2, 8));
    QTest::mouseMove(page.slider, QPoint(x + moveBy, 12));
    QTest::mouseRelease(page.slider, Qt::LeftButton, {}, QPoint(x + moveBy, 12));

    const auto [newLeft, newRight] = page.slider->GetSelection();
    QCOMPARE(newLeft, expectedLeft);
    QCOMPARE(newRight, expectedRight);
    QCOMPARE(page.events.size(), 3);
    QVERIFY2(page.events[0].startsWith(QStringLiteral("%1/0 ").arg(movePart)),
             qPrintable(page.events[0]));
    QCOMPARE(page.events[1], Event(movePart, 0, expectedLeft, expectedRight));
    QCOMPARE(page.events[2], Event(part, 1, expectedLeft, expectedRight));
}

void TestRangeSlider::pressHitTest_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("expectedPart"); // -1: no drag

    // Selection 140..300: left thumb at 20..32, bar 34..111, right thumb at 113..125.
    QTest::newRow("before the left thumb") << 10 << Qt::LeftButton << -1;
    QTest::newRow("left thumb, first column") << 20 << Qt::LeftButton << 0;
    QTest::newRow("left thumb, last column") << 32 << Qt::LeftButton << 0;
    QTest::newRow("gap after the left thumb") << 33 << Qt::LeftButton << -1;
    QTest::newRow("bar, first column") << 34 << Qt::LeftButton << 2;
    QTest::newRow("bar, last column") << 111 << Qt::LeftButton << 2;
    QTest::newRow("gap before the right thumb") << 112 << Qt::LeftButton << -1;
    QTest::newRow("right thumb, first column") << 113 << Qt::LeftButton << 1;
    QTest::newRow("right thumb, last column") << 125 << Qt::LeftButton << 1;
    QTest::newRow("after the right thumb") << 126 << Qt::LeftButton << -1;
    QTest::newRow("right button on the left thumb") << 26 << Qt::RightButton << -1;
}

void TestRangeSlider::pressHitTest() {
    QFETCH(int, x);
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, expectedPart);

    RecordingParent page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    page.other->setFocus();
    QVERIFY(page.other->hasFocus());
    Prepare(page, 140.0, 300.0);

    QTest::mousePress(page.slider, button, {}, QPoint(x, 10));
    QTest::mouseMove(page.slider, QPoint(x + 4, 10));
    QTest::mouseRelease(page.slider, button, {}, QPoint(x + 4, 10));

    if (expectedPart < 0) {
        QVERIFY2(page.events.isEmpty(), qPrintable(page.events.join(", ")));
        QCOMPARE(page.slider->GetSelection(), std::make_pair(140.0, 300.0));
    } else {
        QCOMPARE(page.events.size(), 2);
        QVERIFY2(page.events[1].startsWith(QStringLiteral("%1/1 ").arg(expectedPart)),
                 qPrintable(page.events[1]));
    }
    // A left press takes the focus whether or not it starts a drag.
    QCOMPARE(page.slider->hasFocus(), button == Qt::LeftButton);
}

void TestRangeSlider::secondPressOfDoubleClickStartsNoDrag() {
    RecordingParent page;
    Prepare(page, 140.0, 300.0);
    const QPoint leftThumb(Px(140.0) + 6, 8);

    // What a double click delivers: press, release, press, double click, release.
    QTest::mousePress(page.slider, Qt::LeftButton, {}, leftThumb);
    QTest::mouseRelease(page.slider, Qt::LeftButton, {}, leftThumb);
    QTest::mousePress(page.slider, Qt::LeftButton, {}, leftThumb);
    QTest::mouseDClick(page.slider, Qt::LeftButton, {}, leftThumb);
    QTest::mouseMove(page.slider, leftThumb + QPoint(30, 0));
    QTest::mouseRelease(page.slider, Qt::LeftButton, {}, leftThumb + QPoint(30, 0));

    QCOMPARE(page.events, QStringList{Event(0, 1, 140, 300)});
    QCOMPARE(page.slider->GetSelection(), std::make_pair(140.0, 300.0));
}

void TestRangeSlider::keys_data() {
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<double>("expectedLeft");
    QTest::addColumn<double>("expectedRight");
    QTest::addColumn<QStringList>("expectedEvents");

    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    // One pixel of the bar is two units.
    QTest::newRow("right moves both") << 140.0 << 300.0 << int(Qt::Key_Right) << none << 142.0
                                      << 302.0 << QStringList{Event(2, 0, 142, 302)};
    QTest::newRow("left moves both") << 140.0 << 300.0 << int(Qt::Key_Left) << none << 138.0
                                     << 298.0 << QStringList{Event(2, 0, 138, 298)};
    QTest::newRow("shift+left narrows from the right")
        << 140.0 << 300.0 << int(Qt::Key_Left) << shift << 140.0 << 298.0
        << QStringList{Event(1, 0, 140, 298)};
    QTest::newRow("shift+right widens to the right")
        << 140.0 << 300.0 << int(Qt::Key_Right) << shift << 140.0 << 302.0
        << QStringList{Event(1, 0, 140, 302)};
    QTest::newRow("shift+left with equal ends changes nothing")
        << 200.0 << 200.0 << int(Qt::Key_Left) << shift << 200.0 << 200.0
        << QStringList{Event(1, 0, 200, 200)};
    QTest::newRow("right at the end of the bar changes nothing")
        << 140.0 << 496.0 << int(Qt::Key_Right) << none << 140.0 << 496.0
        << QStringList{Event(2, 0, 140, 496)};
    QTest::newRow("left at the start of the bar changes nothing")
        << 100.0 << 300.0 << int(Qt::Key_Left) << none << 100.0 << 300.0
        << QStringList{Event(2, 0, 100, 300)};
    QTest::newRow("shift+right at max changes nothing")
        << 140.0 << 496.0 << int(Qt::Key_Right) << shift << 140.0 << 496.0
        << QStringList{Event(1, 0, 140, 496)};
    QTest::newRow("a step snaps both ends to pixels")
        << 141.0 << 300.6 << int(Qt::Key_Right) << none << 144.0 << 302.0
        << QStringList{Event(2, 0, 144, 302)};
    QTest::newRow("shift+right keeps the left end off the grid")
        << 141.0 << 300.6 << int(Qt::Key_Right) << shift << 141.0 << 302.0
        << QStringList{Event(1, 0, 141, 302)};
    QTest::newRow("ctrl+right is not a step")
        << 140.0 << 300.0 << int(Qt::Key_Right) << Qt::KeyboardModifiers(Qt::ControlModifier)
        << 140.0 << 300.0 << QStringList{};
    QTest::newRow("up is not a step")
        << 140.0 << 300.0 << int(Qt::Key_Up) << none << 140.0 << 300.0 << QStringList{};
    // Page keys move one end by ten seconds; Home and End go to the limits.
    QTest::newRow("page up moves the left end on")
        << 140.0 << 300.0 << int(Qt::Key_PageUp) << none << 150.0 << 300.0
        << QStringList{Event(0, 0, 150, 300)};
    QTest::newRow("page up stops at the right end")
        << 295.0 << 300.0 << int(Qt::Key_PageUp) << none << 300.0 << 300.0
        << QStringList{Event(0, 0, 300, 300)};
    QTest::newRow("page down stops at the minimum")
        << 105.0 << 300.0 << int(Qt::Key_PageDown) << none << 100.0 << 300.0
        << QStringList{Event(0, 0, 100, 300)};
    QTest::newRow("shift+page down moves the right end back")
        << 140.0 << 300.0 << int(Qt::Key_PageDown) << shift << 140.0 << 290.0
        << QStringList{Event(1, 0, 140, 290)};
    QTest::newRow("shift+page up stops at the maximum")
        << 140.0 << 490.0 << int(Qt::Key_PageUp) << shift << 140.0 << 496.0
        << QStringList{Event(1, 0, 140, 496)};
    QTest::newRow("home takes the left end to the minimum")
        << 140.0 << 300.0 << int(Qt::Key_Home) << none << 100.0 << 300.0
        << QStringList{Event(0, 0, 100, 300)};
    QTest::newRow("end takes the right end to the maximum")
        << 140.0 << 300.0 << int(Qt::Key_End) << none << 140.0 << 496.0
        << QStringList{Event(1, 0, 140, 496)};
}

void TestRangeSlider::keyMoveEndsOnceWhenFocusLeaves() {
    // The page shows a picture for an ended move only: a run of keys ends once, with what
    // it moved, when the keys rest or the focus leaves.
    RecordingParent page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    Prepare(page, 140.0, 300.0);
    page.slider->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page.slider, Qt::Key_PageUp);
    QTest::keyClick(page.slider, Qt::Key_PageUp, Qt::ShiftModifier);
    QCOMPARE(page.events, QStringList({Event(0, 0, 150, 300), Event(1, 0, 150, 310)}));
    page.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(page.events.size(), 3);
    QCOMPARE(page.events.last(), Event(2, 1, 150, 310));
    page.slider->setFocus(Qt::TabFocusReason);
    page.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(page.events.size(), 3); // nothing moved: nothing more to end
}

void TestRangeSlider::keys() {
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(double, expectedLeft);
    QFETCH(double, expectedRight);
    QFETCH(QStringList, expectedEvents);

    RecordingParent page;
    Prepare(page, left, right);
    QTest::keyClick(page.slider, Qt::Key(key), modifiers);

    QCOMPARE(page.slider->GetSelection(), std::make_pair(expectedLeft, expectedRight));
    QCOMPARE(page.events, expectedEvents);
}

void TestRangeSlider::setters_data() {
    QTest::addColumn<bool>("setLimits"); // else SetSelection
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("expectedMin");
    QTest::addColumn<double>("expectedMax");
    QTest::addColumn<double>("expectedLeft");
    QTest::addColumn<double>("expectedRight");
    QTest::addColumn<QStringList>("expectedEvents");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Before each row: limits 0..100, selection 20..80.
    QTest::newRow("limits given high first")
        << true << 120.0 << 0.0 << 0.0 << 120.0 << 20.0 << 80.0 << QStringList{};
    QTest::newRow("limits around the selection")
        << true << 10.0 << 90.0 << 10.0 << 90.0 << 20.0 << 80.0 << QStringList{};
    QTest::newRow("max below right pulls right down")
        << true << 0.0 << 50.0 << 0.0 << 50.0 << 20.0 << 50.0 << QStringList{Event(1, 0, 20, 50)};
    QTest::newRow("max below left pulls right, then left")
        << true << 0.0 << 10.0 << 0.0 << 10.0 << 10.0 << 10.0
        << QStringList{Event(1, 0, 20, 10), Event(0, 0, 10, 10)};
    QTest::newRow("min above left pushes left up") << true << 30.0 << 100.0 << 30.0 << 100.0 << 30.0
                                                   << 80.0 << QStringList{Event(0, 0, 30, 80)};
    QTest::newRow("min above right pushes left, then right")
        << true << 200.0 << 90.0 << 90.0 << 200.0 << 90.0 << 90.0
        << QStringList{Event(0, 0, 90, 80), Event(1, 0, 90, 90)};
    QTest::newRow("max not a number becomes min")
        << true << 0.0 << nan << 0.0 << 0.0 << 0.0 << 0.0
        << QStringList{Event(1, 0, 20, 0), Event(0, 0, 0, 0)};
    QTest::newRow("infinite limit becomes the other")
        << true << inf << 50.0 << 50.0 << 50.0 << 50.0 << 50.0
        << QStringList{Event(0, 0, 50, 80), Event(1, 0, 50, 50)};

    QTest::newRow("reversed selection inside is kept")
        << false << 60.0 << 40.0 << 0.0 << 100.0 << 60.0 << 40.0 << QStringList{};
    QTest::newRow("left below min")
        << false << -5.0 << 50.0 << 0.0 << 100.0 << 0.0 << 50.0 << QStringList{Event(0, 0, 0, 50)};
    QTest::newRow("right above max") << false << 20.0 << 130.0 << 0.0 << 100.0 << 20.0 << 100.0
                                     << QStringList{Event(1, 0, 20, 100)};
    QTest::newRow("both below min") << false << -5.0 << -3.0 << 0.0 << 100.0 << 0.0 << 0.0
                                    << QStringList{Event(0, 0, 0, -3), Event(1, 0, 0, 0)};
    QTest::newRow("both above max") << false << 150.0 << 200.0 << 0.0 << 100.0 << 100.0 << 100.0
                                    << QStringList{Event(1, 0, 150, 100), Event(0, 0, 100, 100)};
    QTest::newRow("ends not a number take the limits")
        << false << nan << nan << 0.0 << 100.0 << 0.0 << 100.0
        << QStringList{Event(0, 0, 0, inf), Event(1, 0, 0, 100)};
}

void TestRangeSlider::setters() {
    QFETCH(bool, setLimits);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, expectedMin);
    QFETCH(double, expectedMax);
    QFETCH(double, expectedLeft);
    QFETCH(double, expectedRight);
    QFETCH(QStringList, expectedEvents);

    RecordingParent page;
    Prepare(page, 20.0, 80.0, 0.0, 100.0);
    if (setLimits)
        page.slider->SetLimits(a, b);
    else
        page.slider->SetSelection(a, b);

    QCOMPARE(page.slider->GetLimits(), std::make_pair(expectedMin, expectedMax));
    QCOMPARE(page.slider->GetSelection(), std::make_pair(expectedLeft, expectedRight));
    QCOMPARE(page.events, expectedEvents);
}

void TestRangeSlider::equalLimits() {
    RecordingParent page;
    Prepare(page, 5.0, 5.0, 5.0, 5.0);

    QTest::keyClick(page.slider, Qt::Key_Right);
    QTest::keyClick(page.slider, Qt::Key_Left, Qt::ShiftModifier);
    QVERIFY2(page.events.isEmpty(), qPrintable(page.events.join(", ")));

    // Both thumbs sit at the start of the bar: the left one at 0, the right one beside it.
    for (const int x : {6, 19}) {
        QTest::mousePress(page.slider, Qt::LeftButton, {}, QPoint(x, 8));
        QTest::mouseMove(page.slider, QPoint(x + 40, 8));
        QTest::mouseRelease(page.slider, Qt::LeftButton, {}, QPoint(x + 40, 8));
    }
    QCOMPARE(page.slider->GetSelection(), std::make_pair(5.0, 5.0));
    QCOMPARE(page.events, (QStringList{Event(0, 0, 5, 5), Event(0, 1, 5, 5), Event(0, 0, 5, 5),
                                       Event(1, 1, 5, 5)}));
}

void TestRangeSlider::painting_data() {
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<int>("leftThumbX");
    QTest::addColumn<int>("rightThumbX");

    QTest::newRow("apart") << Min << Max << 140.0 << 300.0 << 20 << 113;
    QTest::newRow("equal ends") << Min << Max << 300.0 << 300.0 << 100 << 113;
    QTest::newRow("whole range") << Min << Max << Min << Max << 0 << 211;
    QTest::newRow("min equals max") << 5.0 << 5.0 << 5.0 << 5.0 << 0 << 13;
}

// The thumbs are drawn where a press grabs them, and nothing is drawn outside the artwork: the
// parent's background shows through.
void TestRangeSlider::painting() {
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(int, leftThumbX);
    QFETCH(int, rightThumbX);

    RecordingParent page;
    Prepare(page, left, right, min, max);
    QImage image(SliderWidth, SliderHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    page.slider->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);

    auto opaque = [&image](int x, int y) { return qAlpha(image.pixel(x, y)) == 255; };
    auto clear = [&image](int x, int y) { return qAlpha(image.pixel(x, y)) == 0; };
    for (const int thumbX : {leftThumbX, rightThumbX}) {
        QVERIFY2(opaque(thumbX + 6, 8), qPrintable(QString::number(thumbX)));
        QVERIFY(opaque(thumbX + 6, 1));
        QVERIFY(opaque(thumbX + 6, 15));
    }
    for (int x = 0; x < SliderWidth; ++x) {
        const bool underThumb =
            (x >= leftThumbX && x < leftThumbX + 13) || (x >= rightThumbX && x < rightThumbX + 13);
        QVERIFY2(underThumb || clear(x, 1), qPrintable(QString::number(x)));
        QVERIFY2(underThumb || opaque(x, 8), qPrintable(QString::number(x)));
        QVERIFY2(clear(x, 18), qPrintable(QString::number(x)));
    }
}

QTEST_MAIN(TestRangeSlider)
#include "tst_range_slider.moc"
