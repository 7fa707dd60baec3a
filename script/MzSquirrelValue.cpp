#include "MzSquirrelValue.h"

#include "MzSquirrel.h"

MzSquirrelValue::MzSquirrelValue(const HSQOBJECT& object)
    : m_kind(Kind::Object), m_vm(MzSquirrel::GetVM()), m_object(object) {
    sq_addref(m_vm, &m_object);
}

MzSquirrelValue& MzSquirrelValue::operator=(const MzSquirrelValue& other) {
    if (this != &other) {
        Release();
        Assign(other);
    }
    return *this;
}

void MzSquirrelValue::Assign(const MzSquirrelValue& other) {
    m_kind = other.m_kind;
    switch (m_kind) {
    case Kind::String:
        m_text = other.m_text;
        break;
    case Kind::Integer:
        m_integer = other.m_integer;
        break;
    case Kind::Float:
        m_real = other.m_real;
        break;
    case Kind::Bool:
        m_flag = other.m_flag;
        break;
    case Kind::Object:
        m_vm = other.m_vm;
        m_object = other.m_object;
        sq_addref(m_vm, &m_object);
        break;
    case Kind::None:
        break;
    }
}

void MzSquirrelValue::Release() {
    if (m_kind == Kind::Object && m_vm != nullptr) sq_release(m_vm, &m_object);
    m_vm = nullptr;
    m_kind = Kind::None;
    m_text.clear();
}

void MzSquirrelValue::Push(HSQUIRRELVM vm) const {
    switch (m_kind) {
    case Kind::String:
        sq_pushstring(vm, m_text.c_str(), static_cast<SQInteger>(m_text.size()));
        break;
    case Kind::Integer:
        sq_pushinteger(vm, m_integer);
        break;
    case Kind::Float:
        sq_pushfloat(vm, m_real);
        break;
    case Kind::Bool:
        sq_pushbool(vm, m_flag ? SQTrue : SQFalse);
        break;
    case Kind::Object:
        sq_pushobject(vm, m_object);
        break;
    case Kind::None:
        break;
    }
}

void MzSquirrelFunction::Release() {
    m_environment.Release();
    m_function.Release();
}

void MzSquirrelFunction::Call(const MzSquirrelValue* args, int count) const {
    using Kind = MzSquirrelValue::Kind;
    if (m_function.GetKind() != Kind::Object || m_environment.GetKind() != Kind::Object) return;
    HSQUIRRELVM vm = m_function.GetVM();
    if (vm == nullptr || m_environment.GetVM() == nullptr) return;
    MzScriptCall call;
    SQInteger top = sq_gettop(vm);
    m_function.Push(vm);
    m_environment.Push(vm);
    for (int i = 0; i < count; ++i)
        args[i].Push(vm);
    if (SQ_FAILED(sq_call(vm, count + 1, SQTrue, SQTrue)))
        MzSquirrel::ReportError(vm, "関数の実行に失敗しました");
    sq_settop(vm, top);
}
