// A PostgreSQL table's schema from pg_catalog, over the send's own connection. psqlODBC's
// catalog functions would say less and some of it wrong (an unconstrained numeric as
// (28,6), a partial index without its condition), so the catalog is asked directly.
// Columns new in later versions are read through to_jsonb(row), which gives NULL where a
// server has no such column.
#include <algorithm>
#include <map>
#include <set>

#include "engine/schema/SchemaReader.h"
#include "sql/dialect/PostgreSQLDialect.h"
#include "sql/model/SqlName.h"

namespace korvanta::schema {

namespace {

// The table's oid by its bare name on the search path, as the list names it; an escape
// string, so that the name reads the same whatever standard_conforming_strings says.
std::string Oid(const std::string& table) {
    return "to_regclass(" + PostgreSQLDialect::CatalogString(QuotedName(table)) + ")";
}

// A collation of ICU's at secondary strength that is not deterministic: letters equal
// whatever their case.
Collation CollationOf(const Row& row, std::size_t at) {
    Collation collation;
    const std::string name = Text(row, at);
    if (name.empty())
        return collation;
    collation.name = name;
    const std::string locale = Text(row, at + 3);
    const bool ignoringCase = Text(row, at + 1) == "i" && Text(row, at + 2) == "0" &&
                              (locale.find("ks-level2") != std::string::npos ||
                               locale.find("ks-level1") != std::string::npos);
    collation.kind = ignoringCase ? Collation::Kind::kIgnoringCase : Collation::Kind::kOther;
    return collation;
}

// A column's default is its own, else its domain's (which every row of the domain gets).
void ReadColumns(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT a.attname, CASE WHEN t.typtype = 'd' THEN format_type(t.typbasetype, "
        "t.typtypmod) ELSE format_type(a.atttypid, a.atttypmod) END, (a.attnotnull OR "
        "(t.typtype = 'd' AND t.typnotnull))::int, a.attidentity::text, a.attgenerated::text, "
        "coalesce(pg_get_expr(d.adbin, d.adrelid), CASE WHEN t.typtype = 'd' THEN "
        "pg_get_expr(t.typdefaultbin, 0) END), co.collname, co.collprovider::text, "
        "co.collisdeterministic::int, coalesce(to_jsonb(co)->>'colllocale', "
        "to_jsonb(co)->>'colliculocale', co.collcollate) FROM pg_catalog.pg_attribute a JOIN "
        "pg_catalog.pg_type t ON t.oid = a.atttypid LEFT JOIN pg_catalog.pg_attrdef d ON "
        "d.adrelid = a.attrelid AND d.adnum = a.attnum LEFT JOIN pg_catalog.pg_collation co ON "
        "co.oid = a.attcollation AND a.attcollation <> t.typcollation AND co.collname <> "
        "'default' WHERE a.attrelid = " +
            oid + " AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum");
    for (const Row& row : rows) {
        ColumnSchema column;
        column.name = Text(row, 0);
        column.type = PostgreSQLDialect::ReadType(Text(row, 1));
        column.notNull = Text(row, 2) == "1";
        column.identity = !Text(row, 3).empty();
        column.identityAlways = Text(row, 3) == "a";
        column.generated = !Text(row, 4).empty();
        // A generated column's expression is its own, never a default.
        if (!column.generated && row.size() > 5 && row[5])
            column.defaultValue = PostgreSQLDialect::ReadDefault(*row[5], column.identity);
        column.collation = CollationOf(row, 6);
        schema.columns.push_back(column);
    }
}

// Where the key's NULLs go, when the definition says other than PostgreSQL's own order
// (last ascending, first descending).
NullsOrder NullsOf(int option) {
    const bool descending = (option & 1) != 0;
    const bool first = (option & 2) != 0;
    if (first == descending)
        return NullsOrder::kDefault;
    return first ? NullsOrder::kFirst : NullsOrder::kLast;
}

// The table's indexes; `ownOnly`: only those not attached to an index of a partitioned
// table above it (a partition's own).
// What an index or key has that no other database's takes: named once, with its name.
void NameIndexExtras(const Row& row, TableSchema& schema) {
    const std::string what = Text(row, 2) == "1"   ? "primary key " + Text(row, 5)
                             : Text(row, 4) == "u" ? "unique constraint " + Text(row, 5)
                                                   : "index " + Text(row, 0);
    if (Text(row, 11) == "1")
        schema.notes.push_back(what + ": DEFERRABLE: the target checks it at once");
    if (Text(row, 12) != "0")
        schema.notes.push_back(what + ": its INCLUDE columns: made on its key alone");
}

void ReadIndexes(adodb::Connection& source, const std::string& oid, TableSchema& schema,
                 bool ownOnly = false) {
    const PostgreSQLDialect dialect;
    const std::vector<Row> rows = Rows(
        source,
        "SELECT i.relname, x.indisunique::int, x.indisprimary::int, "
        "coalesce(pg_get_expr(x.indpred, x.indrelid), ''), coalesce(c.contype::text, ''), "
        "coalesce(c.conname, ''), coalesce(a.attname, ''), x.indoption[k.n - 1]::int, "
        "pg_get_indexdef(x.indexrelid, k.n::int, true), am.amname, "
        "coalesce(to_jsonb(x)->>'indnullsnotdistinct', 'false'), "
        "coalesce(c.condeferrable::int, 0), (x.indnatts - x.indnkeyatts)::int "
        "FROM pg_catalog.pg_index x JOIN "
        "pg_catalog.pg_class i ON i.oid = x.indexrelid JOIN pg_catalog.pg_am am ON am.oid = "
        "i.relam LEFT JOIN pg_catalog.pg_constraint c ON c.conindid = x.indexrelid AND "
        "c.conrelid = x.indrelid AND c.contype IN ('p', 'u') CROSS JOIN LATERAL "
        "unnest(x.indkey::int2[]) WITH ORDINALITY AS k(attnum, n) LEFT JOIN "
        "pg_catalog.pg_attribute a ON a.attrelid = x.indrelid AND a.attnum = k.attnum WHERE "
        "x.indrelid = " +
            oid + " AND k.n <= x.indnkeyatts" +
            (ownOnly ? " AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_inherits h WHERE h.inhrelid "
                       "= x.indexrelid)"
                     : "") +
            " ORDER BY i.relname, k.n");
    std::map<std::string, std::size_t> byName;
    std::set<std::string> named;
    for (const Row& row : rows) {
        const std::string name = Text(row, 0);
        const std::string column = Text(row, 6);
        if (named.insert(name).second)
            NameIndexExtras(row, schema);
        if (Text(row, 2) == "1") {
            schema.primaryKeyName = Text(row, 5).empty() ? name : Text(row, 5);
            schema.primaryKey.push_back(column);
            continue;
        }
        auto [at, added] = byName.try_emplace(name, schema.indexes.size());
        if (added) {
            IndexSchema index;
            index.name = name;
            index.unique = Text(row, 1) == "1";
            index.constraint = Text(row, 4) == "u";
            if (!Text(row, 3).empty())
                index.predicate = dialect.Read(Text(row, 3));
            index.method = Text(row, 9) == "btree" ? std::string() : Text(row, 9);
            index.nullsNotDistinct = Text(row, 10) == "true";
            schema.indexes.push_back(index);
        }
        IndexKey key;
        key.column = column;
        const int option = std::atoi(Text(row, 7).c_str());
        key.descending = (option & 1) != 0;
        key.nulls = NullsOf(option);
        if (column.empty())
            key.expression = dialect.Read(Text(row, 8));
        schema.indexes[at->second].keys.push_back(std::move(key));
    }
}

ReferentialAction Action(const std::string& code) {
    if (code == "r")
        return ReferentialAction::kRestrict;
    if (code == "c")
        return ReferentialAction::kCascade;
    if (code == "n")
        return ReferentialAction::kSetNull;
    if (code == "d")
        return ReferentialAction::kSetDefault;
    return ReferentialAction::kNoAction;
}

// The table's foreign keys; `ownOnly`: not those a partitioned table above it gave it.
// A constraint added NOT VALID holds only rows written after it: the source's own rows may
// break it, and a target that held them to it would refuse them. Named, once per name.
void NotValid(TableSchema& schema, const std::string& what) {
    const std::string note =
        what + ": NOT VALID (the source's rows are not held to it): not carried";
    if (std::find(schema.notes.begin(), schema.notes.end(), note) == schema.notes.end())
        schema.notes.push_back(note);
}

void ReadForeignKeys(adodb::Connection& source, const std::string& oid, TableSchema& schema,
                     bool ownOnly = false) {
    const std::vector<Row> rows = Rows(
        source,
        "SELECT c.conname, a.attname, r.relname, ra.attname, c.confupdtype::text, "
        "c.confdeltype::text, c.condeferrable::int, c.condeferred::int, "
        "c.confmatchtype::text, c.convalidated::int, "
        "coalesce(to_jsonb(c)->>'confdelsetcols', '') FROM "
        "pg_catalog.pg_constraint c JOIN pg_catalog.pg_class r ON r.oid = c.confrelid CROSS "
        "JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS k(attnum, refnum, n) JOIN "
        "pg_catalog.pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.attnum JOIN "
        "pg_catalog.pg_attribute ra ON ra.attrelid = c.confrelid AND ra.attnum = k.refnum "
        "WHERE c.conrelid = " +
            oid + " AND c.contype = 'f'" + (ownOnly ? " AND c.conparentid = 0" : "") +
            " ORDER BY c.conname, k.n");
    for (const Row& row : rows) {
        if (Text(row, 9) == "0") {
            NotValid(schema, "foreign key " + Text(row, 0));
            continue;
        }
        if (schema.foreignKeys.empty() || schema.foreignKeys.back().name != Text(row, 0)) {
            ForeignKeySchema key;
            key.name = Text(row, 0);
            key.table = Text(row, 2);
            key.onUpdate = Action(Text(row, 4));
            key.onDelete = Action(Text(row, 5));
            key.deferrable = Text(row, 6) == "1";
            key.initiallyDeferred = Text(row, 7) == "1";
            key.matchFull = Text(row, 8) == "f";
            // PostgreSQL 15's ON DELETE SET NULL (col): no other database sets part of a key.
            if (!Text(row, 10).empty())
                schema.notes.push_back("foreign key " + key.name + ": ON DELETE SET NULL of " +
                                       "some of its columns: the target sets all of them");
            schema.foreignKeys.push_back(key);
        }
        schema.foreignKeys.back().columns.push_back(Text(row, 1));
        schema.foreignKeys.back().referencedColumns.push_back(Text(row, 3));
    }
}

// pg_get_constraintdef's "CHECK ((x > 0)) NOT VALID" as the condition alone.
std::string Condition(std::string definition) {
    for (const char* tail : {" NOT VALID", " NO INHERIT"}) {
        const std::string t(tail);
        if (definition.size() > t.size() &&
            definition.compare(definition.size() - t.size(), t.size(), t) == 0)
            definition.erase(definition.size() - t.size());
    }
    return definition.rfind("CHECK ", 0) == 0 ? definition.substr(6) : definition;
}

// The table's CHECK constraints, and each column's domain's, on that column.
void ReadChecks(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const PostgreSQLDialect dialect;
    for (const Row& row : Rows(source,
                               "SELECT conname, pg_get_constraintdef(oid), contype::text, "
                               "convalidated::int FROM pg_catalog.pg_constraint WHERE conrelid = " +
                                   oid + " AND contype IN ('c', 'x') ORDER BY conname")) {
        if (Text(row, 3) == "0") {
            NotValid(schema, "check " + Text(row, 0) + " (" + Text(row, 1) + ")");
            continue;
        }
        if (Text(row, 2) == "x") {
            schema.notes.push_back("exclusion constraint " + Text(row, 0) + " (" + Text(row, 1) +
                                   "): not carried; no other database has one");
            continue;
        }
        schema.checks.push_back({Text(row, 0), dialect.Read(Condition(Text(row, 1))), {}, {}});
    }
    for (const Row& row :
         Rows(source,
              "SELECT a.attname, t.typname, c.conname, pg_get_constraintdef(c.oid) "
              "FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_type t ON t.oid = "
              "a.atttypid JOIN pg_catalog.pg_constraint c ON c.contypid = t.oid "
              "AND c.contype = 'c' WHERE a.attrelid = " +
                  oid +
                  " AND a.attnum > 0 AND NOT a.attisdropped ORDER BY "
                  "a.attnum, c.conname")) {
        CheckSchema check{{}, dialect.Read(Condition(Text(row, 3))), Text(row, 1), Text(row, 0)};
        // VALUE stands for the column.
        std::string why;
        const std::string column = check.column;
        if (check.expression.tree &&
            !RenameColumns(
                *check.expression.tree,
                [&](std::string_view) { return std::optional<std::string>(column); }, why))
            check.expression.tree.reset();
        schema.checks.push_back(std::move(check));
    }
}

// Inheritance has no counterpart elsewhere: each table goes with its own rows only.
void ReadInheritance(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    for (const Row& row :
         Rows(source,
              "SELECT p.relname, c.relispartition::int, coalesce(pg_get_expr(c.relpartbound, "
              "c.oid), '') FROM pg_catalog.pg_inherits i JOIN pg_catalog.pg_class p ON p.oid = "
              "i.inhparent JOIN pg_catalog.pg_class c ON c.oid = i.inhrelid WHERE i.inhrelid = " +
                  oid + " ORDER BY i.inhseqno")) {
        if (Text(row, 1) == "1")
            schema.notes.push_back("PARTITION OF " + Text(row, 0) + " " + Text(row, 2) +
                                   ": not carried; the table goes as one of its own");
        else
            schema.notes.push_back("INHERITS (" + Text(row, 0) +
                                   "): not carried; the table goes with its own rows and columns");
    }
    for (const Row& row : Rows(source,
                               "SELECT c.relname FROM pg_catalog.pg_inherits i JOIN "
                               "pg_catalog.pg_class c ON c.oid = i.inhrelid WHERE i.inhparent = " +
                                   oid + " AND c.relispartition = false ORDER BY c.relname")) {
        schema.notes.push_back("rows of " + Text(row, 0) +
                               ", which inherits from this table: not carried here; it is a "
                               "table of its own");
    }
}

// What the table is besides its columns and constraints, none of which another database
// takes: a view's or a foreign table's definition (its rows go as a table), UNLOGGED,
// storage options, comments and triggers. Each is named.
void ReadTableFacts(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const std::vector<Row> rows =
        Rows(source,
             "SELECT c.relkind::text, c.relpersistence::text, "
             "coalesce(array_to_string(c.reloptions, ', '), ''), "
             "coalesce(obj_description(c.oid, 'pg_class'), ''), "
             "(SELECT count(*) FROM pg_catalog.pg_description d WHERE d.objoid = c.oid AND "
             "d.classoid = 'pg_catalog.pg_class'::regclass AND d.objsubid > 0), "
             "coalesce((SELECT string_agg(t.tgname, ', ' ORDER BY t.tgname) FROM "
             "pg_catalog.pg_trigger t WHERE t.tgrelid = c.oid AND NOT t.tgisinternal), '') "
             "FROM pg_catalog.pg_class c WHERE c.oid = " +
                 oid);
    if (rows.empty())
        return;
    const Row& row = rows[0];
    const std::string kind = Text(row, 0);
    if (kind == "v" || kind == "m" || kind == "f")
        schema.notes.push_back(std::string(kind == "v"   ? "a view's definition"
                                           : kind == "m" ? "a materialized view's definition"
                                                         : "a foreign table's server") +
                               ": its rows go as a table");
    if (Text(row, 1) == "u")
        schema.notes.push_back("UNLOGGED: the table is made logged");
    if (!Text(row, 2).empty())
        schema.notes.push_back("storage options (" + Text(row, 2) + ")");
    if (!Text(row, 3).empty())
        schema.notes.push_back("the table's comment");
    if (Text(row, 4) != "0")
        schema.notes.push_back("comments on " + Text(row, 4) + " of its columns");
    if (!Text(row, 5).empty())
        schema.notes.push_back("triggers " + Text(row, 5));
}

std::string IndexShape(const IndexSchema& index) {
    std::string shape = std::to_string(index.unique) + std::to_string(index.constraint) +
                        std::to_string(index.nullsNotDistinct) + index.method + "|" +
                        index.predicate.text;
    for (const IndexKey& key : index.keys)
        shape += "|" + key.column + "|" + key.expression.text + std::to_string(key.descending) +
                 std::to_string(static_cast<int>(key.nulls));
    return shape;
}

std::string KeyShape(const ForeignKeySchema& key) {
    std::string shape = key.table + "|" + std::to_string(static_cast<int>(key.onDelete)) +
                        std::to_string(static_cast<int>(key.onUpdate)) +
                        std::to_string(key.deferrable) + std::to_string(key.initiallyDeferred);
    for (std::size_t i = 0; i < key.columns.size(); ++i)
        shape += "|" + key.columns[i] + "=" + key.referencedColumns[i];
    return shape;
}

// What every partition has alike goes on the one table, under a name of the target's
// (each partition's own name is no name of the whole); the rest is named.
template <typename Item, typename Shape>
void Common(const std::vector<std::pair<std::string, std::vector<Item>>>& parts, Shape shape,
            const char* kind, std::vector<Item>& common, std::vector<std::string>& notes) {
    std::map<std::string, std::size_t> count;
    for (const auto& [partition, items] : parts) {
        for (const Item& item : items)
            ++count[shape(item)];
    }
    std::map<std::string, bool> taken;
    for (const auto& [partition, items] : parts) {
        for (const Item& item : items) {
            const std::string s = shape(item);
            if (count[s] < parts.size()) {
                notes.push_back(std::string(kind) + " " + item.name + " of partition " + partition +
                                ": not carried; not every partition has it");
            } else if (!taken[s]) {
                taken[s] = true;
                common.push_back(item);
                common.back().name.clear();
            }
        }
    }
}

// A partitioned table is one table on the target, holding every partition's rows.
void ReadPartitions(adodb::Connection& source, const std::string& oid, TableSchema& schema) {
    const std::vector<Row> key = Rows(source, "SELECT pg_get_partkeydef(" + oid + ")");
    if (key.empty() || Text(key[0], 0).empty())
        return;
    schema.notes.push_back("PARTITION BY " + Text(key[0], 0) +
                           ": not carried; the table holds every partition's rows");
    std::vector<std::pair<std::string, std::vector<IndexSchema>>> indexes;
    std::vector<std::pair<std::string, std::vector<ForeignKeySchema>>> keys;
    for (const Row& leaf :
         Rows(source, "SELECT t.relid::oid::text, c.relname FROM pg_partition_tree(" + oid +
                          ") t JOIN pg_catalog.pg_class c ON c.oid = t.relid WHERE "
                          "t.isleaf ORDER BY c.relname")) {
        TableSchema part;
        ReadIndexes(source, Text(leaf, 0), part, true);
        ReadForeignKeys(source, Text(leaf, 0), part, true);
        if (!part.primaryKey.empty())
            schema.notes.push_back("primary key " + part.primaryKeyName + " of partition " +
                                   Text(leaf, 1) + ": not carried; a key of one partition only");
        indexes.emplace_back(Text(leaf, 1), std::move(part.indexes));
        keys.emplace_back(Text(leaf, 1), std::move(part.foreignKeys));
    }
    Common(indexes, IndexShape, "index", schema.indexes, schema.notes);
    Common(keys, KeyShape, "foreign key", schema.foreignKeys, schema.notes);
}

}  // namespace

TableSchema PostgreSQLSchema(adodb::Connection& source, const std::string& table) {
    TableSchema schema;
    schema.name = table;
    const std::string oid = Oid(table);
    ReadColumns(source, oid, schema);
    ReadIndexes(source, oid, schema);
    ReadForeignKeys(source, oid, schema);
    ReadChecks(source, oid, schema);
    ReadInheritance(source, oid, schema);
    ReadPartitions(source, oid, schema);
    ReadTableFacts(source, oid, schema);
    return schema;
}

}  // namespace korvanta::schema
