// Compiler: recursive-descent parser that emits stack bytecode directly (one pass); the grammar
// rule of each construct stands above its function, the binary operators are one precedence table.
//
// Locals live in the frame's stack slots 0..n (slot 0 is `this`); the operand stack grows above
// them, so at every statement boundary the operand depth is zero and a new local is simply the
// value left on top. Assignable expressions are kept "pending" (ExpState) until the parser knows
// whether a load or a store follows.
#include "sqcompiler.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "sqlexer.h"
#include "sqopcodes.h"
#include "sqstate.h"
#include "sqvm.h"

namespace {

struct LocalVar {
    std::string name;
    int32_t slot;
    bool captured;
    int32_t info; // index in proto->locals
};

struct LoopInfo {
    std::vector<int32_t> breaks;
    std::vector<int32_t> continues;
    int32_t stackTop;
    int32_t trapDepth;
    bool allowContinue;
};

struct FuncState {
    FuncState* parent = nullptr;
    Value holder;
    SQFunctionProto* proto = nullptr;
    std::vector<LocalVar> locals;
    std::vector<LoopInfo> loops;
    std::map<std::pair<int, SQRawObjectVal>, int32_t> literalIndex;
    int32_t top = 0; // slots in use: locals + operands
    int32_t trapDepth = 0;
    int32_t lastLine = -1;
};

enum class ExpKind { Value, Local, Outer, Env, Field, FieldLit, Base, Enum };

struct ExpState {
    ExpKind kind = ExpKind::Value;
    int32_t index = 0;
    bool baseObject = false; // the object on the stack came from `base`
};

class Compiler {
  public:
    Compiler(SQVM* v, SQLEXREADFUNC read, SQUserPointer up, const char* source)
        : ss_(v->ss), lex_(read, up), source_(ss_->Str(source)) {}

    Value CompileMain();
    SQLexer& Lexer() { return lex_; }

  private:
    // --- emission -------------------------------------------------------------------------
    int32_t Emit(SQOpcode op, int32_t arg = 0, int a = 0, int b = 0) {
        int32_t line = forcedLine_ >= 0 ? forcedLine_ : lex_.prevTokenLine;
        if (fs_->lastLine != line) {
            fs_->proto->lines.push_back({int32_t(fs_->proto->code.size()), line});
            fs_->lastLine = line;
        }
        fs_->proto->code.push_back({uint8_t(op), uint8_t(a), uint16_t(b), arg});
        if (kOpStackEffect[op] != -99) Adjust(kOpStackEffect[op]);
        return int32_t(fs_->proto->code.size()) - 1;
    }
    void Adjust(int32_t delta) {
        fs_->top += delta;
        if (fs_->top + 1 > fs_->proto->stackSize) fs_->proto->stackSize = fs_->top + 1;
    }
    int32_t Pc() const { return int32_t(fs_->proto->code.size()); }
    void PatchTo(int32_t at, int32_t target) { fs_->proto->code[at].arg = target - (at + 1); }
    void Patch(int32_t at) { PatchTo(at, Pc()); }
    void JumpBack(SQOpcode op, int32_t target) { Emit(op, target - (Pc() + 1)); }
    int32_t Literal(const Value& v);
    int32_t StringLit(const std::string& s) { return Literal(ss_->Str(s)); }
    void PushInt(SQInteger i);
    void PushFloat(SQFloat f) { Emit(OP_PUSHLIT, Literal(Value(f))); }
    void PushValue(const Value& v);

    // --- tokens ---------------------------------------------------------------------------
    void Lex() { token_ = lex_.Lex(); }
    [[noreturn]] void ErrorExpected(int tok) { lex_.Error("expected '" + SQLexer::TokenName(tok) + "'"); }
    void Expect(int tok) {
        if (token_ != tok) {
            if (tok == TK_IDENTIFIER && token_ == TK_CONSTRUCTOR) {
                Lex();
                return;
            }
            ErrorExpected(tok);
        }
        Lex();
    }
    // `constructor` is a keyword only where a class member is declared; older scripts name
    // locals and free variables `base`
    std::string ExpectIdentifier() {
        if (token_ == TK_CONSTRUCTOR || token_ == TK_BASE) {
            std::string s = token_ == TK_BASE ? "base" : "constructor";
            Lex();
            return s;
        }
        if (token_ != TK_IDENTIFIER) ErrorExpected(TK_IDENTIFIER);
        std::string s = lex_.str;
        Lex();
        return s;
    }
    void OptionalSemicolon();

    // --- scopes ---------------------------------------------------------------------------
    int32_t DeclareLocal(const std::string& name);
    int32_t FindLocal(FuncState* fs, const std::string& name);
    int32_t FindOuter(FuncState* fs, const std::string& name);
    void EndScope(size_t localCount);
    void PopLocalsTo(size_t localCount, bool emit);

    // --- statements -----------------------------------------------------------------------
    void Statement(bool closeFrame = true);
    void Block();
    void StatementsUntil(int endTok);
    void IfStatement();
    void WhileStatement();
    void DoWhileStatement();
    void ForStatement();
    void ForeachStatement();
    void SwitchStatement();
    void LocalStatement();
    void FunctionStatement();
    void ClassStatement();
    void EnumStatement();
    void ConstStatement();
    void TryStatement();
    void ReturnStatement(bool isYield);
    void BreakContinue(bool isBreak);
    void BeginLoop(bool allowContinue);
    void EndLoop(int32_t continueTarget, int32_t breakTarget);

    // --- expressions ----------------------------------------------------------------------
    void Expression();
    void CommaExpression();
    ExpState ExpressionState();
    void Materialize(ExpState& e);
    void Assign(ExpState& e, int tok);
    void BinaryOperators(int minPrecedence);
    void Ternary();
    ExpState Unary();
    ExpState Postfix();
    ExpState Primary();
    void Call(ExpState& e);
    void InitializerBlock();
    int32_t Arguments();
    void TableLiteral(int endTok);
    void ArrayLiteral();
    void FunctionExpr(const std::string& name, bool lambda);
    void BoundFunctionExpr();
    void FunctionBody(const std::string& name, bool lambda);
    void ClassBody();
    void Attributes();
    void ResolveName(const std::string& name, ExpState& e);
    void IncDec(ExpState& e, int delta, bool postfix);
    bool ConstantValue(const std::string& name, Value& out);
    Value ParseConstantScalar();

