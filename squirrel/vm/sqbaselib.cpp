// The base library (global functions) and the default delegates of every type.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "sqvm.h"

namespace {

using V = SQVM*;

Value& Arg(V v, SQInteger i) {
    return v->At(i);
}
SQInteger Nargs(V v) {
    return v->top - v->StackBase();
}
SQInteger Ret(V v, const Value& r) {
    v->Push(r);
    return 1;
}
SQInteger Err(V v, const std::string& m) {
    v->lastError = v->NewString(m);
    v->errorReported = false;
    return SQ_ERROR;
}

// Calls fn with this + args pushed by the caller at argBase; errors propagate.
Value Invoke(V v, const Value& fn, std::initializer_list<Value> args) {
    SQInteger argBase = v->top;
    for (auto& a : args)
        v->Push(a);
    Value r;
    // like upstream's natives: the callback's error is reported where the native call fails
    if (!v->Call(fn, SQInteger(args.size()), argBase, r, false)) throw SQThrow{};
    return r;
}

std::string ToStr(V v, const Value& x) {
    Value s;
    v->ToString(x, s);
    return std::string(s.As<SQString>()->View());
}

// --- global functions ---------------------------------------------------------------------------

SQInteger base_print(V v) {
    std::string s = ToStr(v, Arg(v, 2));
    if (v->ss->print) v->ss->print(v, "%s", s.c_str());
    return 0;
}

// Does nothing; scripts use it as a placeholder callback.
SQInteger base_dummy(V) {
    return 0;
}

SQInteger base_error(V v) {
    std::string s = ToStr(v, Arg(v, 2));
    if (v->ss->error) v->ss->error(v, "%s", s.c_str());
    return 0;
}

SQInteger base_type(V v) {
    return Ret(v, v->NewString(sqV_typename(Arg(v, 2)._type)));
}
SQInteger base_getroottable(V v) {
    return Ret(v, v->roottable);
}
SQInteger base_getconsttable(V v) {
    return Ret(v, v->ss->constTable);
}

SQInteger base_setroottable(V v) {
    Value old = v->roottable;
    if (Arg(v, 2)._type != OT_TABLE) return Err(v, "wrong type");
    v->roottable = Arg(v, 2);
    return Ret(v, old);
}

SQInteger base_setconsttable(V v) {
    Value old = v->ss->constTable;
    if (Arg(v, 2)._type != OT_TABLE) return Err(v, "wrong type");
    v->ss->constTable = Arg(v, 2);
    return Ret(v, old);
}

SQInteger base_assert(V v) {
    if (sqV_truthy(Arg(v, 2))) return 0;
    if (Nargs(v) > 2) return Err(v, ToStr(v, Arg(v, 3)));
    return Err(v, "assertion failed");
}

SQInteger base_array(V v) {
    SQInteger n = Arg(v, 2)._type == OT_INTEGER ? Arg(v, 2).Int() : SQInteger(Arg(v, 2).Float());
    if (n < 0) return Err(v, "negative size");
    SQArray* a = NewObject<SQArray>(v->ss);
    Value r(OT_ARRAY, a);
    a->items.assign(size_t(n), Nargs(v) > 2 ? Arg(v, 3) : Value());
    return Ret(v, r);
}

SQInteger base_seterrorhandler(V v) {
    v->errorHandler = Arg(v, 2);
    return 0;
}

SQInteger base_setdebughook(V v) {
    v->SetDebugHook(Arg(v, 2), nullptr);
    return 0;
}

SQInteger base_enabledebuginfo(V v) {
    v->ss->debugInfo = sqV_truthy(Arg(v, 2));
    return 0;
}

SQInteger base_compilestring(V v) {
    const Value& src = Arg(v, 2);
    const char* name = Nargs(v) > 2 ? Arg(v, 3).As<SQString>()->data : "unnamedbuffer";
    if (SQ_FAILED(sq_compilebuffer(v, src.As<SQString>()->data, src.As<SQString>()->len, name, SQFalse)))
        return SQ_ERROR;
    return 1;
}

SQInteger base_collectgarbage(V v) {
    return Ret(v, Value(sq_collectgarbage(v)));
}
SQInteger base_resurrectunreachable(V v) {
    return Ret(v, Value());
}

SQInteger base_callee(V v) {
    if (v->frames.size() < 2) return Err(v, "no closure in the calls stack");
    SQCallFrame& f = v->frames[v->frames.size() - 2];
    return Ret(v, f.closure ? Value(OT_CLOSURE, f.closure) : Value(OT_NATIVECLOSURE, f.native));
}

SQInteger base_newthread(V v) {
    Value fn = Arg(v, 2);
    HSQUIRRELVM t = sq_newthread(v, 1024);
    t->Push(fn);
    return 1;
}

SQInteger base_suspend(V v) {
    if (v == v->ss->root) return Err(v, "cannot suspend the main vm");
    v->suspendRequest = true;
    v->retval = Nargs(v) > 1 ? Arg(v, 2) : Value();
    return SQ_SUSPEND_FLAG;
}

SQInteger base_getstackinfos(V v) {
    SQInteger level = Arg(v, 2).Int();
    SQStackInfos si;
    if (SQ_FAILED(sq_stackinfos(v, level, &si))) return Ret(v, Value());
    SQTable* t = NewObject<SQTable>(v->ss);
    Value r(OT_TABLE, t);
    t->Set(v->NewString("func"), v->NewString(si.funcname));
    t->Set(v->NewString("src"), v->NewString(si.source));
    t->Set(v->NewString("line"), Value(si.line));
    SQTable* locals = NewObject<SQTable>(v->ss);
    Value lv(OT_TABLE, locals);
    const char* name;
    for (SQUnsignedInteger seq = 0; (name = sq_getlocal(v, SQUnsignedInteger(level), seq)) != nullptr;
         ++seq) {
        locals->Set(v->NewString(name), v->Top());
        v->Pop(1);
    }
    t->Set(v->NewString("locals"), lv);
    return Ret(v, r);
}

// --- shared delegate functions ----------------------------------------------------------------------

SQInteger obj_weakref(V v) {
    sq_weakref(v, 1);
    return 1;
}

SQInteger obj_tostring(V v) {
    return Ret(v, v->NewString(ToStr(v, Arg(v, 1))));
}

SQInteger obj_len(V v) {
    const Value& o = Arg(v, 1);
    switch (o._type) {
    case OT_STRING:
        return Ret(v, Value(o.As<SQString>()->len));
    case OT_ARRAY:
        return Ret(v, Value(SQInteger(o.As<SQArray>()->items.size())));
    case OT_TABLE:
        return Ret(v, Value(o.As<SQTable>()->count));
    default:
        return Ret(v, Value(SQInteger(0)));
    }
}

SQInteger obj_rawget(V v) {
    Value out;
    if (!v->Get(Arg(v, 1), Arg(v, 2), out, SQVM::kGetRaw | SQVM::kGetNoThrow))
        return Err(v, "the index doesn't exist");
    return Ret(v, out);
}

SQInteger obj_rawset(V v) {
    if (Arg(v, 1)._type == OT_TABLE) {
        if (Arg(v, 2).IsNull()) return Err(v, "null cannot be used as index");
        Arg(v, 1).As<SQTable>()->Set(Arg(v, 2), Arg(v, 3));
    } else if (Arg(v, 1)._type == OT_CLASS) {
        v->NewSlot(Arg(v, 1), Arg(v, 2), Arg(v, 3), false, true);
    } else {
        v->Set(Arg(v, 1), Arg(v, 2), Arg(v, 3), true);
    }
    v->Push(Arg(v, 1));
    return 1;
}

SQInteger obj_rawin(V v) {
    Value out;
    return Ret(v, Value(v->Get(Arg(v, 1), Arg(v, 2), out, SQVM::kGetRaw | SQVM::kGetNoThrow)));
}

SQInteger obj_rawdelete(V v) {
    Value out;
    if (!v->Get(Arg(v, 1), Arg(v, 2), out, SQVM::kGetRaw | SQVM::kGetNoThrow)) return Ret(v, Value());
    return Ret(v, v->DeleteSlot(Arg(v, 1), Arg(v, 2), true));
}

SQInteger obj_clear(V v) {
    sq_clear(v, 1);
    v->Push(Arg(v, 1));
    return 1;
}

// --- tables ---------------------------------------------------------------------------------------------

SQInteger table_setdelegate(V v) {
    const Value& d = Arg(v, 2);
    if (d._type != OT_TABLE && d._type != OT_NULL) return Err(v, "wrong type");
    for (Value p = d; p._type == OT_TABLE; p = p.As<SQTable>()->delegate) {
        if (p.Ref() == Arg(v, 1).Ref()) return Err(v, "delegate cycle");
    }
    Arg(v, 1).As<SQTable>()->delegate = d;
    v->Push(Arg(v, 1));
    return 1;
}

SQInteger table_getdelegate(V v) {
    return Ret(v, Arg(v, 1).As<SQTable>()->delegate);
}

SQInteger table_filter(V v) {
    SQTable* src = Arg(v, 1).As<SQTable>();
    Value fn = Arg(v, 2);
    SQTable* dst = NewObject<SQTable>(v->ss);
    Value r(OT_TABLE, dst);
    for (size_t i = 0; i < src->nodes.size(); ++i) {
        if (src->nodes[i].key.IsNull()) continue;
        Value key = src->nodes[i].key, val = src->nodes[i].val;
        if (sqV_truthy(Invoke(v, fn, {Arg(v, 1), key, val}))) dst->Set(key, val);
    }
    return Ret(v, r);
}

SQInteger table_keys(V v) {
    SQTable* t = Arg(v, 1).As<SQTable>();
    SQArray* a = NewObject<SQArray>(v->ss);
    Value r(OT_ARRAY, a);
    for (auto& n : t->nodes)
        if (!n.key.IsNull()) a->items.push_back(n.key);
    return Ret(v, r);
}

SQInteger table_values(V v) {
    SQTable* t = Arg(v, 1).As<SQTable>();
    SQArray* a = NewObject<SQArray>(v->ss);
    Value r(OT_ARRAY, a);
    for (auto& n : t->nodes)
        if (!n.key.IsNull()) a->items.push_back(n.val);
    return Ret(v, r);
}

// --- arrays ---------------------------------------------------------------------------------------------

SQVector<Value>& Items(V v) {
    return Arg(v, 1).As<SQArray>()->items;
}

SQInteger array_append(V v) {
    Items(v).push_back(Arg(v, 2));
    v->Push(Arg(v, 1));
    return 1;
}

SQInteger array_extend(V v) {
    auto src = Arg(v, 2).As<SQArray>()->items;
    for (auto& x : src)
        Items(v).push_back(x);
    v->Push(Arg(v, 1));
    return 1;
}

SQInteger array_pop(V v) {
    if (Items(v).empty()) return Err(v, "empty array");
    Value last = Items(v).back();
    Items(v).pop_back();
    return Ret(v, last);
}

SQInteger array_top(V v) {
    if (Items(v).empty()) return Err(v, "top() on a empty array");
    return Ret(v, Items(v).back());
}

SQInteger array_insert(V v) {
    SQInteger at = Arg(v, 2).Int();
    if (at < 0 || at > SQInteger(Items(v).size())) return Err(v, "index out of range");
    Items(v).insert(Items(v).begin() + at, Arg(v, 3));
    v->Push(Arg(v, 1));
    return 1;
}

SQInteger array_remove(V v) {
    SQInteger at = Arg(v, 2).Int();
    if (at < 0 || at >= SQInteger(Items(v).size())) return Err(v, "idx out of range");
    Value old = Items(v)[size_t(at)];
    Items(v).erase(Items(v).begin() + at);
    return Ret(v, old);
}

SQInteger array_resize(V v) {
    SQInteger n = Arg(v, 2)._type == OT_INTEGER ? Arg(v, 2).Int() : SQInteger(Arg(v, 2).Float());
    if (n < 0) return Err(v, "resizing to negative length");
    Items(v).resize(size_t(n), Nargs(v) > 2 ? Arg(v, 3) : Value());
    v->Push(Arg(v, 1));
    return 1;
}

SQInteger array_reverse(V v) {
    std::reverse(Items(v).begin(), Items(v).end());
    v->Push(Arg(v, 1));
    return 1;
}

// The classic heap sort with children at 2*root and 2*root+1: the order in which it compares
// elements (visible through comparators and errors) and places equal ones matches upstream's.
void SiftDown(SQVector<Value>& a, size_t root, size_t bottom,
              const std::function<SQInteger(const Value&, const Value&)>& cmp) {
    while (root * 2 <= bottom) {
        size_t maxChild = root * 2;
        if (root * 2 != bottom && cmp(a[root * 2], a[root * 2 + 1]) <= 0) maxChild = root * 2 + 1;
        if (cmp(a[root], a[maxChild]) >= 0) return;
        std::swap(a[root], a[maxChild]);
        root = maxChild;
    }
}

SQInteger array_sort(V v) {
    Value fn = Nargs(v) > 1 ? Arg(v, 2) : Value();
    Value self = Arg(v, 1);
    SQVector<Value> items = Items(v);
    auto cmp = [&](const Value& a, const Value& b) -> SQInteger {
        if (fn.IsNull()) return v->Compare(a, b);
        Value r = Invoke(v, fn, {v->roottable, a, b});
        switch (r._type) {
        case OT_INTEGER:
            return r.Int();
        case OT_FLOAT:
            return r.Float() > 0 ? 1 : r.Float() < 0 ? -1 : 0;
        case OT_BOOL:
            return r._unVal.raw ? 1 : 0;
        default:
            v->Raise("numeric value expected as return value of the compare function");
        }
    };
    if (items.size() > 1) {
        for (size_t i = items.size() / 2 + 1; i-- > 0;)
            SiftDown(items, i, items.size() - 1, cmp);
        for (size_t i = items.size() - 1; i >= 1; --i) {
            std::swap(items[0], items[i]);
            SiftDown(items, 0, i - 1, cmp);
        }
    }
    self.As<SQArray>()->items = std::move(items);
    v->Push(self);
    return 1;
}

// The [start, end) of a slice-like call's optional arguments 2 and 3 (negative: from the end) over
// `size` items; the error message when they do not fit.
const char* SliceRange(V v, SQInteger size, SQInteger& start, SQInteger& end) {
    start = Nargs(v) > 1 ? Arg(v, 2).Int() : 0;
    end = Nargs(v) > 2 ? Arg(v, 3).Int() : size;
    if (start < 0) start += size;
    if (end < 0) end += size;
    if (start > end) return "wrong indexes";
    if (start < 0 || end > size) return "slice out of range";
    return nullptr;
}

SQInteger array_slice(V v) {
    SQInteger size = SQInteger(Items(v).size());
    SQInteger start, end;
    if (const char* error = SliceRange(v, size, start, end)) return Err(v, error);
    SQArray* a = NewObject<SQArray>(v->ss);
    Value r(OT_ARRAY, a);
    a->items.assign(Items(v).begin() + start, Items(v).begin() + end);
    return Ret(v, r);
}

// How many of (value, index, array) a callback takes.
SQInteger CallbackArity(const Value& fn) {
    if (fn._type != OT_CLOSURE) return 1;
    SQFunctionProto* p = fn.As<SQClosure>()->Proto();
    if (p->varParams) return 3;
    return std::min<SQInteger>(3, std::max<SQInteger>(1, p->nparams - 1));
}

Value CallWithItem(V v, const Value& fn, SQInteger arity, const Value& self, const Value& x, size_t i) {
    switch (arity) {
    case 1:
        return Invoke(v, fn, {self, x});
    case 2:
        return Invoke(v, fn, {self, x, Value(SQInteger(i))});
    default:
        return Invoke(v, fn, {self, x, Value(SQInteger(i)), self});
    }
}

// A new table with the same keys, each value replaced by fn(value [, key [, table]]).
SQInteger table_map(V v) {
    SQTable* src = Arg(v, 1).As<SQTable>();
    Value fn = Arg(v, 2);
    SQTable* dst = NewObject<SQTable>(v->ss);
    Value r(OT_TABLE, dst);
    SQInteger arity = CallbackArity(fn);
    for (size_t i = 0; i < src->nodes.size(); ++i) {
        if (src->nodes[i].key.IsNull()) continue;
        Value key = src->nodes[i].key, val = src->nodes[i].val;
        Value mapped = arity == 1   ? Invoke(v, fn, {Arg(v, 1), val})
                       : arity == 2 ? Invoke(v, fn, {Arg(v, 1), val, key})
                                    : Invoke(v, fn, {Arg(v, 1), val, key, Arg(v, 1)});
        dst->Set(key, mapped);
    }
    return Ret(v, r);
}

SQInteger array_map(V v) {
    Value fn = Arg(v, 2);
    SQVector<Value> src = Items(v);
    SQArray* a = NewObject<SQArray>(v->ss);
    Value r(OT_ARRAY, a);
    SQInteger arity = CallbackArity(fn);
    for (size_t i = 0; i < src.size(); ++i)
        a->items.push_back(CallWithItem(v, fn, arity, Arg(v, 1), src[i], i));
    return Ret(v, r);
}

SQInteger array_apply(V v) {
    Value fn = Arg(v, 2);
    Value self = Arg(v, 1);
    for (size_t i = 0; i < self.As<SQArray>()->items.size(); ++i) {
        Value x = self.As<SQArray>()->items[i];
        Value r = CallWithItem(v, fn, CallbackArity(fn), self, x, i);
        if (i < self.As<SQArray>()->items.size()) self.As<SQArray>()->items[i] = r;
    }
    v->Push(self);
    return 1;
}

SQInteger array_reduce(V v) {
    Value fn = Arg(v, 2);
    SQVector<Value> src = Items(v);
    size_t i = 0;
    Value acc;
    if (Nargs(v) > 2) {
        acc = Arg(v, 3);
    } else {
        if (src.empty()) return Ret(v, Value());
        acc = src[0];
        i = 1;
    }
    for (; i < src.size(); ++i)
        acc = Invoke(v, fn, {Arg(v, 1), acc, src[i]});
    return Ret(v, acc);
}

SQInteger array_filter(V v) {
    Value fn = Arg(v, 2);
    SQVector<Value> src = Items(v);
    SQArray* a = NewObject<SQArray>(v->ss);
    Value r(OT_ARRAY, a);
    for (size_t i = 0; i < src.size(); ++i)
        if (sqV_truthy(Invoke(v, fn, {Arg(v, 1), Value(SQInteger(i)), src[i]}))) a->items.push_back(src[i]);
    return Ret(v, r);
}

SQInteger array_find(V v) {
    auto& items = Items(v);
    for (size_t i = 0; i < items.size(); ++i)
        if (v->Equal(items[i], Arg(v, 2))) return Ret(v, Value(SQInteger(i)));
    return Ret(v, Value());
}

// --- strings --------------------------------------------------------------------------------------------

std::string_view Str(V v, SQInteger i) {
    return Arg(v, i).As<SQString>()->View();
}

SQInteger string_slice(V v) {
    SQInteger size = Arg(v, 1).As<SQString>()->len;
    SQInteger start, end;
    if (const char* error = SliceRange(v, size, start, end)) return Err(v, error);
    return Ret(v, v->NewString(Str(v, 1).substr(size_t(start), size_t(end - start))));
}

SQInteger string_find(V v) {
    SQInteger from = Nargs(v) > 2 ? Arg(v, 3).Int() : 0;
    std::string_view s = Str(v, 1);
    if (from < 0 || from > SQInteger(s.size())) return Ret(v, Value());
    size_t at = s.find(Str(v, 2), size_t(from));
    return Ret(v, at == std::string_view::npos ? Value() : Value(SQInteger(at)));
}

// The string with the characters in [start, end) (default: all of them) changed to one case.
SQInteger string_case(V v, bool upper) {
    std::string s(Str(v, 1));
    SQInteger size = SQInteger(s.size());
    SQInteger start, end;
    if (const char* error = SliceRange(v, size, start, end)) return Err(v, error);
    for (SQInteger i = start; i < end; ++i) {
        auto c = (unsigned char)s[size_t(i)];
        s[size_t(i)] = char(upper ? std::toupper(c) : std::tolower(c));
    }
    return Ret(v, v->NewString(s));
}
SQInteger string_tolower(V v) {
    return string_case(v, false);
}
SQInteger string_toupper(V v) {
    return string_case(v, true);
}

SQInteger string_tointeger(V v) {
    std::string s(Str(v, 1));
    int base = Nargs(v) > 1 ? int(Arg(v, 2).Int()) : 10;
    char* end = nullptr;
    long long n = std::strtoll(s.c_str(), &end, base);
    if (end == s.c_str()) return Err(v, "cannot convert the string");
    if (base == 10 && (*end == '.' || *end == 'e' || *end == 'E'))
        return Ret(v, Value(SQInteger(std::strtod(s.c_str(), nullptr))));
    return Ret(v, Value(SQInteger(n)));
}

SQInteger string_tofloat(V v) {
    std::string s(Str(v, 1));
    char* end = nullptr;
    double d = std::strtod(s.c_str(), &end);
    // a number starts with a digit or '.' after its sign: "inf" and "nan" are words, not numbers
    size_t first = s.find_first_not_of(" \t\n\r\f\v+-");
    bool numeric = first != std::string::npos && (std::isdigit((unsigned char)s[first]) || s[first] == '.');
    if (end == s.c_str() || !numeric) return Err(v, "cannot convert the string");
    return Ret(v, Value(SQFloat(d)));
}

// --- numbers --------------------------------------------------------------------------------------------

SQInteger number_tointeger(V v) {
    const Value& o = Arg(v, 1);
    if (o._type == OT_FLOAT) return Ret(v, Value(SQInteger(o.Float())));
    if (o._type == OT_BOOL) return Ret(v, Value(SQInteger(o._unVal.raw ? 1 : 0)));
    return Ret(v, o);
}

SQInteger number_tofloat(V v) {
    const Value& o = Arg(v, 1);
    if (o._type == OT_INTEGER) return Ret(v, Value(SQFloat(o.Int())));
    if (o._type == OT_BOOL) return Ret(v, Value(SQFloat(o._unVal.raw ? 1 : 0)));
    return Ret(v, o);
}

SQInteger number_tochar(V v) {
    const Value& o = Arg(v, 1);
    char c = char(o._type == OT_INTEGER ? o.Int() : SQInteger(o.Float()));
    return Ret(v, v->NewString(std::string_view(&c, 1)));
}

// --- closures -------------------------------------------------------------------------------------------

SQInteger closure_call(V v) {
    SQInteger n = Nargs(v);
    Value fn = Arg(v, 1);
    SQInteger argBase = v->top;
    for (SQInteger i = 2; i <= n; ++i)
        v->Push(Arg(v, i));
    Value r;
    v->CallValue(fn, n - 1, argBase, r);
    return Ret(v, r);
}

SQInteger closure_pcall(V v) {
    SQInteger n = Nargs(v);
    Value fn = Arg(v, 1);
    SQInteger argBase = v->top;
    for (SQInteger i = 2; i <= n; ++i)
        v->Push(Arg(v, i));
    Value r;
    if (!v->Call(fn, n - 1, argBase, r, false)) return SQ_ERROR;
    return Ret(v, r);
}

SQInteger closure_acall_impl(V v, bool raise) {
    Value fn = Arg(v, 1);
    SQVector<Value> args = Arg(v, 2).As<SQArray>()->items;
    SQInteger argBase = v->top;
    for (auto& a : args)
        v->Push(a);
    Value r;
    if (raise)
        v->CallValue(fn, SQInteger(args.size()), argBase, r);
    else if (!v->Call(fn, SQInteger(args.size()), argBase, r, false))
        return SQ_ERROR;
    return Ret(v, r);
}
SQInteger closure_acall(V v) {
    return closure_acall_impl(v, true);
}
SQInteger closure_pacall(V v) {
    return closure_acall_impl(v, false);
}

SQInteger closure_bindenv(V v) {
    if (SQ_FAILED(sq_bindenv(v, 1))) return SQ_ERROR;
    return 1;
}

SQInteger closure_getinfos(V v) {
    const Value& o = Arg(v, 1);
    SQTable* t = NewObject<SQTable>(v->ss);
    Value r(OT_TABLE, t);
    if (o._type == OT_CLOSURE) {
        SQFunctionProto* p = o.As<SQClosure>()->Proto();
        SQArray* params = NewObject<SQArray>(v->ss);
        Value pv(OT_ARRAY, params);
        for (int32_t i = 0; i < p->nparams + (p->varParams ? 1 : 0); ++i)
            params->items.push_back(p->locals[size_t(i)].name);
        if (p->varParams) params->items.push_back(v->NewString("..."));
        SQArray* defs = NewObject<SQArray>(v->ss);
        Value dv(OT_ARRAY, defs);
        for (auto& d : o.As<SQClosure>()->defaults)
            defs->items.push_back(d);
        t->Set(v->NewString("native"), Value(false));
        t->Set(v->NewString("name"), p->name);
        t->Set(v->NewString("src"), p->source);
        t->Set(v->NewString("parameters"), pv);
        t->Set(v->NewString("varargs"), Value(SQInteger(p->varParams ? 1 : 0)));
        t->Set(v->NewString("defparams"), dv);
    } else {
        SQNativeClosure* nc = o.As<SQNativeClosure>();
        SQArray* mask = NewObject<SQArray>(v->ss);
        Value mv(OT_ARRAY, mask);
        for (auto m : nc->typecheck)
            mask->items.push_back(Value(m));
        t->Set(v->NewString("native"), Value(true));
        t->Set(v->NewString("name"), nc->name);
        t->Set(v->NewString("paramscheck"), Value(nc->nparamscheck));
        t->Set(v->NewString("typecheck"), mv);
    }
    return Ret(v, r);
}

SQInteger closure_setroot(V v) {
    if (SQ_FAILED(sq_setclosureroot(v, 1))) return SQ_ERROR;
    return 0;
}

SQInteger closure_getroot(V v) {
    if (SQ_FAILED(sq_getclosureroot(v, 1))) return SQ_ERROR;
    return 1;
}

// --- generators and threads -----------------------------------------------------------------------------

SQInteger generator_getstatus(V v) {
    switch (Arg(v, 1).As<SQGenerator>()->state) {
    case GenState::Running:
        return Ret(v, v->NewString("running"));
    case GenState::Suspended:
        return Ret(v, v->NewString("suspended"));
    default:
        return Ret(v, v->NewString("dead"));
    }
}

SQInteger thread_call(V v) {
    SQVM* t = Arg(v, 1).As<SQVM>();
    if (t->state != SQ_VMSTATE_IDLE) return Err(v, "wrong status");
    if (t->top < 1) return Err(v, "no function in the thread");
    SQInteger n = Nargs(v);
    Value fn = t->stack[0];
    t->Pop(t->top);
    t->frames.clear();
    t->Push(fn);
    t->Push(fn);
    t->Push(t->roottable);
    for (SQInteger i = 2; i <= n; ++i)
        t->Push(Arg(v, i));
    t->state = SQ_VMSTATE_RUNNING;
    t->suspendRequest = false;
    SQRESULT r = sq_call(t, n, SQTrue, SQTrue);
    if (SQ_FAILED(r)) {
        t->state = SQ_VMSTATE_IDLE;
        v->lastError = t->lastError;
        v->errorReported = true;
        return SQ_ERROR;
    }
    if (t->suspendRequest) {
        t->state = SQ_VMSTATE_SUSPENDED;
        return Ret(v, t->retval);
    }
    t->state = SQ_VMSTATE_IDLE;
    Value result = t->Top();
    t->Pop(1);
    return Ret(v, result);
}

SQInteger thread_wakeup_impl(V v, bool throwIt) {
    SQVM* t = Arg(v, 1).As<SQVM>();
    if (t->state == SQ_VMSTATE_IDLE) return Err(v, "cannot wakeup a idle thread");
    if (t->state == SQ_VMSTATE_RUNNING) return Err(v, "cannot wakeup a running thread");
    t->Push(Nargs(v) > 1 ? Arg(v, 2) : Value());
    t->retval.Null();
    if (SQ_FAILED(sq_wakeupvm(t, SQTrue, SQTrue, SQTrue, throwIt ? SQTrue : SQFalse))) {
        v->lastError = t->lastError;
        v->errorReported = true;
        return SQ_ERROR;
    }
    Value result = t->Top();
    t->Pop(1);
    return Ret(v, result);
}
SQInteger thread_wakeup(V v) {
    return thread_wakeup_impl(v, false);
}
SQInteger thread_wakeupthrow(V v) {
    return thread_wakeup_impl(v, true);
}

SQInteger thread_getstackinfos(V v) {
    SQVM* t = Arg(v, 1).As<SQVM>();
    t->Push(t->roottable);
    t->Push(Arg(v, 2));
    // reuse the global implementation on the thread: level counts from the thread's top frame
    SQInteger level = Arg(v, 2).Int();
    t->Pop(2);
    SQStackInfos si;
    if (SQ_FAILED(sq_stackinfos(t, level, &si))) return Ret(v, Value());
    SQTable* tb = NewObject<SQTable>(v->ss);
    Value r(OT_TABLE, tb);
    tb->Set(v->NewString("func"), v->NewString(si.funcname));
    tb->Set(v->NewString("src"), v->NewString(si.source));
    tb->Set(v->NewString("line"), Value(si.line));
    return Ret(v, r);
}

SQInteger thread_getstatus(V v) {
    switch (Arg(v, 1).As<SQVM>()->state) {
    case SQ_VMSTATE_IDLE:
        return Ret(v, v->NewString("idle"));
    case SQ_VMSTATE_RUNNING:
        return Ret(v, v->NewString("running"));
    default:
        return Ret(v, v->NewString("suspended"));
    }
}

// --- classes, instances, weak references ----------------------------------------------------------------

SQInteger class_getattributes(V v) {
    v->Push(Arg(v, 2));
    if (SQ_FAILED(sq_getattributes(v, 1))) return SQ_ERROR;
    return 1;
}

SQInteger class_setattributes(V v) {
    v->Push(Arg(v, 2));
    v->Push(Arg(v, 3));
    if (SQ_FAILED(sq_setattributes(v, 1))) return SQ_ERROR;
    return 1;
}

SQInteger class_instance(V v) {
    return Ret(v, v->CreateInstance(Arg(v, 1).As<SQClass>()));
}
SQInteger class_getbase(V v) {
    return Ret(v, Arg(v, 1).As<SQClass>()->baseClass);
}

SQInteger class_newmember(V v) {
    Value attrs = Nargs(v) > 3 ? Arg(v, 4) : Value();
    bool isStatic = Nargs(v) > 4 && sqV_truthy(Arg(v, 5));
    v->NewMember(Arg(v, 1).As<SQClass>(), Arg(v, 2), Nargs(v) > 2 ? Arg(v, 3) : Value(), attrs, isStatic);
    return 0;
}

SQInteger instance_getclass(V v) {
    return Ret(v, Arg(v, 1).As<SQInstance>()->cls);
}
SQInteger weakref_ref(V v) {
    return Ret(v, Value(Arg(v, 1).As<SQWeakRef>()->target));
}

// --- registration ---------------------------------------------------------------------------------------

struct Reg {
    const char* name;
    SQFUNCTION fn;
    SQInteger nparams;
    const char* mask;
};

Value MakeNative(V v, const Reg& r) {
    sq_newclosure(v, r.fn, 0);
    sq_setparamscheck(v, r.nparams, r.mask);
    sq_setnativeclosurename(v, -1, r.name);
    Value f = v->Top();
    v->Pop(1);
    return f;
}

Value MakeDelegate(V v, std::initializer_list<Reg> regs) {
    SQTable* t = NewObject<SQTable>(v->ss);
    Value d(OT_TABLE, t);
    for (auto& r : regs)
        t->Set(v->NewString(r.name), MakeNative(v, r));
    return d;
}

} // namespace

