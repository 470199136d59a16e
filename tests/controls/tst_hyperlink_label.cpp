// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CHyperlinkLabel.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// A label whose desktop opener is recorded instead of run.
class RecordingLabel : public CHyperlinkLabel {
public:
    using CHyperlinkLabel::CHyperlinkLabel;
    bool desktopOpens = true;
    QStringList desktopOpened;

protected:
    bool DesktopOpen(const QString& address) override {
        desktopOpened << address;
        return desktopOpens;
    }
};

QImage Shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

bool HasPixel(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour.rgb())
                return true;
    return false;
}

// An underline is a row of ink across nearly all of the text; "link" alone has none.
bool HasUnderline(const QImage& image, const QColor& colour) {
    int inkLeft = image.width();
    int inkRight = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour.rgb()) {
                inkLeft = qMin(inkLeft, x);
                inkRight = qMax(inkRight, x);
            }
    const int span = inkRight - inkLeft + 1;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = inkLeft; x <= inkRight; ++x)
            run += image.pixel(x, y) == colour.rgb() ? 1 : 0;
        if (span > 0 && run * 10 >= span * 9)
            return true;
    }
    return false;
}

void MoveOver(QWidget& widget) {
    const QPoint at(2, 2);
    QMouseEvent move(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &move);
}

// The pointer goes elsewhere and the next timer tick of the label notices it.
void PointerAway(QWidget& widget) {
    QCursor::setPos(widget.mapToGlobal(QPoint(widget.width() + 50, widget.height() + 50)));
    QTimerEvent tick(1);
    QCoreApplication::sendEvent(&widget, &tick);
}

void Click(QWidget& widget) {
    const QPoint at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
}

QFont BigFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(24);
    font.setBold(true);
    return font;
}

} // namespace

class TestHyperlinkLabel : public QObject {
    Q_OBJECT
private slots:
    void attachTakesTextAsAddress();
    void colours_data();
    void colours();
    void underlineModes_data();
    void underlineModes();
    void fitToText_data();
    void fitToText();
    void clickOpensOrExplains_data();
    void clickOpensOrExplains();
};

void TestHyperlinkLabel::attachTakesTextAsAddress() {
    CHyperlinkLabel label(QStringLiteral("https://ffmpeg.org/"));
    QCOMPARE(label.Link(), QStringLiteral("https://ffmpeg.org/"));
    QCOMPARE(label.toolTip(), QStringLiteral("https://ffmpeg.org/"));
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    label.SetLink(QStringLiteral("https://www.3gpp.org/"));
    QCOMPARE(label.toolTip(), QStringLiteral("https://www.3gpp.org/"));
    QCOMPARE(label.text(), QStringLiteral("https://ffmpeg.org/"));
}

void TestHyperlinkLabel::colours_data() {
    QTest::addColumn<bool>("visited");
    QTest::addColumn<bool>("pointerOver");
    QTest::addColumn<bool>("pointerLeft");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("link") << false << false << false << QColor(0, 0, 238);
    QTest::newRow("visited") << true << false << false << QColor(85, 26, 139);
    QTest::newRow("under the pointer") << false << true << false << QColor(255, 0, 0);
    QTest::newRow("visited, under the pointer") << true << true << false << QColor(255, 0, 0);
    QTest::newRow("pointer gone again") << false << true << true << QColor(0, 0, 238);
    QTest::newRow("visited, pointer gone") << true << true << true << QColor(85, 26, 139);
}

void TestHyperlinkLabel::colours() {
    QFETCH(bool, visited);
    QFETCH(bool, pointerOver);
    QFETCH(bool, pointerLeft);
    QFETCH(QColor, colour);

    QWidget page;
    page.resize(400, 100);
    CHyperlinkLabel label(QStringLiteral("link"), &page);
    label.setFont(BigFont());
    label.SetLink(QStringLiteral("https://example.org/"));
    label.SetUnderlineMode(0);
    page.show();
    label.MarkVisited(visited);
    if (pointerOver)
        MoveOver(label);
    if (pointerLeft)
        PointerAway(label);

    QCOMPARE(label.CurrentColor(), colour);
    const QImage image = Shot(label);
    QVERIFY(HasPixel(image, colour));
    for (const QColor& other : {QColor(0, 0, 238), QColor(85, 26, 139), QColor(255, 0, 0)})
        if (other != colour)
            QVERIFY2(!HasPixel(image, other), qPrintable(other.name()));
}

