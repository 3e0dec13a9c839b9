// The command line's arguments, read without running anything: every option and every
// usage error, and the tables a send selects.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/TableSelection.h"

using korvanta::Side;
using korvanta::cli::Command;
using korvanta::cli::IfExists;
using korvanta::cli::ParseCommand;
using korvanta::cli::SelectTables;
using korvanta::cli::UsageError;
using korvanta::cli::Verb;
using Args = std::vector<std::string>;

namespace {

TEST(CliArguments, EveryOptionIsRead) {
    struct Case {
        Args args;
        std::function<bool(const Command&)> holds;
        const char* what;
    };
    const Case cases[] = {
        {{"--version"}, [](const Command& c) { return c.verb == Verb::kVersion; }, "version"},
        {{"send", "--version"},
         [](const Command& c) { return c.verb == Verb::kVersion; },
         "version before what a verb needs"},
        {{}, [](const Command& c) { return c.verb == Verb::kHelp && c.helpTopic.empty(); }, "none"},
        {{"help", "rename"},
         [](const Command& c) { return c.verb == Verb::kHelp && c.helpTopic == "rename"; },
         "help VERB"},
        {{"list", "--help"},
         [](const Command& c) { return c.verb == Verb::kHelp && c.helpTopic == "list"; },
         "VERB --help"},
        {{"list", "SqlAnywhere", "-h", "db", "-p5433", "-U", "ann", "--dbname=sales", "--dsn",
          "Src", "--password-file", "pw"},
         [](const Command& c) {
             return c.verb == Verb::kList && c.side == Side::SqlAnywhere &&
                    c.connection.host == "db" && c.connection.port == "5433" &&
                    c.connection.user == "ann" && c.connection.dbname == "sales" &&
                    c.connection.dsn == "Src" && c.connection.passwordFile == "pw";
         },
         "connection options, short, long, attached and with ="},
        {{"list", "postgresql"},
         [](const Command& c) { return !c.connection.host && !c.connection.dsn; },
         "options not given stay unset"},
        {{"delete", "postgresql", "a", "b"},
         [](const Command& c) {
             return c.verb == Verb::kDelete && c.side == Side::PostgreSQL &&
                    c.names == Args{"a", "b"};
         },
         "delete"},
        {{"rename", "sqlanywhere", "old", "new"},
         [](const Command& c) {
             return c.verb == Verb::kRename && c.names == Args{"old", "new"};
         },
         "rename"},
        {{"send", "--to", "postgresql", "a", "b*", "--", "-dash"},
         [](const Command& c) {
             const auto& s = c.send;
             return c.verb == Verb::kSend && s.target == Side::PostgreSQL &&
                    s.operands == Args{"a", "b*", "-dash"} && !s.all &&
                    s.ifExists == IfExists::kAsk && s.jobs == 1 && !s.quiet && !c.rowByRow &&
                    !s.settings.verify && s.settings.commandTimeoutSeconds == 5000 &&
                    s.settings.maxRefusedRows == -1 && s.rejectFile.empty() &&
                    s.summaryJson.empty();
         },
         "send with its defaults, -- ending the options"},
        {{"send", "--to=sqlanywhere", "--all", "--if-exists", "replace", "-j3", "--verify",
          "--row-by-row", "--timeout", "30", "--max-refused", "0", "--reject-file", "r.csv",
          "--summary-json", "s.json", "-q"},
         [](const Command& c) {
             const auto& s = c.send;
             return s.target == Side::SqlAnywhere && s.all && s.ifExists == IfExists::kReplace &&
                    s.jobs == 3 && s.settings.verify && c.rowByRow &&
                    s.settings.commandTimeoutSeconds == 30 && s.settings.maxRefusedRows == 0 &&
                    s.rejectFile == "r.csv" && s.summaryJson == "s.json" && s.quiet;
         },
         "every send option"},
        {{"send", "--to", "postgresql", "t", "--if-exists", "skip"},
         [](const Command& c) { return c.send.ifExists == IfExists::kSkip; },
         "skip"},
        {{"send", "--to", "postgresql", "t", "--if-exists=stop"},
         [](const Command& c) { return c.send.ifExists == IfExists::kStop; },
         "stop"},
        {{"send", "--to", "postgresql", "t", "--if-exists", "MERGE", "--key", "a,b", "--since",
          "updated", "--delete-missing"},
         [](const Command& c) {
             return c.send.ifExists == IfExists::kMerge && c.send.key == Args{"a", "b"} &&
                    c.send.since == "updated" && c.send.deleteMissing;
         },
         "a merge's key, its --since and --delete-missing"},
        {{"send", "--to", "postgresql", "t", "--schema", "EXACT", "-j", "64", "--dry-run"},
         [](const Command& c) {
             return c.exactSchema == true && c.send.dryRun && c.send.jobs == 1;
         },
         "the schema word in any case, as the settings take it; a dry run in one job"},
        {{"send", "--to", "postgresql", "t", "--reject-file", "r\xfe.csv"},
         [](const Command& c) { return c.send.rejectFile == "r\xfe.csv"; },
         "a file's path is taken as bytes"},
        {{"list", "postgresql", "-0"}, [](const Command& c) { return c.nulls; }, "list -0"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(c.holds(ParseCommand(c.args))) << c.what;
}

TEST(CliArguments, EveryUsageErrorSaysWhat) {
    struct Case {
        Args args;
        const char* said;
    };
    const Case cases[] = {
        {{"frobnicate"}, "unknown verb \"frobnicate\""},
        {{"help", "frobnicate"}, "unknown verb \"frobnicate\""},
        {{"list", "postgresql", "--frob"}, "unknown option --frob"},
        {{"list", "postgresql", "-x"}, "unknown option -x"},
        {{"list", "postgresql", "--password", "x"}, "unknown option --password"},
        {{"send", "--to", "postgresql", "t", "--all=yes"}, "option all takes no argument"},
        {{"send", "--to", "postgresql", "t", "--jobs"}, "option --jobs needs an argument"},
        {{"send", "t"}, "--to postgresql|sqlanywhere is required"},
        {{"send", "--to", "oracle", "t"}, "unknown side \"oracle\""},
        {{"send", "--to", "postgresql"}, "name tables or patterns, or give --all"},
        {{"send", "--to", "postgresql", "t", "--jobs", "0"}, "--jobs needs a whole number"},
        {{"send", "--to", "postgresql", "t", "--jobs", "2x"}, "--jobs needs a whole number"},
        {{"send", "--to", "postgresql", "t", "--timeout", "0"}, "--timeout needs a whole number"},
        {{"send", "--to", "postgresql", "t", "--max-refused", "-1"},
         "--max-refused needs a whole number from 0"},
        {{"send", "--to", "postgresql", "t", "--max-refused", "99999999999999999999"},
         "--max-refused needs a whole number from 0"},
        {{"send", "--to", "postgresql", "t", "--timeout", "4294967296"},
         "--timeout needs a whole number from 1 to 2147483647"},
        {{"send", "--to", "postgresql", "t", "--jobs", "4294967296"},
         "--jobs needs a whole number from 1 to 64"},
        {{"list", "postgresql", "-p", "70000"}, "--port needs a whole number from 1 to 65535"},
        {{"send", "--to", "postgresql", "--to", "sqlanywhere", "t"}, "option --to is given twice"},
        {{"send", "--to", "postgresql", "t", "--schema", "exakt"},
         "--schema takes exact or simple"},
        {{"delete", "postgresql", "\xfe"}, "argument 3 is not valid UTF-8 (byte 0xfe"},
        {{"send", "--to", "postgresql", "--dsn", "A\xc3", "t"}, "argument 5 is not valid UTF-8"},
        {{"send", "--to", "postgresql", "ok", "t*\xff"}, "argument 5 is not valid UTF-8"},
        {{"send", "--to", "postgresql", "t", "--dry-run", "--verify"},
         "--verify cannot go with --dry-run"},
        {{"send", "--to", "postgresql", "t", "--dry-run", "--reject-file", "r.csv"},
         "--reject-file cannot go with --dry-run"},
        {{"send", "--to", "postgresql", "t", "--dry-run", "--summary-json=s.json"},
         "--summary-json cannot go with --dry-run"},
        {{"send", "--to", "postgresql", "t", "-0"}, "--null is an option of list only"},
        {{"send", "--to", "postgresql", "t", "--if-exists", "maybe"},
         "--if-exists takes replace, skip, stop, truncate, append or merge"},
        {{"send", "--to", "postgresql", "t", "--if-exists", "append", "--key", "a"},
         "--key goes with --if-exists merge"},
        {{"send", "--to", "postgresql", "t", "--if-exists", "merge", "--key", "a,,b"},
         "--key names columns, separated by commas"},
        {{"list", "postgresql", "--verify"}, "--verify is an option of send only"},
        {{"delete", "postgresql", "t", "--to", "postgresql"},
         "--to is an option of send and schema only"},
        {{"send", "--to", "postgresql", "t", "--dialect", "sqlite"},
         "--dialect is an option of schema only"},
        {{"schema", "--to", "postgresql", "t", "--dialect", "oracle"},
         "--dialect takes postgresql, sqlanywhere, sqlite or odbc"},
        {{"schema", "--to", "postgresql"}, "schema: name tables or patterns, or give --all"},
        {{"schema", "t"}, "schema: --to postgresql|sqlanywhere is required"},
        {{"schema", "--to", "postgresql", "t", "--verify"}, "--verify is an option of send only"},
        {{"list"}, "list: missing argument"},
        {{"list", "postgresql", "extra"}, "list: too many arguments"},
        {{"list", "mysql"}, "unknown side \"mysql\""},
        {{"delete", "postgresql"}, "delete: missing argument"},
        {{"rename", "postgresql", "x"}, "rename: missing argument"},
        {{"rename", "postgresql", "x", "y", "z"}, "rename: too many arguments"},
    };
    for (const Case& c : cases) {
        try {
            ParseCommand(c.args);
            ADD_FAILURE() << "no usage error: " << c.said;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.said), std::string::npos)
                << e.what() << " / " << c.said;
        }
    }
}

TEST(CliTableSelection, NamesPatternsAndAllInTheOrderGivenEachOnce) {
    const Args list = {"alpha", "beta", "Beta2", "gamma"};
    struct Case {
        Args operands;
        bool all;
        Args tables;
        Args unmatched;
    };
    const Case cases[] = {
        {{"gamma", "alpha"}, false, {"gamma", "alpha"}, {}},
        {{"missing"}, false, {"missing"}, {}},
        {{"b*"}, false, {"beta"}, {}},
        {{"[bB]eta*", "alpha"}, false, {"beta", "Beta2", "alpha"}, {}},
        {{"gamma"}, true, {"alpha", "beta", "Beta2", "gamma"}, {}},
        {{"alpha", "a*", "alpha"}, false, {"alpha"}, {}},
        {{"z*", "?eta"}, false, {"beta"}, {"z*"}},
    };
    for (const Case& c : cases) {
        const auto selection = SelectTables(c.operands, c.all, list);
        EXPECT_EQ(selection.tables, c.tables);
        EXPECT_EQ(selection.unmatched, c.unmatched);
    }
}

}  // namespace
