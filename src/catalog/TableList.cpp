#include "catalog/TableList.h"

#include <QItemSelectionModel>

namespace korvanta {

TableList::TableList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

QString TableList::Text(int index) const { return item(index)->text(); }

bool TableList::Selected(int index) const { return item(index)->isSelected(); }

void TableList::SetSelected(int index, bool selected) { item(index)->setSelected(selected); }

int TableList::SelectedCount() const {
    int n = 0;
    for (int i = 0; i < count(); ++i) n += item(i)->isSelected() ? 1 : 0;
    return n;
}

void TableList::SetCurrentIndex(int index) {
    setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

int TableList::Add(const QString& name) {
    // Binary search for the first entry that sorts after the name: a fill of n names
    // costs n log n comparisons, not n squared.
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (QString::compare(item(mid)->text(), name, Qt::CaseInsensitive) <= 0) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    insertItem(low, name);
    return low;
}

void TableList::Remove(int index) { delete takeItem(index); }

void TableList::Clear() {
    clear();
    setCurrentRow(-1, QItemSelectionModel::NoUpdate);
}

bool ListContains(const TableList& list, const QString& name) {
    const QString lower = name.toLower();
    for (int i = 0; i < list.Count(); ++i) {
        if (list.Text(i).toLower() == lower) return true;
    }
    return false;
}

void ListRemoveEntry(TableList& list, const QString& text) {
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (list.Text(i) == text) list.Remove(i);
    }
}

}  // namespace korvanta