void sqB_registerbaselib(SQVM* v) {
    static const Reg globals[] = {
        {"print", base_print, 2, nullptr},
        {"dummy", base_dummy, 0, nullptr},
        {"error", base_error, 2, nullptr},
        {"type", base_type, 2, nullptr},
        {"getroottable", base_getroottable, 1, nullptr},
        {"setroottable", base_setroottable, 2, nullptr},
        {"getconsttable", base_getconsttable, 1, nullptr},
        {"setconsttable", base_setconsttable, 2, nullptr},
        {"assert", base_assert, -2, nullptr},
        {"array", base_array, -2, ".n"},
        {"seterrorhandler", base_seterrorhandler, 2, ".c|o"},
        {"setdebughook", base_setdebughook, 2, ".c|o"},
        {"enabledebuginfo", base_enabledebuginfo, 2, nullptr},
        {"compilestring", base_compilestring, -2, ".ss"},
        {"collectgarbage", base_collectgarbage, 1, nullptr},
        {"resurrectunreachable", base_resurrectunreachable, 1, nullptr},
        {"callee", base_callee, 1, nullptr},
        {"newthread", base_newthread, 2, ".c"},
        {"suspend", base_suspend, -1, nullptr},
        {"getstackinfos", base_getstackinfos, 2, ".n"},
    };
    SQTable* root = v->roottable.As<SQTable>();
    for (auto& r : globals)
        root->Set(v->NewString(r.name), MakeNative(v, r));
    root->Set(v->NewString("_version_"), v->NewString(SQUIRREL_VERSION));
    root->Set(v->NewString("_versionnumber_"), Value(SQInteger(SQUIRREL_VERSION_NUMBER)));
    root->Set(v->NewString("_charsize_"), Value(SQInteger(1)));
    root->Set(v->NewString("_intsize_"), Value(SQInteger(sizeof(SQInteger))));
    root->Set(v->NewString("_floatsize_"), Value(SQInteger(sizeof(SQFloat))));
}

