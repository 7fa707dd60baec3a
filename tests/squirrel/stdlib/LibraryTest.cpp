// The standard libraries through the public API: scripts, the C functions and file descriptors.
#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>
#include <squirrel.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string g_output;

void Capture(HSQUIRRELVM, const SQChar* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n > 0) g_output.append(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

// A VM with every standard library, running in a scratch directory of its own.
class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("sqstdlib-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
        g_output.clear();
        v_ = sq_open(1024);
        sq_setprintfunc(v_, Capture, Capture);
        sq_pushroottable(v_);
        const SQInteger top = sq_gettop(v_);
        SQRESULT (*registrations[])
        (HSQUIRRELVM) = {sqstd_register_bloblib, sqstd_register_iolib, sqstd_register_systemlib,
                         sqstd_register_mathlib, sqstd_register_stringlib};
        for (auto registration : registrations) {
            EXPECT_TRUE(SQ_SUCCEEDED(registration(v_)));
            EXPECT_EQ(sq_gettop(v_), top); // each library leaves the stack as it found it
        }
        sq_pop(v_, 1);
    }
    void TearDown() override {
        if (v_) sq_close(v_);
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }

    // Runs `script`; returns what it printed, or "error: <message>" when it raised one.
    std::string Run(const std::string& script) {
        g_output.clear();
        SQInteger top = sq_gettop(v_);
        if (SQ_FAILED(
                sq_compilebuffer(v_, script.data(), static_cast<SQInteger>(script.size()), "test", SQFalse)))
            return "compile error: " + LastError();
        sq_pushroottable(v_);
        bool ok = SQ_SUCCEEDED(sq_call(v_, 1, SQFalse, SQFalse));
        sq_settop(v_, top);
        return ok ? g_output : "error: " + LastError();
    }

    std::string LastError() {
        sq_getlasterror(v_);
        const SQChar* text = "";
        if (SQ_FAILED(sq_getstring(v_, -1, &text))) text = "(not a string)";
        std::string message = text;
        sq_pop(v_, 1);
        return message;
    }

    static void WriteBytes(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }

    HSQUIRRELVM v_ = nullptr;
    fs::path dir_, previous_;
};

