// The OpenGL 3.3 core backend.
#include "MzGLBackend.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLVersionFunctionsFactory>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "MzBuffer.h"
#include "MzGLShaders.h"
#include "MzPrim.h"
#include "MzTexture.h"
#include "MzVertexFormat.h"

namespace {

using GL = QOpenGLFunctions_3_3_Core;

// GL names whose owner died; deleted the next time the backend runs with its context current.
// `alive` turns false when the backend (and with it the context's objects) goes away.
struct GLGraveyard {
    bool alive = true;
    std::vector<GLuint> buffers, vertexArrays, textures, framebuffers, renderbuffers;
};

// The GL side of a prim's vertex buffer with its index buffer, welded (see Weld).
class GLBuffer : public MzGpuResource {
  public:
    std::shared_ptr<GLGraveyard> graveyard;
    GLuint buffer = 0;
    GLuint elements = 0;
    GLuint vertexArray = 0;
    uint32_t revision = 0;
    uint32_t indexRevision = 0;
    const MzIndexBuffer* indexSource = nullptr;
    int32_t formatId = -1;

    ~GLBuffer() override {
        if (graveyard == nullptr || !graveyard->alive) return;
        if (buffer != 0) graveyard->buffers.push_back(buffer);
        if (elements != 0) graveyard->buffers.push_back(elements);
        if (vertexArray != 0) graveyard->vertexArrays.push_back(vertexArray);
    }
};

// Prims are unindexed triangle lists, so every corner is its own vertex. Identical vertices become
// one here and the indices are remapped: the vertex shader (skinning and lighting, the largest cost
// on a software rasteriser) then runs once per distinct vertex. Indices beyond the buffer draw
// vertex 0 instead of reading outside it.
void Weld(const MzVertexBuffer& vb, const MzIndexBuffer& ib, size_t stride, std::vector<uint8_t>* vertices,
          std::vector<uint16_t>* indices) {
    const uint32_t n = vb.vertexCount;
    auto at = [&](uint32_t i) { return vb.data.data() + i * stride; };
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int c = std::memcmp(at(a), at(b), stride);
        return c < 0 || (c == 0 && a < b);
    });
    std::vector<uint16_t> remap(n);
    vertices->clear();
    for (uint32_t k = 0; k < n; ++k) {
        if (k == 0 || std::memcmp(at(order[k]), at(order[k - 1]), stride) != 0)
            vertices->insert(vertices->end(), at(order[k]), at(order[k]) + stride);
        remap[order[k]] = static_cast<uint16_t>(vertices->size() / stride - 1);
    }
    indices->resize(ib.data.size());
    for (size_t i = 0; i < ib.data.size(); ++i)
        (*indices)[i] = ib.data[i] < n ? remap[ib.data[i]] : 0;
}

class GLTexture : public MzGpuResource {
  public:
    std::shared_ptr<GLGraveyard> graveyard;
    GLuint texture = 0;
    GLuint framebuffer = 0;
    GLuint depth = 0;
    int32_t width = 0, height = 0;
    uint32_t revision = 0;

    ~GLTexture() override {
        if (graveyard == nullptr || !graveyard->alive) return;
        if (texture != 0) graveyard->textures.push_back(texture);
        if (framebuffer != 0) graveyard->framebuffers.push_back(framebuffer);
        if (depth != 0) graveyard->renderbuffers.push_back(depth);
    }
};

// The uniform values of a program, compared as a whole to skip redundant uploads.
struct Uniforms {
#define MZ_GL_FIELD(name, type, n) float name[MZ_GL_FLOATS_##type * (n)];
    MZ_GL_UNIFORMS(MZ_GL_FIELD)
#undef MZ_GL_FIELD

    bool operator==(const Uniforms& o) const {
        return std::memcmp(this, &o, sizeof *this) == 0;
    }
};

struct UniformLocations {
#define MZ_GL_FIELD(name, type, n) GLint name;
    MZ_GL_UNIFORMS(MZ_GL_FIELD)
#undef MZ_GL_FIELD
};

// One shader variant with what was last uploaded to it (uniforms belong to their program).
struct GLProgram {
    GLuint program = 0;
    UniformLocations loc{};
    Uniforms uniforms{};
    bool uniformsValid = false;
};

// The GL state this backend applied last; -1 (or ~0 names) = unknown. Viewport and scissor hold
// GL's x, y, width, height.
struct GLStateCache {
    GLuint framebuffer = ~0u;
    MzRect viewport{-1, -1, -1, -1};
    MzRect scissor{-1, -1, -1, -1};
    int blend = -1, depthTest = -1, depthMask = -1, cull = -1, wireframe = -1;
    GLuint texture = ~0u;
    GLuint vertexArray = ~0u;
    GLuint program = ~0u;
    float clearColor[4] = {-1, -1, -1, -1};
    float clearDepth = -1;
};