    SQSharedState* ss_;
    SQLexer lex_;
    Value source_;
    FuncState* fs_ = nullptr;
    int token_ = 0;
    int32_t forcedLine_ = -1; // line recorded for the next instruction instead of the current one
    std::string enumName_;    // the first operand of the binary chain is already parsed
};

// ---------------------------------------------------------------------------------------------
// emission helpers

int32_t Compiler::Literal(const Value& v) {
    auto key = std::make_pair(int(v._type), v._unVal.raw);
    auto it = fs_->literalIndex.find(key);
    if (it != fs_->literalIndex.end()) return it->second;
    int32_t idx = int32_t(fs_->proto->literals.size());
    fs_->proto->literals.push_back(v);
    fs_->literalIndex[key] = idx;
    return idx;
}

void Compiler::PushInt(SQInteger i) {
    if (i >= INT32_MIN && i <= INT32_MAX) {
        Emit(OP_PUSHINT, int32_t(i));
    } else {
        Emit(OP_PUSHLIT, Literal(Value(i)));
    }
}

void Compiler::PushValue(const Value& v) {
    switch (v._type) {
    case OT_NULL:
        Emit(OP_PUSHNULL);
        break;
    case OT_BOOL:
        Emit(OP_PUSHBOOL, 0, v._unVal.raw ? 1 : 0);
        break;
    case OT_INTEGER:
        PushInt(v.Int());
        break;
    default:
        Emit(OP_PUSHLIT, Literal(v));
        break;
    }
}

void Compiler::OptionalSemicolon() {
    if (token_ == ';') {
        Lex();
        return;
    }
    if (token_ != '}' && token_ != TK_EOF && lex_.prevTokenLine == lex_.tokenLine) {
        lex_.Error("end of statement expected (; or lf)");
    }
}

// ---------------------------------------------------------------------------------------------
// scopes

int32_t Compiler::DeclareLocal(const std::string& name) {
    int32_t slot = int32_t(fs_->locals.size());
    int32_t info = int32_t(fs_->proto->locals.size());
    fs_->proto->locals.push_back({ss_->Str(name), slot, Pc(), -1});
    fs_->locals.push_back({name, slot, false, info});
    return slot;
}

int32_t Compiler::FindLocal(FuncState* fs, const std::string& name) {
    for (int32_t i = int32_t(fs->locals.size()) - 1; i >= 0; --i)
        if (fs->locals[i].name == name) return i;
    return -1;
}

int32_t Compiler::FindOuter(FuncState* fs, const std::string& name) {
    auto& names = fs->proto->outerNames;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].As<SQString>()->View() == name) return int32_t(i);
    if (!fs->parent) return -1;
    int32_t local = FindLocal(fs->parent, name);
    SQOuterInfo info;
    if (local >= 0) {
        fs->parent->locals[local].captured = true;
        info = {true, fs->parent->locals[local].slot};
    } else {
        int32_t outer = FindOuter(fs->parent, name);
        if (outer < 0) return -1;
        info = {false, outer};
    }
    fs->proto->outers.push_back(info);
    names.push_back(ss_->Str(name));
    return int32_t(names.size()) - 1;
}

// Ends the locals declared after `localCount`: closes captured ones and pops their slots.
void Compiler::PopLocalsTo(size_t localCount, bool emit) {
    if (emit) {
        bool captured = false;
        for (size_t i = localCount; i < fs_->locals.size(); ++i)
            captured |= fs_->locals[i].captured;
        int32_t n = int32_t(fs_->locals.size() - localCount);
        if (captured) Emit(OP_CLOSE, int32_t(localCount));
        if (n > 0) {
            Emit(OP_POPN, n);
        }
    }
}

void Compiler::EndScope(size_t localCount) {
    PopLocalsTo(localCount, true);
    int32_t n = int32_t(fs_->locals.size() - localCount);
    for (size_t i = localCount; i < fs_->locals.size(); ++i)
        fs_->proto->locals[fs_->locals[i].info].endOp = Pc();
    fs_->locals.resize(localCount);
    Adjust(-n);
}

// ---------------------------------------------------------------------------------------------
// statements

// script := { statement } EOF   (the body of the `main` function, with `vargv`)
Value Compiler::CompileMain() {
    FuncState fs;
    fs.proto = NewObject<SQFunctionProto>(ss_);
    fs.holder = Value(OT_FUNCPROTO, fs.proto);
    fs.proto->name = ss_->Str("main");
    fs.proto->source = source_;
    fs.proto->varParams = true;
    fs.proto->nparams = 1;
    fs_ = &fs;
    DeclareLocal("this");
    DeclareLocal("vargv");
    fs.top = 2;
    fs.proto->stackSize = 3;
    Lex();
    StatementsUntil(TK_EOF);
    Emit(OP_RETURNNULL);
    for (auto& l : fs.locals)
        fs.proto->locals[l.info].endOp = Pc();
    return fs.holder;
}

// { statement } up to endTok, which is left for the caller
void Compiler::StatementsUntil(int endTok) {
    while (token_ != endTok) {
        if (token_ == TK_EOF) lex_.Error("expression expected");
        Statement();
    }
}

// block := '{' { statement } '}'
void Compiler::Block() {
    Expect('{');
    size_t n = fs_->locals.size();
    StatementsUntil('}');
    Lex();
    EndScope(n);
}

// statement := ';' | block | if | while | dowhile | for | foreach | switch | local | return
//            | yield | break | continue | function | class | enum | const | try
//            | 'throw' expression | commaexpr
void Compiler::Statement(bool) {
    switch (token_) {
    case ';':
        Lex();
        return;
    case TK_IF:
        IfStatement();
        return;
    case TK_WHILE:
        WhileStatement();
        return;
    case TK_DO:
        DoWhileStatement();
        return;
    case TK_FOR:
        ForStatement();
        return;
    case TK_FOREACH:
        ForeachStatement();
        return;
    case TK_SWITCH:
        SwitchStatement();
        return;
    case TK_LOCAL:
        LocalStatement();
        return;
    case TK_RETURN:
        ReturnStatement(false);
        return;
    case TK_YIELD:
        ReturnStatement(true);
        return;
    case TK_BREAK:
        BreakContinue(true);
        return;
    case TK_CONTINUE:
        BreakContinue(false);
        return;
    case TK_FUNCTION:
        FunctionStatement();
        return;
    case TK_CLASS:
        ClassStatement();
        return;
    case TK_ENUM:
        EnumStatement();
        return;
    case TK_CONST:
        ConstStatement();
        return;
    case TK_TRY:
        TryStatement();
        return;
    case '{':
        Block();
        return;
    case TK_THROW:
        Lex();
        Expression();
        Emit(OP_THROW);
        OptionalSemicolon();
        return;
    default:
        CommaExpression();
        Emit(OP_POP);
        OptionalSemicolon();
        return;
    }
}

// if := 'if' '(' expression ')' statement [ 'else' statement ]
void Compiler::IfStatement() {
    Lex();
    Expect('(');
    Expression();
    Expect(')');
    int32_t jz = Emit(OP_JZ);
    Statement();
    if (token_ == TK_ELSE) {
        int32_t jmp = Emit(OP_JMP);
        Patch(jz);
        Lex();
        Statement();
        Patch(jmp);
        return;
    }
    Patch(jz);
}

