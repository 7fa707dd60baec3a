#include "MzSquirrelLib.h"
#include "ScriptTestFixture.h"

#include <string>

namespace {

using MzSquirrelRuntimeTest = ScriptTest;

TEST(MzSquirrelWithoutVM, RunAndRegisterReportMissingInitialize) {
    ScopedReportViews views;
    EXPECT_EQ(MzSquirrel::GetVM(), nullptr);
    EXPECT_FALSE(MzSquirrel::RunScript("config.nut", true));
    MzSquirrel::RegisterFunction("f", nullptr, 0, nullptr);
    const std::string expected = "----\r\nあらかじめMzSquirrel::Initialize()を呼んでください\r\n";
    EXPECT_EQ(views.Flushed(), expected + expected);
}

TEST_F(MzSquirrelRuntimeTest, PrintGoesToTheLogWithCrLf) {
    EXPECT_TRUE(Run("print(\"one\\ntwo\\r\\n\"); print(\"x\")"));
    EXPECT_EQ(Log(), "one\r\ntwo\r\nx");
}

TEST_F(MzSquirrelRuntimeTest, LongPrintIsSplitIntoWholeEntries) {
    EXPECT_TRUE(Run("local s = \"\"; for (local i = 0; i < 3000; i++) s += \"a\"; print(s + \"\\n\");"));
    EXPECT_EQ(Log(), std::string(3000, 'a') + "\r\n");
}

TEST_F(MzSquirrelRuntimeTest, NestedLoadsResolveAgainstTheRunningScriptsDirectory) {
    WriteFile("scripts/sub/a.nut", "order += \"a\"; load(\"b.nut\");");
    WriteFile("scripts/sub/b.nut", "order += \"b\";");
    WriteFile("scripts/main.nut", "order <- \"main\"; load(\"sub/a.nut\"); order += \"end\";");
    EXPECT_TRUE(MzSquirrel::RunScript("scripts/main.nut", true));
    EXPECT_EQ(MzSquirrel::GetString("order", ""), "mainabend");
    EXPECT_EQ(Log(), "");
}

TEST_F(MzSquirrelRuntimeTest, FailingNestedFileFailsTheOuterRun) {
    WriteFile("bad.nut", "local x = ;");
    EXPECT_FALSE(Run("load(\"bad.nut\"); done <- 1;"));
    EXPECT_EQ(MzSquirrel::GetInt("done"), 1) << "the start-up script ran to its end";
    ASSERT_EQ(views.errorBox.shown.size(), 1u);
    EXPECT_TRUE(views.errorBox.shown[0].starts_with("ERROR : スクリプトファイルの実行に失敗しました。"))
        << views.errorBox.shown[0];
    EXPECT_NE(Log().find("----\r\nスクリプトファイルの実行に失敗しました。"), std::string::npos) << Log();

    EXPECT_TRUE(Run("ok <- 1;")) << "a new outermost run starts clean";
}

TEST_F(MzSquirrelRuntimeTest, MissingFileIsReportedWithTheVMError) {
    EXPECT_FALSE(MzSquirrel::RunScript("missing.nut", true));
    ASSERT_EQ(views.errorBox.shown.size(), 1u);
    EXPECT_TRUE(views.errorBox.shown[0].starts_with("ERROR : スクリプトファイルの実行に失敗しました。("))
        << views.errorBox.shown[0];
}

TEST_F(MzSquirrelRuntimeTest, FailedFileIsNamedWithTheLineOfItsError) {
    struct Case {
        const char* path;
        const char* source; // nullptr: no such file
        const char* where;
    };
    const Case cases[] = {
        {"compile.nut", "a <- 1;\nlocal x = ;", "compile.nut line 2"},
        {"scripts/runtime.nut", "a <- 1;\n\nlocal t = {}; t.missing();", "scripts/runtime.nut line 3"},
        {"missing.nut", nullptr, "missing.nut"},
    };
    for (const Case& c : cases) {
        views.errorBox.shown.clear();
        if (c.source) WriteFile(c.path, c.source);
        EXPECT_FALSE(MzSquirrel::RunScript(c.path, true));
        ASSERT_EQ(views.errorBox.shown.size(), 1u) << c.path;
        const std::string& box = views.errorBox.shown[0];
        EXPECT_TRUE(box.starts_with("ERROR : スクリプトファイルの実行に失敗しました。(")) << box;
        EXPECT_TRUE(box.ends_with(std::string(")\n") + c.where + "\n")) << box;
    }
}

TEST_F(MzSquirrelRuntimeTest, RuntimeErrorIsPrintedByTheErrorHandlers) {
    EXPECT_FALSE(Run("local t = {}; t.missing();"));
    EXPECT_NE(Log().find("AN ERROR HAS OCCURED"), std::string::npos) << Log();
}

TEST_F(MzSquirrelRuntimeTest, AngleFunctionsTruncateAndConvert) {
    EXPECT_TRUE(Run("a <- rad2deg(3.14159); b <- rad2deg(-0.5); c <- rad2deg(1); d <- deg2rad(180);"
                    "ta <- typeof a; td <- typeof d; f <- frand(); inRange <- f >= 0.0 && f <= 1.0;"
                    "try { rad2deg(\"x\"); refused <- false } catch (e) { refused <- true }"));
    EXPECT_EQ(MzSquirrel::GetInt("a"), 179);
    EXPECT_EQ(MzSquirrel::GetInt("b"), -28);
    EXPECT_EQ(MzSquirrel::GetInt("c"), 57);
    EXPECT_EQ(MzSquirrel::GetString("ta", ""), "integer");
    EXPECT_EQ(MzSquirrel::GetString("td", ""), "float");
    EXPECT_FLOAT_EQ(MzSquirrel::GetFloat("d", 0), 3.1415927f);
    EXPECT_TRUE(Run("if (!inRange || !refused) throw \"frand or the parameter check failed\";"));
}

TEST_F(MzSquirrelRuntimeTest, RegisteredFunctionHasItsNameAndCheck) {
    MzSquirrel::RegisterFunction(
        "answer",
        [](HSQUIRRELVM vm) -> SQInteger {
            sq_pushinteger(vm, 42);
            return 1;
        },
        2, ".n");
    EXPECT_TRUE(Run("x <- answer(1); try { answer(); refused <- 0 } catch (e) { refused <- 1 }"));
    EXPECT_EQ(MzSquirrel::GetInt("x"), 42);
    EXPECT_EQ(MzSquirrel::GetInt("refused"), 1);
}

TEST(MzSquirrelLib, ModulePathsAndKeys) {
    struct Case {
        const char* directory;
        const char* name;
        const char* key; // empty: no usable component
        bool escapes;
    };
    const Case cases[] = {
        {"", "a/../b", "__mod_b", false},
        {"", "lib/util.nut", "__mod_lib_util", false},
        {"", "./lib/util.nut", "__mod_lib_util", false},
        {"", "lib\\util.nut", "__mod_lib_util", false},
        {"", "lib//./util.a.b", "__mod_lib_util", false},
        {"scripts", "lib/util.nut", "__mod_scripts_lib_util", false},
        {"scripts/sub", "../m", "__mod_scripts_m", false},
        {"", "m", "__mod_m", false},
        {"", "../x", "", true},
        {"", "a/../../x", "", true},
        {"scripts", "../../x", "", true},
        {"", "./", "", false},
        {"", ".", "", false},
    };
    for (const Case& c : cases) {
        MzSquirrelLib::ModulePath path = MzSquirrelLib::ResolveModule(c.directory, c.name);
        EXPECT_EQ(path.escapesRoot, c.escapes) << c.name;
        EXPECT_EQ(path.components.empty() ? "" : MzSquirrelLib::ModuleKey(path.components), c.key) << c.name;
    }
}

// require: module files count runs in the root table through `runs`.
class RequireTest : public ScriptTest {
  protected:
    RequireTest() {
        WriteFile("lib/util.nut", "::runs <- (\"runs\" in getroottable() ? ::runs : 0) + 1; value <- 5;"
                                  "function Twice(x) { return x * 2; }");
    }
    bool RootHas(const std::string& key) {
        return Run("has <- " + std::string("(\"") + key + "\" in getroottable()) ? 1 : 0;", "probe.nut") &&
               MzSquirrel::GetInt("has") == 1;
    }
};

TEST_F(RequireTest, SpellingsOfOnePathShareOneModule) {
    EXPECT_TRUE(Run("require(\"lib\\\\util.nut\"); a <- util.Twice(util.value);"
                    "require(\"./lib/util.nut\"); require(\"lib/util.nut\"); b <- util.value;"));
    EXPECT_EQ(MzSquirrel::GetInt("runs"), 1);
    EXPECT_EQ(MzSquirrel::GetInt("a"), 10);
    EXPECT_EQ(MzSquirrel::GetInt("b"), 5);
    EXPECT_TRUE(RootHas("__mod_lib_util"));
    EXPECT_EQ(Log(), "");
}

TEST_F(RequireTest, AliasesShareTheModuleButKeepTheirOwnSlots) {
    EXPECT_TRUE(
        Run("require(\"lib/util.nut\", \"u1\"); require(\"lib/util.nut\", \"u2\");"
            "u1.mine <- 1; same <- (u1.value == u2.value) ? 1 : 0; leaked <- (\"mine\" in u2) ? 1 : 0;"
            "require(\"lib/util.nut\", \"other\"); o <- other.value;"));
    EXPECT_EQ(MzSquirrel::GetInt("runs"), 1);
    EXPECT_EQ(MzSquirrel::GetInt("same"), 1);
    EXPECT_EQ(MzSquirrel::GetInt("leaked"), 0);
    EXPECT_EQ(MzSquirrel::GetInt("o"), 5);
}

TEST_F(RequireTest, DotDotInsideThePathIsApplied) {
    WriteFile("a/keep.txt", "");
    WriteFile("b", "bValue <- 3;");
    EXPECT_TRUE(Run("require(\"a/../b\"); x <- b.bValue;"));
    EXPECT_EQ(MzSquirrel::GetInt("x"), 3);
    EXPECT_TRUE(RootHas("__mod_b"));
}

TEST_F(RequireTest, ModuleKeyIncludesTheScriptDirectory) {
    WriteFile("scripts/lib/util.nut", "value <- 7;");
    WriteFile("scripts/main.nut", "require(\"lib/util.nut\"); x <- util.value;");
    EXPECT_TRUE(MzSquirrel::RunScript("scripts/main.nut", true));
    EXPECT_EQ(MzSquirrel::GetInt("x"), 7);
    EXPECT_TRUE(RootHas("__mod_scripts_lib_util"));
}

TEST_F(RequireTest, BadNamesAreReportedAndBindNothing) {
    struct Case {
        const char* call;
        const char* log;
    };
    const Case cases[] = {
        {"require(\"\")", ""},
        {"require(\"../x\")", "----\r\nルートパスより上の階層のモジュールは使用できません。[../x]\r\n"},
        {"require(\"a/../../x\")",
         "----\r\nルートパスより上の階層のモジュールは使用できません。[a/../../x]\r\n"},
        {"require(\"./\")", "----\r\nモジュール名が不正です。[./]\r\n"},
    };
    for (const Case& c : cases) {
        views.Flushed();
        views.log.text.clear();
        SQInteger top = Top();
        EXPECT_TRUE(Run(c.call)) << c.call;
        EXPECT_EQ(Log(), c.log) << c.call;
        EXPECT_EQ(Top(), top);
    }
    EXPECT_FALSE(RootHas("x"));
}

TEST_F(RequireTest, RequireInsideAnInstanceMethodBindsNothing) {
    EXPECT_TRUE(Run("class C { function f() { require(\"lib/util.nut\"); } } C().f();"));
    EXPECT_EQ(Log(), "----\r\nrequireはテーブルかクラスの中で呼んでください。モジュールは束縛されません。["
                     "lib/util.nut]\r\n");
    EXPECT_FALSE(RootHas("util"));
    EXPECT_FALSE(RootHas("runs"));
}

TEST_F(RequireTest, InsideAModuleTheAliasLandsInTheModuleTable) {
    WriteFile("lib/outer.nut", "require(\"util.nut\"); v <- util.value;");
    EXPECT_TRUE(Run("require(\"lib/outer.nut\"); x <- outer.v; y <- outer.util.value;"));
    EXPECT_EQ(MzSquirrel::GetInt("x"), 5);
    EXPECT_EQ(MzSquirrel::GetInt("y"), 5);
    EXPECT_FALSE(RootHas("util"));
}

TEST_F(RequireTest, FailingModuleIsBoundAndNotRunAgain) {
    WriteFile("broken.nut", "::tries <- (\"tries\" in getroottable() ? ::tries : 0) + 1; throw \"boom\";");
    EXPECT_FALSE(
        Run("require(\"broken.nut\"); require(\"broken.nut\"); bound <- (\"broken\" in this) ? 1 : 0;"));
    EXPECT_EQ(MzSquirrel::GetInt("tries"), 1);
    EXPECT_EQ(MzSquirrel::GetInt("bound"), 1);
    EXPECT_EQ(views.errorBox.shown.size(), 1u);
}

} // namespace
