// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AccessibleControls.h"

#include "controls/CCellListCtrl.h"
#include "controls/CHyperlinkLabel.h"
#include "engine/Job.h"
#include "engine/JobCellText.h"
#include "preview/CRangeSlider.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QPointer>

#include <functional>

namespace {

constexpr int ProgressColumn = int(JobColumn::Progress);

// A part of a control that is no widget of its own (a row, a cell, an end of the slider).
// Parts are registered with QAccessible, which owns them; the control's interface keeps their
// ids so that each part is made once.
class AccessiblePart : public QAccessibleInterface {
public:
    AccessiblePart(QWidget* control, QAccessibleInterface* parentPart, int index)
        : control(control), parentPart(parentPart), index(index) {}

    bool isValid() const override { return !control.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return control ? control->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override { return parentPart; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QPointer<QWidget> control;
    QAccessibleInterface* parentPart;
    int index;
};

// The parts die with the interface that made them (their parent pointer would dangle).
void DeleteParts(const QHash<int, QAccessible::Id>& parts) {
    for (const QAccessible::Id id : parts)
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* CachedPart(QHash<int, QAccessible::Id>& cache, int index,
                                 const std::function<QAccessibleInterface*()>& make) {
    const auto found = cache.constFind(index);
    if (found != cache.constEnd()) {
        if (QAccessibleInterface* part = QAccessible::accessibleInterface(*found))
            return part;
    }
    QAccessibleInterface* part = make();
    cache.insert(index, QAccessible::registerAccessibleInterface(part));
    return part;
}

CCellListCtrl* ListOf(const QPointer<QWidget>& control) {
    return static_cast<CCellListCtrl*>(control.data());
}

// A cell of the job list; the Progress cell is also a value, the share done (0 to 100).
class JobCellAccessible : public AccessiblePart, public QAccessibleValueInterface {
public:
    JobCellAccessible(QWidget* list, QAccessibleInterface* row, int rowIndex, int column)
        : AccessiblePart(list, row, column), rowIndex(rowIndex) {}

    bool isValid() const override { return control && rowIndex < ListOf(control)->GetItemCount(); }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.readOnly = true;
        return state;
    }
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        CCellListCtrl* list = ListOf(control);
        if (t == QAccessible::Name)
            return list->GetCellInfo(rowIndex, index).text.trimmed();
        if (t == QAccessible::Description) {
            // The column's title, and what the cell's tooltip adds (a failure's reason).
            const QString title =
                list->GetHeaderCtrl()->model()->headerData(index, Qt::Horizontal).toString();
            const QString tip = list->CellToolTip(rowIndex, index);
            return tip.isEmpty() ? title : title + QStringLiteral(": ") + tip;
        }
        return {};
    }
    QRect rect() const override {
        if (!isValid())
            return {};
        CCellListCtrl* list = ListOf(control);
        const QRect cell = list->GetCellRect(rowIndex, index);
        return QRect(list->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface && index == ProgressColumn
                   ? static_cast<QAccessibleValueInterface*>(this)
                   : nullptr;
    }
    QVariant currentValue() const override {
        if (!isValid())
            return 0;
        const CellInfo& cell = ListOf(control)->GetCellInfo(rowIndex, index);
        return cell.progressRange > 0
                   ? std::clamp(cell.progressPosition * 100 / cell.progressRange, 0, 100)
                   : 0;
    }
    void setCurrentValue(const QVariant&) override {} // read only
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    int rowIndex;
};

class JobRowAccessible : public AccessiblePart {
public:
    using AccessiblePart::AccessiblePart;
    ~JobRowAccessible() override { DeleteParts(cells); }

    bool isValid() const override { return control && index < ListOf(control)->GetItemCount(); }
    QAccessible::Role role() const override { return QAccessible::Row; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid())
            return state;
        CCellListCtrl* list = ListOf(control);
        state.selectable = true;
        state.focusable = true;
        state.selected = list->GetSelectedItem() == index;
        state.focused = list->hasFocus() && list->GetSelectionMark() == index;
        return state;
    }
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid())
            return {};
        QStringList cells;
        for (int column = 0; column < childCount(); ++column) {
            const QString text = child(column)->text(QAccessible::Name);
            if (!text.isEmpty())
                cells.append(text);
        }
        return cells.join(QStringLiteral(", "));
    }
    QRect rect() const override {
        if (!isValid())
            return {};
        CCellListCtrl* list = ListOf(control);
        QRect row;
        for (int column = 0; column < list->GetColumnCount(); ++column)
            row |= list->GetCellRect(index, column);
        return QRect(list->viewport()->mapToGlobal(row.topLeft()), row.size());
    }
    int childCount() const override { return control ? ListOf(control)->GetColumnCount() : 0; }
    QAccessibleInterface* child(int column) const override {
        if (column < 0 || column >= childCount())
            return nullptr;
        auto* self = const_cast<JobRowAccessible*>(this);
        return CachedPart(self->cells, column, [self, column] {
            return new JobCellAccessible(self->control, self, self->index, column);
        });
    }
    int indexOfChild(const QAccessibleInterface* part) const override {
        for (int column = 0; column < childCount(); ++column) {
            if (child(column) == part)
                return column;
        }
        return -1;
    }

private:
    QHash<int, QAccessible::Id> cells;
};