TEST_F(LibraryTest, ScriptsSeeEveryLibrary) {
    struct Case {
        const char* script;
        const char* expected;
    } cases[] = {
        {"print(format(\"%s|%5.1f|%x\", \"a\", 2.25, 255))", "a|  2.2|ff"},
        {"print(split(\"a,,b,\", \",\").len() + \" \" + split(\"a,,b,\", \",\", true).len())", "3 2"},
        {"print(strip(\"  x \") + lstrip(\" y \") + rstrip(\" z \"))", "xy  z"},
        {"print(escape(\"a\\tb'\"))", "a\\x09b\\'"},
        {"local c = regexp(@\"(\\d+)\").capture(\"ab 42\"); print(c[1].begin + \"-\" + c[1].end)", "3-5"},
        {"print(regexp(\"[a-z]+\").search(\"12 abc\", 1).begin)", "3"},
        {"print(typeof regexp(\"a\") + typeof blob() + typeof stdout)", "regexpblobfile"},
        {"local b = blob(); b.writen(513, 's'); b.seek(0); print(b.readn('b') + \",\" + b[1] + \",\" + "
         "b.len())",
         "1,2,2"},
        {"print(swap2(0x1234) + \" \" + (castf2i(1.0) & 0xFFFFFFFF) + \" \" + casti2f(0x3F800000))",
         "13330 1065353216 1"},
        {"print(abs(-3) + \" \" + floor(2.5) + \" \" + (PI > 3.14) + \" \" + (RAND_MAX > 0))",
         "3 2 true true"},
        {"local d = date(86400 * 365, 'u'); print(d.year + \"-\" + d.month + \"-\" + d.day)", "1971-0-1"},
        {"print(getenv(\"SQSTDLIB_SURELY_UNSET\") == null)", "true"},
        {"printf(\"%d-%s\", 1, \"a\")", "1-a"},
        {"regexp(\"(a\")", "error: expected paren"},
        {"format(\"%d\", \"x\")", "error: integer expected for the specified format"},
        {"blob(-1)", "error: cannot create blob with negative size"},
        {"remove(\"missing.txt\")", "error: remove() failed"},
        {"file(\"missing.txt\", \"r\")", "error: cannot open file"},
        {"dofile(\"missing.nut\")", "error: cannot open the file"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Run(c.script), c.expected) << c.script;
}

// Methods called on the wrong object, or on copies that never ran a constructor, raise errors.
TEST_F(LibraryTest, InstancesWithoutTheirDataAreRejected) {
    struct Case {
        const char* script;
        const char* expected;
    } cases[] = {
        {"(clone regexp(\"a\")).match(\"a\")", "error: invalid regexp instance"},
        {"regexp.match.call(blob(), \"a\")", "error: invalid regexp instance"},
        {"local f = file(\"w.bin\", \"wb\"); (clone f).len()", "error: invalid stream instance"},
        {"blob.readn.call(regexp(\"a\"), 'b')", "error: invalid stream instance"},
        {"local c = clone blob(2); c[1] = 7; print(c[1] + \" \" + c.len())", "7 2"},
        {"class B extends blob { function size() { return len() } } print(B(3).size())", "3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Run(c.script), c.expected) << c.script;
}

TEST_F(LibraryTest, BlobCApiSharesTheScriptBlob) {
    SQUserPointer data = sqstd_createblob(v_, 4);
    ASSERT_NE(data, nullptr);
    std::memcpy(data, "\x01\x02\x03\x04", 4);
    EXPECT_EQ(sqstd_getblobsize(v_, -1), 4);
    SQUserPointer again = nullptr;
    ASSERT_TRUE(SQ_SUCCEEDED(sqstd_getblob(v_, -1, &again)));
    EXPECT_EQ(again, data);
    sq_pushroottable(v_);
    sq_pushstring(v_, "shared", -1);
    sq_push(v_, -3);
    sq_newslot(v_, -3, SQFalse);
    sq_pop(v_, 2);
    EXPECT_EQ(Run("shared.swap4(); print(shared[0] + \" \" + shared[3])"), "4 1");
    sq_pushinteger(v_, 5);
    EXPECT_TRUE(SQ_FAILED(sqstd_getblob(v_, -1, &again)));
    EXPECT_EQ(sqstd_getblobsize(v_, -1), -1);
    sq_pop(v_, 1);
}

TEST_F(LibraryTest, FormatCApiWritesTheScratchpad) {
    sq_pushstring(v_, "%d-%s", -1);
    sq_pushinteger(v_, 7);
    sq_pushstring(v_, "x", -1);
    SQChar* out = nullptr;
    SQInteger len = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sqstd_format(v_, -3, &len, &out)));
    EXPECT_EQ(std::string(out, len), "7-x");
    sq_pop(v_, 3);
}

TEST_F(LibraryTest, ScriptFilesAreDecodedByTheirByteOrderMark) {
    struct Case {
        std::string bytes;
        const char* expected;
    } cases[] = {
        {"return \"plain\"", "plain"},
        {"\xEF\xBB\xBFreturn \"bom\"", "bom"},
        {std::string("\xFF\xFEr\0e\0t\0u\0r\0n\0 \0\"\0\xE9\0\"\0", 22), "\xC3\xA9"},
        {std::string("\xFE\xFF\0r\0e\0t\0u\0r\0n\0 \0\"\x30\x42\0\"", 22), "\xE3\x81\x82"},
    };
    for (const Case& c : cases) {
        WriteBytes("script.nut", c.bytes);
        sq_pushroottable(v_);
        ASSERT_TRUE(SQ_SUCCEEDED(sqstd_dofile(v_, "script.nut", SQTrue, SQFalse))) << LastError();
        const SQChar* result = "";
        sq_getstring(v_, -1, &result);
        EXPECT_EQ(std::string(result), c.expected);
        sq_pop(v_, 2);
    }
}

TEST_F(LibraryTest, ClosuresRoundTripThroughBytecodeFiles) {
    std::string written =
        Run("writeclosuretofile(\"code.cnut\", function(a) { return a * 2 }); print(\"ok\")");
    if (written == "error: bytecode serialization is not supported") {
        EXPECT_FALSE(fs::exists("code.cnut")); // a failed write leaves no truncated file behind
        GTEST_SKIP() << "the engine does not serialize closures yet";
    }
    ASSERT_EQ(written, "ok");
    EXPECT_EQ(Run("print(loadfile(\"code.cnut\")(21))"), "42");
}

TEST_F(LibraryTest, ForeignBytecodeIsRefused) {
    WriteBytes("foreign.cnut", "\xFA\xFA"
                               "RIQS\x01\x02garbage");
    std::string result = Run("loadfile(\"foreign.cnut\")");
    EXPECT_EQ(result.rfind("error: ", 0), 0u) << result;
}

size_t OpenDescriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

TEST_F(LibraryTest, NoFileDescriptorLeaks) {
    WriteBytes("good.nut", "return 1");
    WriteBytes("bad.nut", "local x = (1 + ");
    const size_t before = OpenDescriptors();
    const char* scripts[] = {
        "file(\"missing.txt\", \"rb\")",
        "file(\"x.txt\", \"zz\")",
        "dofile(\"missing.nut\")",
        "loadfile(\"bad.nut\")",
        "dofile(\"good.nut\")",
        "local f = file(\"w.bin\", \"wb\"); f.writen(1, 'i'); f.close(); f = null",
        "local f = file(\"w.bin\", \"rb\"); f.readn('i'); f = null",
        "local f = file(\"w.bin\", \"rb\"); f.readn('i'); f.readn('i')",
        "writeclosuretofile(\"c.cnut\", function() {}); loadfile(\"c.cnut\")",
        "writeclosuretofile(\"nodir/c.cnut\", function() {})",
    };
    for (const char* s : scripts)
        Run(s);
    sq_collectgarbage(v_);
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(LibraryTest, ClosedFilesRefuseFurtherUse) {
    EXPECT_EQ(Run("local f = file(\"w.bin\", \"wb\"); f.close(); f.writen(1, 'b')"),
              "error: the stream is invalid");
    EXPECT_EQ(Run("local f = file(\"w.bin\", \"rb\"); f.close(); f.close(); print(\"ok\")"), "ok");
}

} // namespace