enum class AttributeKind { Float, Integer, Normalized };

// The shader switches a draw needs. A switch that cannot change the result is left off, so that
// equivalent states share one variant: specular light without lighting is 0, a texture stage
// without a texture samples white (selecting the diffuse colour then changes nothing).
uint32_t SwitchKey(const MzDeviceState& s, const MzVertexFormat& f, bool textured) {
    uint32_t key = 0;
    auto set = [&key](MzGLSwitch sw, bool on) {
        if (on) key |= MzGLBit(sw);
    };
    const bool skinned = f.blendWeights >= 0;
    const bool hasColor = f.diffuse >= 0;
    set(MzGLSwitch::SKINNED, skinned);
    set(MzGLSwitch::INDEXED, skinned && s.indexedVertexBlend && f.blendIndices >= 0);
    set(MzGLSwitch::HAS_COLOR, hasColor);
    set(MzGLSwitch::LIGHTING, s.lighting);
    set(MzGLSwitch::SPECULAR, s.lighting && s.specularEnable);
    set(MzGLSwitch::COLOR_VERTEX,
        s.lighting && hasColor && s.colorVertex && s.diffuseSource == MzMaterialSource::Color1);
    set(MzGLSwitch::LIGHT0, s.lighting && s.lights[0].enabled);
    set(MzGLSwitch::LIGHT1, s.lighting && s.lights[1].enabled);
    set(MzGLSwitch::FLAT, s.shadeMode == MzShadeMode::Flat);
    set(MzGLSwitch::TEXTURED, textured);
    set(MzGLSwitch::SELECT_ARG2, textured && s.colorOp == MzTextureOp::SelectArg2);
    set(MzGLSwitch::ALPHA_TEST, s.alphaTestEnable && s.alphaFunc == MzCompare::GreaterEqual);
    return key;
}

// GL returns rows bottom-up; copies are kept top row first.
void FlipRows(uint8_t* bits, int32_t pitch, int32_t rows, size_t rowBytes) {
    std::vector<uint8_t> row(rowBytes);
    for (int32_t y = 0; y < rows / 2; ++y) {
        uint8_t* a = bits + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        uint8_t* b = bits + static_cast<size_t>(rows - 1 - y) * static_cast<size_t>(pitch);
        std::memcpy(row.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, row.data(), rowBytes);
    }
}

void CopyMatrix(float* out, const Matrix4x4& m) {
    std::memcpy(out, m.m, sizeof m.m);
}
void Copy3(float* out, const Vector4& v) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// Rectangles arrive with a top-left origin; GL counts rows from the bottom of the target, so the
// same rectangle on targets of different heights is a different GL rectangle (x, y, width, height).
MzRect GLRect(const MzRect& r, int32_t targetHeight) {
    return MzRect{r.left, targetHeight - r.bottom, r.right - r.left, r.bottom - r.top};
}

MzRect Intersect(const MzRect& a, const MzRect& b) {
    MzRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
    if (r.Empty()) return MzRect{0, 0, 0, 0};
    return r;
}

} // namespace

struct MzGLBackend::Impl {
    QOpenGLContext* context = nullptr;
    QSurface* surface = nullptr;
    GL* gl = nullptr;
    std::shared_ptr<GLGraveyard> graveyard = std::make_shared<GLGraveyard>();
    GLuint paletteBuffer = 0;
    // Shader variants by switch key, made on first use; null for a variant that failed to build.
    std::unordered_map<uint32_t, std::unique_ptr<GLProgram>> programs;
    GLTexture backBuffer;
    int32_t width = 0, height = 0;
    int32_t presentWidth = 0, presentHeight = 0;
    MzGLPartialPresent partialPresent;
    GLStateCache cache;
    Matrix4x4 palette[kPaletteSize];
    size_t paletteCount = 0;
    MzGLStats stats;

    ~Impl();
    bool Init(int32_t w, int32_t h);
    GLProgram* Program(uint32_t key);
    std::unique_ptr<GLProgram> BuildProgram(uint32_t key);
    GLuint Compile(GLenum type, const std::string& source);
    bool MakeTarget(GLTexture* t, int32_t w, int32_t h);
    void CollectGarbage();

    // State cache: each setter issues GL only when the value differs.
    void Enable(int* cached, GLenum cap, bool on);
    void BindFramebuffer(GLuint fb);
    void SetViewport(const MzRect& r, int32_t targetHeight);
    void SetScissor(const MzRect& r, int32_t targetHeight);
    void SetDepthMask(bool on);
    void SetWireframe(bool on);
    void BindTexture(GLuint texture);
    void BindVertexArray(GLuint vertexArray);
    void UseProgram(GLuint program);

