// The Jet SQL that the system writes, made to run on SQLite with the same result.
#include "kdb/internal.h"

namespace kdb {

namespace {

struct Token {
    enum Kind { Space, Word, Ident, String, Number, Punct, Comment } kind;
    QString text;
    bool is(const char* word) const
    {
        return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool punct(char c) const { return kind == Punct && text.size() == 1 && text.at(0) == QChar(c); }
};

using Tokens = QList<Token>;

Tokens tokenize(const QString& sql)
{
    Tokens out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && sql.at(i).isSpace())
                ++i;
            out.push_back({Token::Space, sql.mid(start, i - start)});
        } else if (c == u'-' && i + 1 < n && sql.at(i + 1) == u'-') {
            while (i < n && sql.at(i) != u'\n')
                ++i;
            out.push_back({Token::Comment, sql.mid(start, i - start)});
        } else if (c == u'/' && i + 1 < n && sql.at(i + 1) == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            out.push_back({Token::Comment, sql.mid(start, i - start)});
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            const QChar close = c == u'[' ? QChar(u']') : c;
            ++i;
            while (i < n) {
                if (sql.at(i) == close) {
                    if (close != u']' && i + 1 < n && sql.at(i + 1) == close) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.push_back({c == u'\'' ? Token::String : Token::Ident, sql.mid(start, i - start)});
        } else if (c.isLetter() || c == u'_' || c == u'$') {
            while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == u'_' || sql.at(i) == u'$'))
                ++i;
            out.push_back({Token::Word, sql.mid(start, i - start)});
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && sql.at(i + 1).isDigit())) {
            while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == u'.'))
                ++i;
            out.push_back({Token::Number, sql.mid(start, i - start)});
        } else {
            ++i;
            out.push_back({Token::Punct, QString(c)});
        }
    }
    return out;
}

QString join(const Tokens& t, qsizetype from = 0, qsizetype to = -1)
{
    if (to < 0)
        to = t.size();
    QString s;
    for (qsizetype i = from; i < to; ++i)
        s += t.at(i).text;
    return s;
}

qsizetype nextSolid(const Tokens& t, qsizetype i)
{
    while (i < t.size() && (t.at(i).kind == Token::Space || t.at(i).kind == Token::Comment))
        ++i;
    return i;
}

// Index of the parenthesis closing the one at `open`; t.size() when unbalanced.
qsizetype matching(const Tokens& t, qsizetype open)
{
    int depth = 0;
    for (qsizetype i = open; i < t.size(); ++i) {
        if (t.at(i).punct('('))
            ++depth;
        else if (t.at(i).punct(')') && --depth == 0)
            return i;
    }
    return t.size();
}

QList<Tokens> splitStatements(const Tokens& all)
{
    QList<Tokens> out;
    Tokens cur;
    int depth = 0;
    for (const Token& tk : all) {
        if (tk.punct('('))
            ++depth;
        else if (tk.punct(')'))
            --depth;
        if (depth <= 0 && tk.punct(';')) {
            out << cur;
            cur.clear();
            continue;
        }
        cur << tk;
    }
    out << cur;
    QList<Tokens> solid;
    for (const Tokens& s : out) {
        if (nextSolid(s, 0) < s.size())
            solid << s;
    }
    return solid;
}

// IsNull(x) -> ((x) IS NULL): ISNULL is an operator keyword in SQLite, not a function name.
Tokens rewriteIsNull(Tokens t)
{
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (!t.at(i).is("IsNull"))
            continue;
        const qsizetype open = nextSolid(t, i + 1);
        if (open >= t.size() || !t.at(open).punct('('))
            continue;
        const qsizetype close = matching(t, open);
        if (close >= t.size())
            continue;
        Tokens inner = rewriteIsNull(t.mid(open + 1, close - open - 1));
        const QString replaced = QStringLiteral("((") + join(inner) + QStringLiteral(") IS NULL)");
        t.remove(i, close - i + 1);
        t.insert(i, Token{Token::Ident, replaced});
    }
    return t;
}

bool isConstraintWord(const Token& tk)
{
    static const char* words[] = {"CONSTRAINT", "PRIMARY", "NOT", "NULL", "UNIQUE", "CHECK",
                                  "DEFAULT", "COLLATE", "REFERENCES", "GENERATED", "AS", "AUTOINCREMENT"};
    for (const char* w : words) {
        if (tk.is(w))
            return true;
    }
    return false;
}

