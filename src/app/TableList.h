#pragma once

#include <QListWidget>

#include "engine/tables/NameOrder.h"

namespace korvanta {

// A table list of the table window: bare table names kept in the order of NameOrder
// (a new entry takes its sorted place; duplicates allowed), with extended
// multi-selection (click, Shift+click, Ctrl+click), and a current index (-1 when none)
// kept apart from the selected flags.
//
// The current entry follows the platform's list box: selecting an entry makes it the
// current one, deselecting leaves the current entry where it is, and making an entry
// current from the program never selects it. A fill leaves no current entry, and
// neither does taking the keyboard focus. When the current entry is removed, the list
// has no current entry until one is made current again.
class TableList final : public QListWidget {
  public:
    explicit TableList(QWidget* parent = nullptr);

    int Count() const { return count(); }
    QString Text(int index) const;
    bool Selected(int index) const;
    // Selecting also makes the entry current; deselecting leaves the current entry.
    void SetSelected(int index, bool selected);
    // Selects or deselects every entry at once; selecting leaves the last entry current.
    void SetAllSelected(bool selected);
    int SelectedCount() const;
    int CurrentIndex() const { return currentRow(); }
    // Makes the entry current (-1: none) without touching any selected flag.
    void SetCurrentIndex(int index);
    // Inserts at the sorted place, after any entry that compares equal; returns its index.
    int Add(const QString& name);
    void Remove(int index);
    // No entries, nothing selected, no current entry.
    void Clear();
    // Nothing selected and no current entry; the entries stay.
    void ResetSelection();

  protected:
    void focusInEvent(QFocusEvent* event) override;

  private:
    QModelIndex IndexAt(int index) const;

    NameOrder order_;
};

// True when an entry equals the name, letter case ignored; false for an empty list.
bool ListContains(const TableList& list, const QString& name);
// Removes every entry whose text equals the given text exactly.
void ListRemoveEntry(TableList& list, const QString& text);

}  // namespace korvanta
