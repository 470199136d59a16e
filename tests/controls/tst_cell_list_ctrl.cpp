// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CCellListCtrl.h"
#include "controls/ListMessages.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

const QColor evenText(10, 5, 20);
const QColor oddText(40, 10, 40);
const QColor evenBack(180, 180, 255);
const QColor oddBack(220, 220, 255);
const QColor evenSelText(240, 200, 128);
const QColor oddSelText(240, 250, 128);
const QColor evenSelBackUnfocused(20, 20, 120);
const QColor oddSelBackUnfocused(20, 60, 120);
const QColor selBackFocused(30, 50, 96);
const QColor barColour(154, 30, 28);

// Stands in for the page: answers every cell request through `answer` and records what the
// list sent it.
class FakePage : public QWidget {
public:
    FakePage() {
        resize(420, 260);
        other = new QLineEdit(this);
        other->setGeometry(0, 230, 100, 24);
        list = new CCellListCtrl(this);
        list->setGeometry(0, 0, 420, 220);
        QFont font = list->font();
        font.setStyleStrategy(QFont::NoAntialias); // text pixels in exactly their colour
        list->setFont(font);
    }

    std::function<void(CellInfo&)> answer;
    QList<QPoint> requests; // (column, row) of every WM_LIST_GETCELLINFO
    QList<QPoint> cellClicks;
    QList<int> headerColumns;
    QList<QPoint> headerPoints;
    CCellListCtrl* list;
    QLineEdit* other;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() == ListGetCellInfoEvent::EventType) {
            auto* request = static_cast<ListGetCellInfoEvent*>(event);
            QCOMPARE(request->List(), list);
            CellInfo& cell = request->Info();
            requests.append(QPoint(cell.column, cell.row));
            if (answer) {
                answer(cell);
            }
        } else if (event->type() == ListCellClickEvent::EventType) {
            auto* click = static_cast<ListCellClickEvent*>(event);
            cellClicks.append(QPoint(click->Column(), click->Row()));
        } else if (event->type() == ListHeaderRClickEvent::EventType) {
            auto* click = static_cast<ListHeaderRClickEvent*>(event);
            headerColumns.append(click->Column());
            headerPoints.append(click->GlobalPos());
        }
    }
};

// The job list's row colours.
void JobListColours(CellInfo& cell) {
    const bool even = cell.row % 2 == 0;
    cell.textColour = even ? evenText : oddText;
    cell.backgroundColour = even ? evenBack : oddBack;
    cell.selectedTextColour = even ? evenSelText : oddSelText;
    cell.selectedBackgroundUnfocused = even ? evenSelBackUnfocused : oddSelBackUnfocused;
    cell.selectedBackgroundFocused = selBackFocused;
    cell.hotTextColour = QColor(170, 10, 150);
}

int CountColour(const QImage& image, const QRect& area, const QColor& colour) {
    int count = 0;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            count += image.pixelColor(x, y).rgb() == colour.rgb() ? 1 : 0;
        }
    }
    return count;
}

// Bounding box of the pixels of one colour.
QRect Extent(const QImage& image, const QRect& area, const QColor& colour) {
    QRect box;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb()) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

} // namespace

class TestCellListCtrl : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void progressFill_data();
    void progressFill();
    void progressTextColours_data();
    void progressTextColours();
    void selectedRowColours_data();
    void selectedRowColours();
    void alignment_data();
    void alignment();
    void ellipsisAndAmpersand();
    void cellToolTips_data();
    void cellToolTips();
    void barTextReplacesTextInBar();
    void invalidateCellsRepaintsOnlyThoseCells_data();
    void invalidateCellsRepaintsOnlyThoseCells();
    void paintsOnlyVisibleRows();
    void clicks_data();
    void clicks();
    void doubleClicks_data();
    void doubleClicks();
    void headerRightClick_data();
    void headerRightClick();
    void hoverSelectsNothing();
    void keys_data();
    void keys();
    void parentFilterTakesKeys();
    void itemCountDropsSelectionPastEnd();
    void unansweredCellsUseDefaults();

private:
    void Show(bool focusList = false);
    [[nodiscard]] QImage Grab() const { return page->list->viewport()->grab().toImage(); }

    FakePage* page = nullptr;
};