bool containsWord(const Tokens& t, const char* word)
{
    for (const Token& tk : t) {
        if (tk.is(word))
            return true;
    }
    return false;
}

// One column definition of CREATE TABLE / ADD COLUMN in Jet's form -> SQLite's.
QString rewriteColumn(const Tokens& def)
{
    const qsizetype first = nextSolid(def, 0);
    if (first >= def.size())
        return join(def);
    const Token& head = def.at(first);
    if (head.is("CONSTRAINT") || head.is("PRIMARY") || head.is("UNIQUE") || head.is("CHECK")
        || head.is("FOREIGN"))
        return join(def);
    const QString name = head.text;
    // type words up to the first constraint word or "("
    qsizetype i = nextSolid(def, first + 1);
    const qsizetype typeStart = i;
    QStringList words;
    qsizetype typeEnd = i;
    bool autoType = false;
    if (i < def.size() && (def.at(i).is("AUTOINCREMENT") || def.at(i).is("COUNTER"))) {
        autoType = true;
        typeEnd = i + 1;
    } else {
        while (i < def.size() && def.at(i).kind == Token::Word && !isConstraintWord(def.at(i))) {
            words << def.at(i).text;
            typeEnd = i + 1;
            i = nextSolid(def, i + 1);
        }
    }
    int size = -1;
    qsizetype after = typeEnd;
    {
        const qsizetype p = nextSolid(def, typeEnd);
        if (!words.isEmpty() && p < def.size() && def.at(p).punct('(')) {
            const qsizetype close = matching(def, p);
            size = join(def, p + 1, close).section(u',', 0, 0).trimmed().toInt();
            after = qMin(close + 1, def.size());
        }
    }
    const Tokens rest = def.mid(after);
    const QString lead = join(def, 0, typeStart);
    if (autoType) {
        QString r = join(rest);
        if (containsWord(rest, "PRIMARY")) {
            // "... PRIMARY KEY" + AUTOINCREMENT right after KEY
            Tokens t = rest;
            for (qsizetype k = 0; k < t.size(); ++k) {
                if (t.at(k).is("KEY")) {
                    t.insert(k + 1, Token{Token::Word, QStringLiteral(" AUTOINCREMENT")});
                    break;
                }
            }
            r = join(t);
        } else {
            r += QStringLiteral(" PRIMARY KEY AUTOINCREMENT");
        }
        return lead + QStringLiteral("INTEGER") + r;
    }
    if (words.isEmpty())
        return join(def);
    const QString typeWords = words.join(u' ');
    int declaredSize = 0;
    const int16_t dao = DaoTypeFromDeclared(typeWords, &declaredSize);
    const bool textual = dao == dbText || dao == dbMemo;
    if (!textual)
        return join(def);
    QString out = lead + typeWords;
    QString extra;
    if (dao == dbText) {
        const int n = size > 0 ? size : 255;
        out += QStringLiteral("(%1)").arg(n);
        if (!containsWord(rest, "COLLATE"))
            extra += QStringLiteral(" COLLATE NOCASE");
        // One arg() call: a "%1" inside the name is no placeholder.
        extra += QStringLiteral(" CONSTRAINT kdb_size CHECK (length(%1) <= %2)")
                     .arg(name, QString::number(n));
    } else if (!containsWord(rest, "COLLATE")) {
        extra += QStringLiteral(" COLLATE NOCASE");
    }
    if (size > 0 && dao != dbText)
        out += QStringLiteral("(%1)").arg(size);
    return out + extra + join(rest);
}

QString rewriteCreateTable(const Tokens& t)
{
    qsizetype open = -1;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t.at(i).punct('(')) {
            open = i;
            break;
        }
        if (t.at(i).is("AS"))
            return join(t);   // CREATE TABLE ... AS SELECT
    }
    if (open < 0)
        return join(t);
    const qsizetype close = matching(t, open);
    QStringList defs;
    Tokens cur;
    int depth = 0;
    for (qsizetype i = open + 1; i < close; ++i) {
        const Token& tk = t.at(i);
        if (tk.punct('('))
            ++depth;
        else if (tk.punct(')'))
            --depth;
        if (depth == 0 && tk.punct(',')) {
            defs << rewriteColumn(cur);
            cur.clear();
            continue;
        }
        cur << tk;
    }
    defs << rewriteColumn(cur);
    return join(t, 0, open + 1) + defs.join(u',') + join(t, close);
}

