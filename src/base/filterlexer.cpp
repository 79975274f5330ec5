#include "filterlexer.h"

#include "failure.h"

#include <QLocale>

namespace kelvora {

namespace {

constexpr qsizetype maxLiteral = 256;

bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool startsWord(QChar c)
{
    return isAsciiLetter(c) || c == u'_' || (c.unicode() > 127 && c.isLetter());
}

bool continuesWord(QChar c)
{
    return isAsciiLetter(c) || isDigit(c) || c == u'_' || c == u'.' || c == u'[' || c == u']';
}

[[noreturn]] void invalidCharacter(const QString& shown)
{
    throw DatabaseError(QStringLiteral("Invalid filter expression character: '%1'").arg(shown));
}

} // namespace

FilterLexer::FilterLexer(const QString& text) : text_(text)
{
    const QString point = QLocale().decimalPoint();
    decimal_ = point.size() == 1 ? point[0] : QChar(u'.');
}

void FilterLexer::skipBlanks()
{
    while (isBlank(at(pos_)))
        ++pos_;
}

bool FilterLexer::parenFollows() const
{
    qsizetype i = pos_;
    while (isBlank(at(i)))
        ++i;
    return at(i) == u'(';
}

QString FilterLexer::readWord()
{
    const qsizetype start = pos_;
    ++pos_;
    while (continuesWord(at(pos_)))
        ++pos_;
    return text_.mid(start, pos_ - start);
}

void FilterLexer::readNumber()
{
    const qsizetype start = pos_;
    ++pos_;
    for (;;) {
        const QChar c = at(pos_);
        if (isDigit(c) || c == u'+' || c == u'-' || c == u'E' || c == u'e' ||
            (c == decimal_ && !c.isNull()))
            ++pos_;
        else
            break;
    }
    // "1, 2" in a list: the separator belongs to the list, not the number.
    if (decimal_ == u',' && pos_ - start > 1 && at(pos_ - 1) == u',' && isBlank(at(pos_)))
        --pos_;
    token_.kind = TokenKind::Number;
    token_.text = text_.mid(start, pos_ - start);
}

const FilterToken& FilterLexer::next()
{
    const TokenKind previous = token_.kind;
    skipBlanks();
    if (at(pos_) == u'/' && at(pos_ + 1) == u'*') {
        const qsizetype star = text_.indexOf(u'*', pos_ + 2);
        if (star < 0)
            invalidCharacter(QString());
        if (at(star + 1) != u'/')
            invalidCharacter(QStringLiteral("*"));
        pos_ = star + 2;
        skipBlanks();
    }

    token_.text.clear();
    const QChar c = at(pos_);
    if (c.isNull()) {
        token_.kind = TokenKind::End;
        return token_;
    }

    if (startsWord(c)) {
        const QString word = readWord();
        token_.text = word;
        if (word.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0) {
            token_.kind = TokenKind::Like;
        } else if (word.compare(QLatin1String("IN"), Qt::CaseInsensitive) == 0) {
            token_.kind = TokenKind::In;
        } else if (word.compare(QLatin1String("IS"), Qt::CaseInsensitive) == 0) {
            skipBlanks();
            QString second = startsWord(at(pos_)) ? readWord() : QString();
            bool negated = false;
            if (second.compare(QLatin1String("NOT"), Qt::CaseInsensitive) == 0) {
                negated = true;
                skipBlanks();
                second = startsWord(at(pos_)) ? readWord() : QString();
            }
            if (second.compare(QLatin1String("NULL"), Qt::CaseInsensitive) != 0)
                throw DatabaseError(QStringLiteral("Invalid use of keyword"));
            token_.kind = negated ? TokenKind::IsNotNull : TokenKind::IsNull;
            token_.text = negated ? QStringLiteral("IS NOT NULL") : QStringLiteral("IS NULL");
        } else {
            token_.kind = TokenKind::Symbol;
        }
        return token_;
    }

    if (c == u'[') {
        const qsizetype close = text_.indexOf(u']', pos_ + 1);
        if (close < 0)
            throw DatabaseError(QStringLiteral("Unterminated field name"));
        token_.kind = TokenKind::FieldName;
        token_.text = text_.mid(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        return token_;
    }

    if (c == u'\'') {
        QString value;
        qsizetype i = pos_ + 1;
        for (;;) {
            const QChar d = at(i);
            if (d.isNull())
                throw DatabaseError(QStringLiteral("Unterminated string constant"));
            if (d == u'\'') {
                if (at(i + 1) != u'\'')
                    break;
                ++i;
            }
            if (value.size() < maxLiteral)
                value.append(d);
            ++i;
        }
        pos_ = i + 1;
        token_.kind = TokenKind::Literal;
        token_.text = value;
        return token_;
    }

    if (c == u'-' || isDigit(c)) {
        const bool afterOperand = previous == TokenKind::Symbol ||
                                  previous == TokenKind::FieldName ||
                                  previous == TokenKind::Literal || previous == TokenKind::Number ||
                                  previous == TokenKind::RightParen;
        if (afterOperand) {
            token_.kind = TokenKind::Minus;
            token_.text = QString(c);
            ++pos_;
        } else {
            readNumber();
        }
        return token_;
    }

    struct Single
    {
        char16_t c;
        TokenKind kind;
    };
    static constexpr Single singles[] = {
        {u'(', TokenKind::LeftParen}, {u')', TokenKind::RightParen}, {u',', TokenKind::Comma},
        {u'+', TokenKind::Plus},      {u'*', TokenKind::Star},       {u'/', TokenKind::Slash},
        {u'=', TokenKind::Equal},
    };
    for (const Single& single : singles)
        if (c == single.c) {
            token_.kind = single.kind;
            token_.text = QString(c);
            ++pos_;
            return token_;
        }
    if (c == u'<' || c == u'>') {
        const QChar d = at(pos_ + 1);
        if (c == u'<' && d == u'=')
            token_.kind = TokenKind::LessEqual;
        else if (c == u'<' && d == u'>')
            token_.kind = TokenKind::NotEqual;
        else if (c == u'>' && d == u'=')
            token_.kind = TokenKind::GreaterEqual;
        else
            token_.kind = c == u'<' ? TokenKind::Less : TokenKind::Greater;
        const qsizetype length =
            (token_.kind == TokenKind::Less || token_.kind == TokenKind::Greater) ? 1 : 2;
        token_.text = text_.mid(pos_, length);
        pos_ += length;
        return token_;
    }
    invalidCharacter(QString(c));
}

} // namespace kelvora
