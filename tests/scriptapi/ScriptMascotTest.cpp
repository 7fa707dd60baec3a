// The cpp_Mascot class: construction messages, motion slots, exact argument types, instances, removed
// mascots, a replaced class, and two mascots driven by states through a few frames.
#include "InputFixture.h"
#include "MascotFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

using ScriptMascotTest = MascotWorldTest;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

TEST_F(ScriptMascotTest, OptionsNameTheSlotsInIterationOrderAndScaleEveryImport) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions("2") + ")"));
    ASSERT_EQ(Mascots().size(), 1u);
    MascotActor& mascot = *Mascots()[0];
    EXPECT_EQ(mascot.order, MascotActor::kOrder);
    EXPECT_EQ(mascot.subOrder, MascotActor::kSubOrder);
    EXPECT_FALSE(mascot.flags & MzActor::kRunWhilePaused);
    ASSERT_EQ(mascot.motionCount, 2);
    ASSERT_TRUE(Run("names <- []; foreach (k, v in " + BoxOptions() +
                    ".motion_list) names.append(k); print(names[0] + \" \" + names[1])"));
    EXPECT_EQ(Log(), mascot.Motion(0).name + " " + mascot.Motion(1).name);
    const std::int32_t walk = mascot.FindMotion("walk");
    ASSERT_GE(walk, 0);
    EXPECT_NEAR(mascot.model.bounds.max.y, 4.0f, 1e-5); // the model at scale 2
    // The walk moves Root by 1 along z in a second, so by 2 at scale 2.
    const MzMotionCurve& root = mascot.Motion(walk).curves[0];
    ASSERT_EQ(root.keys.Count(), 2u);
    EXPECT_NEAR(std::fabs(root.keys[1]->translation.z), 2.0f, 1e-5);
}

TEST_F(ScriptMascotTest, AxesDocumentHonoursTheDocumentsUpAxisAndUnitAsIsIsTheDefault) {
    const char* source = std::getenv("MZ_SOURCE_DIR");
    const std::string zUp =
        std::string(source != nullptr ? source : ".") + "/tests/motion/import/fixtures/blender27_matrix.dae";
    ASSERT_TRUE(Run("cpp_Mascot({model = \"" + zUp +
                    "\"})\n"
                    "cpp_Mascot({model = \"" +
                    zUp +
                    "\", axes = \"as-is\"})\n"
                    "cpp_Mascot({model = \"" +
                    zUp + "\", axes = \"document\", motion_list = {bend = \"" + zUp +
                    "\"}})\n"
                    "cpp_Mascot({model = \"" +
                    zUp + "\", axes = \"upright\"})\n"));
    const auto mascots = Mascots();
    ASSERT_EQ(mascots.size(), 4u);
    EXPECT_NEAR(mascots[0]->model.bounds.max.z, 2.0f, 1e-4) << "lying along z, as the document stands";
    EXPECT_NEAR(mascots[1]->model.bounds.max.z, 2.0f, 1e-4);
    EXPECT_NEAR(mascots[2]->model.bounds.max.y, 2.0f, 1e-4) << "turned upright";
    EXPECT_TRUE(mascots[2]->importOptions.documentAxes) << "kept for LoadMotion";
    EXPECT_EQ(mascots[2]->Motion(0).curves[1].keys.Count(), 3u);
    EXPECT_NEAR(mascots[3]->model.bounds.max.z, 2.0f, 1e-4) << "an unknown value keeps the default";
    EXPECT_NE(Log().find("オプション[axes]は\"as-is\"か\"document\"です(upright)"), std::string::npos)
        << Log();
}

TEST_F(ScriptMascotTest, MotionListStopsAtTheFirstValueThatIsNotAString) {
    // The slots follow the table's iteration order: count its string values up to the number.
    ASSERT_TRUE(Run("list <- {a = \"" + Data("walk.dae") + "\", b = 5, c = \"" + Data("sit.dae") +
                    "\"}\n"
                    "local strings = 0\n"
                    "foreach (k, v in list) { if (typeof v != \"string\") break; ++strings }\n"
                    "print(strings)\n"
                    "cpp_Mascot({model = \"" +
                    Data("box.dae") +
                    "\", motion_list = null})\n"
                    "cpp_Mascot({model = \"" +
                    Data("box.dae") + "\", motion_list = list})\n"));
    const auto mascots = Mascots();
    ASSERT_EQ(mascots.size(), 2u);
    EXPECT_EQ(mascots[0]->motionCount, 0);
    EXPECT_EQ(std::to_string(mascots[1]->motionCount), Log());
}

