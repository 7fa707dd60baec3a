// Compiler: parses a script and generates the bytecode of its main function in one pass.
#pragma once

#include "sqobject.h"

struct SQVM;

// Compiles the source into a function prototype; on failure returns false with the message,
// line and column of the error in `error`, `line`, `column`.
bool sqP_compilesource(SQVM* v, SQLEXREADFUNC read, SQUserPointer up, const char* sourceName, Value& proto,
                       std::string& error, SQInteger& line, SQInteger& column);
// Prints the prototype's instructions and constants, and those of its nested functions, to stdout.
void sqP_dumpproto(const SQFunctionProto* p);