void TestCellListCtrl::init() {
    page = new FakePage;
}

void TestCellListCtrl::cleanup() {
    delete page;
    page = nullptr;
}

void TestCellListCtrl::Show(bool focusList) {
    page->show();
    page->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(page));
    if (focusList) {
        page->list->setFocus();
    } else {
        page->other->setFocus();
    }
    QTRY_COMPARE(page->list->hasFocus(), focusList);
}

void TestCellListCtrl::progressFill_data() {
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("edge");
    QTest::addColumn<bool>("selected");

    QTest::newRow("empty") << 100 << 0 << int(CellInfo::EdgeSunken) << false;
    QTest::newRow("half") << 100 << 50 << int(CellInfo::EdgeSunken) << false;
    QTest::newRow("full") << 100 << 100 << int(CellInfo::EdgeSunken) << false;
    QTest::newRow("above range") << 100 << 250 << int(CellInfo::EdgeSunken) << false;
    QTest::newRow("one third") << 3 << 1 << int(CellInfo::EdgeSunken) << false;
    QTest::newRow("half, no frame") << 100 << 50 << int(CellInfo::EdgeNone) << false;
    QTest::newRow("half, selected") << 100 << 50 << int(CellInfo::EdgeSunken) << true;
    QTest::newRow("empty, selected") << 100 << 0 << int(CellInfo::EdgeSunken) << true;
}

void TestCellListCtrl::progressFill() {
    QFETCH(int, range);
    QFETCH(int, position);
    QFETCH(int, edge);
    QFETCH(bool, selected);

    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Progress", Qt::AlignLeft, 200);
    list->SetFullRowSelect(true);
    list->SetItemCount(2);
    page->answer = [&](CellInfo& cell) {
        JobListColours(cell);
        cell.progressRange = range;
        cell.progressPosition = position;
        cell.progressBarColour = barColour;
        cell.progressFrameEdge = edge;
    };
    Show();
    if (selected) {
        list->SetItemSelected(0);
    }
    const QImage image = Grab();

    const QRect label = list->GetCellRect(0, 0);
    const QRect bar = label.adjusted(1, 1, -2, -1);
    const QRect inner = edge ? bar.adjusted(2, 2, -2, -2) : bar;
    const int filled = position >= range ? inner.width() : inner.width() * position / range;
    const QRect line(inner.left(), inner.center().y(), inner.width(), 1);
    QCOMPARE(CountColour(image, line, barColour), filled);
    QCOMPARE(
        CountColour(image, QRect(inner.left(), inner.top(), filled, inner.height()), barColour),
        filled * inner.height());
    // The empty part never shows the selection.
    QCOMPARE(CountColour(image, line, evenBack), inner.width() - filled);
    // Around the bar: the cell's background, which does show the selection.
    const QColor around = selected ? evenSelBackUnfocused : evenBack;
    QCOMPARE(image.pixelColor(label.left(), label.center().y()).rgb(), around.rgb());
    QCOMPARE(image.pixelColor(label.right(), label.center().y()).rgb(), around.rgb());
    if (edge) {
        const QColor frame = image.pixelColor(bar.left(), bar.center().y());
        QVERIFY(frame != around && frame != barColour && frame != evenBack);
    }
}

void TestCellListCtrl::progressTextColours_data() {
    QTest::addColumn<QColor>("progressText");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("focused");

    QTest::newRow("own colour") << QColor(255, 255, 0) << false << false;
    QTest::newRow("default colour") << QColor() << false << false;
    QTest::newRow("selected") << QColor(255, 255, 0) << true << false;
    QTest::newRow("selected, focused") << QColor(255, 255, 0) << true << true;
}

