#pragma once

#include "fielddef.h"
#include "filterlexer.h"
#include "filternode.h"
#include "recordfilter.h"

#include <QString>
#include <memory>
#include <vector>

namespace kelvora {

// Parses and types a filter text over a table's fields and applies the
// compile-step rewrites. Throws DatabaseError with the user's message.
class FilterParser
{
public:
    FilterParser(const std::vector<FieldDef>& fields, const QString& tableName,
                 FilterOptions options);

    // The typed, rewritten tree of `text`; its root is Boolean.
    std::unique_ptr<FilterNode> parse(const QString& text);

private:
    using NodePtr = std::unique_ptr<FilterNode>;

    NodePtr newNode();
    NodePtr expression();
    NodePtr term();
    NodePtr factor();
    NodePtr comparison();
    NodePtr sum();
    NodePtr product();
    NodePtr primary();
    NodePtr call(const QString& name);
    void argumentList(std::vector<NodePtr>& into);

    NodePtr makeLogical(FilterOp op, NodePtr left, NodePtr right);
    NodePtr makeComparison(FilterOp op, NodePtr left, NodePtr right);
    NodePtr makeArithmetic(FilterOp op, NodePtr left, NodePtr right);
    void retype(FilterNode& constant, const FilterNode& field) const;
    void rewrite(NodePtr& node, bool booleanContext);

    [[noreturn]] void expected(const QString& what) const;
    bool isWord(const char* word) const;
    const FilterToken& token() const { return lexer_->current(); }
    void advance() { lexer_->next(); }

    const std::vector<FieldDef>& fields_;
    QString tableName_;
    FilterOptions options_;
    QChar decimal_;
    std::unique_ptr<FilterLexer> lexer_;
    int nodes_ = 0;
    int depth_ = 0;
};

} // namespace kelvora
