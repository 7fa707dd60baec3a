#include "MzSquirrelValue.h"
#include "ScriptTestFixture.h"

#include <string>

namespace {

using MzSquirrelValueTest = ScriptTest;

TEST_F(MzSquirrelValueTest, ObjectValuesCountTheirReferences) {
    ASSERT_TRUE(Run("t <- {};"));
    HSQOBJECT t = Global("t");
    HSQUIRRELVM vm = MzSquirrel::GetVM();
    const SQUnsignedInteger base = sq_getrefcount(vm, &t);
    {
        MzSquirrelValue a(t);
        EXPECT_EQ(a.GetKind(), MzSquirrelValue::Kind::Object);
        EXPECT_EQ(sq_getrefcount(vm, &t), base + 1);
        MzSquirrelValue b(a);
        MzSquirrelValue c;
        c = b;
        c = c;
        EXPECT_EQ(sq_getrefcount(vm, &t), base + 3);
        b.Release();
        EXPECT_EQ(b.GetKind(), MzSquirrelValue::Kind::None);
        EXPECT_EQ(sq_getrefcount(vm, &t), base + 2);
        c = MzSquirrelValue(std::int32_t{5});
        EXPECT_EQ(sq_getrefcount(vm, &t), base + 1);
    }
    EXPECT_EQ(sq_getrefcount(vm, &t), base);
}

TEST_F(MzSquirrelValueTest, CallPassesThisAndArguments) {
    ASSERT_TRUE(Run("env <- {name = \"env\"}; function f(s, i, x, b, o) {"
                    "  ::got <- this.name + s + i + x + b + o.len(); return 1; }"));
    MzSquirrelFunction function(Global("env"), Global("f"));
    const MzSquirrelValue args[] = {MzSquirrelValue(std::string("-")), MzSquirrelValue(std::int32_t{7}),
                                    MzSquirrelValue(0.5f), MzSquirrelValue(true),
                                    MzSquirrelValue(Global("env"))};
    SQInteger top = Top();
    function.Call(args, 5);
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(MzSquirrel::GetString("got", ""), "env-70.5true1");
    EXPECT_EQ(Log(), "");
}

TEST_F(MzSquirrelValueTest, FailedCallIsLoggedAndKeepsTheStack) {
    ASSERT_TRUE(Run("env <- {}; function f() { throw \"broken\"; }"));
    MzSquirrelFunction function(Global("env"), Global("f"));
    SQInteger top = Top();
    function.Call(nullptr, 0);
    EXPECT_EQ(Top(), top);
    const std::string& log = Log();
    std::size_t handler = log.find("AN ERROR HAS OCCURED [broken]");
    std::size_t report = log.find("----\r\n関数の実行に失敗しました(broken)\r\n");
    EXPECT_NE(handler, std::string::npos) << log;
    EXPECT_NE(report, std::string::npos) << log;
    EXPECT_LT(handler, report);
}

TEST_F(MzSquirrelValueTest, AnErrorRepeatedFromOnePlaceIsLoggedOnceWithItsCount) {
    ASSERT_TRUE(Run("env <- {};\nfunction f() { throw \"broken\"; }\nfunction g() { throw \"broken\"; }"));
    MzSquirrelFunction f(Global("env"), Global("f"));
    MzSquirrelFunction g(Global("env"), Global("g"));
    for (int frame = 0; frame < 12; ++frame)
        f.Call(nullptr, 0);
    g.Call(nullptr, 0);
    const std::string& log = Log();
    auto count = [&log](const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("AN ERROR HAS OCCURED [broken]"), 2u) << log;
    EXPECT_EQ(count("関数の実行に失敗しました(broken)"), 2u) << log;
    EXPECT_EQ(count("the same error again at test.nut line 2, 10 times so far: broken"), 1u) << log;
    EXPECT_EQ(count("the same error again"), 1u) << log;
}

TEST_F(MzSquirrelValueTest, EmptyOrReleasedFunctionDoesNothing) {
    ASSERT_TRUE(Run("env <- {}; function f() { ::called <- 1; }"));
    MzSquirrelFunction empty;
    EXPECT_TRUE(empty.IsEmpty());
    empty.Call(nullptr, 0);
    MzSquirrelFunction function(Global("env"), Global("f"));
    MzSquirrelFunction copy = function;
    function.Release();
    function.Call(nullptr, 0);
    EXPECT_EQ(MzSquirrel::GetInt("called"), 0);
    copy.Call(nullptr, 0);
    EXPECT_EQ(MzSquirrel::GetInt("called"), 1);
}

} // namespace