void TestHyperlinkLabel::underlineModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("pointerOver");
    QTest::addColumn<bool>("pointerLeft");
    QTest::addColumn<bool>("underlined");

    QTest::newRow("-1 idle") << -1 << false << false << false;
    QTest::newRow("-1 under the pointer") << -1 << true << false << true;
    QTest::newRow("-1 pointer gone") << -1 << true << true << false;
    QTest::newRow("0 idle") << 0 << false << false << false;
    QTest::newRow("0 under the pointer") << 0 << true << false << false;
    QTest::newRow("1 idle") << 1 << false << false << true;
    QTest::newRow("1 under the pointer") << 1 << true << false << true;
    QTest::newRow("1 pointer gone") << 1 << true << true << true;
}

void TestHyperlinkLabel::underlineModes() {
    QFETCH(int, mode);
    QFETCH(bool, pointerOver);
    QFETCH(bool, pointerLeft);
    QFETCH(bool, underlined);

    QWidget page;
    page.resize(400, 100);
    CHyperlinkLabel label(QStringLiteral("link"), &page);
    label.setFont(BigFont());
    label.SetLink(QStringLiteral("https://example.org/"));
    label.SetUnderlineMode(mode);
    page.show();
    if (pointerOver)
        MoveOver(label);
    if (pointerLeft)
        PointerAway(label);

    QCOMPARE(label.UnderlineMode(), mode);
    QCOMPARE(HasUnderline(Shot(label), label.CurrentColor()), underlined);
}

void TestHyperlinkLabel::fitToText_data() {
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("kept");

    QTest::newRow("left, top") << int(Qt::AlignLeft | Qt::AlignTop) << "left top";
    QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignTop) << "right top";
    QTest::newRow("centred") << int(Qt::AlignHCenter | Qt::AlignTop) << "centre top";
    QTest::newRow("centred vertically") << int(Qt::AlignLeft | Qt::AlignVCenter) << "left middle";
}

void TestHyperlinkLabel::fitToText() {
    QFETCH(int, alignment);
    QFETCH(QString, kept);

    QWidget page;
    page.resize(600, 200);
    CHyperlinkLabel label(QStringLiteral("Encoder home page"), &page);
    label.setAlignment(Qt::Alignment(alignment));
    const QRect before(18, 40, 301, 41);
    label.setGeometry(before);
    label.SetLink(QStringLiteral("https://ffmpeg.org/"));

    QFont underlined = label.font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    const QSize needed(metrics.horizontalAdvance(label.text()), metrics.height());
    // The label keeps the edge (or centre) its alignment names and takes the text's size; a
    // centred side shrinks by whole pixels on both ends.
    const int horizontalShrink = (before.width() - needed.width()) / 2;
    const int verticalShrink = (before.height() - needed.height()) / 2;
    QRect expected(before.topLeft(), needed);
    if (kept.contains("right"))
        expected.moveRight(before.right());
    if (kept.contains("centre"))
        expected.setCoords(before.left() + horizontalShrink, before.top(),
                           before.right() - horizontalShrink, before.top() + needed.height() - 1);
    if (kept.contains("middle")) {
        expected.setTop(before.top() + verticalShrink);
        expected.setBottom(before.bottom() - verticalShrink);
    }
    QCOMPARE(label.geometry(), expected);
}

void TestHyperlinkLabel::clickOpensOrExplains_data() {
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<QColor>("colour"); // after the pointer has left
    QTest::newRow("the desktop opens it") << true << QColor(85, 26, 139);
    QTest::newRow("nothing opens it") << false << QColor(0, 0, 238);
}

// A click hands the address to the desktop once. Opened, the link turns visited; not opened,
// a box says so in this system's words, with the address to open by hand.
void TestHyperlinkLabel::clickOpensOrExplains() {
    QFETCH(bool, desktopOpens);
    QFETCH(QColor, colour);
    const QString address = QStringLiteral("https://ffmpeg.org/");
    RecordingLabel label(QStringLiteral("FFmpeg"));
    label.SetLink(address);
    label.desktopOpens = desktopOpens;
    QSignalSpy opened(&label, &CHyperlinkLabel::LinkOpened);
    QString shown;
    // The message box is modal: read it and close it from the event loop it runs.
    if (!desktopOpens) {
        QTimer::singleShot(0, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
    }
    MoveOver(label);
    Click(label);

    QCOMPARE(label.desktopOpened, QStringList{address});
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first().first().toBool(), desktopOpens);
    QCOMPARE(label.IsVisited(), desktopOpens);
    QCOMPARE(label.CurrentColor(), colour);
    if (!desktopOpens) {
        QCOMPARE(shown, CHyperlinkLabel::OpenErrorText(address));
        QVERIFY(shown.endsWith("\n" + address));
        QVERIFY2(shown.contains("xdg-open") && !shown.contains(".EXE"), qPrintable(shown));
    }
}

QTEST_MAIN(TestHyperlinkLabel)
#include "tst_hyperlink_label.moc"
