// The cpp_ functions: frame time, world size, actor creation, menu items and the file dialog.
#include "Camera2DActor.h"
#include "MascotFixture.h"
#include "UserInterface.h"

#include <gtest/gtest.h>

namespace {

using ScriptAPITest = MascotWorldTest;

TEST_F(ScriptAPITest, PassageTimeIsZeroBeforeTheFirstFrameThenTheFrameTime) {
    g_frameElapsedMs = 0;
    ASSERT_TRUE(Run("print(cpp_GetPassageTime() + \"\\n\")"));
    Frame(33);
    ASSERT_TRUE(Run("print(cpp_GetPassageTime() + \" \" + typeof cpp_GetPassageTime(1, \"x\") + \"\\n\")"));
    EXPECT_EQ(Log(), "0\r\n33 integer\r\n");
}

TEST_F(ScriptAPITest, WorldSizesAreTheExtentsOfTheWorldBox) {
    ASSERT_TRUE(Run("print(cpp_GetWorldSizeX() + \" \" + cpp_GetWorldSizeY() + \" \" + cpp_GetWorldSizeZ() + "
                    "\" \" + typeof cpp_GetWorldSizeX() + \"\\n\")"));
    EXPECT_EQ(Log(), "20 10 40 float\r\n");
}

TEST_F(ScriptAPITest, EachCameraAndUserInterfaceIsANewActorWithItsRegistration) {
    ASSERT_TRUE(Run("ids <- [cpp_New2DCamera(), cpp_New2DCamera(), cpp_NewUserInterface()]\n"
                    "print(ids[0] + \" \" + ids[1] + \" \" + ids[2] + \"\\n\")"));
    EXPECT_EQ(Log(), "1 2 3\r\n");
    struct Case {
        std::int32_t id;
        std::uint8_t order, subOrder;
    };
    for (const Case& c : {Case{1, 30, 128}, Case{2, 30, 128}, Case{3, 60, 0}}) {
        MzActor* actor = actors.Find(c.id);
        ASSERT_NE(actor, nullptr);
        EXPECT_EQ(actor->order, c.order);
        EXPECT_EQ(actor->subOrder, c.subOrder);
        EXPECT_TRUE(actor->flags & MzActor::kRunWhilePaused);
    }
    EXPECT_NE(dynamic_cast<Camera2DActor*>(actors.Find(1)), nullptr);
    EXPECT_NE(dynamic_cast<UserInterface*>(actors.Find(3)), nullptr);
}

TEST_F(ScriptAPITest, MenuItemsReachTheRegistryAndCallTheirFunctionOnTheEnvironment) {
    ASSERT_TRUE(
        Run("env <- {name = \"env\"}\n"
            "cpp_AddPopupMenu(3, \"Item\", env, function() { print(name + \" called\\n\") }, \"extra\")\n"
            "cpp_AddPopupMenuSeparator(4)\n"
            "cpp_RemovePopupMenu(3)\n"));
    ASSERT_EQ(menus.items.size(), 2u);
    EXPECT_EQ(menus.items[0].index, 3);
    EXPECT_EQ(menus.items[0].text, "Item");
    EXPECT_EQ(menus.items[1].index, 4);
    EXPECT_EQ(menus.items[1].text, std::nullopt);
    EXPECT_FALSE(menus.items[1].function);
    EXPECT_EQ(menus.removed, std::vector<int>{3});
    const SQInteger top = Top();
    menus.items[0].function();
    EXPECT_EQ(Top(), top);
    EXPECT_EQ(Log(), "env called\r\n");
}

TEST_F(ScriptAPITest, BindingFunctionsRefuseMissingAndWronglyTypedArguments) {
    const char* calls[] = {
        "cpp_AddPopupMenu(\"1\", \"Item\", this, f)",
        "cpp_AddPopupMenu(1, \"Item\", this)",
        "cpp_AddPopupMenu(1.0, \"Item\", this, f)",
        "cpp_AddPopupMenu(1, 2, this, f)",
        "cpp_AddPopupMenuSeparator()",
        "cpp_AddPopupMenuSeparator(\"2\")",
        "cpp_RemovePopupMenu(null)",
        "cpp_OpenFileDialog(\"a\")",
        "cpp_OpenFileDialog(\"a\", 1)",
    };
    for (const char* call : calls) {
        const std::string script =
            std::string("function f() {}\ntry { ") + call + " } catch (e) { print(e + \"\\n\") }";
        ASSERT_TRUE(Run(script)) << call;
    }
    std::string expected;
    for (std::size_t i = 0; i < std::size(calls); ++i)
        expected += "Incorrect function argument\r\n";
    EXPECT_EQ(Log(), expected);
    EXPECT_TRUE(menus.items.empty());
    EXPECT_TRUE(menus.removed.empty());
    EXPECT_TRUE(dialog.startPaths.empty());
}

// The dialog keeps the last chosen path across calls (of any test), so each call's start path is
// compared with the answer before it.
TEST_F(ScriptAPITest, FileDialogStartsWithTheLastChosenPathAndCancelGivesEmpty) {
    dialog.answers = {"/home/user/a.dae", ""};
    ASSERT_TRUE(Run("print(cpp_OpenFileDialog(\"COLLADA\\0*.dae;*.xml\\0\\0\", \"dae\") + \"|\")\n"
                    "print(cpp_OpenFileDialog(\"COLLADA\\0*.dae\\0\", \"dae\") + \"|\\n\")"));
    EXPECT_EQ(Log(), "/home/user/a.dae||\r\n");
    ASSERT_EQ(dialog.startPaths.size(), 2u);
    EXPECT_EQ(dialog.startPaths[1], "/home/user/a.dae");
    EXPECT_EQ(dialog.filters[0], "COLLADA (*.dae *.xml)");
    EXPECT_EQ(dialog.suffixes[1], "dae");
}

} // namespace
