// A fresh engine per test with its printed output captured, for the tests of the public API.
#pragma once

#include <squirrel.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

// What the scripts printed (print and error output) since the test began.
inline std::string g_output;

inline void CaptureOutput(HSQUIRRELVM, const SQChar* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0) g_output.append(buffer, std::min<size_t>(size_t(n), sizeof buffer - 1));
}

class SquirrelTestVM : public ::testing::Test {
  protected:
    void SetUp() override {
        g_output.clear();
        v_ = sq_open(1024);
        sq_setprintfunc(v_, CaptureOutput, CaptureOutput);
    }
    void TearDown() override { sq_close(v_); }

    // Compiles and runs a script with the root table as `this`; true when it ran without error.
    bool Run(const std::string& source) {
        SQInteger top = sq_gettop(v_);
        if (SQ_FAILED(sq_compilebuffer(v_, source.data(), SQInteger(source.size()), "test", SQFalse)))
            return false;
        sq_pushroottable(v_);
        bool ok = SQ_SUCCEEDED(sq_call(v_, 1, SQFalse, SQFalse));
        sq_settop(v_, top);
        return ok;
    }
    std::string LastError() {
        sq_getlasterror(v_);
        const SQChar* s = "";
        sq_getstring(v_, -1, &s);
        std::string r = s;
        sq_pop(v_, 1);
        return r;
    }
    HSQUIRRELVM v_ = nullptr;
};
