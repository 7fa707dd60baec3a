#include "MascotActor.h"

#include "MzActorManager.h"
#include "MzColladaReader.h"
#include "MzGraphics.h"
#include "MzLog.h"
#include "MzRenderPass.h"
#include "MzSquirrel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace {

// Bit 0 of the model's flags: the model stands in the model draw list.
constexpr std::uint32_t kModelInDrawList = 1;

constexpr const char* kPushFailed = "Push(): could not create INSTANCE (check registration name)";

// The address of this object is the type tag of cpp_Mascot.
const int s_typeTag = 0;

// Registered mascots by id, from OnCreate to the end of their destruction.
std::unordered_map<std::int32_t, MascotActor*>& LiveMascots() {
    static std::unordered_map<std::int32_t, MascotActor*> mascots;
    return mascots;
}

} // namespace

// ---------------------------------------------------------------- construction

MascotActor::MascotActor(const std::string& modelPath, std::int32_t count, float scale) {
    MzColladaReader::ReadModel(modelPath, model, scale);
    motionCount = std::max<std::int32_t>(count, 0);
    if (motionCount >= 1) motions = std::make_unique<MzMotionData[]>(static_cast<std::size_t>(motionCount));
    motion.Bind(model);
    if (motionCount >= 1) {
        currentMotion = 0;
        motion.Start(&motions[0]);
    }
}

MascotActor::~MascotActor() {
    if (fsm.RunningState() == nullptr) EndState();
    // A mascot deleted without OnRemove must not stay in the lists.
    if (model.flags & kModelInDrawList) OnRemove();
    motion.Start(nullptr);
    auto live = LiveMascots().find(id);
    if (live != LiveMascots().end() && live->second == this) LiveMascots().erase(live);
}

void MascotActor::OnCreate() {
    MzGetDrawLists().models.Add(&model);
    model.flags |= kModelInDrawList;
    pickObject.Bind(&model, id);
    if (g_objectManager != nullptr) g_objectManager->Add(&pickObject);
    LiveMascots()[id] = this;
}

void MascotActor::OnRemove() {
    MzGetDrawLists().models.Remove(&model);
    model.flags &= ~kModelInDrawList;
    if (g_objectManager != nullptr) g_objectManager->Remove(&pickObject);
}

// ---------------------------------------------------------------- frame

void MascotActor::Update() {
    Turn();
    UpdateTransform();
    ClampIntoWorldBox();
    motion.Update(static_cast<std::uint32_t>(std::max(g_frameElapsedMs, 0)));
    motion.Apply(model);
    CallWithInstance(onLoop);
    fsm.Loop();
}

// Advances the turn; only the steps d and d - 2π are considered, so some turns take the long way.
void MascotActor::Turn() {
    turnProgress = turnDuration != 0 ? turnProgress + static_cast<float>(g_frameElapsedMs) / turnDuration : 1;
    if (turnProgress >= 1) {
        turnProgress = 1;
        direction = turnStart = targetDirection;
        return;
    }
    float d = targetDirection - turnStart;
    d = d - std::trunc(d / kTwoPi) * kTwoPi;
    const float e = d - kTwoPi;
    const float step = std::fabs(e) > std::fabs(d) ? d : e;
    direction = turnStart + turnProgress * step;
}

void MascotActor::UpdateTransform() {
    Matrix4x4 rotation;
    D3DXMatrixRotationYawPitchRoll(&rotation, direction, 0, 0);
    Matrix4x4& m = model.worldMatrix;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            m.m[r][c] = rotation.m[r][c] * transformScale;
    m.m[3][3] = 1;
}

// An empty world box (none configured) clamps nothing.
void MascotActor::ClampIntoWorldBox() {
    if (g_graphics == nullptr) return;
    const BoundingBox& box = g_graphics->device.worldBox;
    if (box.min.x > box.max.x || box.min.y > box.max.y || box.min.z > box.max.z) return;
    float* p = model.worldMatrix.m[3];
    p[0] = std::min(std::max(p[0], box.min.x), box.max.x);
    p[1] = std::min(std::max(p[1], box.min.y), box.max.y);
    p[2] = std::min(std::max(p[2], box.min.z), box.max.z);
}

// ---------------------------------------------------------------- steering

void MascotActor::SetDir(float angle, std::int32_t ms) {
    targetDirection = angle;
    turnProgress = 0;
    if (ms != 0) {
        turnDuration = ms;
        turnStart = direction;
        return;
    }
    direction = turnStart = angle;
    UpdateTransform();
    turnDuration = 0;
}