void TestCellListCtrl::progressTextColours() {
    QFETCH(QColor, progressText);
    QFETCH(bool, selected);
    QFETCH(bool, focused);

    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Progress", Qt::AlignLeft, 300);
    list->SetFullRowSelect(true);
    list->SetItemCount(1);
    page->answer = [&](CellInfo& cell) {
        JobListColours(cell);
        cell.text = QString(60, QLatin1Char('H'));
        cell.progressRange = 100;
        cell.progressPosition = 50;
        cell.progressBarColour = barColour;
        cell.progressTextColour = progressText;
    };
    Show(focused);
    if (selected) {
        list->SetItemSelected(0);
    }
    const QImage image = Grab();

    const QColor overBar =
        progressText.isValid() ? progressText : list->palette().color(QPalette::HighlightedText);
    const QRect inner = list->GetCellRect(0, 0).adjusted(3, 3, -4, -3);
    const int filled = inner.width() / 2;
    const QRect filledPart(inner.left(), inner.top(), filled, inner.height());
    const QRect emptyPart = inner.adjusted(filled, 0, 0, 0);

    QVERIFY(CountColour(image, filledPart, overBar) > 20);
    QCOMPARE(CountColour(image, filledPart, evenText), 0);
    QVERIFY(CountColour(image, emptyPart, evenText) > 20);
    QCOMPARE(CountColour(image, emptyPart, overBar), 0);
    QCOMPARE(CountColour(image, inner, evenSelText), 0);
}

void TestCellListCtrl::selectedRowColours_data() {
    QTest::addColumn<bool>("fullRow");
    QTest::addColumn<bool>("focused");
    QTest::addColumn<bool>("showAlways");
    QTest::addColumn<bool>("ignoreInColumn1");
    QTest::addColumn<int>("row");
    QTest::addColumn<QColor>("back0");
    QTest::addColumn<QColor>("text0");
    QTest::addColumn<QColor>("textBack0"); // behind the text itself
    QTest::addColumn<QColor>("back1");
    QTest::addColumn<QColor>("text1");

    QTest::newRow("focused, even")
        << true << true << true << false << 0 << selBackFocused << evenSelText << selBackFocused
        << selBackFocused << evenSelText;
    QTest::newRow("focused, odd") << true << true << true << false << 1 << selBackFocused
                                  << oddSelText << selBackFocused << selBackFocused << oddSelText;
    QTest::newRow("unfocused, even")
        << true << false << true << false << 0 << evenSelBackUnfocused << evenSelText
        << evenSelBackUnfocused << evenSelBackUnfocused << evenSelText;
    QTest::newRow("unfocused, odd")
        << true << false << true << false << 1 << oddSelBackUnfocused << oddSelText
        << oddSelBackUnfocused << oddSelBackUnfocused << oddSelText;
    QTest::newRow("unfocused, hidden selection") << true << false << false << false << 0 << evenBack
                                                 << evenText << evenBack << evenBack << evenText;
    QTest::newRow("without full-row select")
        << false << true << true << false << 0 << evenBack << evenSelText << selBackFocused
        << evenBack << evenText;
    QTest::newRow("column ignores selection") << true << true << true << true << 1 << selBackFocused
                                              << oddSelText << selBackFocused << oddBack << oddText;
}

void TestCellListCtrl::selectedRowColours() {
    QFETCH(bool, fullRow);
    QFETCH(bool, focused);
    QFETCH(bool, showAlways);
    QFETCH(bool, ignoreInColumn1);
    QFETCH(int, row);
    QFETCH(QColor, back0);
    QFETCH(QColor, text0);
    QFETCH(QColor, textBack0);
    QFETCH(QColor, back1);
    QFETCH(QColor, text1);

    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Source", Qt::AlignLeft, 150);
    list->InsertColumn(1, "Output", Qt::AlignLeft, 150);
    list->SetFullRowSelect(fullRow);
    list->SetShowSelectionAlways(showAlways);
    list->SetItemCount(3);
    page->answer = [&](CellInfo& cell) {
        JobListColours(cell);
        cell.text = "HHHH";
        cell.ignoreSelection = ignoreInColumn1 && cell.column == 1;
    };
    Show(focused);
    list->SetItemSelected(row);
    const QImage image = Grab();

    const QRect cell0 = list->GetCellRect(row, 0);
    const QRect cell1 = list->GetCellRect(row, 1);
    QCOMPARE(image.pixelColor(cell0.right() - 1, cell0.center().y()), back0);
    QVERIFY(CountColour(image, cell0, text0) > 10);
    QVERIFY(CountColour(image, cell0, textBack0) > 0);
    QCOMPARE(image.pixelColor(cell1.right() - 1, cell1.center().y()), back1);
    QVERIFY(CountColour(image, cell1, text1) > 10);

    // The other rows keep their own colours.
    const int otherRow = row == 0 ? 1 : 0;
    const QRect unselected = list->GetCellRect(otherRow, 1);
    QCOMPARE(image.pixelColor(unselected.right() - 1, unselected.center().y()),
             otherRow % 2 ? oddBack : evenBack);
}

