#include "app/TableList.h"

#include "engine/tables/TableNames.h"

#include <QItemSelectionModel>

#include <stdexcept>

namespace korvanta {

TableList::TableList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

// Entries are addressed through the model by row: asking an item for its row costs a
// search through the whole list once entries were inserted before it.
QModelIndex TableList::IndexAt(int index) const {
    if (index < 0 || index >= count()) {
        throw std::out_of_range("Invalid property array index");
    }
    return model()->index(index, 0);
}

QString TableList::Text(int index) const {
    return IndexAt(index).data(Qt::DisplayRole).toString();
}

bool TableList::Selected(int index) const {
    return selectionModel()->isSelected(IndexAt(index));
}

void TableList::SetSelected(int index, bool selected) {
    const QModelIndex entry = IndexAt(index);
    if (selected) {
        selectionModel()->select(entry, QItemSelectionModel::Select);
        selectionModel()->setCurrentIndex(entry, QItemSelectionModel::NoUpdate);
    } else {
        selectionModel()->select(entry, QItemSelectionModel::Deselect);
    }
}

// The selection is kept as ranges of rows; entry by entry, selecting every one of
// thousands of entries would cost a pass over all ranges per entry.
void TableList::SetAllSelected(bool selected) {
    if (!selected) {
        clearSelection();
    } else if (count() > 0) {
        const QModelIndex last = IndexAt(count() - 1);
        selectionModel()->select(QItemSelection(IndexAt(0), last), QItemSelectionModel::Select);
        // As if every entry had been selected in turn: the last one is current.
        selectionModel()->setCurrentIndex(last, QItemSelectionModel::NoUpdate);
    }
}

int TableList::SelectedCount() const {
    // One column: every selected index is one entry.
    return static_cast<int>(selectionModel()->selectedIndexes().size());
}

void TableList::SetCurrentIndex(int index) {
    selectionModel()->setCurrentIndex(index < 0 ? QModelIndex() : IndexAt(index),
                                      QItemSelectionModel::NoUpdate);
}

int TableList::Add(const QString& name) {
    // A fill hands the names over in the list's order: each goes at the end.
    if (count() == 0 || order_.Compare(Text(count() - 1), name) <= 0) {
        addItem(name);
        return count() - 1;
    }
    // Binary search for the first entry that sorts after the name: n names added in any
    // order cost n log n comparisons, not n squared.
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (order_.Compare(Text(mid), name) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    insertItem(low, name);
    return low;
}

void TableList::Remove(int index) {
    const bool wasCurrent = index == currentRow();
    delete takeItem(IndexAt(index).row());
    // The current entry is the one that last took the focus; once it is gone, there is none.
    if (wasCurrent)
        SetCurrentIndex(-1);
}

// Qt makes the first entry current when a list without a current entry takes the focus;
// the handlers would then take that entry for the user's choice. A click or an arrow
// key still makes an entry current afterwards, as it should.
void TableList::focusInEvent(QFocusEvent* event) {
    const bool hadCurrent = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
        SetCurrentIndex(-1);
}

void TableList::Clear() {
    clear();
    ResetSelection();
}

void TableList::ResetSelection() {
    clearSelection();
    SetCurrentIndex(-1);
}

bool ListContains(const TableList& list, const QString& name) {
    const std::string wanted = name.toStdString();
    for (int i = 0; i < list.Count(); ++i) {
        if (SameNameIgnoringCase(list.Text(i).toStdString(), wanted))
            return true;
    }
    return false;
}

void ListRemoveEntry(TableList& list, const QString& text) {
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (list.Text(i) == text)
            list.Remove(i);
    }
}

}  // namespace korvanta