// Top-level GROUP BY terms get COLLATE NOCASE.
Tokens rewriteGroupBy(Tokens t)
{
    int depth = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t.at(i).punct('('))
            ++depth;
        else if (t.at(i).punct(')'))
            --depth;
        if (depth != 0 || !t.at(i).is("GROUP"))
            continue;
        const qsizetype by = nextSolid(t, i + 1);
        if (by >= t.size() || !t.at(by).is("BY"))
            continue;
        qsizetype k = by + 1;
        qsizetype termEnd = k;
        int d = 0;
        bool hasCollate = false;
        auto closeTerm = [&](qsizetype at) {
            if (!hasCollate) {
                // after the term's last solid token
                qsizetype last = at;
                while (last > by + 1 && (t.at(last - 1).kind == Token::Space))
                    --last;
                t.insert(last, Token{Token::Word, QStringLiteral(" COLLATE NOCASE")});
                return 1;
            }
            return 0;
        };
        for (; k < t.size(); ++k) {
            const Token& tk = t.at(k);
            if (tk.punct('('))
                ++d;
            else if (tk.punct(')')) {
                if (d == 0)
                    break;
                --d;
            }
            if (d == 0 && (tk.is("HAVING") || tk.is("ORDER") || tk.is("LIMIT") || tk.is("UNION")
                           || tk.is("WINDOW")))
                break;
            if (d == 0 && tk.punct(',')) {
                k += closeTerm(k);
                hasCollate = false;
                continue;
            }
            if (tk.is("COLLATE"))
                hasCollate = true;
            termEnd = k;
        }
        (void)termEnd;
        closeTerm(k);
        i = k;
    }
    return t;
}

// Jet's "text" literals -> 'text' (Jet names go in brackets; double quotes delimit strings).
Tokens rewriteDoubleQuotes(Tokens t)
{
    for (Token& tk : t) {
        if (tk.kind != Token::Ident || !tk.text.startsWith(u'"') || tk.text.size() < 2)
            continue;
        QString inner = tk.text.mid(1, tk.text.size() - 2);
        inner.replace(QStringLiteral("\"\""), QStringLiteral("\""));
        inner.replace(u'\'', QStringLiteral("''"));
        tk = Token{Token::String, u'\'' + inner + u'\''};
    }
    return t;
}

qsizetype prevSolid(const Tokens& t, qsizetype i)
{
    while (i >= 0 && (t.at(i).kind == Token::Space || t.at(i).kind == Token::Comment))
        --i;
    return i;
}

// Index of the parenthesis opening the one at `close`; -1 when unbalanced.
qsizetype matchingBack(const Tokens& t, qsizetype close)
{
    int depth = 0;
    for (qsizetype i = close; i >= 0; --i) {
        if (t.at(i).punct(')'))
            ++depth;
        else if (t.at(i).punct('(') && --depth == 0)
            return i;
    }
    return -1;
}

bool isOperand(const Token& tk)
{
    return tk.kind == Token::Word || tk.kind == Token::Ident || tk.kind == Token::Number
        || tk.kind == Token::String;
}