void Compiler::BeginLoop(bool allowContinue) {
    fs_->loops.push_back({{}, {}, fs_->top, fs_->trapDepth, allowContinue});
}

void Compiler::EndLoop(int32_t continueTarget, int32_t breakTarget) {
    LoopInfo loop = std::move(fs_->loops.back());
    fs_->loops.pop_back();
    for (int32_t at : loop.continues)
        PatchTo(at, continueTarget);
    for (int32_t at : loop.breaks)
        PatchTo(at, breakTarget);
}

// while := 'while' '(' expression ')' statement
void Compiler::WhileStatement() {
    Lex();
    int32_t start = Pc();
    Expect('(');
    Expression();
    Expect(')');
    int32_t jz = Emit(OP_JZ);
    BeginLoop(true);
    Statement();
    JumpBack(OP_JMP, start);
    Patch(jz);
    EndLoop(start, Pc());
}

// dowhile := 'do' statement 'while' '(' expression ')'
void Compiler::DoWhileStatement() {
    Lex();
    int32_t start = Pc();
    BeginLoop(true);
    Statement();
    if (token_ != TK_WHILE) ErrorExpected(TK_WHILE);
    int32_t cond = Pc();
    Lex();
    Expect('(');
    Expression();
    Expect(')');
    JumpBack(OP_JNZ, start);
    EndLoop(cond, Pc());
}

// for := 'for' '(' [ local | commaexpr ] ';' [ expression ] ';' [ commaexpr ] ')' statement
void Compiler::ForStatement() {
    Lex();
    size_t scope = fs_->locals.size();
    Expect('(');
    if (token_ == TK_LOCAL) {
        LocalStatement();
    } else if (token_ != ';') {
        Expression();
        Emit(OP_POP);
        while (token_ == ',') {
            Lex();
            Expression();
            Emit(OP_POP);
        }
        Expect(';');
    } else {
        Lex();
    }
    int32_t condStart = Pc();
    int32_t jz = -1;
    if (token_ != ';') {
        Expression();
        jz = Emit(OP_JZ);
    }
    Expect(';');
    // the increment is compiled after the body: remember its code and splice it
    int32_t incStart = Pc();
    if (token_ != ')') {
        Expression();
        Emit(OP_POP);
        while (token_ == ',') {
            Lex();
            Expression();
            Emit(OP_POP);
        }
    }
    Expect(')');
    std::vector<SQInstruction> incCode(fs_->proto->code.begin() + incStart, fs_->proto->code.end());
    fs_->proto->code.resize(incStart);
    BeginLoop(true);
    Statement();
    int32_t contTarget = Pc();
    for (auto& ins : incCode)
        fs_->proto->code.push_back(ins);
    JumpBack(OP_JMP, condStart);
    if (jz >= 0) Patch(jz);
    EndLoop(contTarget, Pc());
    EndScope(scope);
}

// foreach := 'foreach' '(' [ IDENT ',' ] IDENT 'in' expression ')' statement
void Compiler::ForeachStatement() {
    Lex();
    Expect('(');
    std::string first = ExpectIdentifier();
    std::string keyName, valName = first;
    if (token_ == ',') {
        Lex();
        keyName = first;
        valName = ExpectIdentifier();
    }
    Expect(TK_IN);
    size_t scope = fs_->locals.size();
    Expression();
    Expect(')');
    // slots: container (hidden), key, value, iterator; the debug names match upstream's reports
    int32_t base = DeclareLocal("@container");
    Emit(OP_PUSHNULL);
    DeclareLocal(keyName.empty() ? "@INDEX@" : keyName);
    Emit(OP_PUSHNULL);
    DeclareLocal(valName);
    Emit(OP_PUSHNULL);
    DeclareLocal("@ITERATOR@");
    Emit(OP_FOREACHPREP, base);
    int32_t loop = Emit(OP_FOREACH, 0, 0, base);
    BeginLoop(true);
    Statement();
    JumpBack(OP_JMP, loop);
    Patch(loop);
    EndLoop(loop, Pc());
    EndScope(scope);
}

// switch := 'switch' '(' expression ')' '{' { 'case' expression ':' { statement } }
//           [ 'default' ':' { statement } ] '}'
void Compiler::SwitchStatement() {
    Lex();
    Expect('(');
    size_t scope = fs_->locals.size();
    Expression();
    Expect(')');
    int32_t subject = DeclareLocal("@switch");
    Expect('{');
    BeginLoop(false);
    int32_t nextCase = -1;
    int32_t fallThrough = -1;
    while (token_ == TK_CASE) {
        Lex();
        if (nextCase >= 0) Patch(nextCase);
        Emit(OP_LOAD, subject);
        Expression();
        Expect(':');
        Emit(OP_EQ);
        nextCase = Emit(OP_JZ);
        if (fallThrough >= 0) Patch(fallThrough);
        size_t caseScope = fs_->locals.size();
        while (token_ != TK_CASE && token_ != TK_DEFAULT && token_ != '}')
            Statement();
        EndScope(caseScope);
        fallThrough = Emit(OP_JMP);
    }
    if (nextCase >= 0) Patch(nextCase);
    if (fallThrough >= 0) Patch(fallThrough);
    if (token_ == TK_DEFAULT) {
        Lex();
        Expect(':');
        size_t caseScope = fs_->locals.size();
        while (token_ != '}')
            Statement();
        EndScope(caseScope);
    }
    Expect('}');
    int32_t end = Pc();
    EndLoop(end, end);
    EndScope(scope);
}

// local := 'local' 'function' IDENT funcbody
//        | 'local' IDENT [ '=' expression ] { ',' IDENT [ '=' expression ] }
void Compiler::LocalStatement() {
    Lex();
    if (token_ == TK_FUNCTION) {
        Lex();
        std::string name = ExpectIdentifier();
        Emit(OP_PUSHNULL);
        int32_t slot = DeclareLocal(name);
        FunctionExpr(name, false);
        Emit(OP_STORE, slot);
        Emit(OP_POP);
        return;
    }
    for (;;) {
        std::string name = ExpectIdentifier();
        if (token_ == '=') {
            Lex();
            Expression();
        } else {
            Emit(OP_PUSHNULL);
        }
        DeclareLocal(name);
        if (token_ != ',') break;
        Lex();
    }
    OptionalSemicolon();
}