    void BindOutput(const MzDeviceState& state);
    int32_t TargetHeight(const MzDeviceState& state) const;
    GLBuffer* Upload(const MzVertexBuffer& vb, const MzIndexBuffer& ib);
    GLuint TextureFor(MzTexture* texture);
    void UploadPalette(const MzDeviceState& state, size_t count);
    void UploadUniforms(GLProgram& program, const MzDeviceState& state);
};

// ---------------------------------------------------------------- set-up

MzGLBackend::Impl::~Impl() {
    if (gl != nullptr && context != nullptr && QOpenGLContext::currentContext() == context) {
        CollectGarbage();
        GLuint names[] = {backBuffer.texture};
        gl->glDeleteTextures(1, names);
        gl->glDeleteFramebuffers(1, &backBuffer.framebuffer);
        gl->glDeleteRenderbuffers(1, &backBuffer.depth);
        gl->glDeleteBuffers(1, &paletteBuffer);
        for (auto& [key, program] : programs)
            if (program != nullptr) gl->glDeleteProgram(program->program);
    }
    // Whatever still refers to this context's objects must not hand them back to it.
    graveyard->alive = false;
    backBuffer.texture = backBuffer.framebuffer = backBuffer.depth = 0;
}

GLuint MzGLBackend::Impl::Compile(GLenum type, const std::string& source) {
    GLuint shader = gl->glCreateShader(type);
    const char* text = source.c_str();
    gl->glShaderSource(shader, 1, &text, nullptr);
    gl->glCompileShader(shader);
    GLint ok = 0;
    gl->glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    char log[1024] = {};
    gl->glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "graphics: shader compilation failed: %s\n", log);
    gl->glDeleteShader(shader);
    return 0;
}

std::unique_ptr<GLProgram> MzGLBackend::Impl::BuildProgram(uint32_t key) {
    GLuint vs = Compile(GL_VERTEX_SHADER, MzGLVertexShader(key));
    GLuint fs = Compile(GL_FRAGMENT_SHADER, MzGLFragmentShader(key));
    if (vs == 0 || fs == 0) {
        gl->glDeleteShader(vs);
        gl->glDeleteShader(fs);
        return nullptr;
    }
    auto p = std::make_unique<GLProgram>();
    p->program = gl->glCreateProgram();
    gl->glAttachShader(p->program, vs);
    gl->glAttachShader(p->program, fs);
    gl->glLinkProgram(p->program);
    gl->glDeleteShader(vs);
    gl->glDeleteShader(fs);
    GLint ok = 0;
    gl->glGetProgramiv(p->program, GL_LINK_STATUS, &ok);
    if (!ok) {
        gl->glDeleteProgram(p->program);
        return nullptr;
    }
#define MZ_GL_LOCATION(name, type, n) p->loc.name = gl->glGetUniformLocation(p->program, #name);
    MZ_GL_UNIFORMS(MZ_GL_LOCATION)
#undef MZ_GL_LOCATION
    UseProgram(p->program);
    gl->glUniform1i(gl->glGetUniformLocation(p->program, "uTexture"), 0);
    gl->glUniformBlockBinding(p->program, gl->glGetUniformBlockIndex(p->program, "Palette"), 0);
    return p;
}

GLProgram* MzGLBackend::Impl::Program(uint32_t key) {
    auto it = programs.find(key);
    if (it == programs.end()) it = programs.emplace(key, BuildProgram(key)).first;
    return it->second.get();
}

bool MzGLBackend::Impl::MakeTarget(GLTexture* t, int32_t w, int32_t h) {
    gl->glGenTextures(1, &t->texture);
    BindTexture(t->texture);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl->glGenRenderbuffers(1, &t->depth);
    gl->glBindRenderbuffer(GL_RENDERBUFFER, t->depth);
    gl->glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    gl->glGenFramebuffers(1, &t->framebuffer);
    BindFramebuffer(t->framebuffer);
    gl->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t->texture, 0);
    gl->glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t->depth);
    t->width = w;
    t->height = h;
    return gl->glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
           gl->glGetError() == GL_NO_ERROR;
}