// x ^ y -> kdb_pow(x, y), with x and y the nearest operands (a name, a number, a bracketed
// group or a function call), as Jet's ^ binds tighter than the other operators.
Tokens rewritePower(Tokens t)
{
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (!t.at(i).punct('^'))
            continue;
        qsizetype l = prevSolid(t, i - 1);
        if (l < 0)
            continue;
        qsizetype lStart = l;
        if (t.at(l).punct(')')) {
            lStart = matchingBack(t, l);
            if (lStart < 0)
                continue;
            if (lStart > 0 && t.at(lStart - 1).kind == Token::Word)
                --lStart;   // a function call
        } else if (!isOperand(t.at(l))) {
            continue;
        }
        while (lStart >= 2 && t.at(lStart - 1).punct('.') && isOperand(t.at(lStart - 2)))
            lStart -= 2;   // qualified name
        qsizetype r = nextSolid(t, i + 1);
        if (r >= t.size())
            continue;
        const qsizetype rStart = r;
        if ((t.at(r).punct('-') || t.at(r).punct('+')) && r + 1 < t.size())
            r = nextSolid(t, r + 1);
        if (r >= t.size())
            continue;
        qsizetype rEnd = r;
        if (t.at(r).punct('(')) {
            rEnd = matching(t, r);
        } else if (t.at(r).kind == Token::Word && r + 1 < t.size() && t.at(r + 1).punct('(')) {
            rEnd = matching(t, r + 1);
        } else if (!isOperand(t.at(r))) {
            continue;
        }
        while (rEnd + 2 < t.size() && t.at(rEnd + 1).punct('.') && isOperand(t.at(rEnd + 2)))
            rEnd += 2;
        if (rEnd >= t.size())
            continue;
        const QString replaced = QStringLiteral("kdb_pow(") + join(t, lStart, l + 1).trimmed()
                                 + QStringLiteral(", ") + join(t, rStart, rEnd + 1).trimmed()
                                 + QStringLiteral(")");
        t.remove(lStart, rEnd - lStart + 1);
        t.insert(lStart, Token{Token::Ident, replaced});
        i = lStart;
    }
    return t;
}

// SELECT ... INTO t FROM ... -> CREATE TABLE t AS SELECT ... FROM ...
Tokens rewriteSelectInto(const Tokens& t)
{
    const qsizetype first = nextSolid(t, 0);
    if (first >= t.size() || !t.at(first).is("SELECT"))
        return t;
    int depth = 0;
    for (qsizetype i = first; i < t.size(); ++i) {
        if (t.at(i).punct('('))
            ++depth;
        else if (t.at(i).punct(')'))
            --depth;
        if (depth != 0 || !t.at(i).is("INTO"))
            continue;
        qsizetype nameStart = nextSolid(t, i + 1);
        qsizetype nameEnd = nameStart + 1;
        // qualified name a.b
        while (nameEnd + 1 < t.size() && t.at(nameEnd).punct('.'))
            nameEnd += 2;
        const QString target = join(t, nameStart, nameEnd);
        Tokens out;
        out << Token{Token::Word, QStringLiteral("CREATE TABLE ") + target + QStringLiteral(" AS ")};
        out << t.mid(0, i);
        out << t.mid(nameEnd);
        return out;
    }
    return t;
}

} // namespace

QStringList TranslateJet(const QString& jetSql)
{
    return TranslateJet(jetSql, false);
}

QStringList TranslateJet(const QString& jetSql, bool doubleQuotedStrings)
{
    QStringList out;
    for (Tokens st : splitStatements(tokenize(jetSql))) {
        if (doubleQuotedStrings)
            st = rewriteDoubleQuotes(st);
        st = rewriteIsNull(st);
        st = rewritePower(st);
        const qsizetype a = nextSolid(st, 0);
        const qsizetype b = nextSolid(st, a + 1);
        if (a < st.size() && b < st.size() && st.at(a).is("CREATE") && st.at(b).is("TABLE")) {
            out << rewriteCreateTable(st).trimmed();
            continue;
        }
        st = rewriteSelectInto(st);
        st = rewriteGroupBy(st);
        out << join(st).trimmed();
    }
    return out;
}

namespace {

// ALTER TABLE t ADD [COLUMN] c AUTOINCREMENT|COUNTER [CONSTRAINT n] [PRIMARY KEY]:
// table and column names (unquoted), empty when the statement is not of that form.
bool parseAddCounter(const Tokens& t, QString& table, QString& column, QString& constraint)
{
    QList<qsizetype> solid;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t.at(i).kind != Token::Space && t.at(i).kind != Token::Comment)
            solid << i;
    }
    auto at = [&](int k) -> const Token* { return k < solid.size() ? &t.at(solid.at(k)) : nullptr; };
    if (!at(3) || !at(0)->is("ALTER") || !at(1)->is("TABLE") || !at(3)->is("ADD"))
        return false;
    int k = 4;
    if (at(k) && at(k)->is("COLUMN"))
        ++k;
    if (!at(k + 1) || !(at(k + 1)->is("AUTOINCREMENT") || at(k + 1)->is("COUNTER")))
        return false;
    auto bare = [](const QString& s) {
        if (s.size() >= 2 && (s.front() == u'"' || s.front() == u'[' || s.front() == u'`'))
            return s.mid(1, s.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        return s;
    };
    table = bare(at(2)->text);
    column = bare(at(k)->text);
    constraint.clear();
    if (at(k + 2) && at(k + 2)->is("CONSTRAINT") && at(k + 3))
        constraint = bare(at(k + 3)->text);
    return true;
}