// return := ( 'return' | 'yield' ) [ commaexpr ]   (the value starts on the same line)
void Compiler::ReturnStatement(bool isYield) {
    Lex();
    if (isYield) fs_->proto->generator = true;
    bool hasValue =
        token_ != ';' && token_ != '}' && token_ != TK_EOF && lex_.tokenLine == lex_.prevTokenLine;
    if (isYield) {
        if (hasValue)
            Expression();
        else
            Emit(OP_PUSHNULL);
        Emit(OP_YIELD);
        Emit(OP_POP);
    } else if (hasValue) {
        CommaExpression();
        auto& code = fs_->proto->code;
        if (!code.empty() && code.back().op == OP_CALL && fs_->trapDepth == 0 && !fs_->proto->generator) {
            code.back().op = OP_TAILCALL;
        }
        Emit(OP_RETURN);
    } else {
        Emit(OP_RETURNNULL);
    }
    OptionalSemicolon();
}

// break := 'break'      continue := 'continue'
void Compiler::BreakContinue(bool isBreak) {
    const char* what = isBreak ? "'break' has to be in a loop block" : "'continue' has to be in a loop block";
    LoopInfo* loop = nullptr;
    for (int32_t i = int32_t(fs_->loops.size()) - 1; i >= 0; --i) {
        if (isBreak || fs_->loops[i].allowContinue) {
            loop = &fs_->loops[i];
            break;
        }
    }
    if (!loop) lex_.Error(what);
    Lex();
    for (int32_t i = fs_->trapDepth; i > loop->trapDepth; --i)
        Emit(OP_POPTRAP);
    int32_t extra = fs_->top - loop->stackTop;
    bool captured = false;
    for (size_t i = size_t(loop->stackTop); i < fs_->locals.size(); ++i)
        captured |= fs_->locals[i].captured;
    if (captured) Emit(OP_CLOSE, loop->stackTop);
    if (extra > 0) {
        Emit(OP_POPN, extra);
    }
    int32_t jmp = Emit(OP_JMP);
    (isBreak ? loop->breaks : loop->continues).push_back(jmp);
    OptionalSemicolon();
}

// function := 'function' IDENT { '::' IDENT } funcbody
void Compiler::FunctionStatement() {
    Lex();
    std::string name = ExpectIdentifier();
    Emit(OP_LOAD, 0);
    Emit(OP_PUSHLIT, StringLit(name));
    while (token_ == TK_DOUBLE_COLON) {
        Lex();
        Emit(OP_GET);
        name = ExpectIdentifier();
        Emit(OP_PUSHLIT, StringLit(name));
    }
    FunctionExpr(name, false);
    Emit(OP_NEWSLOT);
    Emit(OP_POP);
}

// class := 'class' postfix classbody   (the postfix names the new slot)
void Compiler::ClassStatement() {
    Lex();
    ExpState e = Postfix();
    if (e.kind == ExpKind::Env) {
        Emit(OP_LOAD, 0);
        Emit(OP_PUSHLIT, e.index);
    } else if (e.kind == ExpKind::FieldLit) {
        Emit(OP_PUSHLIT, e.index);
    } else if (e.kind != ExpKind::Field) {
        lex_.Error("invalid class name");
    }
    ClassBody();
    Emit(OP_NEWSLOT);
    Emit(OP_POP);
}

// scalar := [ '-' ] ( INTEGER | FLOAT ) | STRING | 'true' | 'false' | 'null'
Value Compiler::ParseConstantScalar() {
    Value v;
    bool negative = false;
    if (token_ == '-') {
        negative = true;
        Lex();
    }
    switch (token_) {
    case TK_INTEGER:
        v = Value(negative ? -lex_.ival : lex_.ival);
        break;
    case TK_FLOAT:
        v = Value(negative ? -lex_.fval : lex_.fval);
        break;
    case TK_STRING_LITERAL:
        if (negative) lex_.Error("scalar expected : integer, float or string");
        v = ss_->Str(lex_.str);
        break;
    case TK_TRUE:
        v = Value(true);
        break;
    case TK_FALSE:
        v = Value(false);
        break;
    case TK_NULL:
        break;
    default:
        lex_.Error("scalar expected : integer, float or string");
    }
    Lex();
    return v;
}

// enum := 'enum' IDENT '{' { IDENT [ '=' scalar ] [ ',' ] } '}'
void Compiler::EnumStatement() {
    Lex();
    std::string name = ExpectIdentifier();
    Expect('{');
    SQTable* table = NewObject<SQTable>(ss_);
    Value holder(OT_TABLE, table);
    SQInteger next = 0;
    while (token_ != '}') {
        std::string key = ExpectIdentifier();
        Value val;
        if (token_ == '=') {
            Lex();
            val = ParseConstantScalar();
        } else {
            val = Value(next++);
        }

        table->Set(ss_->Str(key), val);
        if (token_ == ',') Lex();
    }
    Lex();
    ss_->constTable.As<SQTable>()->Set(ss_->Str(name), holder);
}

// const := 'const' IDENT '=' scalar
void Compiler::ConstStatement() {
    Lex();
    std::string name = ExpectIdentifier();
    Expect('=');
    Value val = ParseConstantScalar();
    OptionalSemicolon();
    ss_->constTable.As<SQTable>()->Set(ss_->Str(name), val);
}

// try := 'try' statement 'catch' '(' IDENT ')' statement
void Compiler::TryStatement() {
    Lex();
    int32_t trap = Emit(OP_TRAP);
    fs_->trapDepth++;
    Statement();
    fs_->trapDepth--;
    Emit(OP_POPTRAP);
    int32_t jmp = Emit(OP_JMP);
    Patch(trap);
    if (token_ != TK_CATCH) ErrorExpected(TK_CATCH);
    Lex();
    Expect('(');
    std::string name = ExpectIdentifier();
    Expect(')');
    size_t scope = fs_->locals.size();
    Adjust(1); // the VM pushes the error value
    DeclareLocal(name);
    Statement();
    EndScope(scope);
    Patch(jmp);
}

// ---------------------------------------------------------------------------------------------
// expressions

// An expression whose value ends on the stack.
void Compiler::Expression() {
    ExpState e = ExpressionState();
    Materialize(e);
}

// commaexpr := expression { ',' expression }   (the value of the last one)
void Compiler::CommaExpression() {
    Expression();
    while (token_ == ',') {
        Lex();
        Emit(OP_POP);
        Expression();
    }
}

// Loads a pending (assignable) expression's value.
void Compiler::Materialize(ExpState& e) {
    switch (e.kind) {
    case ExpKind::Value:
        break;
    case ExpKind::Local:
        Emit(OP_LOAD, e.index);
        break;
    case ExpKind::Outer:
        Emit(OP_LOADOUTER, e.index);
        break;
    case ExpKind::Env:
        Emit(OP_GETENV, e.index);
        break;
    case ExpKind::Field:
        Emit(OP_GET);
        break;
    case ExpKind::FieldLit:
        Emit(OP_GETK, e.index);
        break;
    case ExpKind::Base:
        Emit(OP_LOADBASE);
        break;
    case ExpKind::Enum:
        Emit(OP_PUSHLIT, e.index);
        break;
    }
    e.kind = ExpKind::Value;
}

