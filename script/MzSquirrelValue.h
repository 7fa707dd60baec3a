// Script values held by the system: a tagged value with a counted reference, and a stored script
// function with the object it is called on.
#pragma once

#include <squirrel.h>

#include <cstdint>
#include <string>

class MzSquirrelValue {
  public:
    enum class Kind : std::int32_t { None = -1, String = 0, Integer = 1, Float = 2, Bool = 3, Object = 4 };

    MzSquirrelValue() = default;
    // An object of MzSquirrel's VM, with a reference of its own.
    explicit MzSquirrelValue(const HSQOBJECT& object);
    explicit MzSquirrelValue(std::string text) : m_kind(Kind::String), m_text(std::move(text)) {}
    explicit MzSquirrelValue(std::int32_t integer) : m_kind(Kind::Integer), m_integer(integer) {}
    explicit MzSquirrelValue(float real) : m_kind(Kind::Float), m_real(real) {}
    explicit MzSquirrelValue(bool flag) : m_kind(Kind::Bool), m_flag(flag) {}
    MzSquirrelValue(const MzSquirrelValue& other) { Assign(other); }
    MzSquirrelValue& operator=(const MzSquirrelValue& other);
    ~MzSquirrelValue() { Release(); }

    // Drops the reference (if any); the value becomes none.
    void Release();
    // Pushes the value onto the stack of `vm`; none pushes nothing.
    void Push(HSQUIRRELVM vm) const;

    Kind GetKind() const { return m_kind; }
    HSQUIRRELVM GetVM() const { return m_vm; }

  private:
    void Assign(const MzSquirrelValue& other);

    Kind m_kind = Kind::None;
    std::string m_text;
    std::int32_t m_integer = 0;
    float m_real = 0;
    bool m_flag = false;
    HSQUIRRELVM m_vm = nullptr;
    HSQOBJECT m_object{OT_NULL, {}};
};

// A script function together with the object that is `this` when it is called (a menu item's
// function, a mascot's callbacks).
class MzSquirrelFunction {
  public:
    MzSquirrelFunction() = default;
    MzSquirrelFunction(const HSQOBJECT& environment, const HSQOBJECT& function)
        : m_environment(environment), m_function(function) {}
    virtual ~MzSquirrelFunction() = default;
    MzSquirrelFunction(const MzSquirrelFunction&) = default;
    MzSquirrelFunction& operator=(const MzSquirrelFunction&) = default;

    void Release();
    bool IsEmpty() const { return m_function.GetKind() != MzSquirrelValue::Kind::Object; }

    // Calls the function with `count` arguments; a failure is logged with the script's error. The VM
    // stack has the same height afterwards.
    void Call(const MzSquirrelValue* args, int count) const;

  private:
    MzSquirrelValue m_environment;
    MzSquirrelValue m_function;
};
