// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long the job list takes to paint 10,000 rows and how many cells one progress
// update repaints. Run it without a display: QT_QPA_PLATFORM=offscreen bench_celllist
#include "controls/CCellListCtrl.h"
#include "controls/ListMessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int rowCount = 10000;

// Answers like the main page: five columns, the job list's row colours, a progress bar.
class BenchPage : public QWidget {
public:
    BenchPage() {
        resize(669, 628);
        list = new CCellListCtrl(this);
        list->setGeometry(23, 294, 587, 156); // the job list's place on the page
        list->SetFullRowSelect(true);
        list->InsertColumn(0, "Source", Qt::AlignLeft, 120);
        list->InsertColumn(1, "Begin Time", Qt::AlignHCenter, 70);
        list->InsertColumn(2, "End Time", Qt::AlignHCenter, 70);
        list->InsertColumn(3, "Output", Qt::AlignLeft, 100);
        list->InsertColumn(4, "Progress", Qt::AlignLeft, 250);
    }

    CCellListCtrl* list;
    long long requests = 0;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() != ListGetCellInfoEvent::EventType) {
            return;
        }
        ++requests;
        CellInfo& cell = static_cast<ListGetCellInfoEvent*>(event)->Info();
        const bool even = cell.row % 2 == 0;
        cell.textColour = even ? QColor(10, 5, 20) : QColor(40, 10, 40);
        cell.backgroundColour = even ? QColor(180, 180, 255) : QColor(220, 220, 255);
        cell.selectedTextColour = even ? QColor(240, 200, 128) : QColor(240, 250, 128);
        cell.selectedBackgroundUnfocused = even ? QColor(20, 20, 120) : QColor(20, 60, 120);
        cell.selectedBackgroundFocused = QColor(30, 50, 96);
        cell.hotTextColour = QColor(170, 10, 150);
        switch (cell.column) {
        case 0:
            cell.text = QString("holiday clip %1.avi").arg(cell.row);
            break;
        case 1:
            cell.text = "00:00:00";
            break;
        case 2:
            cell.text = "00:02:05";
            break;
        case 3:
            cell.text = QString("holiday clip %1.3gp").arg(cell.row);
            break;
        default:
            cell.progressRange = 100;
            cell.progressPosition = progress;
            cell.progressBarColour = QColor(154, 30, 28);
            cell.text =
                QString::asprintf("00:01:05    1.25MB    48.30Frames/s      %%%d ", progress);
        }
    }

public:
    int progress = 54;
};

double ElapsedMs(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Lets pending paints happen: posted events first, then a short wait in the event loop.
void Settle() {
    QCoreApplication::processEvents();
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    BenchPage page;
    CCellListCtrl* list = page.list;
    page.show();
    Settle();

    QElapsedTimer timer;
    timer.start();
    list->SetItemCount(rowCount);
    const double setCountMs = ElapsedMs(timer);
    Settle();

    // One paint of the visible rows, repeated.
    constexpr int repeats = 200;
    page.requests = 0;
    timer.restart();
    for (int i = 0; i < repeats; ++i) {
        list->viewport()->repaint();
    }
    const double viewMs = ElapsedMs(timer) / repeats;
    const double cellsPerView = double(page.requests) / repeats;

    // Every one of the 10,000 rows painted once, a page at a time.
    page.requests = 0;
    int pages = 0;
    timer.restart();
    for (int top = 0; top < rowCount; top += std::max(1, list->GetCountPerPage())) {
        list->verticalScrollBar()->setValue(top);
        list->viewport()->repaint();
        ++pages;
    }
    const double allMs = ElapsedMs(timer);
    const long long allCells = page.requests;

    // Progress updates, as the encoder output parser makes them: one cell, visible or not.
    list->verticalScrollBar()->setValue(4000);
    Settle();
    const int top = list->GetTopIndex();
    constexpr int updates = 100;
    long long visibleCells = 0;
    long long hiddenCells = 0;
    double updateMs = 0;
    for (int i = 0; i < updates; ++i) {
        page.progress = i;
        page.requests = 0;
        timer.restart();
        list->InvalidateCells(top + 2, top + 2, 4, false);
        QCoreApplication::processEvents();
        updateMs += ElapsedMs(timer);
        Settle();
        visibleCells += page.requests;

        page.requests = 0;
        list->InvalidateCells(100, 100, 4, false);
        Settle();
        hiddenCells += page.requests;
    }

    std::printf("job list benchmark: %d rows, %d columns, viewport %dx%d, %d rows per page\n",
                rowCount, list->GetColumnCount(), list->viewport()->width(),
                list->viewport()->height(), list->GetCountPerPage());
    std::printf("SetItemCount(%d): %.3f ms\n", rowCount, setCountMs);
    std::printf("paint of the visible rows: %.3f ms (%.0f cells asked for), mean of %d\n", viewMs,
                cellsPerView, repeats);
    std::printf("paint of all %d rows, %d pages: %.1f ms (%lld cells asked for)\n", rowCount, pages,
                allMs, allCells);
    std::printf("progress update of a visible row: %.2f cells painted, %.3f ms, mean of %d\n",
                double(visibleCells) / updates, updateMs / updates, updates);
    std::printf("progress update of a row out of view: %.2f cells painted\n",
                double(hiddenCells) / updates);
    return 0;
}