void TestCellListCtrl::alignment_data() {
    QTest::addColumn<int>("alignment");
    QTest::newRow("left") << int(Qt::AlignLeft);
    QTest::newRow("centre") << int(Qt::AlignHCenter);
    QTest::newRow("right") << int(Qt::AlignRight);
}

void TestCellListCtrl::alignment() {
    QFETCH(int, alignment);

    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Begin Time", Qt::Alignment(alignment), 200);
    list->SetItemCount(1);
    page->answer = [](CellInfo& cell) {
        JobListColours(cell);
        cell.text = "00:01:05";
    };
    Show();
    const QRect cell = list->GetCellRect(0, 0);
    const QRect text = Extent(Grab(), cell, evenText);
    QVERIFY(!text.isEmpty());
    QVERIFY(text.width() < cell.width() / 2);
    switch (alignment) {
    case Qt::AlignLeft:
        QVERIFY(text.left() >= cell.left() + 2 && text.left() <= cell.left() + 5);
        break;
    case Qt::AlignRight:
        QVERIFY(text.right() <= cell.right() && text.right() >= cell.right() - 4);
        break;
    default: // centred in the cell after its 2-pixel indent
        QVERIFY(qAbs(text.center().x() - (cell.left() + 2 + cell.right()) / 2) <= 3);
    }
}

void TestCellListCtrl::ellipsisAndAmpersand() {
    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Source", Qt::AlignLeft, 90);
    list->InsertColumn(1, "Output", Qt::AlignLeft, 200);
    list->SetItemCount(4);
    const QString longName = "a very long source file name.avi";
    page->answer = [&](CellInfo& cell) {
        cell.textColour = evenText;
        cell.backgroundColour = evenBack;
        if (cell.column == 0 && cell.row == 0) {
            cell.text = longName;
        } else if (cell.column == 1 && cell.row == 1) {
            const QFontMetrics metrics(page->list->font());
            const int textWidth = page->list->GetCellRect(0, 0).width() - 2;
            cell.text = metrics.elidedText(longName, Qt::ElideRight, textWidth);
        } else if (cell.column == 1 && cell.row == 2) {
            cell.text = "Tom & Jerry";
        } else if (cell.column == 1 && cell.row == 3) {
            cell.text = "Tom  Jerry";
        }
    };
    Show();
    const QImage image = Grab();

    // Row 0 column 0 shows the long name cut with an ellipsis: just what row 1 column 1
    // shows when asked for the elided text directly, and not the long name clipped.
    const QRect cut = list->GetCellRect(0, 0);
    const QRect reference = list->GetCellRect(1, 1);
    const QImage shown = image.copy(cut);
    const QImage expected =
        image.copy(reference.left(), reference.top(), cut.width(), cut.height());
    QCOMPARE(shown, expected);
    QFontMetrics metrics(list->font());
    QVERIFY(metrics.elidedText(longName, Qt::ElideRight, cut.width() - 2).endsWith(QChar(0x2026)));

    // "&" is drawn as itself: the text is as wide as with its ampersand, and differs from
    // the same text without it.
    const QRect amp = Extent(image, list->GetCellRect(2, 1), evenText);
    const QRect noAmp = Extent(image, list->GetCellRect(3, 1), evenText);
    QVERIFY(amp.width() >
            noAmp.width() + (metrics.horizontalAdvance('&') - metrics.horizontalAdvance(' ')) / 2);
    QVERIFY(qAbs(amp.width() - metrics.horizontalAdvance("Tom & Jerry")) <= 3);
}

void TestCellListCtrl::cellToolTips_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<bool>("progress");
    QTest::addColumn<QString>("expected");

    const QString longName = "a very long source file name that the column cuts.avi";
    QTest::newRow("whole text: none") << "clip.avi"
                                      << "" << false << "";
    QTest::newRow("cut text: itself") << longName << "" << false << longName;
    QTest::newRow("own tip wins") << "Failed"
                                  << "exit code 1" << false << "exit code 1";
    QTest::newRow("cut progress text") << longName << "" << true << longName;
    QTest::newRow("whole progress text") << "Done"
                                         << "" << true << "";
}

