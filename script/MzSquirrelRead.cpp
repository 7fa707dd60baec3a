// The typed readers of MzSquirrel: root table variables, native-call arguments and option tables.
// Each clears the null flag first and leaves the VM stack as it found it (BeginOptionTable excepted).
#include "MzSquirrel.h"

#include <cmath>
#include <limits>

namespace {

enum class Accepts { String, Number };
enum class Kind { Null, Accepted, WrongType };

Kind Classify(HSQUIRRELVM vm, SQInteger index, Accepts accepts) {
    SQObjectType type = sq_gettype(vm, index);
    if (type == OT_NULL) return Kind::Null;
    bool accepted = accepts == Accepts::String ? type == OT_STRING : (type == OT_INTEGER || type == OT_FLOAT);
    return accepted ? Kind::Accepted : Kind::WrongType;
}

std::string ReadString(HSQUIRRELVM vm, SQInteger index) {
    const SQChar* text = nullptr;
    SQInteger size = 0;
    if (SQ_FAILED(sq_getstringandsize(vm, index, &text, &size))) return {};
    return std::string(text, static_cast<std::size_t>(size));
}

float ReadFloat(HSQUIRRELVM vm, SQInteger index) {
    SQFloat value = 0;
    sq_getfloat(vm, index, &value);
    return value;
}

// An integer or a float, truncated towards zero and saturated to the 32-bit range.
std::int32_t ReadInt32(HSQUIRRELVM vm, SQInteger index) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    if (sq_gettype(vm, index) == OT_FLOAT) {
        double value = std::trunc(static_cast<double>(ReadFloat(vm, index)));
        if (std::isnan(value)) return 0;
        if (value <= kMin) return kMin;
        if (value >= kMax) return kMax;
        return static_cast<std::int32_t>(value);
    }
    SQInteger value = 0;
    sq_getinteger(vm, index, &value);
    if (value < kMin) return kMin;
    if (value > kMax) return kMax;
    return static_cast<std::int32_t>(value);
}

// Pushes container[key] (container given by its absolute stack index); false, pushing nothing, when
// the key does not exist.
bool PushSlot(HSQUIRRELVM vm, SQInteger container, const char* key) {
    SQInteger top = sq_gettop(vm);
    sq_pushstring(vm, key, -1);
    if (SQ_FAILED(sq_get(vm, container))) {
        sq_settop(vm, top);
        return false;
    }
    return true;
}

// Reads the value on top of the stack (or a missing one) into `result`: a null or missing value sets
// `null`, an accepted one is converted by `read`, a wrong one is reported by `report`.
template <typename T, typename Read, typename Report>
void ReadTop(HSQUIRRELVM vm, bool found, Accepts accepts, bool& null, T& result, Read read, Report report) {
    Kind kind = found ? Classify(vm, -1, accepts) : Kind::Null;
    if (kind == Kind::Null) {
        null = true;
    } else if (kind == Kind::Accepted) {
        result = read(vm, -1);
    } else {
        report();
    }
}

// A root table variable, or `result` unchanged.
template <typename T, typename Read>
T ReadGlobal(HSQUIRRELVM vm, const char* name, Accepts accepts, const char* wrongType, bool& null, T result,
             Read read) {
    if (vm == nullptr) return result;
    SQInteger top = sq_gettop(vm);
    sq_pushroottable(vm);
    bool found = PushSlot(vm, top + 1, name);
    ReadTop(vm, found, accepts, null, result, read,
            [&] { MzSquirrel::ReportError(nullptr, wrongType, name); });
    sq_settop(vm, top);
    return result;
}

// Argument `index` of a native call (0 is the first after `this`), read in place.
template <typename T, typename Read>
T ReadArgument(HSQUIRRELVM vm, int index, Accepts accepts, const char* wrongType, bool& null, T result,
               Read read) {
    SQInteger position = index + 2;
    if (sq_gettop(vm) < position) {
        MzSquirrel::ReportError(nullptr, "引数の数が間違っています。");
        return result;
    }
    sq_push(vm, position);
    ReadTop(vm, true, accepts, null, result, read,
            [&] { MzSquirrel::ReportError(nullptr, wrongType, index); });
    sq_poptop(vm);
    return result;
}

bool OptionTableOnTop(HSQUIRRELVM vm) {
    if (sq_gettype(vm, -1) == OT_TABLE) return true;
    MzSquirrel::ReportError(nullptr, "引数はテーブル型でなくてはいけません");
    return false;
}