TEST_F(ScriptMascotTest, ConstructorReportsEveryOptionAndStillCreatesTheMascot) {
    struct Case {
        std::string arguments, message;
        std::size_t times;
    };
    const Case cases[] = {
        {"", "引数の数が間違っています。オプションテーブル１つが必要です", 4},
        {"{}, 1", "引数の数が間違っています。オプションテーブル１つが必要です", 4},
        {"5", "引数はテーブル型でなくてはいけません", 4},
        {"{model = 1}", "オプション[model]の型は文字列ではありません", 1},
        {"{scale = \"big\"}", "オプション[scale]の型は数値型ではありません", 1},
        {"{motion_list = \"walk.dae\"}",
         "オプション[motion_list]の型がテーブル型,クラス型,インスタンス型ではありません", 2},
    };
    for (const Case& c : cases) {
        const std::size_t before = Count(Log(), c.message);
        ASSERT_TRUE(Run("cpp_Mascot(" + c.arguments + ")"));
        EXPECT_EQ(Count(Log(), c.message) - before, c.times) << c.arguments;
    }
    EXPECT_EQ(Mascots().size(), std::size(cases));
}

TEST_F(ScriptMascotTest, MethodsCheckExactArgumentTypes) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions() +
                    ")\n"
                    "function Try(f) { try { f(); print(\"ok\\n\") } catch (e) { print(e + \"\\n\") } }\n"
                    "Try(@() m.SetDir(1, 0))\n"
                    "Try(@() m.SetDir(1.0, 0.0))\n"
                    "Try(@() m.SetDir(1.0))\n"
                    "Try(@() m.SetPos(0, 0, 0))\n"
                    "Try(@() m.SetMotion(1))\n"
                    "Try(@() m.LoadMotion(\"sit\"))\n"
                    "Try(@() m.ChangeState())\n"
                    "Try(@() m.SetCallback_Loop(this))\n"
                    "Try(@() m.SetDir(1.0, 0, \"extra\"))\n"
                    "Try(@() m.SetPos(0.0, 0.0, 0.0))\n"
                    "Try(@() m.ChangeChildState(5))\n"
                    "print(m.GetDir() + \" \" + m.GetPosX() + \"\\n\")\n"));
    EXPECT_EQ(Log(),
              "Incorrect function argument\r\nIncorrect function argument\r\nIncorrect function argument\r\n"
              "Incorrect function argument\r\nIncorrect function argument\r\nIncorrect function argument\r\n"
              "Incorrect function argument\r\nIncorrect function argument\r\nok\r\nok\r\nok\r\n1 0\r\n");
}

TEST_F(ScriptMascotTest, ForeignThisIsAnInvalidInstanceType) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions() +
                    ")\n"
                    "class Unbound extends cpp_Mascot { constructor() {} }\n"
                    "function Try(f) { try { f(); print(\"ok\\n\") } catch (e) { print(e + \"\\n\") } }\n"
                    "Try(@() m.GetDir.call({}))\n"
                    "Try(@() m.GetDir.call(5))\n"
                    "Try(@() Unbound().GetDir())\n"));
    EXPECT_EQ(Log(), "Invalid Instance Type\r\nInvalid Instance Type\r\nInvalid Instance Type\r\n");
}

TEST_F(ScriptMascotTest, ScriptClassesExtendCppMascot) {
    ASSERT_TRUE(Run("class Walker extends cpp_Mascot {\n"
                    "  constructor(options) { base.constructor(options) }\n"
                    "  function Step() { SetPos(GetPosX() + 1.0, 0.0, 0.0) }\n"
                    "}\n"
                    "w <- Walker(" +
                    BoxOptions() +
                    ")\n"
                    "w.Step(); w.Step()\n"
                    "print(w.GetPosX() + \"\\n\")"));
    EXPECT_EQ(Log(), "2\r\n");
    ASSERT_EQ(Mascots().size(), 1u);
}

TEST_F(ScriptMascotTest, CallbacksGetFreshInstancesOfTheSameMascot) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions() +
                    ")\n"
                    "m.SetPos(1.5, 0.0, 0.0)\n"
                    "m.SetCallback_Loop(this, function(mascot) {\n"
                    "  print((mascot == m) + \" \" + mascot.GetPosX() + \" \" + m.GetPosX() + \"\\n\")\n"
                    "})\n"));
    Frame(); // placed
    Frame();
    Frame();
    EXPECT_EQ(Log(), "false 1.5 1.5\r\nfalse 1.5 1.5\r\n");
}