bool MzGLBackend::Impl::Init(int32_t w, int32_t h) {
    gl = QOpenGLVersionFunctionsFactory::get<GL>(context);
    if (gl == nullptr || !gl->initializeOpenGLFunctions()) return false;
    // The plainest variant proves that the context compiles the shaders at all.
    if (Program(0) == nullptr) return false;
    gl->glGenBuffers(1, &paletteBuffer);
    gl->glBindBuffer(GL_UNIFORM_BUFFER, paletteBuffer);
    gl->glBufferData(GL_UNIFORM_BUFFER, sizeof palette, nullptr, GL_DYNAMIC_DRAW);
    gl->glBindBufferBase(GL_UNIFORM_BUFFER, 0, paletteBuffer);
    backBuffer.graveyard = graveyard;
    if (!MakeTarget(&backBuffer, std::max(1, w), std::max(1, h))) return false;
    width = w;
    height = h;
    gl->glProvokingVertex(GL_FIRST_VERTEX_CONVENTION); // flat shading takes the first vertex, as Direct3D
    gl->glFrontFace(GL_CW);                            // clockwise faces are front faces, as Direct3D
    gl->glCullFace(GL_BACK);
    gl->glDepthFunc(GL_LEQUAL); // D3DCMP_LESSEQUAL, the default z function
    // Colour blends as Direct3D's SRCALPHA / INVSRCALPHA; alpha accumulates coverage, so that over a
    // transparent clear the buffer holds premultiplied colour, which a compositor expects.
    gl->glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    gl->glEnable(GL_SCISSOR_TEST);
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    return true;
}

void MzGLBackend::Impl::CollectGarbage() {
    GLGraveyard& g = *graveyard;
    if (!g.buffers.empty()) gl->glDeleteBuffers(static_cast<GLsizei>(g.buffers.size()), g.buffers.data());
    if (!g.vertexArrays.empty()) {
        for (GLuint vao : g.vertexArrays)
            if (cache.vertexArray == vao) cache.vertexArray = ~0u;
        gl->glDeleteVertexArrays(static_cast<GLsizei>(g.vertexArrays.size()), g.vertexArrays.data());
    }
    if (!g.textures.empty()) {
        for (GLuint t : g.textures)
            if (cache.texture == t) cache.texture = ~0u;
        gl->glDeleteTextures(static_cast<GLsizei>(g.textures.size()), g.textures.data());
    }
    if (!g.framebuffers.empty()) {
        for (GLuint fb : g.framebuffers)
            if (cache.framebuffer == fb) cache.framebuffer = ~0u;
        gl->glDeleteFramebuffers(static_cast<GLsizei>(g.framebuffers.size()), g.framebuffers.data());
    }
    if (!g.renderbuffers.empty())
        gl->glDeleteRenderbuffers(static_cast<GLsizei>(g.renderbuffers.size()), g.renderbuffers.data());
    g.buffers.clear();
    g.vertexArrays.clear();
    g.textures.clear();
    g.framebuffers.clear();
    g.renderbuffers.clear();
}

// ---------------------------------------------------------------- state cache

void MzGLBackend::Impl::Enable(int* cached, GLenum cap, bool on) {
    if (*cached == static_cast<int>(on)) return;
    *cached = on;
    ++stats.stateChanges;
    if (on)
        gl->glEnable(cap);
    else
        gl->glDisable(cap);
}

void MzGLBackend::Impl::BindFramebuffer(GLuint fb) {
    if (cache.framebuffer == fb) return;
    cache.framebuffer = fb;
    ++stats.stateChanges;
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fb);
}

void MzGLBackend::Impl::SetViewport(const MzRect& r, int32_t targetHeight) {
    const MzRect g = GLRect(r, targetHeight);
    if (cache.viewport == g) return;
    cache.viewport = g;
    ++stats.stateChanges;
    gl->glViewport(g.left, g.top, g.right, g.bottom);
}

void MzGLBackend::Impl::SetScissor(const MzRect& r, int32_t targetHeight) {
    const MzRect g = GLRect(r, targetHeight);
    if (cache.scissor == g) return;
    cache.scissor = g;
    ++stats.stateChanges;
    gl->glScissor(g.left, g.top, g.right, g.bottom);
}

void MzGLBackend::Impl::SetDepthMask(bool on) {
    if (cache.depthMask == static_cast<int>(on)) return;
    cache.depthMask = on;
    ++stats.stateChanges;
    gl->glDepthMask(on ? GL_TRUE : GL_FALSE);
}

void MzGLBackend::Impl::SetWireframe(bool on) {
    if (cache.wireframe == static_cast<int>(on)) return;
    cache.wireframe = on;
    ++stats.stateChanges;
    gl->glPolygonMode(GL_FRONT_AND_BACK, on ? GL_LINE : GL_FILL);
}

void MzGLBackend::Impl::BindTexture(GLuint texture) {
    if (cache.texture == texture) return;
    cache.texture = texture;
    ++stats.stateChanges;
    gl->glBindTexture(GL_TEXTURE_2D, texture);
}

void MzGLBackend::Impl::UseProgram(GLuint program) {
    if (cache.program == program) return;
    cache.program = program;
    ++stats.stateChanges;
    gl->glUseProgram(program);
}

