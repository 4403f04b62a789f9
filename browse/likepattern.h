// The Like operator of the find dialog: `*` any run of characters, `?` one character, `#` one
// digit, `[list]` one character of the list (ranges a-z allowed), `[!list]` one character not
// in it; letters compare ignoring case. A pattern that does not parse (an unclosed bracket)
// matches nothing.
#pragma once

#include <QString>

#include <memory>
#include <QStringView>

namespace LikePattern {
// A pattern read once, for matching many values.
class Compiled {
public:
    explicit Compiled(const QString& pattern);
    ~Compiled();
    Compiled(const Compiled&) = delete;
    Compiled& operator=(const Compiled&) = delete;
    bool Matches(QStringView text) const;

private:
    struct Tokens;
    std::unique_ptr<Tokens> m_tokens; // nullptr: the pattern does not parse
};

bool Matches(const QString& text, const QString& pattern);
// True when the text holds a character the dialog treats as a pattern character
// (* ? [ ] ! #).
bool HasPatternChar(const QString& text);
}