// expression := unary assignop expression | binary [ '?' expression ':' expression ]
// assignop   := '=' | '<-' | '+=' | '-=' | '*=' | '/=' | '%='
ExpState Compiler::ExpressionState() {
    ExpState lhs = Unary();
    switch (token_) {
    case '=':
    case TK_NEWSLOT:
    case TK_PLUSEQ:
    case TK_MINUSEQ:
    case TK_MULEQ:
    case TK_DIVEQ:
    case TK_MODEQ: {
        int tok = token_;
        Lex();
        Assign(lhs, tok);
        return lhs;
    }
    default:
        break;
    }
    Materialize(lhs);
    BinaryOperators(1);
    Ternary();
    return lhs;
}

void Compiler::Assign(ExpState& e, int tok) {
    SQOpcode arith = OP_ADD;
    switch (tok) {
    case TK_MINUSEQ:
        arith = OP_SUB;
        break;
    case TK_MULEQ:
        arith = OP_MUL;
        break;
    case TK_DIVEQ:
        arith = OP_DIV;
        break;
    case TK_MODEQ:
        arith = OP_MOD;
        break;
    default:
        break;
    }
    bool compound = tok != '=' && tok != TK_NEWSLOT;
    if (e.baseObject && e.kind == ExpKind::Field) lex_.Error("can't assign expression");
    switch (e.kind) {
    case ExpKind::Local:
    case ExpKind::Outer: {
        if (tok == TK_NEWSLOT) lex_.Error("can't 'create' a local slot");
        bool local = e.kind == ExpKind::Local;
        if (compound) Emit(local ? OP_LOAD : OP_LOADOUTER, e.index);
        Expression();
        if (compound) Emit(arith);
        Emit(local ? OP_STORE : OP_STOREOUTER, e.index);
        break;
    }
    case ExpKind::Env:
        if (tok == TK_NEWSLOT) {
            Emit(OP_LOAD, 0);
            Emit(OP_PUSHLIT, e.index);
            Expression();
            Emit(OP_NEWSLOT);
            break;
        }
        if (compound) Emit(OP_GETENV, e.index);
        Expression();
        if (compound) Emit(arith);
        Emit(OP_SETENV, e.index);
        break;
    case ExpKind::FieldLit:
        Emit(OP_PUSHLIT, e.index);
        [[fallthrough]];
    case ExpKind::Field:
        if (compound) {
            Emit(OP_DUP2);
            Emit(OP_GET);
        }
        Expression();
        if (compound) Emit(arith);
        Emit(tok == TK_NEWSLOT ? OP_NEWSLOT : OP_SET);
        break;
    default:
        lex_.Error("can't assign expression");
    }
    e.kind = ExpKind::Value;
}

// The binary operators, loosest first; all are left-associative.
struct BinaryOperator {
    int token;
    SQOpcode op;
    int precedence;
};

// one precedence level per line
// clang-format off
constexpr BinaryOperator kBinaryOperators[] = {
    {TK_OR, OP_ORJ, 1},
    {TK_AND, OP_ANDJ, 2},
    {'|', OP_BITOR, 3},
    {'^', OP_BITXOR, 4},
    {'&', OP_BITAND, 5},
    {TK_EQ, OP_EQ, 6}, {TK_NE, OP_NE, 6}, {TK_3WAYSCMP, OP_CMP3, 6},
    {'<', OP_LT, 7}, {'>', OP_GT, 7}, {TK_LE, OP_LE, 7}, {TK_GE, OP_GE, 7}, {TK_IN, OP_IN, 7},
        {TK_INSTANCEOF, OP_INSTANCEOF, 7},
    {TK_SHIFTL, OP_SHL, 8}, {TK_SHIFTR, OP_SHR, 8}, {TK_USHIFTR, OP_USHR, 8},
    {'+', OP_ADD, 9}, {'-', OP_SUB, 9},
    {'*', OP_MUL, 10}, {'/', OP_DIV, 10}, {'%', OP_MOD, 10},
};
// clang-format on

const BinaryOperator* FindBinaryOperator(int token) {
    for (const BinaryOperator& b : kBinaryOperators)
        if (b.token == token) return &b;
    return nullptr;
}

// binary := unary { binop unary }   (precedence climbing over kBinaryOperators)
// The left operand is already on the stack; this consumes the operators of at least `minPrecedence`.
void Compiler::BinaryOperators(int minPrecedence) {
    for (;;) {
        const BinaryOperator* b = FindBinaryOperator(token_);
        if (!b || b->precedence < minPrecedence) return;
        Lex();
        bool shortCircuit = b->op == OP_ORJ || b->op == OP_ANDJ;
        int32_t jump = -1;
        if (shortCircuit) {
            jump = Emit(b->op); // keeps the left value when it decides, else pops it
            Adjust(-1);
        }
        ExpState right = Unary();
        Materialize(right);
        BinaryOperators(b->precedence + 1);
        if (shortCircuit)
            Patch(jump);
        else
            Emit(b->op);
    }
}

// The condition is on the stack: `? expression : expression` follows, or nothing.
void Compiler::Ternary() {
    if (token_ != '?') return;
    Lex();
    int32_t jz = Emit(OP_JZ);
    Expression();
    Adjust(-1);
    Expect(':');
    int32_t jmp = Emit(OP_JMP);
    Patch(jz);
    Expression();
    Patch(jmp);
}

// unary := ( '-' | '!' | '~' | 'typeof' | 'clone' | 'resume' ) unary | ( '++' | '--' ) unary
//        | 'delete' postfix | postfix
ExpState Compiler::Unary() {
    ExpState e;
    switch (token_) {
    case '-': {
        Lex();
        ExpState p = Unary();
        Materialize(p);
        Emit(OP_NEG);
        return e;
    }
    case '!':
    case '~':
    case TK_TYPEOF:
    case TK_CLONE:
    case TK_RESUME: {
        int tok = token_;
        Lex();
        ExpState p = Unary();
        Materialize(p);
        Emit(tok == '!'         ? OP_NOT
             : tok == '~'       ? OP_BWNOT
             : tok == TK_TYPEOF ? OP_TYPEOF
             : tok == TK_CLONE  ? OP_CLONE
                                : OP_RESUME);
        return e;
    }
    case TK_PLUSPLUS:
    case TK_MINUSMINUS: {
        int delta = token_ == TK_PLUSPLUS ? 1 : -1;
        Lex();
        ExpState p = Unary();
        IncDec(p, delta, false);
        return e;
    }
    case TK_DELETE: {
        Lex();
        ExpState p = Postfix();
        if (p.kind == ExpKind::Env) {
            Emit(OP_LOAD, 0);
            Emit(OP_PUSHLIT, p.index);
        } else if (p.kind == ExpKind::FieldLit) {
            Emit(OP_PUSHLIT, p.index);
        } else if (p.kind != ExpKind::Field) {
            lex_.Error("can't delete an expression");
        }
        Emit(OP_DELETE);
        return e;
    }
    default:
        return Postfix();
    }
}