void MzGLBackend::Impl::BindVertexArray(GLuint vertexArray) {
    if (cache.vertexArray == vertexArray) return;
    cache.vertexArray = vertexArray;
    ++stats.stateChanges;
    gl->glBindVertexArray(vertexArray);
}

int32_t MzGLBackend::Impl::TargetHeight(const MzDeviceState& state) const {
    if (state.target == nullptr) return backBuffer.height;
    auto* t = dynamic_cast<GLTexture*>(state.target->texture.get());
    return t != nullptr ? t->height : 0;
}

// Binds the state's target with its viewport and the scissor (the viewport, narrowed by the scissor
// rectangle when that is on: Direct3D clears only the viewport, GL's clear obeys only the scissor).
void MzGLBackend::Impl::BindOutput(const MzDeviceState& state) {
    GLuint fb = backBuffer.framebuffer;
    if (state.target != nullptr) {
        auto* t = dynamic_cast<GLTexture*>(state.target->texture.get());
        fb = t != nullptr && t->graveyard == graveyard ? t->framebuffer : 0;
    }
    BindFramebuffer(fb);
    const int32_t h = TargetHeight(state);
    SetViewport(state.viewport, h);
    SetScissor(state.scissorEnable ? Intersect(state.viewport, state.scissor) : state.viewport, h);
}

// ---------------------------------------------------------------- resources

GLBuffer* MzGLBackend::Impl::Upload(const MzVertexBuffer& vb, const MzIndexBuffer& ib) {
    auto* res = dynamic_cast<GLBuffer*>(vb.gpu.get());
    if (res == nullptr || res->graveyard != graveyard || res->formatId != vb.formatId) {
        auto made = std::make_unique<GLBuffer>();
        made->graveyard = graveyard;
        gl->glGenVertexArrays(1, &made->vertexArray);
        gl->glGenBuffers(1, &made->buffer);
        gl->glGenBuffers(1, &made->elements);
        made->formatId = vb.formatId;
        made->revision = vb.revision - 1;
        BindVertexArray(made->vertexArray);
        gl->glBindBuffer(GL_ARRAY_BUFFER, made->buffer);
        const MzVertexFormat& f = *MzGetVertexFormat(vb.formatId);
        auto attribute = [&](GLuint index, int32_t offset, GLint size, GLenum type, AttributeKind kind) {
            if (offset < 0) return;
            gl->glEnableVertexAttribArray(index);
            const void* at = reinterpret_cast<const void*>(static_cast<uintptr_t>(offset));
            if (kind == AttributeKind::Integer)
                gl->glVertexAttribIPointer(index, size, type, f.stride, at);
            else
                gl->glVertexAttribPointer(
                    index, size, type, kind == AttributeKind::Normalized ? GL_TRUE : GL_FALSE, f.stride, at);
        };
#define MZ_GL_ATTRIBUTE(name, location, type, field, size, glType, kind)                                     \
    attribute(location, f.field, size, glType, AttributeKind::kind);
        MZ_GL_ATTRIBUTES(MZ_GL_ATTRIBUTE)
#undef MZ_GL_ATTRIBUTE
        vb.gpu = std::move(made);
        res = static_cast<GLBuffer*>(vb.gpu.get());
    }
    BindVertexArray(res->vertexArray);
    if (res->revision == vb.revision && res->indexRevision == ib.revision && res->indexSource == &ib)
        return res;
    std::vector<uint8_t> vertices;
    std::vector<uint16_t> indices;
    Weld(vb, ib, static_cast<size_t>(MzGetVertexFormat(vb.formatId)->stride), &vertices, &indices);
    gl->glBindBuffer(GL_ARRAY_BUFFER, res->buffer);
    gl->glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size()), vertices.data(),
                     GL_STATIC_DRAW);
    // The element buffer binding is part of the vertex array's state.
    gl->glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, res->elements);
    gl->glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint16_t)),
                     indices.data(), GL_STATIC_DRAW);
    res->revision = vb.revision;
    res->indexRevision = ib.revision;
    res->indexSource = &ib;
    ++stats.bufferUploads;
    return res;
}