// option table[key], the table being on top of the stack.
template <typename T, typename Read>
T ReadOption(HSQUIRRELVM vm, const char* key, Accepts accepts, const char* wrongType, bool& null, T result,
             Read read) {
    if (!OptionTableOnTop(vm)) return result;
    SQInteger top = sq_gettop(vm);
    bool found = PushSlot(vm, top, key);
    ReadTop(vm, found, accepts, null, result, read,
            [&] { MzSquirrel::ReportError(nullptr, wrongType, key); });
    sq_settop(vm, top);
    return result;
}

} // namespace

std::string MzSquirrel::GetString(const char* name, const char* defaultValue) {
    s_null = false;
    return ReadGlobal(s_vm, name, Accepts::String, "変数(\"%s\")は文字列型ではありません。", s_null,
                      std::string(defaultValue), ReadString);
}

std::int32_t MzSquirrel::GetInt(const char* name) {
    s_null = false;
    return ReadGlobal(s_vm, name, Accepts::Number, "変数(\"%s\")は数値型ではありません。", s_null,
                      std::int32_t{0}, ReadInt32);
}

float MzSquirrel::GetFloat(const char* name, float defaultValue) {
    s_null = false;
    return ReadGlobal(s_vm, name, Accepts::Number, "変数(\"%s\")は数値型ではありません。", s_null,
                      defaultValue, ReadFloat);
}

std::string MzSquirrel::GetArgString(HSQUIRRELVM vm, int index) {
    s_null = false;
    return ReadArgument(vm, index, Accepts::String, "%d番目の引数は文字列型ではありません。", s_null,
                        std::string(), ReadString);
}

float MzSquirrel::GetArgFloat(HSQUIRRELVM vm) {
    s_null = false;
    return ReadArgument(vm, 0, Accepts::Number, "%d番目の引数は数値型ではありません。", s_null, 0.0f,
                        ReadFloat);
}

std::string MzSquirrel::GetOptionString(HSQUIRRELVM vm, const char* key, const char* defaultValue) {
    s_null = false;
    return ReadOption(vm, key, Accepts::String, "オプション[%s]の型は文字列ではありません", s_null,
                      std::string(defaultValue), ReadString);
}

float MzSquirrel::GetOptionFloat(HSQUIRRELVM vm, const char* key, float defaultValue) {
    s_null = false;
    return ReadOption(vm, key, Accepts::Number, "オプション[%s]の型は数値型ではありません", s_null,
                      defaultValue, ReadFloat);
}

// On success the stack holds the option's table and the iteration's position above it until EndOptionTable.
bool MzSquirrel::BeginOptionTable(HSQUIRRELVM vm, const char* key) {
    s_null = false;
    if (sq_gettop(vm) != 2) {
        ReportError(nullptr, "%s", kOptionCountMessage);
        return false;
    }
    if (!OptionTableOnTop(vm)) return false;
    SQInteger top = sq_gettop(vm);
    if (!PushSlot(vm, top, key) || sq_gettype(vm, -1) == OT_NULL) {
        s_null = true;
        sq_settop(vm, top);
        return false;
    }
    SQObjectType type = sq_gettype(vm, -1);
    if (type != OT_TABLE && type != OT_CLASS && type != OT_INSTANCE) {
        ReportError(nullptr, "オプション[%s]の型がテーブル型,クラス型,インスタンス型ではありません", key);
        sq_settop(vm, top);
        return false;
    }
    sq_pushnull(vm);
    s_optionIteration = true;
    s_optionStopped = false;
    return true;
}

// Once an entry whose value is not a string has been met, the iteration stays at its end.
bool MzSquirrel::NextOption(HSQUIRRELVM vm, std::string& name, std::string& value) {
    if (!s_optionIteration || s_optionStopped) return false;
    if (SQ_FAILED(sq_next(vm, -2))) {
        s_optionStopped = true;
        return false;
    }
    bool isString = sq_gettype(vm, -1) == OT_STRING;
    if (isString) {
        value = ReadString(vm, -1);
        name = sq_gettype(vm, -2) == OT_STRING ? ReadString(vm, -2) : std::string();
    }
    sq_pop(vm, 2);
    s_optionStopped = !isString;
    return isString;
}

void MzSquirrel::EndOptionTable(HSQUIRRELVM vm) {
    if (!s_optionIteration) return;
    sq_pop(vm, 2);
    s_optionIteration = false;
}