// The job list: a table whose rows are the jobs.
class JobListAccessible : public QAccessibleWidget {
public:
    explicit JobListAccessible(CCellListCtrl* list) : QAccessibleWidget(list, QAccessible::Table) {}
    ~JobListAccessible() override { DeleteParts(rows); }

    int childCount() const override { return List()->GetItemCount(); }
    QAccessibleInterface* child(int row) const override {
        if (row < 0 || row >= childCount())
            return nullptr;
        auto* self = const_cast<JobListAccessible*>(this);
        return CachedPart(self->rows, row,
                          [self, row] { return new JobRowAccessible(self->List(), self, row); });
    }
    int indexOfChild(const QAccessibleInterface* part) const override {
        for (int row = 0; row < childCount(); ++row) {
            if (rows.contains(row) && QAccessible::accessibleInterface(rows.value(row)) == part)
                return row;
        }
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        const int mark = List()->GetSelectionMark();
        return List()->hasFocus() && mark >= 0 ? child(mark) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int row = List()->GetTopIndex(); row < childCount(); ++row) {
            QAccessibleInterface* part = child(row);
            if (part->rect().contains(x, y))
                return part;
        }
        return nullptr;
    }

private:
    CCellListCtrl* List() const { return static_cast<CCellListCtrl*>(widget()); }

    QHash<int, QAccessible::Id> rows;
};

// One end of the trim slider, as a value in seconds.
class SliderEndAccessible : public AccessiblePart, public QAccessibleValueInterface {
public:
    using AccessiblePart::AccessiblePart;

    QAccessible::Role role() const override { return QAccessible::Slider; }
    QAccessible::State state() const override { return {}; }
    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return index == 0 ? QCoreApplication::translate("AccessibleControls", "Begin Time")
                              : QCoreApplication::translate("AccessibleControls", "End Time");
        if (t == QAccessible::Value)
            return FormatHms(End());
        return {};
    }
    QRect rect() const override {
        return control ? QRect(control->mapToGlobal(QPoint(0, 0)), control->size()) : QRect();
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : nullptr;
    }

    QVariant currentValue() const override { return End(); }
    void setCurrentValue(const QVariant& value) override {
        if (control)
            Slider()->MoveEnd(index == 1, value.toDouble());
    }
    QVariant maximumValue() const override { return control ? Slider()->GetLimits().second : 0.0; }
    QVariant minimumValue() const override { return control ? Slider()->GetLimits().first : 0.0; }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    CRangeSlider* Slider() const { return static_cast<CRangeSlider*>(control.data()); }
    double End() const {
        if (!control)
            return 0.0;
        const auto [left, right] = Slider()->GetSelection();
        return index == 0 ? left : right;
    }
};

// The trim slider: its two ends as children, both in its value text.
class RangeSliderAccessible : public QAccessibleWidget {
public:
    explicit RangeSliderAccessible(CRangeSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}
    ~RangeSliderAccessible() override { DeleteParts(ends); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QCoreApplication::translate("AccessibleControls", "%1 to %2")
                .arg(child(0)->text(QAccessible::Value), child(1)->text(QAccessible::Value));
        }
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 2; }
    QAccessibleInterface* child(int end) const override {
        if (end < 0 || end > 1)
            return nullptr;
        auto* self = const_cast<RangeSliderAccessible*>(this);
        return CachedPart(self->ends, end, [self, end] {
            return new SliderEndAccessible(self->widget(), self, end);
        });
    }
    int indexOfChild(const QAccessibleInterface* part) const override {
        return part == child(0) ? 0 : part == child(1) ? 1 : -1;
    }

private:
    QHash<int, QAccessible::Id> ends;
};

QAccessibleInterface* ControlsFactory(const QString& /*key*/, QObject* object) {
    if (auto* list = qobject_cast<CCellListCtrl*>(object))
        return new JobListAccessible(list);
    if (auto* slider = qobject_cast<CRangeSlider*>(object))
        return new RangeSliderAccessible(slider);
    if (auto* link = qobject_cast<CHyperlinkLabel*>(object))
        return new QAccessibleWidget(link, QAccessible::Link);
    return nullptr;
}

} // namespace

void AnnounceJobCell(CCellListCtrl* list, int row, int column) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list);
    QAccessibleInterface* rowPart = table != nullptr ? table->child(row) : nullptr;
    QAccessibleInterface* cell = rowPart != nullptr ? rowPart->child(column) : nullptr;
    if (cell == nullptr)
        return;
    QAccessibleEvent named(cell, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    if (QAccessibleValueInterface* value = cell->valueInterface()) {
        QAccessibleValueChangeEvent changed(cell, value->currentValue());
        QAccessible::updateAccessibility(&changed);
    }
}

void InstallAccessibleControls() {
    static const bool installed = (QAccessible::installFactory(ControlsFactory), true);
    Q_UNUSED(installed);
}