void TestCellListCtrl::cellToolTips() {
    QFETCH(QString, text);
    QFETCH(QString, tip);
    QFETCH(bool, progress);
    QFETCH(QString, expected);

    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Source", Qt::AlignLeft, 120);
    list->SetItemCount(1);
    page->answer = [&](CellInfo& cell) {
        cell.text = text;
        cell.toolTip = tip;
        if (progress) {
            cell.progressRange = 100;
            cell.progressPosition = 40;
        }
    };
    Show();
    QCOMPARE(list->CellToolTip(0, 0), expected);
    QCOMPARE(list->CellToolTip(1, 0), QString()); // no such row
}

void TestCellListCtrl::barTextReplacesTextInBar() {
    // The running job's share must show even when its whole status line does not fit.
    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Progress", Qt::AlignLeft, 120);
    list->SetItemCount(2);
    page->answer = [&](CellInfo& cell) {
        JobListColours(cell);
        cell.backgroundColour = evenBack;
        cell.textColour = evenText;
        cell.progressRange = 100;
        cell.progressPosition = 0;
        cell.text = cell.row == 0 ? "00:00:12    1.20MB    25.00Frames/s      %45 " : "45%";
        if (cell.row == 0)
            cell.barText = "45%";
    };
    Show();
    const QImage image = Grab();
    const QRect first = list->GetCellRect(0, 0);
    const QRect second = list->GetCellRect(1, 0);
    QCOMPARE(image.copy(first), image.copy(second));
    QVERIFY(CountColour(image, first, evenText) > 0);
}

void TestCellListCtrl::invalidateCellsRepaintsOnlyThoseCells_data() {
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("erase");
    QTest::addColumn<QList<QPoint>>("painted"); // (column, row), besides the probe cell

    QTest::newRow("one progress cell") << 0 << 2 << 2 << 4 << false << QList<QPoint>{{4, 2}};
    QTest::newRow("with erase") << 0 << 3 << 3 << 4 << true << QList<QPoint>{{4, 3}};
    QTest::newRow("times of one row") << 0 << 1 << 1 << 1 << false << QList<QPoint>{{1, 1}};
    QTest::newRow("row below the view") << 0 << 500 << 500 << 4 << false << QList<QPoint>{};
    QTest::newRow("rows above the view") << 100 << 10 << 50 << 4 << false << QList<QPoint>{};
    QTest::newRow("range reaching into the view")
        << 100 << 90 << 101 << 3 << false << QList<QPoint>{{3, 100}, {3, 101}};
    QTest::newRow("column out of range") << 0 << 2 << 2 << 7 << false << QList<QPoint>{};
    QTest::newRow("row out of range") << 0 << 1000 << 1000 << 4 << false << QList<QPoint>{};
}

void TestCellListCtrl::invalidateCellsRepaintsOnlyThoseCells() {
    QFETCH(int, top);
    QFETCH(int, firstRow);
    QFETCH(int, lastRow);
    QFETCH(int, column);
    QFETCH(bool, erase);
    QFETCH(QList<QPoint>, painted);

    CCellListCtrl* list = page->list;
    for (int i = 0; i < 5; ++i) {
        list->InsertColumn(i, QString::number(i), Qt::AlignLeft, 80);
    }
    list->SetItemCount(1000);
    page->answer = [](CellInfo& cell) {
        JobListColours(cell);
        cell.text = "x";
        if (cell.column == 4) {
            cell.progressRange = 100;
            cell.progressPosition = 40;
        }
    };
    Show();
    list->verticalScrollBar()->setValue(top);
    QCOMPARE(list->GetTopIndex(), top);
    QTRY_VERIFY(!page->requests.isEmpty()); // the first paint
    QTest::qWait(20);
    page->requests.clear();

    list->InvalidateCells(firstRow, lastRow, column, erase);
    // A probe cell, painted in the same pass, tells when the repaint has happened.
    const QPoint probe(0, top);
    list->InvalidateCells(top, top, 0, false);
    QTRY_VERIFY(page->requests.contains(probe));
    QTest::qWait(20);
    page->requests.removeOne(probe);
    std::sort(page->requests.begin(), page->requests.end(),
              [](QPoint a, QPoint b) { return std::pair(a.y(), a.x()) < std::pair(b.y(), b.x()); });
    QCOMPARE(page->requests, painted);
}

