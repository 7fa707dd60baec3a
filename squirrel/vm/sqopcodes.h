// The instruction set, listed once: name, fixed stack effect (operand stack, -99 when the
// compiler computes it), meaning.
#pragma once

#include <cstdint>

#define SQ_OPCODES(X)                                                                                        \
    X(PUSHNULL, 1)     /* push null */                                                                       \
    X(PUSHBOOL, 1)     /* push a != 0 */                                                                     \
    X(PUSHINT, 1)      /* push integer arg */                                                                \
    X(PUSHLIT, 1)      /* push literals[arg] */                                                              \
    X(LOAD, 1)         /* push stack slot arg */                                                             \
    X(STORE, 0)        /* slot arg = top (kept) */                                                           \
    X(LOADOUTER, 1)    /* push captured outer arg */                                                         \
    X(STOREOUTER, 0)   /* outer arg = top (kept) */                                                          \
    X(LOADROOT, 1)     /* push the closure's root table */                                                   \
    X(LOADBASE, 1)     /* push the base class of the method's class */                                       \
    X(GETENV, 1)       /* push this[lit arg], falling back to the root table */                              \
    X(SETENV, 0)       /* this[lit arg] = top (kept) */                                                      \
    X(GET, -1)         /* obj key -> obj[key] */                                                             \
    X(GETK, 0)         /* obj -> obj[lit arg] */                                                             \
    X(SET, -2)         /* obj key val -> val, obj[key] = val */                                              \
    X(NEWSLOT, -2)     /* obj key val -> val, obj[key] <- val */                                             \
    X(NEWSLOTKEEP, -2) /* obj key val -> obj (table literals) */                                             \
    X(DELETE, -1)      /* obj key -> deleted value */                                                        \
    X(GETMETHOD, 1)    /* obj -> obj[lit arg] obj */                                                         \
    X(GETMETHODK, 0)   /* obj key -> obj[key] obj */                                                         \
    X(ADD, -1)                                                                                               \
    X(SUB, -1)                                                                                               \
    X(MUL, -1)                                                                                               \
    X(DIV, -1)                                                                                               \
    X(MOD, -1)                                                                                               \
    X(BITAND, -1)                                                                                            \
    X(BITOR, -1)                                                                                             \
    X(BITXOR, -1)                                                                                            \
    X(SHL, -1)                                                                                               \
    X(SHR, -1)                                                                                               \
    X(USHR, -1)                                                                                              \
    X(EQ, -1)                                                                                                \
    X(NE, -1)                                                                                                \
    X(LT, -1)                                                                                                \
    X(LE, -1)                                                                                                \
    X(GT, -1)                                                                                                \
    X(GE, -1)                                                                                                \
    X(CMP3, -1)       /* <=> */                                                                              \
    X(IN, -1)         /* key obj -> bool */                                                                  \
    X(INSTANCEOF, -1) /* inst cls -> bool */                                                                 \
    X(NEG, 0)                                                                                                \
    X(NOT, 0)                                                                                                \
    X(BWNOT, 0)                                                                                              \
    X(TYPEOF, 0)                                                                                             \
    X(CLONE, 0)                                                                                              \
    X(RESUME, 0)                                                                                             \
    X(INCL, 1)     /* a: 1 postfix, b: delta sign; slot arg += delta, push old or new */                     \
    X(INCOUTER, 1) /* same for outer arg */                                                                  \
    X(INC, -1)     /* obj key -> old or new value; obj[key] += delta */                                      \
    X(JMP, 0)      /* pc += arg */                                                                           \
    X(JZ, -1)      /* pop; jump when false */                                                                \
    X(JNZ, -1)     /* pop; jump when true */                                                                 \
    X(ANDJ, 0)     /* if top false jump (keep) else pop */                                                   \
    X(ORJ, 0)      /* if top true jump (keep) else pop */                                                    \
    X(POP, -1)                                                                                               \
    X(POPN, -99) /* pop arg values */                                                                        \
    X(DUP, 1)                                                                                                \
    X(DUP2, 2) /* a b -> a b a b */                                                                          \
    X(SWAP, 0)                                                                                               \
    X(CALL, -99) /* fn this args(a) -> result; arg = argument count including this */                        \
    X(TAILCALL, -99)                                                                                         \
    X(CLOSURE, -99) /* defaults(a) -> closure of functions[arg] */                                           \
    X(NEWTABLE, 1)                                                                                           \
    X(NEWARRAY, 1)   /* reserve arg */                                                                       \
    X(APPEND, -1)    /* arr val -> arr */                                                                    \
    X(NEWCLASS, -99) /* a: has base, b: has attributes; [base] [attrs] -> class */                           \
    X(NEWMEMBER, -3) /* cls key val attrs -> cls; a: static */                                               \
    X(RETURN, -1)                                                                                            \
    X(RETURNNULL, 0)                                                                                         \
    X(YIELD, 0) /* value -> value sent by resume */                                                          \
    X(THROW, -1)                                                                                             \
    X(TRAP, 0) /* push a try handler: catch at pc + arg */                                                   \
    X(POPTRAP, 0)                                                                                            \
    X(CLOSE, 0)       /* close outers at or above slot arg */                                                \
    X(FOREACHPREP, 0) /* container at slot arg: checks it, init iterator at arg+1 */                         \
    X(FOREACH, 0)     /* slots arg: container, iterator, key, value; jump pc + b... when done */             \
    X(VARGC, 1)       /* push vargv.len() */                                                                 \
    X(DELEGATE, -1)   /* compat: tbl deleg -> tbl with delegate set */                                       \
    X(LINE, 0)        /* debug hook line marker */

enum SQOpcode : uint8_t {
#define SQ_OP_ENUM(name, effect) OP_##name,
    SQ_OPCODES(SQ_OP_ENUM)
#undef SQ_OP_ENUM
        OP_COUNT
};

inline constexpr int kOpStackEffect[] = {
#define SQ_OP_EFFECT(name, effect) effect,
    SQ_OPCODES(SQ_OP_EFFECT)
#undef SQ_OP_EFFECT
};
