#include "browse/likepattern.h"

#include <vector>

namespace {

struct Token {
    enum Kind { Literal, AnyRun, AnyOne, Digit, Set } kind = Literal;
    QChar ch;
    bool negated = false;
    std::vector<std::pair<QChar, QChar>> ranges;
};

QChar fold(QChar c)
{
    return c.toCaseFolded();
}

// Answers false when the pattern does not parse.
bool parse(const QString& pattern, std::vector<Token>& out)
{
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        Token t;
        if (c == u'*') {
            t.kind = Token::AnyRun;
        } else if (c == u'?') {
            t.kind = Token::AnyOne;
        } else if (c == u'#') {
            t.kind = Token::Digit;
        } else if (c == u'[') {
            const qsizetype close = pattern.indexOf(u']', i + 1);
            if (close < 0)
                return false;
            t.kind = Token::Set;
            qsizetype j = i + 1;
            if (j < close && pattern.at(j) == u'!') {
                t.negated = true;
                ++j;
            }
            for (; j < close; ++j) {
                const QChar lo = fold(pattern.at(j));
                if (j + 2 < close && pattern.at(j + 1) == u'-') {
                    t.ranges.emplace_back(lo, fold(pattern.at(j + 2)));
                    j += 2;
                } else {
                    t.ranges.emplace_back(lo, lo);
                }
            }
            i = close;
        } else {
            t.ch = fold(c);
        }
        out.push_back(std::move(t));
    }
    return true;
}

bool matchOne(const Token& t, QChar c)
{
    switch (t.kind) {
    case Token::Literal:
        return fold(c) == t.ch;
    case Token::AnyOne:
        return true;
    case Token::Digit:
        return c >= u'0' && c <= u'9';
    case Token::Set: {
        const QChar f = fold(c);
        bool in = false;
        for (const auto& [lo, hi] : t.ranges)
            if (f >= lo && f <= hi) {
                in = true;
                break;
            }
        return in != t.negated;
    }
    case Token::AnyRun:
        break;
    }
    return false;
}

} // namespace

namespace LikePattern {

struct Compiled::Tokens {
    std::vector<Token> list;
};

Compiled::Compiled(const QString& pattern) : m_tokens(std::make_unique<Tokens>())
{
    if (!parse(pattern, m_tokens->list))
        m_tokens.reset();
}

Compiled::~Compiled() = default;

bool Matches(const QString& text, const QString& pattern)
{
    return Compiled(pattern).Matches(text);
}

bool Compiled::Matches(QStringView text) const
{
    if (!m_tokens)
        return false;
    const std::vector<Token>& tokens = m_tokens->list;
    // Greedy match with one back-track point per star: linear in practice, never exponential.
    qsizetype ti = 0;
    size_t pi = 0;
    qsizetype starText = -1;
    size_t starToken = 0;
    while (ti < text.size()) {
        if (pi < tokens.size() && tokens[pi].kind == Token::AnyRun) {
            starToken = ++pi;
            starText = ti;
        } else if (pi < tokens.size() && matchOne(tokens[pi], text.at(ti))) {
            ++pi;
            ++ti;
        } else if (starText >= 0) {
            pi = starToken;
            ti = ++starText;
        } else {
            return false;
        }
    }
    while (pi < tokens.size() && tokens[pi].kind == Token::AnyRun)
        ++pi;
    return pi == tokens.size();
}

bool HasPatternChar(const QString& text)
{
    for (QChar c : text)
        if (c == u'*' || c == u'?' || c == u'[' || c == u']' || c == u'!' || c == u'#')
            return true;
    return false;
}

} // namespace LikePattern