void TestCellListCtrl::paintsOnlyVisibleRows() {
    CCellListCtrl* list = page->list;
    for (int i = 0; i < 5; ++i) {
        list->InsertColumn(i, QString::number(i), Qt::AlignLeft, 80);
    }
    list->SetItemCount(10000);
    Show();
    for (int top : {0, 5000, 9990}) {
        list->EnsureVisible(top, false);
        page->requests.clear();
        (void)Grab();
        const int first = list->GetTopIndex();
        const int height = list->GetRowHeight();
        const int shown = (list->viewport()->height() + height - 1) / height;
        const int rows = std::min(shown, 10000 - first);
        QVERIFY(first > 0 || top == 0);
        QCOMPARE(page->requests.size(), rows * 5);
        for (const QPoint& cell : std::as_const(page->requests)) {
            QVERIFY(cell.y() >= first && cell.y() < first + rows);
        }
    }
}

void TestCellListCtrl::clicks_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("cell"); // (column, row); row -1: below the last row
    QTest::addColumn<bool>("reported");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("mark");

    QTest::newRow("first cell") << int(Qt::LeftButton) << QPoint(0, 0) << true << 0 << 0;
    QTest::newRow("progress cell") << int(Qt::LeftButton) << QPoint(2, 2) << true << 2 << 2;
    QTest::newRow("below the last row") << int(Qt::LeftButton) << QPoint(0, -1) << false << -1 << 1;
    QTest::newRow("right button") << int(Qt::RightButton) << QPoint(1, 2) << false << 2 << 2;
}

void TestCellListCtrl::clicks() {
    QFETCH(int, button);
    QFETCH(QPoint, cell);
    QFETCH(bool, reported);
    QFETCH(int, selected);
    QFETCH(int, mark);

    CCellListCtrl* list = page->list;
    list->SetFullRowSelect(true);
    for (int i = 0; i < 3; ++i) {
        list->InsertColumn(i, QString::number(i), Qt::AlignLeft, 100);
    }
    list->SetItemCount(3);
    Show();
    list->SetItemSelected(1);
    list->SetSelectionMark(1);
    QSignalSpy clicked(list, &CCellListCtrl::Clicked);
    QSignalSpy rightClicked(list, &CCellListCtrl::RightClicked);

    const QPoint at = cell.y() >= 0 ? list->GetCellRect(cell.y(), cell.x()).center()
                                    : QPoint(list->GetCellRect(2, cell.x()).center().x(),
                                             list->GetCellRect(2, 0).bottom() + 10);
    QTest::mouseClick(list->viewport(), Qt::MouseButton(button), {}, at);

    const int expectedRow = cell.y() >= 0 ? cell.y() : -1;
    const int expectedColumn = cell.y() >= 0 ? cell.x() : -1;
    QCOMPARE(page->cellClicks, reported ? QList<QPoint>{cell} : QList<QPoint>{});
    QSignalSpy& spy = button == Qt::LeftButton ? clicked : rightClicked;
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), expectedRow);
    QCOMPARE(spy.at(0).at(1).toInt(), expectedColumn);
    QCOMPARE(list->GetSelectedItem(), selected);
    QCOMPARE(list->GetSelectionMark(), mark);
    QVERIFY(list->hasFocus());
}

void TestCellListCtrl::doubleClicks_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("rightClicks");
    QTest::addColumn<int>("cellClicks");

    QTest::newRow("left") << int(Qt::LeftButton) << 1 << 0 << 1;
    QTest::newRow("right") << int(Qt::RightButton) << 0 << 1 << 0;
}

