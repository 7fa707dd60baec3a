// Lexer: comments (// /* */ #), numbers (decimal, hex, octal, character, float), escapes,
// verbatim strings, operators and keywords.
#include "sqlexer.h"

#include "squtf8.h"

#include <cstdlib>
#include <unordered_map>

namespace {

const std::unordered_map<std::string, int>& Keywords() {
    static const std::unordered_map<std::string, int> k = {
        {"while", TK_WHILE},
        {"do", TK_DO},
        {"if", TK_IF},
        {"else", TK_ELSE},
        {"break", TK_BREAK},
        {"continue", TK_CONTINUE},
        {"return", TK_RETURN},
        {"null", TK_NULL},
        {"function", TK_FUNCTION},
        {"local", TK_LOCAL},
        {"for", TK_FOR},
        {"foreach", TK_FOREACH},
        {"in", TK_IN},
        {"typeof", TK_TYPEOF},
        {"base", TK_BASE},
        {"delete", TK_DELETE},
        {"try", TK_TRY},
        {"catch", TK_CATCH},
        {"throw", TK_THROW},
        {"clone", TK_CLONE},
        {"yield", TK_YIELD},
        {"resume", TK_RESUME},
        {"switch", TK_SWITCH},
        {"case", TK_CASE},
        {"default", TK_DEFAULT},
        {"this", TK_THIS},
        {"class", TK_CLASS},
        {"extends", TK_EXTENDS},
        {"constructor", TK_CONSTRUCTOR},
        {"instanceof", TK_INSTANCEOF},
        {"true", TK_TRUE},
        {"false", TK_FALSE},
        {"static", TK_STATIC},
        {"enum", TK_ENUM},
        {"const", TK_CONST},
        {"__LINE__", TK_LINE},
        {"__FILE__", TK_FILE},
        {"rawcall", TK_RAWCALL},
        {"delegate", TK_DELEGATE},
    };
    return k;
}

bool IsIdStart(int c) {
    return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsHex(int c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

SQLexer::SQLexer(SQLEXREADFUNC read, SQUserPointer up) : read_(read), up_(up) {
    column = 0;
    Next();
}

void SQLexer::Next() {
    SQInteger c = read_(up_);
    current_ = c > 0 ? int(c) : 0;
    ++column;
}

void SQLexer::Error(const std::string& message) {
    throw SQCompileError{message};
}

std::string SQLexer::TokenName(int tok) {
    for (auto& [name, t] : Keywords())
        if (t == tok) return name;
    switch (tok) {
    case TK_IDENTIFIER:
        return "IDENTIFIER";
    case TK_STRING_LITERAL:
        return "STRING_LITERAL";
    case TK_INTEGER:
        return "INTEGER";
    case TK_FLOAT:
        return "FLOAT";
    case TK_EQ:
        return "==";
    case TK_NE:
        return "!=";
    case TK_LE:
        return "<=";
    case TK_GE:
        return ">=";
    case TK_3WAYSCMP:
        return "<=>";
    case TK_AND:
        return "&&";
    case TK_OR:
        return "||";
    case TK_PLUSPLUS:
        return "++";
    case TK_MINUSMINUS:
        return "--";
    case TK_NEWSLOT:
        return "<-";
    case TK_DOUBLE_COLON:
        return "::";
    case TK_VARPARAMS:
        return "...";
    case TK_ATTR_OPEN:
        return "</";
    case TK_ATTR_CLOSE:
        return "/>";
    default:
        break;
    }
    if (tok > 0 && tok < 256) return std::string(1, char(tok));
    return "?";
}

void SQLexer::SkipBlockComment() {
    for (;;) {
        if (current_ == 0) Error("missing \"*/\" in comment");
        if (current_ == '*') {
            Next();
            if (current_ == '/') {
                Next();
                return;
            }
            continue;
        }
        if (current_ == '\n') {
            ++line;
            Next();
            column = 1;
            continue;
        }
        Next();
    }
}

void SQLexer::SkipLineComment() {
    while (current_ != '\n' && current_ != 0)
        Next();
}

int SQLexer::Lex() {
    prevTokenLine = tokenLine;
    for (;;) {
        tokenLine = line;
        int c = current_;
        switch (c) {
        case 0:
            return TK_EOF;
        case '\n':
            ++line;
            Next();
            column = 1;
            continue;
        case ' ':
        case '\t':
        case '\r':
            Next();
            continue;
        case '#':
            SkipLineComment();
            continue;
        case '/':
            Next();
            if (current_ == '*') {
                Next();
                SkipBlockComment();
                continue;
            }
            if (current_ == '/') {
                SkipLineComment();
                continue;
            }
            if (current_ == '=') {
                Next();
                return TK_DIVEQ;
            }
            if (current_ == '>') {
                Next();
                return TK_ATTR_CLOSE;
            }
            return '/';
        case '=':
            Next();
            if (current_ == '=') {
                Next();
                return TK_EQ;
            }
            return '=';
        case '<':
            Next();
            if (current_ == '=') {
                Next();
                if (current_ == '>') {
                    Next();
                    return TK_3WAYSCMP;
                }
                return TK_LE;
            }
            if (current_ == '-') {
                Next();
                return TK_NEWSLOT;
            }
            if (current_ == '<') {
                Next();
                return TK_SHIFTL;
            }
            if (current_ == '/') {
                Next();
                return TK_ATTR_OPEN;
            }
            return '<';
        case '>':
            Next();
            if (current_ == '=') {
                Next();
                return TK_GE;
            }
            if (current_ == '>') {
                Next();
                if (current_ == '>') {
                    Next();
                    return TK_USHIFTR;
                }
                return TK_SHIFTR;
            }
            return '>';
        case '!':
            Next();
            if (current_ == '=') {
                Next();
                return TK_NE;
            }
            return '!';
        case '@':
            Next();
            if (current_ == '"') return ReadString('"', true);
            return '@';
        case '"':
        case '\'':
            return ReadString(c, false);
        case '{':
        case '}':
        case '(':
        case ')':
        case '[':
        case ']':
        case ';':
        case ',':
        case '?':
        case '^':
        case '~':
            Next();
            return c;
        case '.':
            Next();
            if (current_ != '.') return '.';
            Next();
            if (current_ != '.') Error("invalid token '..'");
            Next();
            return TK_VARPARAMS;
        case '&':
            Next();
            if (current_ == '&') {
                Next();
                return TK_AND;
            }
            return '&';
        case '|':
            Next();
            if (current_ == '|') {
                Next();
                return TK_OR;
            }
            return '|';
        case ':':
            Next();
            if (current_ == ':') {
                Next();
                return TK_DOUBLE_COLON;
            }
            return ':';
        case '*':
            Next();
            if (current_ == '=') {
                Next();
                return TK_MULEQ;
            }
            return '*';
        case '%':
            Next();
            if (current_ == '=') {
                Next();
                return TK_MODEQ;
            }
            return '%';
        case '-':
            Next();
            if (current_ == '=') {
                Next();
                return TK_MINUSEQ;
            }
            if (current_ == '-') {
                Next();
                return TK_MINUSMINUS;
            }
            return '-';
        case '+':
            Next();
            if (current_ == '=') {
                Next();
                return TK_PLUSEQ;
            }
            if (current_ == '+') {
                Next();
                return TK_PLUSPLUS;
            }
            return '+';
        default:
            if (IsDigit(c)) return ReadNumber();
            if (IsIdStart(c)) return ReadIdentifier();
            Error("unexpected character");
        }
    }
}

int SQLexer::ReadIdentifier() {
    str.clear();
    while (IsIdStart(current_) || IsDigit(current_)) {
        str += char(current_);
        Next();
    }
    auto it = Keywords().find(str);
    return it == Keywords().end() ? TK_IDENTIFIER : it->second;
}

int SQLexer::ReadString(int delimiter, bool verbatim) {
    str.clear();
    Next();
    for (;;) {
        while (current_ != delimiter) {
            switch (current_) {
            case 0:
                Error("unfinished string");
            case '\n':
                if (!verbatim) Error("newline in a constant");
                str += char(current_);
                Next();
                ++line;
                column = 1;
                break;
            case '\\':
                if (verbatim) {
                    str += '\\';
                    Next();
                    break;
                }
                Next();
                switch (current_) {
                case 'x': {
                    Next();
                    if (!IsHex(current_)) Error("hexadecimal number expected");
                    std::string digits;
                    while (IsHex(current_) && digits.size() < 4) {
                        digits += char(current_);
                        Next();
                    }
                    str += char(std::strtol(digits.c_str(), nullptr, 16));
                    break;
                }
                case 'u':
                case 'U': {
                    int maxDigits = current_ == 'u' ? 4 : 8;
                    Next();
                    if (!IsHex(current_)) Error("hexadecimal number expected");
                    std::string digits;
                    while (IsHex(current_) && int(digits.size()) < maxDigits) {
                        digits += char(current_);
                        Next();
                    }
                    unsigned code = unsigned(std::strtoul(digits.c_str(), nullptr, 16));
                    sqtext::AppendUtf8(str, code);
                    break;
                }
                case 't':
                    str += '\t', Next();
                    break;
                case 'a':
                    str += '\a', Next();
                    break;
                case 'b':
                    str += '\b', Next();
                    break;
                case 'n':
                    str += '\n', Next();
                    break;
                case 'r':
                    str += '\r', Next();
                    break;
                case 'v':
                    str += '\v', Next();
                    break;
                case 'f':
                    str += '\f', Next();
                    break;
                case '0':
                    str += '\0', Next();
                    break;
                case '\\':
                    str += '\\', Next();
                    break;
                case '"':
                    str += '"', Next();
                    break;
                case '\'':
                    str += '\'', Next();
                    break;
                default:
                    Error("unrecognised escaper char");
                }
                break;
            default:
                str += char(current_);
                Next();
            }
        }
        Next();
        if (verbatim && current_ == '"') { // "" inside a verbatim string is one quote
            str += '"';
            Next();
            continue;
        }
        break;
    }
    if (delimiter == '\'') {
        if (str.empty()) Error("empty constant");
        if (str.size() > 1) Error("constant too long");
        ival = (unsigned char)str[0];
        return TK_INTEGER;
    }
    return TK_STRING_LITERAL;
}

// Digits beyond the integer's range wrap modulo 2^64, digit by digit, as scripts written for
// upstream's builds expect (9223372036854775808 is the most negative integer).
static SQInteger WrappedInteger(const std::string& digits, unsigned base) {
    uint64_t value = 0;
    for (char c : digits)
        value = value * base + uint64_t(c - '0');
    return SQInteger(value);
}

int SQLexer::ReadNumber() {
    std::string digits;
    int first = current_;
    Next();
    if (first == '0' && (current_ == 'x' || current_ == 'X')) {
        Next();
        while (IsHex(current_)) {
            digits += char(current_);
            Next();
        }
        if (digits.size() > 16) Error("too many digits for an Hex number");
        ival = SQInteger(std::strtoull(digits.c_str(), nullptr, 16));
        return TK_INTEGER;
    }
    if (first == '0' && IsDigit(current_)) {
        while (IsDigit(current_)) {
            if (current_ > '7') Error("invalid octal number");
            digits += char(current_);
            Next();
        }
        ival = WrappedInteger(digits, 8);
        return TK_INTEGER;
    }
    digits += char(first);
    bool isFloat = false;
    while (IsDigit(current_) || current_ == '.' || current_ == 'e' || current_ == 'E') {
        if (current_ == '.') isFloat = true;
        if (current_ == 'e' || current_ == 'E') {
            isFloat = true;
            digits += char(current_);
            Next();
            if (current_ == '+' || current_ == '-') {
                digits += char(current_);
                Next();
            }
            if (!IsDigit(current_)) Error("exponent expected");
            continue;
        }
        digits += char(current_);
        Next();
    }
    if (isFloat) {
        fval = SQFloat(std::strtod(digits.c_str(), nullptr));
        return TK_FLOAT;
    }
    ival = WrappedInteger(digits, 10);
    return TK_INTEGER;
}
