#include "cli/CommandLine.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Connection.h"
#include "cli/Help.h"
#include "cli/NameText.h"
#include "cli/OutputFile.h"
#include "cli/SchemaVerb.h"
#include "cli/Send.h"
#include "engine/connections/SettingsStore.h"
#include "engine/tables/TableChanges.h"
#include "engine/tables/TableListing.h"

namespace korvanta::cli {

namespace {

// One name per line, a name that would not stay one line quoted (NameForLine); with
// --null every name as it is, ended by a NUL byte, for xargs -0 and read -d ''.
int List(const Command& command, const ConnectionValues& values) {
    std::string text;
    for (const std::string& name : SortedTableNames(command.side, values)) {
        if (command.nulls)
            text += name + '\0';
        else
            text += NameForLine(name) + '\n';
    }
    return PrintToStandardOutput(text) ? kExitOk : kExitFailed;
}

// Drops every table named, over one connection; one that cannot be dropped is said and
// the rest go on.
int Delete(const Command& command, const ConnectionValues& values) {
    TableChanges changes(command.side);
    changes.Open(values);
    int status = kExitOk;
    for (const std::string& table : command.names) {
        try {
            changes.Drop(table);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "korvanta: cannot delete %s: %s\n", table.c_str(), e.what());
            status = kExitFailed;
        }
    }
    changes.Close();
    return status;
}

int Rename(const Command& command, const ConnectionValues& values) {
    TableChanges changes(command.side);
    changes.Open(values);
    changes.Rename(command.names[0], command.names[1]);
    changes.Close();
    return kExitOk;
}

int Send(const Command& command, const SettingsStore& store) {
    SendOptions options = command.send;
    const TransferSettings saved = SavedTransferSettings(store);
    options.settings.oneStatementPerRow = command.rowByRow || saved.oneStatementPerRow;
    options.settings.exactSchema = command.exactSchema.value_or(saved.exactSchema);
    options.values = ConnectionFor(command.connection, store, true);
    // A dry run opens what is there and creates nothing, not even an empty SQLite file.
    options.values.openExistingOnly = options.dryRun;
    return RunSend(options);
}

int Run(const Command& command) {
    switch (command.verb) {
        case Verb::kVersion:
            std::printf("korvanta %s\n", KV_VERSION);
            return kExitOk;
        case Verb::kHelp:
            std::fputs(HelpText(command.helpTopic)->c_str(), stdout);
            return kExitOk;
        default:
            break;
    }
    const SettingsStore store;
    if (command.verb == Verb::kSend)
        return Send(command, store);
    if (command.verb == Verb::kSchema)
        return PrintSchema(command.send, command.dialect,
                           ConnectionFor(command.connection, store, true));
    const ConnectionValues values =
        ConnectionFor(command.connection, store, command.side == Side::SqlAnywhere);
    switch (command.verb) {
        case Verb::kList:
            return List(command, values);
        case Verb::kDelete:
            return Delete(command, values);
        default:
            return Rename(command, values);
    }
}

}  // namespace

int RunCommandLine(int argc, char* argv[]) {
    try {
        return Run(ParseCommand(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "korvanta: %s\nTry \"korvanta --help\".\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "korvanta: %s\n", e.what());
        return kExitFailed;
    }
}

}  // namespace korvanta::cli
