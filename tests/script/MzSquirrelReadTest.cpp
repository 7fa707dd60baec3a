#include "ScriptTestFixture.h"

#include <string>
#include <vector>

namespace {

using MzSquirrelReadTest = ScriptTest;

TEST_F(MzSquirrelReadTest, GlobalsGiveDefaultsForMissingNullAndWrongValues) {
    ASSERT_TRUE(Run("n <- null; s <- \"text\"; i <- 3; f <- 2.9; g <- -2.9; big <- 10000000000; t <- {};"));
    struct Case {
        const char* name;
        float asFloat;
        std::int32_t asInt;
        bool null;
        const char* numberMessage; // logged by GetFloat and GetInt for a value of the wrong type
    };
    const std::string wrong = "----\r\n変数(\"%\")は数値型ではありません。\r\n";
    const Case cases[] = {
        {"missing", 0.5f, 0, true, ""}, {"n", 0.5f, 0, true, ""},    {"i", 3.0f, 3, false, ""},
        {"f", 2.9f, 2, false, ""},      {"g", -2.9f, -2, false, ""}, {"big", 1e10f, 2147483647, false, ""},
        {"s", 0.5f, 0, false, "s"},     {"t", 0.5f, 0, false, "t"},
    };
    for (const Case& c : cases) {
        views.log.text.clear();
        SQInteger top = Top();
        EXPECT_FLOAT_EQ(MzSquirrel::GetFloat(c.name, 0.5f), c.asFloat) << c.name;
        EXPECT_EQ(MzSquirrel::IsNull(), c.null) << c.name;
        EXPECT_EQ(MzSquirrel::GetInt(c.name), c.asInt) << c.name;
        EXPECT_EQ(MzSquirrel::IsNull(), c.null) << c.name;
        EXPECT_EQ(Top(), top) << c.name;
        std::string message = *c.numberMessage ? wrong : "";
        if (!message.empty()) message.replace(message.find('%'), 1, c.numberMessage);
        EXPECT_EQ(Log(), message + message) << c.name;
    }
}

TEST_F(MzSquirrelReadTest, GetStringChecksTheType) {
    ASSERT_TRUE(Run("s <- \"日本語\"; n <- null; i <- 1;"));
    SQInteger top = Top();
    EXPECT_EQ(MzSquirrel::GetString("s", "d"), "日本語");
    EXPECT_EQ(MzSquirrel::GetString("missing", "d"), "d");
    EXPECT_TRUE(MzSquirrel::IsNull());
    EXPECT_EQ(MzSquirrel::GetString("n", "d"), "d");
    EXPECT_TRUE(MzSquirrel::IsNull());
    EXPECT_EQ(MzSquirrel::GetString("i", "d"), "d");
    EXPECT_FALSE(MzSquirrel::IsNull());
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(Log(), "----\r\n変数(\"i\")は文字列型ではありません。\r\n");
}

// A native function that reads its arguments and options the way the script API does and records them.
struct Recorded {
    std::string text;
    float number = 0;
    bool null = false;
    bool topKept = false;
    std::vector<std::string> options;
};
Recorded g_recorded;

SQInteger ReadArgs(HSQUIRRELVM vm) {
    SQInteger top = sq_gettop(vm);
    g_recorded.text = MzSquirrel::GetArgString(vm, 1);
    g_recorded.number = MzSquirrel::GetArgFloat(vm);
    g_recorded.null = MzSquirrel::IsNull();
    g_recorded.topKept = sq_gettop(vm) == top;
    return 0;
}

SQInteger ReadOptions(HSQUIRRELVM vm) {
    SQInteger top = sq_gettop(vm);
    g_recorded.text = MzSquirrel::GetOptionString(vm, "model", "");
    g_recorded.number = MzSquirrel::GetOptionFloat(vm, "scale", 1.0f);
    g_recorded.options.clear();
    if (MzSquirrel::BeginOptionTable(vm, "motion_list")) {
        std::string name, value;
        while (MzSquirrel::NextOption(vm, name, value))
            g_recorded.options.push_back(name + "=" + value);
        MzSquirrel::EndOptionTable(vm);
    }
    g_recorded.null = MzSquirrel::IsNull();
    g_recorded.topKept = sq_gettop(vm) == top;
    return 0;
}

class NativeReadTest : public ScriptTest {
  protected:
    NativeReadTest() {
        MzSquirrel::RegisterFunction("readArgs", ReadArgs, 0, nullptr);
        MzSquirrel::RegisterFunction("readOptions", ReadOptions, 0, nullptr);
    }
    Recorded Call(const std::string& call) {
        g_recorded = Recorded();
        views.log.text.clear();
        EXPECT_TRUE(Run(call + ";")) << call;
        return g_recorded;
    }
};

TEST_F(NativeReadTest, ArgumentsAreCountedAndChecked) {
    Recorded r = Call("readArgs(2.5, \"second\")");
    EXPECT_EQ(r.text, "second");
    EXPECT_FLOAT_EQ(r.number, 2.5f);
    EXPECT_TRUE(r.topKept);
    EXPECT_EQ(Log(), "");

    r = Call("readArgs(1)");
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(Log(), "----\r\n引数の数が間違っています。\r\n");

    r = Call("readArgs(\"a\", 5)");
    EXPECT_FLOAT_EQ(r.number, 0.0f);
    EXPECT_EQ(
        Log(),
        "----\r\n1番目の引数は文字列型ではありません。\r\n----\r\n0番目の引数は数値型ではありません。\r\n");

    r = Call("readArgs(null, null)");
    EXPECT_TRUE(r.null);
    EXPECT_EQ(Log(), "");
}

TEST_F(NativeReadTest, OptionsAreReadFromTheTableArgument) {
    Recorded r = Call("readOptions({model = \"m.dae\", scale = 2, motion_list = {walk = \"w.dae\"}})");
    EXPECT_EQ(r.text, "m.dae");
    EXPECT_FLOAT_EQ(r.number, 2.0f);
    EXPECT_EQ(r.options, std::vector<std::string>{"walk=w.dae"});
    EXPECT_TRUE(r.topKept);
    EXPECT_EQ(Log(), "");

    r = Call("readOptions({model = 1, scale = \"x\", motion_list = 3})");
    EXPECT_EQ(r.text, "");
    EXPECT_FLOAT_EQ(r.number, 1.0f);
    EXPECT_TRUE(r.topKept);
    EXPECT_EQ(Log(),
              "----\r\nオプション[model]の型は文字列ではありません\r\n"
              "----\r\nオプション[scale]の型は数値型ではありません\r\n"
              "----\r\nオプション[motion_list]の型がテーブル型,クラス型,インスタンス型ではありません\r\n");

    r = Call("readOptions({})");
    EXPECT_TRUE(r.null) << "a missing motion_list reads as null";
    EXPECT_EQ(Log(), "");
}

TEST_F(NativeReadTest, OptionReadersNeedOneTable) {
    const std::string notTable = "----\r\n引数はテーブル型でなくてはいけません\r\n";
    Recorded r = Call("readOptions(1)");
    EXPECT_TRUE(r.topKept);
    EXPECT_EQ(Log(), notTable + notTable + notTable);

    r = Call("readOptions({motion_list = {a = \"b\"}}, 2)");
    EXPECT_TRUE(r.options.empty());
    EXPECT_TRUE(r.topKept);
    EXPECT_EQ(Log(),
              notTable + notTable + "----\r\n引数の数が間違っています。オプションテーブル１つが必要です\r\n");
}

TEST_F(NativeReadTest, OptionIterationStopsAtTheFirstValueThatIsNoString) {
    ASSERT_TRUE(
        Run("list <- {a = \"1\", b = \"2\", c = 3, d = \"4\", e = \"5\", [6] = \"six\"};"
            "expected <- \"\"; stopped <- false;"
            "foreach (k, v in list) { if (typeof v != \"string\") stopped = true;"
            "  if (!stopped) expected += (typeof k == \"string\" ? k : \"\") + \"=\" + v + \";\"; }"));
    std::string expected = MzSquirrel::GetString("expected", "");
    Recorded r = Call("readOptions({motion_list = list})");
    std::string got;
    for (const std::string& option : r.options)
        got += option + ";";
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(r.topKept);
}

TEST_F(NativeReadTest, ClassesIterateToo) {
    Recorded r = Call("class M { walk = \"w.dae\" } readOptions({motion_list = M})");
    EXPECT_EQ(r.options, std::vector<std::string>{"walk=w.dae"});
    EXPECT_TRUE(r.topKept);
}

} // namespace