// The '++' or '--' of a pending expression, prefix or postfix.
void Compiler::IncDec(ExpState& e, int delta, bool postfix) {
    int sign = delta > 0 ? 1 : 0;
    if (e.baseObject) lex_.Error("can't '++' or '--' an expression");
    switch (e.kind) {
    case ExpKind::Local:
        Emit(OP_INCL, e.index, postfix, sign);
        break;
    case ExpKind::Outer:
        Emit(OP_INCOUTER, e.index, postfix, sign);
        break;
    case ExpKind::Env:
        Emit(OP_LOAD, 0);
        Emit(OP_PUSHLIT, e.index);
        Emit(OP_INC, 0, postfix, sign);
        break;
    case ExpKind::FieldLit:
        Emit(OP_PUSHLIT, e.index);
        [[fallthrough]];
    case ExpKind::Field:
        Emit(OP_INC, 0, postfix, sign);
        break;
    default:
        lex_.Error("can't '++' or '--' an expression");
    }
    e.kind = ExpKind::Value;
}

// postfix := primary { '.' IDENT | '[' expression ']' | call | '++' | '--' }
// '[', '++' and '--' on a new line start a new statement instead.
ExpState Compiler::Postfix() {
    ExpState e = Primary();
    for (;;) {
        switch (token_) {
        case '.': {
            Lex();
            if (e.kind == ExpKind::Enum) {
                std::string member = token_ == TK_CONSTRUCTOR ? "constructor" : lex_.str;
                Value val;
                bool name = token_ == TK_IDENTIFIER || token_ == TK_CONSTRUCTOR;
                if (!name ||
                    !fs_->proto->literals[size_t(e.index)].As<SQTable>()->Get(ss_->Str(member), val)) {
                    lex_.Error("invalid constant [" + enumName_ + "." + member + "]");
                }
                Lex();
                PushValue(val);
                e.kind = ExpKind::Value;
                break;
            }
            bool fromBase = e.kind == ExpKind::Base;
            Materialize(e);
            if (token_ == TK_BASE) ErrorExpected(TK_IDENTIFIER);
            std::string name = ExpectIdentifier();
            e.kind = ExpKind::FieldLit;
            e.index = StringLit(name);
            e.baseObject = fromBase;
            break;
        }
        case '[': {
            if (lex_.tokenLine != lex_.prevTokenLine) return e; // a new statement starting with '['
            Lex();
            bool fromBase = e.kind == ExpKind::Base;
            Materialize(e);
            Expression();
            Expect(']');
            e.kind = ExpKind::Field;
            e.baseObject = fromBase;
            break;
        }
        case '(':
            if (lex_.tokenLine != lex_.prevTokenLine && e.kind != ExpKind::Value) {
                // Squirrel treats a call on the next line as a call anyway
            }
            Call(e);
            break;
        case TK_PLUSPLUS:
        case TK_MINUSMINUS: {
            if (lex_.tokenLine != lex_.prevTokenLine) return e;
            int delta = token_ == TK_PLUSPLUS ? 1 : -1;
            Lex();
            IncDec(e, delta, true);
            return e;
        }
        default:
            return e;
        }
    }
}

// call := '(' arguments ')' [ initializer ]
void Compiler::Call(ExpState& e) {
    switch (e.kind) {
    case ExpKind::FieldLit:
        if (e.baseObject) {
            Emit(OP_GETK, e.index);
            Emit(OP_LOAD, 0);
        } else {
            Emit(OP_GETMETHOD, e.index);
        }
        break;
    case ExpKind::Field:
        if (e.baseObject) {
            Emit(OP_GET);
            Emit(OP_LOAD, 0);
        } else {
            Emit(OP_GETMETHODK);
        }
        break;
    default:
        Materialize(e);
        Emit(OP_LOAD, 0);
        break;
    }
    int32_t callLine = lex_.tokenLine; // a call reports the line of its '('
    Lex();
    int32_t nargs = Arguments();
    forcedLine_ = callLine;
    Emit(OP_CALL, nargs + 1);
    forcedLine_ = -1;
    Adjust(-(nargs + 1));
    e.kind = ExpKind::Value;
    if (token_ == '{') InitializerBlock();
}

// initializer := '{' { ( IDENT | '[' expression ']' ) '=' expression [ ',' ] } '}'
// `call() { key = value, ... }` assigns slots of the call's result, which stays on the stack.
void Compiler::InitializerBlock() {
    Lex();
    while (token_ != '}') {
        Emit(OP_DUP);
        if (token_ == '[') {
            Lex();
            Expression();
            Expect(']');
        } else {
            Emit(OP_PUSHLIT, StringLit(ExpectIdentifier()));
        }
        Expect('=');
        Expression();
        Emit(OP_SET);
        Emit(OP_POP);
        if (token_ == ',') Lex();
    }
    Lex();
}

// arguments := [ expression { [ ',' ] expression } ]   (the closing ')' is consumed)
int32_t Compiler::Arguments() {
    int32_t n = 0;
    while (token_ != ')') {
        Expression();
        ++n;
        if (token_ == ',') {
            Lex();
            if (token_ == ')') lex_.Error("expression expected, found ')'");
        }
    }
    Lex();
    return n;
}

bool Compiler::ConstantValue(const std::string& name, Value& out) {
    SQTable* consts = ss_->constTable.As<SQTable>();
    return consts->Get(ss_->Str(name), out);
}

// A name is a local, an outer, a constant or enum, `vargc`, or else a slot of `this`/the root.
void Compiler::ResolveName(const std::string& name, ExpState& e) {
    int32_t local = FindLocal(fs_, name);
    if (local >= 0) {
        e.kind = ExpKind::Local;
        e.index = fs_->locals[local].slot;
        return;
    }
    int32_t outer = FindOuter(fs_, name);
    if (outer >= 0) {
        e.kind = ExpKind::Outer;
        e.index = outer;
        return;
    }
    Value constant;
    if (ConstantValue(name, constant)) {
        if (constant._type == OT_TABLE) { // an enum: members are folded at compile time
            e.kind = ExpKind::Enum;
            e.index = Literal(constant);
            enumName_ = name;
            return;
        }
        PushValue(constant);
        e.kind = ExpKind::Value;
        return;
    }
    if (name == "vargc" && fs_->proto->varParams) {
        Emit(OP_VARGC);
        e.kind = ExpKind::Value;
        return;
    }
    e.kind = ExpKind::Env;
    e.index = StringLit(name);
}

