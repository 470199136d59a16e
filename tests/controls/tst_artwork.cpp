// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Resources.h"

#include <QTest>

// Every picture the program addresses by number exists at the size its place needs, and keyed
// bitmaps lose exactly their key colour.
class TestArtwork : public QObject {
    Q_OBJECT
private slots:
    void pictures_data();
    void pictures();
    void programIconSizes();
    void missingNumbersGiveEmptyPictures();
    void colourKey_data();
    void colourKey();
};

void TestArtwork::pictures_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("keyed");

    for (int id = 135; id <= 140; ++id)
        QTest::addRow("icon %d", id) << "icon" << id << QSize(16, 16) << false;
    for (int id = 145; id <= 148; ++id)
        QTest::addRow("icon %d", id) << "icon" << id << QSize(67, 67) << false;
    QTest::newRow("page background") << "bitmap" << 185 << QSize(669, 628) << false;
    QTest::newRow("video frame") << "bitmap" << 190 << QSize(263, 198) << false;
    for (int id = 191; id <= 194; ++id)
        QTest::addRow("preview bitmap %d", id) << "bitmap" << id << QSize(18, 18) << true;
    QTest::newRow("help bitmap") << "bitmap" << 195 << QSize(24, 24) << true;
}

void TestArtwork::pictures() {
    QFETCH(QString, kind);
    QFETCH(int, id);
    QFETCH(QSize, size);
    QFETCH(bool, keyed);

    const QPixmap picture = kind == "icon" ? Resources::LoadIconPixmap(id)
                                           : Resources::LoadBitmapResource(id, Resources::GreenKey);
    QCOMPARE(picture.size(), size);
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb centre = image.pixel(size.width() / 2, size.height() / 2);
    QCOMPARE(qAlpha(centre), 255);
    if (kind == "bitmap" && !keyed)
        QCOMPARE(qAlpha(image.pixel(0, 0)), 255);
    if (keyed) {
        // The rounded corner is keyed away; no pure green is left anywhere.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QVERIFY(qAlpha(image.pixel(x, y)) == 0 ||
                        (image.pixel(x, y) & RGB_MASK) != (qRgb(0, 255, 0) & RGB_MASK));
        const QImage raw = Resources::LoadBitmapResource(id).toImage();
        QCOMPARE(raw.pixel(0, 0) & RGB_MASK, qRgb(0, 255, 0) & RGB_MASK);
    }
}

void TestArtwork::programIconSizes() {
    const QIcon icon = Resources::LoadIconResource(128);
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    for (int side : {16, 32, 48, 256})
        QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
    QCOMPARE(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32));
}

void TestArtwork::missingNumbersGiveEmptyPictures() {
    QVERIFY(Resources::LoadIconPixmap(4242).isNull());
    QVERIFY(Resources::LoadIconResource(4242).isNull());
    QVERIFY(Resources::LoadBitmapResource(4242, Resources::GreenKey).isNull());
    QVERIFY(Resources::LoadBitmapResource(-1).isNull());
}

void TestArtwork::colourKey_data() {
    QTest::addColumn<QRgb>("pixel");
    QTest::addColumn<QColor>("key");
    QTest::addColumn<bool>("transparent");

    QTest::newRow("exact key") << qRgb(0, 255, 0) << QColor(0, 255, 0) << true;
    QTest::newRow("almost green") << qRgb(0, 254, 0) << QColor(0, 255, 0) << false;
    QTest::newRow("other key") << qRgb(255, 0, 255) << QColor(255, 0, 255) << true;
    QTest::newRow("no key") << qRgb(0, 255, 0) << QColor() << false;
}

void TestArtwork::colourKey() {
    QFETCH(QRgb, pixel);
    QFETCH(QColor, key);
    QFETCH(bool, transparent);

    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    image.setPixel(1, 1, pixel);
    const QImage keyed =
        Resources::ApplyColorKey(image, key).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(keyed.pixel(1, 1)), transparent ? 0 : 255);
    QCOMPARE(qAlpha(keyed.pixel(0, 0)), 255);
    QCOMPARE(keyed.pixel(0, 0) & RGB_MASK, qRgb(10, 20, 30) & RGB_MASK);
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