void TestCellListCtrl::doubleClicks() {
    QFETCH(int, button);
    QFETCH(int, clicks);
    QFETCH(int, rightClicks);
    QFETCH(int, cellClicks);

    CCellListCtrl* list = page->list;
    list->SetFullRowSelect(true);
    list->InsertColumn(0, "Source", Qt::AlignLeft, 100);
    list->InsertColumn(1, "Output", Qt::AlignLeft, 100);
    list->SetItemCount(3);
    Show();
    QSignalSpy clicked(list, &CCellListCtrl::Clicked);
    QSignalSpy rightClicked(list, &CCellListCtrl::RightClicked);
    QSignalSpy doubleClicked(list, &CCellListCtrl::DoubleClicked);
    QSignalSpy rightDoubleClicked(list, &CCellListCtrl::RightDoubleClicked);

    // What a real double click delivers: press, release, press, double click, release.
    const auto pressed = Qt::MouseButton(button);
    const QPoint at = list->GetCellRect(2, 1).center();
    QTest::mouseClick(list->viewport(), pressed, {}, at);
    QTest::mousePress(list->viewport(), pressed, {}, at);
    QTest::mouseDClick(list->viewport(), pressed, {}, at);
    QTest::mouseRelease(list->viewport(), pressed, {}, at);

    // A double click is a click, then the double click; the second release is not a click.
    QCOMPARE(clicked.count(), clicks);
    QCOMPARE(rightClicked.count(), rightClicks);
    QCOMPARE(page->cellClicks.size(), cellClicks);
    QSignalSpy& spy = button == Qt::LeftButton ? doubleClicked : rightDoubleClicked;
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 2);
    QCOMPARE(spy.at(0).at(1).toInt(), 1);
    QCOMPARE(list->GetSelectionMark(), 2);
}

void TestCellListCtrl::headerRightClick_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("x");
    QTest::addColumn<QList<int>>("reported");

    QTest::newRow("first column") << int(Qt::RightButton) << 10 << QList<int>{0};
    QTest::newRow("third column") << int(Qt::RightButton) << 250 << QList<int>{2};
    QTest::newRow("beyond the last column") << int(Qt::RightButton) << 380 << QList<int>{-1};
    QTest::newRow("left button") << int(Qt::LeftButton) << 10 << QList<int>{};
}

void TestCellListCtrl::headerRightClick() {
    QFETCH(int, button);
    QFETCH(int, x);
    QFETCH(QList<int>, reported);

    CCellListCtrl* list = page->list;
    for (int i = 0; i < 3; ++i) {
        list->InsertColumn(i, QString::number(i), Qt::AlignLeft, 100);
    }
    list->SetItemCount(2);
    Show();
    QWidget* headerView = list->GetHeaderCtrl()->viewport();
    const QPoint at(x, headerView->height() / 2);
    QTest::mouseClick(headerView, Qt::MouseButton(button), {}, at);

    QCOMPARE(page->headerColumns, reported);
    QCOMPARE(list->GetSelectedItem(), -1);
    if (!reported.isEmpty()) {
        QCOMPARE(page->headerPoints.at(0), headerView->mapToGlobal(at));
    }
    QVERIFY(page->cellClicks.isEmpty());
}

void TestCellListCtrl::hoverSelectsNothing() {
    CCellListCtrl* list = page->list;
    list->SetFullRowSelect(true);
    list->InsertColumn(0, "Source", Qt::AlignLeft, 200);
    list->SetItemCount(5);
    page->answer = [](CellInfo& cell) {
        JobListColours(cell);
        cell.text = "clip.avi";
    };
    Show(true);
    list->SetItemSelected(1);
    list->SetSelectionMark(1);
    // Even with mouse tracking on, passing over rows changes nothing.
    list->viewport()->setMouseTracking(true);
    const QImage before = Grab();
    for (int row : {0, 3, 4, 2}) {
        QTest::mouseMove(list->viewport(), list->GetCellRect(row, 0).center());
    }
    QTest::qWait(20);
    QCOMPARE(list->GetSelectedItem(), 1);
    QCOMPARE(list->GetSelectionMark(), 1);
    QCOMPARE(Grab(), before);

    // Dragging over other rows selects no more than the press did.
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(2, 0).center());
    QTest::mouseMove(list->viewport(), list->GetCellRect(4, 0).center());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(4, 0).center());
    QCOMPARE(list->GetSelectedItem(), 2);
    QCOMPARE(list->GetSelectionMark(), 2);
    QCOMPARE(page->cellClicks, QList<QPoint>{QPoint(0, 2)});
}

