// Helpers of the import tests: documents written to temporary files, the reports the import
// makes, and the vertices it wrote.
#pragma once

#include "MzLog.h"
#include "MzModel.h"
#include "MzVertexFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace importtest {

inline std::string Dae(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
           "version=\"1.4.1\">" +
           body + "</COLLADA>";
}

inline std::string Scene(const std::string& nodes) {
    return "<library_visual_scenes><visual_scene id=\"vs\">" + nodes +
           "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#vs\"/></scene>";
}

// A file in a folder of its own that lives as long as the object.
class TempFile {
  public:
    explicit TempFile(const std::string& content, const std::string& name = "test.dae") {
        dir_ =
            std::filesystem::path(testing::TempDir()) /
            ("import-" + std::to_string(getpid()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)) +
             "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / name).string();
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string Dir() const { return dir_.string(); }

  private:
    std::filesystem::path dir_;
    std::string path_;
};

// Records error boxes and message-window calls while it lives.
class Reports : public MzErrorBoxView, public MzMessageWindowView {
  public:
    std::vector<std::string> errorBoxes;
    std::vector<std::string> texts;
    int shown = 0, hidden = 0;

    Reports() {
        MzSetErrorBoxView(this);
        MzSetMessageWindowView(this);
    }
    ~Reports() override {
        MzSetErrorBoxView(nullptr);
        MzSetMessageWindowView(nullptr);
    }
    void Show(const std::string& text) override { errorBoxes.push_back(text); }
    void SetText(const std::string& text) override { texts.push_back(text); }
    void Show() override { ++shown; }
    void Hide() override { ++hidden; }
};

struct Vertex {
    float position[3];
    float weights[3];
    uint8_t indices[4];
    float normal[3];
    float uv[2];
};

inline Vertex ReadVertex(const MzPrim& prim, uint32_t i) {
    const MzVertexFormat* f = MzGetVertexFormat(prim.vertexBuffer.formatId);
    const uint8_t* v = prim.vertexBuffer.data.data() + size_t{i} * static_cast<size_t>(f->stride);
    Vertex out;
    std::memcpy(out.position, v + f->position, sizeof out.position);
    std::memcpy(out.weights, v + f->blendWeights, sizeof out.weights);
    std::memcpy(out.indices, v + f->blendIndices, sizeof out.indices);
    std::memcpy(out.normal, v + f->normal, sizeof out.normal);
    std::memcpy(out.uv, v + f->texCoord0, sizeof out.uv);
    return out;
}

} // namespace importtest