void MascotActor::SetTransformScale(float scale) {
    transformScale = scale;
    UpdateTransform();
}

void MascotActor::SetPos(float x, float y, float z) {
    float* p = model.worldMatrix.m[3];
    p[0] = x;
    p[1] = y;
    p[2] = z;
    p[3] = 1;
}

std::int32_t MascotActor::FindMotion(const std::string& name) const {
    for (std::int32_t i = 0; i < motionCount; ++i)
        if (motions[i].name == name) return i;
    return -1;
}

void MascotActor::LoadMotion(const std::string& name, const std::string& file) {
    const std::int32_t index = FindMotion(name);
    if (index < 0) return;
    MzColladaReader::ReadMotion(file, motions[index], model, 1.0f);
}

void MascotActor::SetMotion(const std::string& name) {
    const std::int32_t index = FindMotion(name);
    if (index < 0) {
        MzLog("SetMotion: no motion named [%s]; the current motion keeps playing\n", name.c_str());
        return;
    }
    currentMotion = index;
    motion.Start(&motions[index]);
}

bool MascotActor::ChangeState(const HSQOBJECT& stateObject) {
    if (m_endingState || (fsm.RunningState() != nullptr && fsm.RunningState() != &state)) return true;
    MzSquirrelValue instance;
    if (!NewInstance(MzSquirrel::GetVM(), id, &instance)) return false;
    EndState();
    state.stateObject = MzSquirrelValue(stateObject);
    state.ownerInstance = instance;
    fsm.ChangeState(&state);
    return true;
}

void MascotActor::EndState() {
    m_endingState = true;
    fsm.EndState();
    m_endingState = false;
}

// ---------------------------------------------------------------- callbacks

void MascotActor::SetCallback_Loop(const HSQOBJECT& environment, const HSQOBJECT& function) {
    onLoop = MzSquirrelFunction(environment, function);
}

void MascotActor::SetCallback_Catch(const HSQOBJECT& environment, const HSQOBJECT& function) {
    onCatch = MzSquirrelFunction(environment, function);
}

void MascotActor::SetCallback_Release(const HSQOBJECT& environment, const HSQOBJECT& function) {
    onRelease = MzSquirrelFunction(environment, function);
}

void MascotActor::CallCatch() {
    CallWithInstance(onCatch);
}

void MascotActor::CallRelease() {
    CallWithInstance(onRelease);
}

// Inside the frame cycle there is no script to raise an error into: a missing class is logged and
// the callback skipped, so the frame goes on.
void MascotActor::CallWithInstance(const MzSquirrelFunction& callback) {
    if (callback.IsEmpty()) return;
    MzSquirrelValue instance;
    if (!NewInstance(MzSquirrel::GetVM(), id, &instance)) {
        MzSquirrel::ReportError(nullptr, "%s", kPushFailed);
        return;
    }
    callback.Call(&instance, 1);
}

// ---------------------------------------------------------------- binding

SQUserPointer MascotActor::TypeTag() {
    return const_cast<int*>(&s_typeTag);
}

bool MascotActor::NewInstance(HSQUIRRELVM vm, std::int32_t mascotId, MzSquirrelValue* out) {
    if (vm == nullptr) return false;
    const SQInteger top = sq_gettop(vm);
    sq_pushroottable(vm);
    sq_pushstring(vm, kClassName, -1);
    bool made = SQ_SUCCEEDED(sq_get(vm, -2)) && sq_gettype(vm, -1) == OT_CLASS &&
                SQ_SUCCEEDED(sq_createinstance(vm, -1));
    if (made) {
        BindInstance(vm, -1, mascotId);
        SQUserPointer bound = nullptr;
        made = SQ_SUCCEEDED(sq_getinstanceup(vm, -1, &bound, TypeTag(), SQFalse));
    }
    if (made) {
        HSQOBJECT instance;
        sq_getstackobj(vm, -1, &instance);
        *out = MzSquirrelValue(instance);
    }
    sq_settop(vm, top);
    return made;
}

void MascotActor::BindInstance(HSQUIRRELVM vm, SQInteger index, std::int32_t mascotId) {
    sq_setinstanceup(vm, index, reinterpret_cast<SQUserPointer>(static_cast<std::intptr_t>(mascotId)));
}

MascotActor* MascotActor::FromId(std::int32_t mascotId) {
    auto live = LiveMascots().find(mascotId);
    return live != LiveMascots().end() ? live->second : nullptr;
}
