// A fresh VM in an empty working directory, with the report windows recorded, for each test.
#pragma once

#include "FakeReportViews.h"
#include "MzSquirrel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class ScriptTest : public testing::Test {
  protected:
    ScriptTest() {
        m_previousDirectory = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "mz_script_XXXXXX").string();
        m_directory = mkdtemp(pattern.data());
        std::filesystem::current_path(m_directory);
        MzSquirrel::Initialize();
    }
    ~ScriptTest() override {
        MzSquirrel::Shutdown();
        std::filesystem::current_path(m_previousDirectory);
        std::filesystem::remove_all(m_directory);
    }

    // Writes a script file relative to the working directory, creating its folders.
    static void WriteFile(const std::string& path, const std::string& text) {
        std::filesystem::path file(path);
        if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    // Runs `source` as the file `path` with the root table as `this`.
    bool Run(const std::string& source, const std::string& path = "test.nut") {
        WriteFile(path, source);
        return MzSquirrel::RunScript(path, true);
    }

    // Everything logged since the test started, as the script-log window shows it.
    const std::string& Log() { return views.Flushed(); }

    static SQInteger Top() { return sq_gettop(MzSquirrel::GetVM()); }

    // The object root[name] (not counted: the root table keeps it).
    static HSQOBJECT Global(const char* name) {
        HSQUIRRELVM vm = MzSquirrel::GetVM();
        SQInteger top = sq_gettop(vm);
        sq_pushroottable(vm);
        sq_pushstring(vm, name, -1);
        sq_get(vm, -2);
        HSQOBJECT object;
        sq_getstackobj(vm, -1, &object);
        sq_settop(vm, top);
        return object;
    }

    ScopedReportViews views;

  private:
    std::filesystem::path m_previousDirectory;
    std::filesystem::path m_directory;
};
