#include "catalog/TableActions.h"

#include <optional>
#include <stdexcept>

#include "app/Dialogs.h"
#include "app/ErrorTrap.h"
#include "app/OffThread.h"
#include "app/TableList.h"
#include "app/WindowPointer.h"
#include "engine/tables/TableChanges.h"

namespace korvanta {

namespace {

// The connection of one delete or rename, from its creation to the handler's end. The
// engine does the work; it waits for the database off the window's thread, so the window
// repaints while a statement waits, for instance for another session's lock.
class SideConnection {
  public:
    explicit SideConnection(Side database) : database_(database) {}

    void Create() { changes_.emplace(database_); }
    void Open(const ConnectionValues& values) {
        TableChanges& changes = Get();
        RunOffWindowThread([&] { changes.Open(values); });
    }
    void Drop(const QString& table) {
        TableChanges& changes = Get();
        RunOffWindowThread([&] { changes.Drop(table.toStdString()); });
    }
    void Rename(const QString& from, const QString& to) {
        TableChanges& changes = Get();
        RunOffWindowThread([&] { changes.Rename(from.toStdString(), to.toStdString()); });
    }

  private:
    TableChanges& Get() {
        // A connection whose creation failed is no object at all.
        if (!changes_)
            throw std::runtime_error("Object required");
        return *changes_;
    }

    Side database_;
    std::optional<TableChanges> changes_;
};

// Both handlers number their steps the same way, except that PostgreSQL has no
// Provider step: from the opening of the connection on its numbers are 2 lower.
int Line(Side database, int sqlAnywhereLine) {
    return database == Side::PostgreSQL && sqlAnywhereLine > 104 ? sqlAnywhereLine - 2
                                                                 : sqlAnywhereLine;
}

ErrorTrap TrapFor(const TableSide& side, Dialogs& dialogs) {
    return ErrorTrap(dialogs, LocationText(QStringLiteral("Form2"), side.handler));
}

// Steps 100 to 106: create the connection (with its provider), busy pointer, open.
void OpenSide(ErrorTrap& trap, SideConnection& connection, const TableSide& side,
              const ConnectionValues& values) {
    const Side db = side.database;
    trap.Step(100, [&] { connection.Create(); });
    trap.Step(102, [&] { side.pointer.SetMode(WindowPointer::kBusy); });
    trap.Step(Line(db, 106), [&] { connection.Open(values); });
}

}  // namespace

void DeleteSelectedTables(const TableSide& side, const ConnectionValues& values, Dialogs& dialogs) {
    const Side db = side.database;
    TableList& list = side.list;
    ErrorTrap trap = TrapFor(side, dialogs);
    SideConnection connection(db);
    OpenSide(trap, connection, side, values);

    const bool noCurrent = trap.Condition(Line(db, 108), [&] { return list.CurrentIndex() == -1; });
    if (!noCurrent) {
        int count = 0;
        trap.Step(Line(db, 110), [&] { count = list.Count(); });
        // From the last entry down, so that removing one leaves the indices still to be
        // visited unchanged.
        for (int i = count - 1; i >= 0; --i) {
            if (!trap.Condition(Line(db, 112), [&] { return list.Selected(i); }))
                continue;
            const bool dropped = trap.Step(Line(db, 114), [&] { connection.Drop(list.Text(i)); });
            // A table the database refused to drop keeps its entry.
            if (dropped)
                trap.Step(Line(db, 116), [&] { list.Remove(i); });
        }
    } else {
        trap.Step(Line(db, 120), [&] { dialogs.Notice(QStringLiteral("Please select a table")); });
    }
    trap.Step(Line(db, 122), [&] { side.pointer.SetMode(WindowPointer::kDefault); });
}

void RenameSelectedTable(const TableSide& side, const ConnectionValues& values, Dialogs& dialogs) {
    const Side db = side.database;
    TableList& list = side.list;
    ErrorTrap trap = TrapFor(side, dialogs);
    SideConnection connection(db);
    OpenSide(trap, connection, side, values);

    if (trap.Condition(Line(db, 108), [&] { return list.CurrentIndex() == -1; })) {
        trap.Step(Line(db, 134),
                  [&] { dialogs.Notice(QStringLiteral("Please select a table to rename.")); });
    } else if (trap.Condition(Line(db, 110), [&] { return list.SelectedCount() != 1; })) {
        trap.Step(Line(db, 132), [&] {
            dialogs.Notice(QStringLiteral("Please select just one table to rename."));
        });
    } else {
        int count = 0;
        trap.Step(Line(db, 112), [&] { count = list.Count(); });
        for (int i = count - 1; i >= 0; --i) {
            if (!trap.Condition(Line(db, 114), [&] { return list.Selected(i); }))
                continue;
            QString oldName;
            QString newName;
            trap.Step(Line(db, 116), [&] { oldName = list.Text(i); });
            trap.Step(Line(db, 118), [&] {
                newName = dialogs.InputBox(
                    QStringLiteral("Enter new name of ") + oldName + QStringLiteral(":"), oldName);
            });
            if (trap.Condition(Line(db, 120), [&] { return newName.isEmpty(); }))
                continue;
            const bool renamed =
                trap.Step(Line(db, 122), [&] { connection.Rename(oldName, newName); });
            // A table the database refused to rename keeps its entry.
            if (!renamed)
                continue;
            trap.Step(Line(db, 124), [&] { list.Remove(i); });
            trap.Step(Line(db, 126), [&] { list.Add(newName); });
            trap.Step(Line(db, 128), [&] {
                if (list.Count() > 0)
                    list.SetCurrentIndex(0);
            });
        }
    }
    trap.Step(Line(db, 136), [&] { side.pointer.SetMode(WindowPointer::kDefault); });
}

}  // namespace korvanta
