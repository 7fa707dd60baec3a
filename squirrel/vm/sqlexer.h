// Lexer: turns source bytes into tokens, tracking line and column for error reports.
#pragma once

#include <string>

#include "sqobject.h"

enum SQToken : int {
    TK_EOF = 0,
    // single-character tokens use their character code
    TK_IDENTIFIER = 256,
    TK_STRING_LITERAL,
    TK_INTEGER,
    TK_FLOAT,
    TK_EQ,
    TK_NE,
    TK_LE,
    TK_GE,
    TK_3WAYSCMP,
    TK_AND,
    TK_OR,
    TK_PLUSPLUS,
    TK_MINUSMINUS,
    TK_PLUSEQ,
    TK_MINUSEQ,
    TK_MULEQ,
    TK_DIVEQ,
    TK_MODEQ,
    TK_NEWSLOT,
    TK_DOUBLE_COLON,
    TK_SHIFTL,
    TK_SHIFTR,
    TK_USHIFTR,
    TK_VARPARAMS,
    TK_ATTR_OPEN,
    TK_ATTR_CLOSE,
    // keywords
    TK_WHILE,
    TK_DO,
    TK_IF,
    TK_ELSE,
    TK_BREAK,
    TK_CONTINUE,
    TK_RETURN,
    TK_NULL,
    TK_FUNCTION,
    TK_LOCAL,
    TK_FOR,
    TK_FOREACH,
    TK_IN,
    TK_TYPEOF,
    TK_BASE,
    TK_DELETE,
    TK_TRY,
    TK_CATCH,
    TK_THROW,
    TK_CLONE,
    TK_YIELD,
    TK_RESUME,
    TK_SWITCH,
    TK_CASE,
    TK_DEFAULT,
    TK_THIS,
    TK_CLASS,
    TK_EXTENDS,
    TK_CONSTRUCTOR,
    TK_INSTANCEOF,
    TK_TRUE,
    TK_FALSE,
    TK_STATIC,
    TK_ENUM,
    TK_CONST,
    TK_LINE,
    TK_FILE,
    TK_RAWCALL,
    TK_DELEGATE,
};

struct SQCompileError {
    std::string message;
};

class SQLexer {
  public:
    SQLexer(SQLEXREADFUNC read, SQUserPointer up);
    int Lex();
    [[noreturn]] void Error(const std::string& message);
    static std::string TokenName(int tok);

    std::string str; // identifier or string literal
    SQInteger ival = 0;
    SQFloat fval = 0;
    int32_t line = 1;      // line of the lookahead character
    int32_t column = 1;    // column of the lookahead character
    int32_t tokenLine = 1; // line where the last token started
    int32_t prevTokenLine = 1;

  private:
    void Next();
    int ReadString(int delimiter, bool verbatim);
    int ReadNumber();
    int ReadIdentifier();
    void SkipBlockComment();
    void SkipLineComment();

    SQLEXREADFUNC read_;
    SQUserPointer up_;
    int current_ = 0;
};