// The GL texture of a texture, made and uploaded from its CPU copy on first use and when that changed.
GLuint MzGLBackend::Impl::TextureFor(MzTexture* texture) {
    if (texture == nullptr) return 0;
    auto* res = dynamic_cast<GLTexture*>(texture->texture.get());
    if (texture->flags & kTextureRenderTarget)
        return res != nullptr && res->graveyard == graveyard ? res->texture : 0;
    const MzSurface* image = texture->lockSurface.get();
    if (image == nullptr || image->bits.empty()) return 0;
    if (res == nullptr || res->graveyard != graveyard) {
        auto made = std::make_unique<GLTexture>();
        made->graveyard = graveyard;
        gl->glGenTextures(1, &made->texture);
        made->revision = image->revision - 1;
        texture->texture = std::move(made);
        res = static_cast<GLTexture*>(texture->texture.get());
    }
    BindTexture(res->texture);
    if (res->revision != image->revision) {
        // Top row first: texture coordinate v = 0 is the image's top, as on Direct3D. Point sampling
        // and wrapping are Direct3D's default sampler states, which nothing in the system changes.
        gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, image->pitch / 4);
        gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image->width, image->height, 0, GL_BGRA,
                         GL_UNSIGNED_BYTE, image->bits.data());
        gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        res->revision = image->revision;
        ++stats.textureUploads;
    }
    return res->texture;
}

// ---------------------------------------------------------------- drawing

void MzGLBackend::Impl::UploadPalette(const MzDeviceState& state, size_t count) {
    const size_t bytes = count * sizeof(Matrix4x4);
    if (count <= paletteCount && std::memcmp(palette, state.worldMatrices, bytes) == 0) return;
    std::memcpy(palette, state.worldMatrices, bytes);
    paletteCount = std::max(paletteCount, count);
    gl->glBindBuffer(GL_UNIFORM_BUFFER, paletteBuffer);
    gl->glBufferSubData(GL_UNIFORM_BUFFER, 0, static_cast<GLsizeiptr>(bytes), palette);
    ++stats.paletteUploads;
}

void MzGLBackend::Impl::UploadUniforms(GLProgram& p, const MzDeviceState& s) {
    Uniforms u{};
    CopyMatrix(u.uView, s.view);
    CopyMatrix(u.uProjection, s.projection);
    std::memcpy(u.uMatDiffuse, &s.material.diffuse, sizeof u.uMatDiffuse);
    Copy3(u.uMatAmbient, s.material.ambient);
    Copy3(u.uMatSpecular, s.material.specular);
    Copy3(u.uMatEmissive, s.material.emissive);
    u.uMatPower[0] = s.material.power;
    u.uGlobalAmbient[0] = static_cast<float>((s.ambient >> 16) & 0xFF) / 255.0f;
    u.uGlobalAmbient[1] = static_cast<float>((s.ambient >> 8) & 0xFF) / 255.0f;
    u.uGlobalAmbient[2] = static_cast<float>(s.ambient & 0xFF) / 255.0f;
    for (int i = 0; i < 2; ++i) {
        const MzLightState& light = s.lights[i];
        // Toward the light, in view space.
        Vector4 d{-light.direction.x, -light.direction.y, -light.direction.z, 0};
        Vector4 v{d.x * s.view.m[0][0] + d.y * s.view.m[1][0] + d.z * s.view.m[2][0],
                  d.x * s.view.m[0][1] + d.y * s.view.m[1][1] + d.z * s.view.m[2][1],
                  d.x * s.view.m[0][2] + d.y * s.view.m[1][2] + d.z * s.view.m[2][2], 0};
        Vec3Normalize(&v);
        Copy3(u.uLightToward + 3 * i, v);
        Copy3(u.uLightDiffuse + 3 * i, light.diffuse);
        Copy3(u.uLightSpecular + 3 * i, light.specular);
        Copy3(u.uLightAmbient + 3 * i, light.ambient);
    }
    u.uAlphaRef[0] = s.alphaRef;
    if (p.uniformsValid && u == p.uniforms) return;
    const Uniforms& o = p.uniforms;
    const bool all = !p.uniformsValid;
#define MZ_GL_SET(name, type, n)                                                                             \
    if (p.loc.name >= 0 && (all || std::memcmp(u.name, o.name, sizeof u.name) != 0)) {                       \
        MZ_GL_UPLOAD_##type(gl, p.loc.name, n, u.name);                                                      \
        ++stats.uniformUploads;                                                                              \
    }
    MZ_GL_UNIFORMS(MZ_GL_SET)
#undef MZ_GL_SET
    p.uniforms = u;
    p.uniformsValid = true;
}

// ---------------------------------------------------------------- MzGLBackend

