#pragma once

#include <QString>

namespace kelvora {

enum class TokenKind {
    End,
    Symbol,    // a word: keyword, constant, function or field name
    FieldName, // [bracketed]
    Literal,   // 'quoted'
    Number,    // numeric literal, kept as written
    Like,
    In,
    IsNull,
    IsNotNull,
    LeftParen,
    RightParen,
    Comma,
    Plus,
    Minus,
    Star,
    Slash,
    Equal,
    Less,
    LessEqual,
    NotEqual,
    Greater,
    GreaterEqual,
};

struct FilterToken
{
    TokenKind kind = TokenKind::End;
    // The word, the field name, the literal's value or the operator as written.
    QString text;
};

// Splits a filter text into tokens, one at a time. Throws DatabaseError for
// characters that start no token and for unterminated literals.
class FilterLexer
{
public:
    explicit FilterLexer(const QString& text);

    // Reads the next token and returns it.
    const FilterToken& next();
    const FilterToken& current() const { return token_; }
    // True when the next character, after blanks, is "(".
    bool parenFollows() const;

private:
    QChar at(qsizetype index) const { return index < text_.size() ? text_[index] : QChar(); }
    void skipBlanks();
    QString readWord();
    void readNumber();

    QString text_;
    qsizetype pos_ = 0;
    QChar decimal_;
    FilterToken token_;
};

} // namespace kelvora
