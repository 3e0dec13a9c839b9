#include "cli/Help.h"

#include <map>

namespace korvanta::cli {

namespace {

const char kUsage[] =
    "Usage: korvanta [VERB [ARGUMENT...] [OPTION...]]\n"
    "Copies whole tables between PostgreSQL and SQL Anywhere. Without arguments the\n"
    "windows start; with a verb the program works on the command line, no display needed.\n"
    "\n"
    "Verbs:\n"
    "  list postgresql|sqlanywhere          the side's tables, one per line, as the window lists "
    "them\n"
    "  send --to postgresql|sqlanywhere [TABLE|PATTERN...] [--all]\n"
    "                                       copy tables from the other side to this one\n"
    "  schema --to postgresql|sqlanywhere [--dialect D] [TABLE|PATTERN...] [--all]\n"
    "                                       the statements an exact send would run on an\n"
    "                                       empty database, from the source alone\n"
    "  delete postgresql|sqlanywhere TABLE...   drop tables\n"
    "  rename postgresql|sqlanywhere OLD NEW    rename a table\n"
    "  help [VERB]                          this text, or a verb's\n"
    "\n"
    "Connection options (default: the values the connection window saved):\n"
    "  -h, --host HOST         PostgreSQL server\n"
    "  -p, --port PORT         PostgreSQL port\n"
    "  -U, --user USER         PostgreSQL user\n"
    "  -d, --dbname DATABASE   PostgreSQL database\n"
    "      --dsn NAME          ODBC data source of the SQL Anywhere side\n"
    "      --password-file FILE  the password on the file's first line, used when the\n"
    "                          settings, PGPASSWORD and ~/.pgpass (mode 0600) have none\n"
    "\n"
    "Send options:\n"
    "      --to SIDE           the side that receives the tables (required)\n"
    "      --all               every table the source side lists\n"
    "      --if-exists replace|skip|stop|truncate|append|merge\n"
    "                          a table the target already has: drop and send it again, keep it,\n"
    "                          stop there (default: ask on a terminal, else stop), empty it and\n"
    "                          send the rows into it, add the rows to it, or merge them by key\n"
    "      --key COL[,COL...]  merge: the columns rows are matched by (default: the primary key)\n"
    "      --since COLUMN      merge: read only the rows whose COLUMN is at or after its\n"
    "                          largest value on the target\n"
    "      --delete-missing    merge: delete the target's rows whose key the source lacks\n"
    "      --where CONDITION   send only the source's rows that meet it (the source's SQL)\n"
    "      --target NAME       the one table named is written under this name\n"
    "      --plan FILE         the tables and each one's settings from a YAML file (korvanta\n"
    "                          help send)\n"
    "      --resume            carry on the send that stopped (same tables and options)\n"
    "      --state FILE        where the send keeps what --resume needs (default: a file\n"
    "                          under $XDG_STATE_HOME/korvanta)\n"
    "  -j, --jobs N            N tables at a time (1 to 64), each over connections of its own\n"
    "      --verify            read each table back and compare counts and checksums\n"
    "      --row-by-row        one INSERT per row, each committed on its own\n"
    "      --timeout SECONDS   longest wait for any one statement (default 5000)\n"
    "      --max-refused N     stop a table once more than N of its rows were refused\n"
    "      --schema exact|simple  exact: each table as close to the source's as the target\n"
    "                          allows (types, sizes, keys, defaults, identity, indexes,\n"
    "                          foreign keys); simple (default): a few types only\n"
    "      --dry-run           print the statements that would change the target, one per\n"
    "                          line, then the summary as -- comments; run none, write no file\n"
    "      --reject-file FILE  keep every refused row: CSV when FILE ends in .csv, else JSON "
    "lines\n"
    "      --summary-json FILE the summary as JSON\n"
    "  -q, --quiet             no progress and no summary (reports still go to stderr)\n"
    "\n"
    "      --help              this text\n"
    "      --version           the program's version\n"
    "\n"
    "Exit status: 0 every row landed; 1 rows were refused; 2 a table, a connection or a\n"
    "verification failed, or the run was stopped or interrupted; 64 usage error;\n"
    "130 a second interrupt ended the program at once.\n";

const std::map<std::string, std::string> kVerbHelp = {
    {"list",
     "Usage: korvanta list postgresql|sqlanywhere [-0|--null] [connection options]\n"
     "Writes the side's tables to standard output, one name per line, in the order and\n"
     "with the filter of the table window's lists. A name holding a control character, or\n"
     "starting with $', is written as bash reads it back: $'nl\\nname'.\n"
     "  -0, --null   every name as it is, followed by a NUL byte (for xargs -0)\n"
     "Exit status 2 when the side cannot be reached.\n"},
    {"send",
     "Usage: korvanta send --to postgresql|sqlanywhere [TABLE|PATTERN...] [--all] [options]\n"
     "Sends tables of the other side to SIDE exactly as the window's send button does:\n"
     "each table is created anew on the target and its rows copied; rows go only into a\n"
     "table the send created.\n"
     "  TABLE     a table name, sent as written even when the list does not show it\n"
     "  PATTERN   a shell pattern (*, ?, [...]) matched against the source's list\n"
     "  --all     every table of the source's list, in the list's order\n"
     "truncate, append and merge write into a table that stands there, keeping its\n"
     "definition, rights, views and triggers, once its columns match the source's by name\n"
     "and each can take the source's values (else it gets no row). merge updates the row\n"
     "whose key is there where a value differs and inserts the others; the target needs a\n"
     "primary key or unique index on the key. A line under the table counts the rows\n"
     "inserted, updated and left unchanged.\n"
     "A plan file (--plan FILE) names the tables in their order and each one's settings:\n"
     "  to: postgresql\n"
     "  defaults: {if-exists: merge}\n"
     "  tables:\n"
     "    orders: {target: orders_copy, key: [id], since: updated, delete-missing: true,\n"
     "             schema: exact, where: \"status <> 'draft'\"}\n"
     "    customers: {if-exists: truncate}\n"
     "An unknown key or a table the source lacks is an error before anything runs.\n"
     "Tables go in the order given. Options: --if-exists replace|skip|stop|truncate|\n"
     "append|merge, --key COL[,COL...], --since COLUMN, --delete-missing, --where COND,\n"
     "--target NAME, --plan FILE, --resume, --state FILE, -j/--jobs N,\n"
     "--verify, --row-by-row, --timeout SECONDS, --max-refused N, --reject-file FILE,\n"
     "--summary-json FILE, -q/--quiet, --schema exact|simple, --dry-run, and the\n"
     "connection options (korvanta --help).\n"
     "Error reports go to standard error with the window's text; the summary (table,\n"
     "read, landed, refused, seconds, rows/s, status) to standard output. Status is one of\n"
     "ok, refused, skipped, stopped, failed, verify-failed, incomplete (an exact table\n"
     "missing a key, check, index, numbering or foreign key: each named under it),\n"
     "not-started, or planned (a dry run).\n"
     "Ctrl-C stops after the current run of rows (committed rows stay); a second Ctrl-C\n"
     "ends at once.\n"
     "Exit status: 0 every row landed; 1 rows were refused; 2 a table, a connection or a\n"
     "verification failed, or the run was stopped; 64 usage error.\n"},
    {"schema",
     "Usage: korvanta schema --to postgresql|sqlanywhere [--dialect DIALECT]\n"
     "                       [TABLE|PATTERN...] [--all] [connection options]\n"
     "Writes to standard output, one per line ending in ;, the statements an exact send\n"
     "(--schema exact) of the tables would run on an empty database, reading the source\n"
     "side alone: its tables, keys, checks, indexes, numbering, then the foreign keys. Under\n"
     "each table a -- comment names what of its schema the statements do not carry.\n"
     "  --dialect postgresql|sqlanywhere|sqlite|odbc   whose SQL to write (default: the\n"
     "            --to side's own: PostgreSQL's, or SQL Anywhere's for sqlanywhere)\n"
     "Tables and patterns as for send. Exit status 2 when a table could not be read.\n"},
    {"delete",
     "Usage: korvanta delete postgresql|sqlanywhere TABLE... [connection options]\n"
     "Drops each table (DROP TABLE), as \"Delete Table/s\" does. Exit status 2 when one\n"
     "could not be dropped.\n"},
    {"rename",
     "Usage: korvanta rename postgresql|sqlanywhere OLD NEW [connection options]\n"
     "Renames the table, as \"Rename Table\" does. Exit status 2 when it fails.\n"},
    {"help", "Usage: korvanta help [VERB]\nThe program's help, or a verb's.\n"},
};

}  // namespace

std::optional<std::string> HelpText(const std::string& topic) {
    if (topic.empty())
        return std::string(kUsage);
    const auto found = kVerbHelp.find(topic);
    if (found == kVerbHelp.end())
        return std::nullopt;
    return found->second;
}

bool IsVerb(const std::string& word) {
    return kVerbHelp.contains(word);
}

}  // namespace korvanta::cli