MzGLBackend::MzGLBackend(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
MzGLBackend::~MzGLBackend() = default;

std::unique_ptr<MzGLBackend> MzGLBackend::Create(QOpenGLContext* context, QSurface* surface, int32_t width,
                                                 int32_t height, uint32_t* result) {
    const QSurfaceFormat format = context->format();
    if (format.version() < qMakePair(3, 3) || format.profile() == QSurfaceFormat::CompatibilityProfile) {
        *result = kD3DErrNotAvailable;
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->context = context;
    impl->surface = surface;
    impl->presentWidth = width;
    impl->presentHeight = height;
    if (!impl->Init(width, height)) {
        *result = kD3DErrNotAvailable;
        return nullptr;
    }
    *result = kD3DOk;
    return std::unique_ptr<MzGLBackend>(new MzGLBackend(std::move(impl)));
}

int32_t MzGLBackend::Width() const {
    return impl_->width;
}
int32_t MzGLBackend::Height() const {
    return impl_->height;
}

bool MzGLBackend::Reset(int32_t width, int32_t height) {
    Impl& d = *impl_;
    d.graveyard->textures.push_back(d.backBuffer.texture);
    d.graveyard->framebuffers.push_back(d.backBuffer.framebuffer);
    d.graveyard->renderbuffers.push_back(d.backBuffer.depth);
    d.backBuffer.texture = d.backBuffer.framebuffer = d.backBuffer.depth = 0;
    d.CollectGarbage();
    if (!d.MakeTarget(&d.backBuffer, std::max(1, width), std::max(1, height))) return false;
    d.width = width;
    d.height = height;
    return true;
}

uint32_t MzGLBackend::CreateTexture(MzTexture& texture) {
    Impl& d = *impl_;
    d.CollectGarbage();
    auto made = std::make_unique<GLTexture>();
    made->graveyard = d.graveyard;
    if (texture.flags & kTextureRenderTarget) {
        if (!d.MakeTarget(made.get(), texture.surfaceWidth, texture.surfaceHeight))
            return kD3DErrOutOfVideoMemory;
    }
    texture.texture = std::move(made);
    return kD3DOk;
}

void MzGLBackend::Clear(const MzDeviceState& state, uint32_t argb, float z) {
    Impl& d = *impl_;
    d.CollectGarbage();
    d.BindOutput(state);
    const float color[4] = {
        static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
        static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f};
    if (std::memcmp(color, d.cache.clearColor, sizeof color) != 0) {
        std::memcpy(d.cache.clearColor, color, sizeof color);
        d.gl->glClearColor(color[0], color[1], color[2], color[3]);
    }
    if (d.cache.clearDepth != z) {
        d.cache.clearDepth = z;
        d.gl->glClearDepth(z);
    }
    d.SetDepthMask(true);
    d.gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void MzGLBackend::DrawPrim(const MzDeviceState& state, const MzPrim& prim) {
    Impl& d = *impl_;
    const MzVertexFormat* format = MzGetVertexFormat(prim.vertexBuffer.formatId);
    if (format == nullptr || prim.primitiveCount == 0) return;
    GLenum mode = GL_TRIANGLES;
    GLsizei count = static_cast<GLsizei>(3 * prim.primitiveCount);
    if (prim.topology == kTopologyLineList) {
        mode = GL_LINES;
        count = static_cast<GLsizei>(2 * prim.primitiveCount);
    } else if (prim.topology == kTopologyLineStrip) {
        mode = GL_LINE_STRIP;
        count = static_cast<GLsizei>(prim.primitiveCount + 1);
    }
    count = std::min<GLsizei>(count, static_cast<GLsizei>(prim.indexBuffer.indexCount));
    d.BindOutput(state);
    d.Enable(&d.cache.blend, GL_BLEND, state.alphaBlendEnable);
    d.Enable(&d.cache.depthTest, GL_DEPTH_TEST, state.zEnable);
    d.SetDepthMask(state.zWriteEnable);
    d.Enable(&d.cache.cull, GL_CULL_FACE, state.cullMode == MzCullMode::CounterClockwise);
    d.SetWireframe(state.fillMode == MzFillMode::Wireframe);

    d.gl->glActiveTexture(GL_TEXTURE0);
    // A texture that could not be made samples as white, as an empty stage does.
    const GLuint texture = d.TextureFor(state.textures[0]);
    d.BindTexture(texture);
    GLProgram* program = d.Program(SwitchKey(state, *format, texture != 0));
    if (program == nullptr) return;
    d.UseProgram(program->program);
    d.UploadUniforms(*program, state);
    const size_t matrices = format->blendWeights < 0 ? 1 : (state.indexedVertexBlend ? kPaletteSize : 4);
    d.UploadPalette(state, matrices);
    d.Upload(prim.vertexBuffer, prim.indexBuffer);
    d.gl->glDrawElements(mode, count, GL_UNSIGNED_SHORT, nullptr);
    ++d.stats.draws;
}

void MzGLBackend::ReadBack(MzTexture& target, const MzRect& area) {
    Impl& d = *impl_;
    auto* res = dynamic_cast<GLTexture*>(target.texture.get());
    MzSurface* out = target.lockSurface.get();
    if (res == nullptr || res->graveyard != d.graveyard || out == nullptr) return;
    // Only the requested part is drawn; rows come bottom-up from GL and go top-down into the copy.
    const MzRect r = Intersect(
        area, MzRect{0, 0, std::min(target.width, out->width), std::min(target.height, out->height)});
    if (r.Empty()) return;
    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    uint8_t* first = out->bits.data() + static_cast<size_t>(r.top) * static_cast<size_t>(out->pitch) +
                     static_cast<size_t>(r.left) * 4;
    d.BindFramebuffer(res->framebuffer);
    d.gl->glPixelStorei(GL_PACK_ROW_LENGTH, out->pitch / 4);
    d.gl->glReadPixels(r.left, res->height - r.bottom, w, h, GL_BGRA, GL_UNSIGNED_BYTE, first);
    d.gl->glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    FlipRows(first, out->pitch, h, static_cast<size_t>(w) * 4);
    ++out->revision;
}

bool MzGLBackend::ReadBackBuffer(MzSurface* out) {
    Impl& d = *impl_;
    if (!out->Allocate(d.width, d.height)) return false;
    d.BindFramebuffer(d.backBuffer.framebuffer);
    d.gl->glReadPixels(0, d.backBuffer.height - d.height, d.width, d.height, GL_BGRA, GL_UNSIGNED_BYTE,
                       out->bits.data());
    FlipRows(out->bits.data(), out->pitch, d.height, static_cast<size_t>(out->pitch));
    return true;
}

bool MzGLBackend::ReadBackBufferArea(const MzRect& area, MzSurface* out) {
    Impl& d = *impl_;
    const MzRect a = Intersect(area, MzRect{0, 0, d.width, d.height});
    if (a.Empty() || !out->Allocate(a.right - a.left, a.bottom - a.top)) return false;
    d.BindFramebuffer(d.backBuffer.framebuffer);
    d.gl->glReadPixels(a.left, d.backBuffer.height - a.bottom, out->width, out->height, GL_BGRA,
                       GL_UNSIGNED_BYTE, out->bits.data());
    std::vector<uint8_t> row(static_cast<size_t>(out->pitch));
    for (int32_t y = 0; y < out->height / 2; ++y) {
        uint8_t* top = out->bits.data() + static_cast<size_t>(y) * out->pitch;
        uint8_t* bottom = out->bits.data() + static_cast<size_t>(out->height - 1 - y) * out->pitch;
        std::swap_ranges(top, top + out->pitch, bottom);
    }
    return true;
}

void MzGLBackend::SetPresentSize(int32_t width, int32_t height) {
    impl_->presentWidth = width;
    impl_->presentHeight = height;
}

void MzGLBackend::Present(const MzRect* area) {
    Impl& d = *impl_;
    const int32_t pw = d.presentWidth, ph = d.presentHeight;
    MzRect dst = area != nullptr ? Intersect(*area, MzRect{0, 0, pw, ph}) : MzRect{0, 0, pw, ph};
    if (!dst.Empty() && pw > 0 && ph > 0) {
        // The back buffer is stretched over the client area: the area's back-buffer pixels, rounded outwards.
        const double sx = static_cast<double>(d.width) / pw, sy = static_cast<double>(d.height) / ph;
        const GLint srcLeft = static_cast<GLint>(std::floor(dst.left * sx));
        const GLint srcRight = static_cast<GLint>(std::ceil(dst.right * sx));
        const GLint srcTop = static_cast<GLint>(std::floor(dst.top * sy));
        const GLint srcBottom = static_cast<GLint>(std::ceil(dst.bottom * sy));
        d.gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, d.backBuffer.framebuffer);
        d.gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, d.context->defaultFramebufferObject());
        d.gl->glScissor(dst.left, ph - dst.bottom, dst.right - dst.left, dst.bottom - dst.top);
        d.gl->glBlitFramebuffer(srcLeft, d.height - srcBottom, srcRight, d.height - srcTop, dst.left,
                                ph - dst.bottom, dst.right, ph - dst.top, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        d.cache.framebuffer = ~0u;
        d.cache.scissor = MzRect{-1, -1, -1, -1};
        // Only the area changed on the surface: copying it costs this process and the X server a
        // fraction of a whole swap.
        if (area != nullptr && d.partialPresent &&
            d.partialPresent(dst.left, ph - dst.bottom, dst.right - dst.left, dst.bottom - dst.top))
            return;
    }
    d.context->swapBuffers(d.surface);
}

void MzGLBackend::SetPartialPresent(MzGLPartialPresent present) {
    impl_->partialPresent = std::move(present);
}

const MzGLStats& MzGLBackend::Stats() const {
    return impl_->stats;
}

void MzGLBackend::Finish() {
    impl_->gl->glFinish();
}