bool parseDrop(const Tokens& t, QString& table)
{
    const qsizetype a = nextSolid(t, 0);
    const qsizetype b = nextSolid(t, a + 1);
    const qsizetype c = nextSolid(t, b + 1);
    if (c >= t.size() || !t.at(a).is("DROP") || !t.at(b).is("TABLE"))
        return false;
    if (nextSolid(t, c + 1) < t.size())
        return false;
    QString s = t.at(c).text;
    if (s.size() >= 2 && (s.front() == u'"' || s.front() == u'[' || s.front() == u'`'))
        s = s.mid(1, s.size() - 2);
    table = s;
    return true;
}

} // namespace

void Database::ExecuteJet(const QString& jetSql)
{
    Require();
    ConnectionImpl* c = m_conn.get();
    const QList<Tokens> statements = splitStatements(tokenize(jetSql));
    std::optional<Transaction> tx;
    if (statements.size() > 1)
        tx.emplace(*this);
    for (const Tokens& st : statements) {
        QString table, column, constraint;
        if (parseDrop(st, table) && LinkInfo(table)) {
            bool local = false;
            for (const TableInfo& ti : Tables())
                local = local || (!ti.linked && ti.name.compare(table, Qt::CaseInsensitive) == 0);
            if (!local) {
                DropTable(table);
                continue;
            }
        }
        if (parseAddCounter(st, table, column, constraint)) {
            const QList<FieldInfo> fields = Fields(table);
            QStringList defs;
            QStringList names;
            const QByteArray t8 = table.toUtf8();
            for (const FieldInfo& f : fields) {
                const char* coll = nullptr;
                const QByteArray c8 = f.name.toUtf8();
                sqlite3_table_column_metadata(c->db, "main", t8.constData(), c8.constData(), nullptr,
                                              &coll, nullptr, nullptr, nullptr);
                QString def = QuoteIdent(f.name) + u' ' + f.declaredType;
                if (coll && QLatin1String(coll) != QLatin1String("BINARY"))
                    def += QStringLiteral(" COLLATE ") + QString::fromUtf8(coll);
                defs << def;
                names << QuoteIdent(f.name);
            }
            defs << QuoteIdent(column) + QStringLiteral(" INTEGER")
                        + (constraint.isEmpty() ? QString() : QStringLiteral(" CONSTRAINT ") + QuoteIdent(constraint))
                        + QStringLiteral(" PRIMARY KEY AUTOINCREMENT");
            const QString tmp = QStringLiteral("__kdb_rebuild");
            Transaction t(*this);
            Execute(QStringLiteral("DROP TABLE IF EXISTS main.%1").arg(QuoteIdent(tmp)));
            Execute(QStringLiteral("CREATE TABLE main.%1 (%2)").arg(QuoteIdent(tmp), defs.join(u',')));
            Execute(QStringLiteral("INSERT INTO main.%1 (%2) SELECT %2 FROM main.%3 ORDER BY _rowid_")
                        .arg(QuoteIdent(tmp), names.join(u','), QuoteIdent(table)));
            Execute(QStringLiteral("DROP TABLE main.%1").arg(QuoteIdent(table)));
            Execute(QStringLiteral("ALTER TABLE main.%1 RENAME TO %2").arg(QuoteIdent(tmp), QuoteIdent(table)));
            t.Commit();
            continue;
        }
        for (const QString& sql : TranslateJet(join(st)))
            Execute(sql);
    }
    if (tx)
        tx->Commit();
}

Reader Database::QueryJet(const QString& jetSql, Params values)
{
    const QStringList sql = TranslateJet(jetSql, true);
    if (sql.size() != 1)
        throw detail::Error(3075, jetSql);
    return Query(sql.first(), values);
}

} // namespace kdb
