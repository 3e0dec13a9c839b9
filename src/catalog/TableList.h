#pragma once

#include <QListWidget>

namespace korvanta {

// A table list of the table window: bare table names kept in ascending order without
// regard to letter case (a new entry takes its sorted place; duplicates allowed), with
// extended multi-selection, and a current index (-1 when none) kept apart from the
// selected flags.
class TableList final : public QListWidget {
public:
    explicit TableList(QWidget* parent = nullptr);

    int Count() const { return count(); }
    QString Text(int index) const;
    bool Selected(int index) const;
    void SetSelected(int index, bool selected);
    int SelectedCount() const;
    int CurrentIndex() const { return currentRow(); }
    // Makes the entry current without touching any selected flag.
    void SetCurrentIndex(int index);
    // Inserts at the sorted place; returns the new entry's index.
    int Add(const QString& name);
    void Remove(int index);
    void Clear();  // no entries, no current entry
};

// True when an entry equals the name, letter case ignored; false for an empty list.
bool ListContains(const TableList& list, const QString& name);
// Removes every entry whose text equals the given text exactly.
void ListRemoveEntry(TableList& list, const QString& text);

}  // namespace korvanta