// primary := STRING | INTEGER | FLOAT | 'null' | 'true' | 'false' | '__LINE__' | '__FILE__'
//          | 'this' | 'base' | IDENT | '::' IDENT | '(' commaexpr ')' | '[' array | '{' table
//          | 'function' funcbody | boundfunction | '@' funcbody | 'class' classbody
//          | 'delegate' expression ':' expression | 'rawcall' '(' arguments ')'
ExpState Compiler::Primary() {
    ExpState e;
    switch (token_) {
    case TK_STRING_LITERAL:
        Emit(OP_PUSHLIT, StringLit(lex_.str));
        Lex();
        return e;
    case TK_INTEGER:
        PushInt(lex_.ival);
        Lex();
        return e;
    case TK_FLOAT:
        PushFloat(lex_.fval);
        Lex();
        return e;
    case TK_NULL:
        Emit(OP_PUSHNULL);
        Lex();
        return e;
    case TK_TRUE:
        Emit(OP_PUSHBOOL, 0, 1);
        Lex();
        return e;
    case TK_FALSE:
        Emit(OP_PUSHBOOL, 0, 0);
        Lex();
        return e;
    case TK_LINE:
        PushInt(lex_.tokenLine);
        Lex();
        return e;
    case TK_FILE:
        Emit(OP_PUSHLIT, Literal(source_));
        Lex();
        return e;
    case TK_THIS:
        Emit(OP_LOAD, 0);
        Lex();
        return e;
    case TK_BASE:
        Lex();
        if (FindLocal(fs_, "base") >= 0 || FindOuter(fs_, "base") >= 0) {
            ResolveName("base", e);
            return e;
        }
        e.kind = ExpKind::Base;
        return e;
    case TK_IDENTIFIER:
    case TK_CONSTRUCTOR: {
        std::string name = token_ == TK_CONSTRUCTOR ? "constructor" : lex_.str;
        Lex();
        ResolveName(name, e);
        return e;
    }
    case TK_DOUBLE_COLON: {
        Lex();
        Emit(OP_LOADROOT);
        std::string name = ExpectIdentifier();
        e.kind = ExpKind::FieldLit;
        e.index = StringLit(name);
        return e;
    }
    case '(': {
        Lex();
        CommaExpression();
        Expect(')');
        return e;
    }
    case '[':
        Lex();
        ArrayLiteral();
        return e;
    case '{':
        Lex();
        Emit(OP_NEWTABLE);
        TableLiteral('}');
        return e;
    case TK_FUNCTION:
        Lex();
        if (token_ == '[') {
            BoundFunctionExpr();
            return e;
        }
        FunctionExpr("", false);
        return e;
    case '@':
        Lex();
        FunctionExpr("", true);
        return e;
    case TK_CLASS:
        Lex();
        ClassBody();
        return e;
    case TK_DELEGATE: {
        Lex();
        Expression();
        Expect(':');
        Expression();
        Emit(OP_DELEGATE);
        return e;
    }
    case TK_RAWCALL: {
        Lex();
        Expect('(');
        int32_t n = Arguments();
        if (n < 2) lex_.Error("rawcall requires at least 2 parameters (callee and this)");
        Emit(OP_CALL, n - 1);
        Adjust(-(n - 1));
        return e;
    }
    case '-':
    case '!':
    case '~':
    case TK_TYPEOF:
    case TK_CLONE:
    case TK_RESUME:
    case TK_PLUSPLUS:
    case TK_MINUSMINUS:
    case TK_DELETE:
        return Unary();
    default:
        lex_.Error("expression expected");
    }
}

// array := '[' { expression [ ',' ] } ']'   (after the '[')
void Compiler::ArrayLiteral() {
    Emit(OP_NEWARRAY);
    while (token_ != ']') {
        Expression();
        Emit(OP_APPEND);
        if (token_ == ',') Lex();
    }
    Lex();
}

// table := '{' { slot [ ',' ] } '}'   (after the '{'; attributes end with '/>')
// slot  := 'function' IDENT funcbody | 'constructor' funcbody | '[' expression ']' '=' expression
//        | STRING ( ':' | '=' ) expression | IDENT '=' expression
void Compiler::TableLiteral(int endTok) {
    while (token_ != endTok) {
        if (token_ == TK_FUNCTION) {
            Lex();
            std::string name = ExpectIdentifier();
            Emit(OP_PUSHLIT, StringLit(name));
            FunctionExpr(name, false);
        } else if (token_ == TK_CONSTRUCTOR) {
            Lex();
            Emit(OP_PUSHLIT, StringLit("constructor"));
            FunctionExpr("constructor", false);
        } else if (token_ == '[') {
            Lex();
            Expression();
            Expect(']');
            Expect('=');
            Expression();
        } else if (token_ == TK_STRING_LITERAL) { // JSON-style "key": value
            Emit(OP_PUSHLIT, StringLit(lex_.str));
            Lex();
            if (token_ != ':' && token_ != '=') ErrorExpected('=');
            Lex();
            Expression();
        } else {
            Emit(OP_PUSHLIT, StringLit(ExpectIdentifier()));
            Expect('=');
            Expression();
        }
        Emit(OP_NEWSLOTKEEP);
        if (token_ == ',') Lex();
    }
    Lex();
}

// attributes := '</' { slot [ ',' ] } '/>'
void Compiler::Attributes() {
    Emit(OP_NEWTABLE);
    TableLiteral(TK_ATTR_CLOSE);
}