void TestCellListCtrl::keys_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("mark");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");

    QTest::newRow("down") << 5 << 1 << int(Qt::Key_Down) << 2;
    QTest::newRow("down at the end") << 5 << 4 << int(Qt::Key_Down) << 4;
    QTest::newRow("down without a mark") << 5 << -1 << int(Qt::Key_Down) << 0;
    QTest::newRow("up") << 5 << 3 << int(Qt::Key_Up) << 2;
    QTest::newRow("up at the top") << 5 << 0 << int(Qt::Key_Up) << 0;
    QTest::newRow("home") << 5 << 3 << int(Qt::Key_Home) << 0;
    QTest::newRow("end scrolls") << 200 << 3 << int(Qt::Key_End) << 199;
    QTest::newRow("page down stops at the end") << 5 << 2 << int(Qt::Key_PageDown) << 4;
    QTest::newRow("page up stops at the top") << 5 << 2 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("empty list") << 0 << -1 << int(Qt::Key_Down) << -1;
}

void TestCellListCtrl::keys() {
    QFETCH(int, count);
    QFETCH(int, mark);
    QFETCH(int, key);
    QFETCH(int, expected);

    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Source", Qt::AlignLeft, 200);
    list->SetItemCount(count);
    Show(true);
    list->SetItemSelected(mark);
    list->SetSelectionMark(mark);

    QTest::keyClick(list, Qt::Key(key));

    QCOMPARE(list->GetSelectionMark(), expected);
    QCOMPARE(list->GetSelectedItem(), expected);
    if (expected >= 0) {
        const QRect cell = list->GetCellRect(expected, 0);
        QVERIFY(cell.top() >= 0 && cell.bottom() < list->viewport()->height());
    }
}

void TestCellListCtrl::parentFilterTakesKeys() {
    // The page handles the list's keys itself through an event filter.
    class KeyEater : public QObject {
    public:
        bool eventFilter(QObject*, QEvent* event) override {
            return event->type() == QEvent::KeyPress;
        }
    } eater;
    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Source", Qt::AlignLeft, 200);
    list->SetItemCount(5);
    Show(true);
    list->SetItemSelected(2);
    list->SetSelectionMark(2);
    list->installEventFilter(&eater);

    QTest::keyClick(list, Qt::Key_Down);

    QCOMPARE(list->GetSelectionMark(), 2);
    QCOMPARE(list->GetSelectedItem(), 2);
}

void TestCellListCtrl::itemCountDropsSelectionPastEnd() {
    CCellListCtrl* list = page->list;
    list->SetItemCount(10);
    list->SetItemSelected(2);
    list->SetSelectionMark(2);
    list->SetItemCount(5);
    QCOMPARE(list->GetSelectedItem(), 2);
    QCOMPARE(list->GetSelectionMark(), 2);

    list->SetItemCount(2);
    QCOMPARE(list->GetSelectedItem(), -1);
    QCOMPARE(list->GetSelectionMark(), -1);

    list->SetItemSelected(1);
    list->SetSelectionMark(1);
    list->DeleteAllItems();
    QCOMPARE(list->GetItemCount(), 0);
    QCOMPARE(list->GetSelectedItem(), -1);
    QCOMPARE(list->GetSelectionMark(), -1);
    QCOMPARE(list->GetCellRect(0, 0), QRect());
}

void TestCellListCtrl::unansweredCellsUseDefaults() {
    CCellListCtrl* list = page->list;
    list->InsertColumn(0, "Source", Qt::AlignLeft, 200);
    list->SetItemCount(2);
    Show();
    const QImage image = Grab();
    const QRect cell = list->GetCellRect(1, 0);
    QCOMPARE(CountColour(image, cell, list->palette().color(QPalette::Base)),
             cell.width() * cell.height());
    const CellInfo& info = list->GetCellInfo(1, 0);
    QCOMPARE(info.row, 1);
    QVERIFY(info.text.isEmpty());
    QCOMPARE(info.progressRange, -1);
}

QTEST_MAIN(TestCellListCtrl)
#include "tst_cell_list_ctrl.moc"