TEST_F(ScriptMascotTest, NullLoopCallbackFailsEveryFrameAndPauseStopsCallbacks) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions() + ")\nm.SetCallback_Loop(this, null)"));
    Frame(); // placed
    for (int i = 0; i < 10; ++i)
        Frame();
    // Reported once, then with its count.
    EXPECT_EQ(Count(Log(), "関数の実行に失敗しました"), 1u);
    EXPECT_EQ(Count(Log(), "the same error again, 10 times so far"), 1u) << Log();
    g_paused = true;
    for (int i = 0; i < 90; ++i)
        Frame();
    EXPECT_EQ(Count(Log(), "100 times so far"), 0u) << Log();
}

TEST_F(ScriptMascotTest, CatchAndReleaseCallTheirCallbacks) {
    ASSERT_TRUE(
        Run("m <- cpp_Mascot(" + BoxOptions() +
            ")\n"
            "m.SetCallback_Catch(this, function(mascot) { print(\"catch \" + mascot.GetPosX() + \"\\n\") })\n"
            "m.SetCallback_Release(this, function(mascot) { print(\"release\\n\") })\n"));
    MascotActor& mascot = *Mascots()[0];
    mascot.CallCatch();
    mascot.CallRelease();
    EXPECT_EQ(Log(), "catch 0\r\nrelease\r\n");
}

TEST_F(ScriptMascotTest, UserInterfaceCatchesDragsAndReleasesAMascot) {
    FakeInputWindow mouse;
    MzInput input;
    input.window = &mouse;
    input.mouse.Attach(&mouse, 0);
    input.mouse.Activate();
    g_input = &input;
    ASSERT_TRUE(
        Run("cpp_NewUserInterface()\n"
            "m <- cpp_Mascot(" +
            BoxOptions() +
            ")\n"
            "m.SetPos(0.0, 0.0, 10.0)\n"
            "m.SetCallback_Catch(this, function(mascot) { print(\"catch\\n\") })\n"
            "m.SetCallback_Release(this, function(mascot) { print(\"release \" + (mascot.GetPosX() > 0.1) + "
            "\"\\n\") })\n"));
    Vector4 ndc;
    graphics.device.Project(Vector4{0, 1, 10, 1}, &ndc);
    const int x = static_cast<int>((ndc.x + 1) * 200);
    const int y = static_cast<int>((1 - ndc.y) * 150);
    auto step = [&](int cx, bool down) {
        mouse.MoveTo(cx, y);
        mouse.SetButton(MzMouseState::kLeft, down);
        input.Update();
        Frame();
    };
    step(x, false); // places the actors
    step(x, true);
    step(x + 20, true);
    step(x + 40, false);
    g_input = nullptr;
    EXPECT_EQ(Log(), "catch\r\nrelease true\r\n");
}

TEST_F(ScriptMascotTest, MotionsAreChosenByNameAndReloadedAtScaleOne) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions("2") + ")"));
    MascotActor& mascot = *Mascots()[0];
    const std::int32_t sit = mascot.FindMotion("sit");
    const std::int32_t walk = mascot.FindMotion("walk");
    Frame(100); // placed
    Frame(100);
    EXPECT_GT(mascot.motion.time, 0);
    ASSERT_TRUE(Run("m.SetMotion(\"sit\")"));
    EXPECT_EQ(mascot.currentMotion, sit);
    EXPECT_EQ(mascot.motion.data, &mascot.Motion(sit));
    EXPECT_EQ(mascot.motion.time, 0);

    ASSERT_TRUE(Run("m.SetMotion(\"run\")"));
    EXPECT_EQ(mascot.currentMotion, sit);
    EXPECT_NE(Log().find("[run]"), std::string::npos);

    // Reloading "sit" from the walk document replaces the slot, at scale 1 this time.
    ASSERT_TRUE(Run("m.LoadMotion(\"sit\", \"" + Data("walk.dae") + "\")\nm.LoadMotion(\"run\", \"" +
                    Data("sit.dae") + "\")"));
    ASSERT_EQ(mascot.Motion(sit).curves[0].keys.Count(), 2u);
    EXPECT_NEAR(std::fabs(mascot.Motion(sit).curves[0].keys[1]->translation.z), 1.0f, 1e-5);
    EXPECT_EQ(mascot.Motion(sit).name, "sit");
    EXPECT_EQ(mascot.Motion(walk).name, "walk");
    EXPECT_EQ(mascot.motionCount, 2);
}