// classbody := [ 'extends' expression ] [ attributes ] '{' { member [ ';' | ',' ] } '}'
// member    := [ attributes ] [ 'static' ] ( 'function' IDENT funcbody | 'constructor' funcbody
//              | '[' expression ']' '=' expression | IDENT '=' expression )
void Compiler::ClassBody() {
    bool hasBase = false;
    if (token_ == TK_EXTENDS) {
        Lex();
        Expression();
        hasBase = true;
    }
    bool hasAttrs = false;
    if (token_ == TK_ATTR_OPEN) {
        Lex();
        Attributes();
        hasAttrs = true;
    }
    Expect('{');
    Emit(OP_NEWCLASS, 0, hasBase, hasAttrs);
    Adjust(1 - int(hasBase) - int(hasAttrs));
    while (token_ != '}') {
        bool memberAttrs = false;
        if (token_ == TK_ATTR_OPEN) {
            Lex();
            Attributes();
            memberAttrs = true;
        }
        bool isStatic = false;
        if (token_ == TK_STATIC) {
            isStatic = true;
            Lex();
        }
        // key, value, attrs are pushed in this order; attributes parsed first are moved after
        if (memberAttrs) {
            // attrs are on the stack below key/value: rebuild order with a temporary swap
        }
        auto pushKeyValue = [&]() {
            if (token_ == TK_FUNCTION) {
                Lex();
                std::string name = ExpectIdentifier();
                Emit(OP_PUSHLIT, StringLit(name));
                FunctionExpr(name, false);
            } else if (token_ == TK_CONSTRUCTOR) {
                Lex();
                Emit(OP_PUSHLIT, StringLit("constructor"));
                FunctionExpr("constructor", false);
            } else if (token_ == '[') {
                Lex();
                Expression();
                Expect(']');
                Expect('=');
                Expression();
            } else {
                std::string name = ExpectIdentifier();
                Emit(OP_PUSHLIT, StringLit(name));
                Expect('=');
                Expression();
            }
        };
        pushKeyValue();
        if (memberAttrs) {
            Emit(OP_NEWMEMBER, 0, isStatic ? 1 : 0, 1); // b=1: attrs below key and value
        } else {
            Emit(OP_PUSHNULL);
            Emit(OP_NEWMEMBER, 0, isStatic ? 1 : 0, 0);
            Adjust(0);
        }
        if (memberAttrs) Adjust(0);
        if (token_ == ';' || token_ == ',') Lex();
    }
    Lex();
}

// boundfunction := 'function' '[' expression ']' funcbody
// The environment is evaluated first, as written, and the closure is made bound to it: the
// environment's code is moved behind the closure's `bindenv` lookup.
void Compiler::BoundFunctionExpr() {
    Lex();
    int32_t envStart = Pc();
    Expression();
    Expect(']');
    int32_t envPeak = fs_->proto->stackSize;
    std::vector<SQInstruction> envCode(fs_->proto->code.begin() + envStart, fs_->proto->code.end());
    fs_->proto->code.resize(size_t(envStart));
    Adjust(-1);
    FunctionExpr("", false);
    Emit(OP_GETMETHOD, StringLit("bindenv"));
    for (auto& ins : envCode)
        fs_->proto->code.push_back(ins);
    Adjust(1);
    fs_->proto->stackSize = std::max(fs_->proto->stackSize, envPeak + 2); // its operands sit 2 higher
    Emit(OP_CALL, 2);
    Adjust(-2);
}

void Compiler::FunctionExpr(const std::string& name, bool lambda) {
    FunctionBody(name, lambda);
}

// funcbody := '(' [ param { ',' param } ] ')' [ ':' '(' { IDENT [ ',' ] } ')' ] statement
// param    := IDENT [ '=' expression ] | '...'
// A lambda ('@') has an expression instead of the statement; the ':' list is the older
// free-variable form.
void Compiler::FunctionBody(const std::string& name, bool lambda) {
    FuncState fs;
    fs.parent = fs_;
    fs.proto = NewObject<SQFunctionProto>(ss_);
    fs.holder = Value(OT_FUNCPROTO, fs.proto);
    fs.proto->name = name.empty() ? Value() : ss_->Str(name);
    fs.proto->source = source_;
    FuncState* outerFs = fs_;
    fs_ = &fs;
    DeclareLocal("this");
    fs.top = 1;
    fs.proto->stackSize = 2;
    fs_ = outerFs;

    Expect('(');
    int32_t ndefaults = 0;
    std::vector<std::string> params;
    bool varParams = false;
    while (token_ != ')') {
        if (token_ == TK_VARPARAMS) {
            varParams = true;
            Lex();
            if (token_ != ')') ErrorExpected(')');
            break;
        }
        std::string param = ExpectIdentifier();
        params.push_back(param);
        if (token_ == '=') {
            Lex();
            Expression(); // evaluated in the enclosing function at closure creation
            ++ndefaults;
        } else if (ndefaults > 0) {
            lex_.Error("expected '='");
        }
        if (token_ == ',')
            Lex();
        else if (token_ != ')')
            lex_.Error("expected ')' or ','");
    }
    Lex();
    int32_t nfree = 0;
    if (token_ == ':') { // the older free-variable list: values copied when the closure is made
        Lex();
        Expect('(');
        while (token_ != ')') {
            std::string name = ExpectIdentifier();
            ExpState value;
            ResolveName(name, value);
            Materialize(value);
            fs.proto->outers.push_back({false, -1 - nfree});
            fs.proto->outerNames.push_back(ss_->Str(name));
            ++nfree;
            if (token_ == ',') Lex();
        }
        Lex();
    }
    if (varParams && ndefaults > 0)
        lex_.Error("function with default parameters cannot have variable number of parameters");
    fs_ = &fs;
    for (auto& p : params) {
        DeclareLocal(p);
        Adjust(1);
    }
    fs.proto->nparams = int32_t(params.size()) + 1;
    fs.proto->ndefaults = ndefaults;
    fs.proto->varParams = varParams;
    if (varParams) {
        DeclareLocal("vargv");
        Adjust(1);
    }
    if (lambda) {
        Expression();
        Emit(OP_RETURN);
    } else if (token_ == '{') { // the usual block: its locals end with the function
        Lex();
        StatementsUntil('}');
        Lex();
        Emit(OP_RETURNNULL);
    } else {
        Statement();
        Emit(OP_RETURNNULL);
    }
    for (auto& l : fs.locals)
        fs.proto->locals[l.info].endOp = Pc();
    fs_ = outerFs;
    auto& functions = fs_->proto->functions;
    functions.push_back(fs.holder);
    Emit(OP_CLOSURE, int32_t(functions.size()) - 1, nfree, ndefaults);
    Adjust(1 - ndefaults - nfree);
}

} // namespace

bool sqP_compilesource(SQVM* v, SQLEXREADFUNC read, SQUserPointer up, const char* sourceName, Value& proto,
                       std::string& error, SQInteger& line, SQInteger& column) {
    Compiler compiler(v, read, up, sourceName);
    try {
        proto = compiler.CompileMain();
        return true;
    } catch (const SQCompileError& e) {
        error = e.message;
        line = compiler.Lexer().line;
        column = compiler.Lexer().column;
        return false;
    }
}

void sqP_dumpproto(const SQFunctionProto* p) {
    static const char* names[] = {
#define SQ_OP_NAME(name, effect) #name,
        SQ_OPCODES(SQ_OP_NAME)
#undef SQ_OP_NAME
    };
    for (size_t i = 0; i < p->code.size(); ++i) {
        const SQInstruction& ins = p->code[i];
        std::fprintf(stderr, "%3zu %-12s a=%d b=%d arg=%d\n", i, names[ins.op], ins.a, ins.b, ins.arg);
    }
    for (auto& f : p->functions)
        sqP_dumpproto(f.As<SQFunctionProto>());
}
