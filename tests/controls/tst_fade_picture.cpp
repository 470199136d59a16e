// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CFadePicture.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Test bitmap 9201: 12 x 10, one colour.
namespace {

const QRgb brown = qRgb(0xC0, 0x80, 0x40);

// What the picture itself paints, over nothing: alpha 0 where it leaves the page showing.
QRgb Centre(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image.pixel(image.width() / 2, image.height() / 2);
}

} // namespace

class TestFadePicture : public QObject {
    Q_OBJECT
private slots:
    void missingBitmapStartsNothing();
    void takesTheBitmapSize_data();
    void takesTheBitmapSize();
    void fadesInToFullOpacity();
    void restartBeginsAgain();
};

void TestFadePicture::missingBitmapStartsNothing() {
    QWidget page;
    CFadePicture picture(&page);
    picture.setGeometry(13, 17, 263, 198);
    QVERIFY(!picture.StartFade(4242, 100));
    QVERIFY(!picture.IsFading());
    QVERIFY(!picture.IsFadedIn());
    QCOMPARE(picture.size(), QSize(263, 198));
    QCOMPARE(qAlpha(Centre(picture)), 0);
}

void TestFadePicture::takesTheBitmapSize_data() {
    QTest::addColumn<QRect>("before");
    QTest::addColumn<int>("delay");

    QTest::newRow("larger placeholder") << QRect(13, 17, 263, 198) << 100;
    QTest::newRow("smaller placeholder") << QRect(5, 6, 3, 2) << 40;
}

void TestFadePicture::takesTheBitmapSize() {
    QFETCH(QRect, before);
    QFETCH(int, delay);

    QWidget page;
    CFadePicture picture(&page);
    picture.setGeometry(before);
    QVERIFY(picture.StartFade(9201, delay));

    QCOMPARE(picture.geometry(), QRect(before.topLeft(), QSize(12, 10)));
    QVERIFY(picture.IsFading());
    QCOMPARE(picture.StepDelay(), delay);
    QCOMPARE(picture.findChild<QTimer*>()->interval(), delay);
}

void TestFadePicture::fadesInToFullOpacity() {
    QWidget page;
    CFadePicture picture(&page);
    QSignalSpy finished(&picture, &CFadePicture::FadeFinished);
    QVERIFY(picture.StartFade(9201, 100));
    QCOMPARE(qAlpha(Centre(picture)), 0);

    // 51 more steps after the first (alpha 0), each blending more of the picture in.
    int previous = 0;
    for (int step = 1; step < CFadePicture::StepCount; ++step) {
        picture.AdvanceFade();
        const int alpha = qAlpha(Centre(picture));
        QVERIFY2(alpha >= previous, qPrintable(QString::number(step)));
        previous = alpha;
        if (step == 1)
            QVERIFY(alpha > 0 && alpha < 16);
    }
    QCOMPARE(Centre(picture), brown);
    QVERIFY(!picture.IsFadedIn());
    QCOMPARE(finished.count(), 0);

    picture.AdvanceFade();
    QVERIFY(picture.IsFadedIn());
    QVERIFY(!picture.IsFading());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(Centre(picture), brown);

    picture.AdvanceFade();
    QCOMPARE(finished.count(), 1);
}

void TestFadePicture::restartBeginsAgain() {
    QWidget page;
    CFadePicture picture(&page);
    QVERIFY(picture.StartFade(9201, 100));
    for (int step = 0; step < CFadePicture::StepCount; ++step)
        picture.AdvanceFade();
    QVERIFY(picture.IsFadedIn());

    QVERIFY(picture.StartFade(9201, 100));
    QVERIFY(!picture.IsFadedIn());
    QCOMPARE(qAlpha(Centre(picture)), 0);
}

QTEST_MAIN(TestFadePicture)
#include "tst_fade_picture.moc"