TEST_F(ScriptMascotTest, RemovedMascotsFailCleanly) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions() + ")\nm.Kill()\nprint(m.GetPosX() + \"\\n\")"));
    Frame();
    EXPECT_TRUE(Mascots().empty());
    ASSERT_TRUE(Run("try { m.GetPosX() } catch (e) { print(e + \"\\n\") }\n"
                    "try { m.SetDir(1.0, 0) } catch (e) { print(e + \"\\n\") }"));
    EXPECT_EQ(Log(), "0\r\nthe mascot has been removed\r\nthe mascot has been removed\r\n");
}

TEST_F(ScriptMascotTest, KilledMascotEndsItsStateWithAWorkingInstance) {
    ASSERT_TRUE(
        Run("class Leaving {\n"
            "  Start = null\n"
            "  Loop = null\n"
            "  function End(m) { print(\"end at \" + m.GetPosX() + \"\\n\"); m.ChangeState(Leaving()) }\n"
            "}\n"
            "m <- cpp_Mascot(" +
            BoxOptions() +
            ")\n"
            "m.SetPos(3.0, 0.0, 0.0)\n"
            "m.ChangeState(Leaving())\n"
            "m.Kill()\n"));
    Frame();
    EXPECT_TRUE(Mascots().empty());
    EXPECT_EQ(Log(), "end at 3\r\n");
}

TEST_F(ScriptMascotTest, ReplacedClassCannotMakeInstancesButTheFrameGoesOn) {
    ASSERT_TRUE(Run("m <- cpp_Mascot(" + BoxOptions() +
                    ")\n"
                    "m.SetCallback_Loop(this, function(mascot) { print(\"loop\\n\") })\n"
                    "cpp_Mascot <- class {}\n"
                    "try { m.ChangeState({}) } catch (e) { print(e + \"\\n\") }"));
    Frame(); // placed
    Frame();
    ASSERT_TRUE(Run("m.GetPosX()\nprint(\"still steered\\n\")"));
    const std::string log = Log();
    EXPECT_EQ(Count(log, "Push(): could not create INSTANCE (check registration name)"), 2u);
    EXPECT_EQ(log.find("loop"), std::string::npos);
    EXPECT_NE(log.find("still steered\r\n"), std::string::npos);
}

// Two mascots whose states hand over to each other: Walk moves right for two frames, then Rest.
TEST_F(ScriptMascotTest, TwoMascotsRunTheirStatesThroughFrames) {
    ASSERT_TRUE(Run("class Walk {\n"
                    "  frames = 0\n"
                    "  function Start(m) { print(\"walk start \" + name + \"\\n\"); m.SetMotion(\"walk\") }\n"
                    "  function Loop(m) {\n"
                    "    m.SetPos(m.GetPosX() + 1.0, m.GetPosY(), m.GetPosZ())\n"
                    "    if (++frames == 2) m.ChangeState(Rest(name))\n"
                    "  }\n"
                    "  function End(m) { print(\"walk end \" + name + \"\\n\") }\n"
                    "  constructor(n) { name = n }\n"
                    "  name = null\n"
                    "}\n"
                    "class Rest {\n"
                    "  constructor(n) { name = n }\n"
                    "  name = null\n"
                    "  function Start(m) { print(\"rest \" + name + \" at \" + m.GetPosX() + \"\\n\"); "
                    "m.SetMotion(\"sit\") }\n"
                    "  Loop = null\n"
                    "  End = null\n"
                    "}\n"
                    "a <- cpp_Mascot(" +
                    BoxOptions() +
                    ")\n"
                    "b <- cpp_Mascot(" +
                    BoxOptions() +
                    ")\n"
                    "a.SetPos(0.0, 0.0, 0.0)\n"
                    "b.SetPos(9.5, 0.0, 0.0)\n"
                    "a.ChangeState(Walk(\"a\"))\n"
                    "b.ChangeState(Walk(\"b\"))\n"));
    for (int i = 0; i < 5; ++i)
        Frame(0);
    EXPECT_EQ(Log(),
              "walk start a\r\nwalk start b\r\nwalk end a\r\nrest a at 2\r\nwalk end b\r\nrest b at 11\r\n");
    const auto mascots = Mascots();
    ASSERT_EQ(mascots.size(), 2u);
    EXPECT_FLOAT_EQ(mascots[0]->GetPosX(), 2);
    EXPECT_FLOAT_EQ(mascots[1]->GetPosX(), 10); // clamped into the world box at the next frame
    EXPECT_EQ(mascots[0]->currentMotion, mascots[0]->FindMotion("sit"));
}

} // namespace