void sqB_initdelegates(SQSharedState* ss, SQVM* v) {
    ss->tableDelegate = MakeDelegate(v, {{"len", obj_len, 1, "t"},
                                         {"rawget", obj_rawget, 2, "t"},
                                         {"rawset", obj_rawset, 3, "t"},
                                         {"rawdelete", obj_rawdelete, 2, "t"},
                                         {"rawin", obj_rawin, 2, "t"},
                                         {"weakref", obj_weakref, 1, nullptr},
                                         {"tostring", obj_tostring, 1, nullptr},
                                         {"clear", obj_clear, 1, "t"},
                                         {"setdelegate", table_setdelegate, 2, ".t|o"},
                                         {"getdelegate", table_getdelegate, 1, "."},
                                         {"filter", table_filter, 2, "tc"},
                                         {"map", table_map, 2, "tc"},
                                         {"keys", table_keys, 1, "t"},
                                         {"values", table_values, 1, "t"}});
    ss->arrayDelegate = MakeDelegate(v, {{"len", obj_len, 1, "a"},
                                         {"append", array_append, 2, "a"},
                                         {"push", array_append, 2, "a"},
                                         {"extend", array_extend, 2, "aa"},
                                         {"pop", array_pop, 1, "a"},
                                         {"top", array_top, 1, "a"},
                                         {"insert", array_insert, 3, "an"},
                                         {"remove", array_remove, 2, "an"},
                                         {"resize", array_resize, -2, "an"},
                                         {"sort", array_sort, -1, "ac"},
                                         {"reverse", array_reverse, 1, "a"},
                                         {"slice", array_slice, -1, "ann"},
                                         {"weakref", obj_weakref, 1, nullptr},
                                         {"tostring", obj_tostring, 1, nullptr},
                                         {"clear", obj_clear, 1, "."},
                                         {"map", array_map, 2, "ac"},
                                         {"apply", array_apply, 2, "ac"},
                                         {"reduce", array_reduce, -2, "ac"},
                                         {"filter", array_filter, 2, "ac"},
                                         {"find", array_find, 2, "a."}});
    ss->stringDelegate = MakeDelegate(v, {{"len", obj_len, 1, "s"},
                                          {"tointeger", string_tointeger, -1, "sn"},
                                          {"tofloat", string_tofloat, 1, "s"},
                                          {"tostring", obj_tostring, 1, "."},
                                          {"slice", string_slice, -1, "s n  n"},
                                          {"find", string_find, -2, "s s n"},
                                          {"tolower", string_tolower, -1, "snn"},
                                          {"toupper", string_toupper, -1, "snn"},
                                          {"weakref", obj_weakref, 1, nullptr}});
    ss->numberDelegate = MakeDelegate(v, {{"tointeger", number_tointeger, 1, "n|b"},
                                          {"tofloat", number_tofloat, 1, "n|b"},
                                          {"tostring", obj_tostring, 1, "."},
                                          {"tochar", number_tochar, 1, "n|b"},
                                          {"weakref", obj_weakref, 1, nullptr}});
    ss->closureDelegate = MakeDelegate(v, {{"call", closure_call, -1, "c"},
                                           {"pcall", closure_pcall, -1, "c"},
                                           {"acall", closure_acall, 2, "ca"},
                                           {"pacall", closure_pacall, 2, "ca"},
                                           {"weakref", obj_weakref, 1, nullptr},
                                           {"tostring", obj_tostring, 1, "."},
                                           {"bindenv", closure_bindenv, 2, "c x|y|t"},
                                           {"getinfos", closure_getinfos, 1, "c"},
                                           {"setroot", closure_setroot, 2, "ct"},
                                           {"getroot", closure_getroot, 1, "c"}});
    ss->generatorDelegate = MakeDelegate(v, {{"getstatus", generator_getstatus, 1, "g"},
                                             {"weakref", obj_weakref, 1, nullptr},
                                             {"tostring", obj_tostring, 1, "."}});
    ss->threadDelegate = MakeDelegate(v, {{"call", thread_call, -1, "v"},
                                          {"wakeup", thread_wakeup, -1, "v"},
                                          {"wakeupthrow", thread_wakeupthrow, -2, "v"},
                                          {"getstackinfos", thread_getstackinfos, 2, "vn"},
                                          {"getstatus", thread_getstatus, 1, "v"},
                                          {"weakref", obj_weakref, 1, nullptr},
                                          {"tostring", obj_tostring, 1, "."}});
    ss->classDelegate = MakeDelegate(v, {{"getattributes", class_getattributes, 2, "y."},
                                         {"setattributes", class_setattributes, 3, "y.."},
                                         {"rawget", obj_rawget, 2, "y"},
                                         {"rawset", obj_rawset, 3, "y"},
                                         {"rawin", obj_rawin, 2, "y"},
                                         {"weakref", obj_weakref, 1, nullptr},
                                         {"tostring", obj_tostring, 1, "."},
                                         {"instance", class_instance, 1, "y"},
                                         {"getbase", class_getbase, 1, "y"},
                                         {"newmember", class_newmember, -3, "y"},
                                         {"rawnewmember", class_newmember, -3, "y"}});
    ss->instanceDelegate = MakeDelegate(v, {{"getclass", instance_getclass, 1, "x"},
                                            {"rawget", obj_rawget, 2, "x"},
                                            {"rawset", obj_rawset, 3, "x"},
                                            {"rawin", obj_rawin, 2, "x"},
                                            {"weakref", obj_weakref, 1, nullptr},
                                            {"tostring", obj_tostring, 1, "."}});
    ss->weakrefDelegate = MakeDelegate(v, {{"ref", weakref_ref, 1, "r"},
                                           {"weakref", obj_weakref, 1, nullptr},
                                           {"tostring", obj_tostring, 1, "."}});
}
