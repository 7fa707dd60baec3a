// A generated skinned and animated character for the import benchmark.
#include "GeneratedCharacter.h"

#include <cstdio>

namespace {

void Append(std::string& out, const char* format, double a, double b = 0, double c = 0) {
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, format, a, b, c);
    out.append(buf, static_cast<size_t>(n));
}

std::string FloatSource(const std::string& id, const std::string& values, int count, int stride) {
    std::string params;
    for (int i = 0; i < stride; ++i)
        params += "<param type=\"float\"/>";
    return "<source id=\"" + id + "\"><float_array id=\"" + id + "-a\" count=\"" +
           std::to_string(count * stride) + "\">" + values +
           "</float_array><technique_common><accessor source=\"#" + id + "-a\" count=\"" +
           std::to_string(count) + "\" stride=\"" + std::to_string(stride) + "\">" + params +
           "</accessor></technique_common></source>";
}

// A zigzag strip: vertex i at (i / 2, i % 2, i % 7) / 100; triangle t uses vertices t, t + 1, t + 2.
std::string Geometry(int triangles) {
    int vertices = triangles + 2;
    std::string pos, nrm, uv;
    for (int i = 0; i < vertices; ++i) {
        Append(pos, "%.4f %.4f %.4f ", i / 2 * 0.01, i % 2 * 0.01, (i % 7) * 0.001);
        Append(nrm, "%.4f %.4f %.4f ", 0.0, i % 2 ? 0.6 : 0.0, i % 2 ? 0.8 : 1.0);
        Append(uv, "%.4f %.4f ", (i / 2) / double(vertices), i % 2);
    }
    std::string g = "<library_geometries><geometry id=\"body\"><mesh>" +
                    FloatSource("pos", pos, vertices, 3) + FloatSource("nrm", nrm, vertices, 3) +
                    FloatSource("uv", uv, vertices, 2) +
                    "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#pos\"/></vertices>"
                    "<polylist material=\"skin\" count=\"" +
                    std::to_string(triangles) +
                    "\"><input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
                    "<input semantic=\"NORMAL\" source=\"#nrm\" offset=\"1\"/>"
                    "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"2\" set=\"0\"/><vcount>";
    for (int t = 0; t < triangles; ++t)
        g += "3 ";
    g += "</vcount><p>";
    for (int t = 0; t < triangles; ++t)
        for (int k = 0; k < 3; ++k)
            Append(g, "%.0f %.0f %.0f ", t + k, t + k, t + k);
    return g + "</p></polylist></mesh></geometry></library_geometries>";
}

// Joint j of the chain stands at (0, 0.1 (j + 1), 0).
std::string InverseBindMatrices(int joints) {
    std::string m;
    for (int j = 0; j < joints; ++j)
        Append(m, "1 0 0 0 0 1 0 %.4f 0 0 1 0 0 0 0 1 ", -0.1 * (j + 1));
    return "<source id=\"ibm\"><float_array id=\"ibm-a\" count=\"" + std::to_string(16 * joints) + "\">" + m +
           "</float_array><technique_common><accessor source=\"#ibm-a\" count=\"" + std::to_string(joints) +
           "\" stride=\"16\"><param type=\"float4x4\"/></accessor></technique_common></source>";
}

std::string Controller(int triangles, int joints) {
    int vertices = triangles + 2;
    std::string c = "<library_controllers><controller id=\"skin\"><skin source=\"#body\">"
                    "<source id=\"jn\"><Name_array id=\"jna\" count=\"" +
                    std::to_string(joints) + "\">";
    for (int j = 0; j < joints; ++j)
        c += "J" + std::to_string(j) + " ";
    c += "</Name_array><technique_common><accessor source=\"#jna\" count=\"" + std::to_string(joints) +
         "\"><param name=\"JOINT\" type=\"name\"/></accessor></technique_common></source>"
         "<source id=\"w\"><float_array id=\"wa\" count=\"4\">0.4 0.3 0.2 0.1</float_array>"
         "<technique_common><accessor source=\"#wa\" count=\"4\"><param name=\"WEIGHT\" type=\"float\"/>"
         "</accessor></technique_common></source>" +
         InverseBindMatrices(joints) +
         "<joints><input semantic=\"JOINT\" source=\"#jn\"/><input semantic=\"INV_BIND_MATRIX\" "
         "source=\"#ibm\"/>"
         "</joints><vertex_weights count=\"" +
         std::to_string(vertices) +
         "\"><input semantic=\"JOINT\" source=\"#jn\" offset=\"0\"/>"
         "<input semantic=\"WEIGHT\" source=\"#w\" offset=\"1\"/><vcount>";
    for (int i = 0; i < vertices; ++i)
        c += "4 ";
    c += "</vcount><v>";
    for (int i = 0; i < vertices; ++i)
        for (int k = 0; k < 4; ++k)
            Append(c, "%.0f %.0f ", (i / 64 + k) % joints, k);
    c += "</v></vertex_weights></skin></controller></library_controllers>";
    return c;
}

std::string Animations(int joints, float seconds) {
    int keys = static_cast<int>(seconds * 30) + 1;
    std::string a = "<library_animations>";
    for (int j = 0; j < joints; ++j) {
        std::string id = "J" + std::to_string(j), times, loc, ang;
        for (int k = 0; k < keys; ++k) {
            Append(times, "%.4f ", k / 30.0);
            Append(loc, "%.4f %.4f %.4f ", 0.0, 0.1 + 0.001 * k, 0.0);
            Append(ang, "%.4f ", 10.0 * (k % 7));
        }
        a += "<animation id=\"" + id + "-anim\">" + FloatSource(id + "-t", times, keys, 1) +
             FloatSource(id + "-loc", loc, keys, 3) + FloatSource(id + "-ang", ang, keys, 1);
        a += "<sampler id=\"" + id + "-s1\"><input semantic=\"INPUT\" source=\"#" + id +
             "-t\"/><input semantic=\"OUTPUT\" source=\"#" + id + "-loc\"/></sampler>";
        a += "<sampler id=\"" + id + "-s2\"><input semantic=\"INPUT\" source=\"#" + id +
             "-t\"/><input semantic=\"OUTPUT\" source=\"#" + id + "-ang\"/></sampler>";
        a += "<channel source=\"#" + id + "-s1\" target=\"" + id + "/location\"/>";
        a += "<channel source=\"#" + id + "-s2\" target=\"" + id + "/rotateZ.ANGLE\"/></animation>";
    }
    return a + "</library_animations>";
}

std::string Scene(int joints) {
    std::string s = "<library_visual_scenes><visual_scene id=\"scene\">";
    for (int j = 0; j < joints; ++j)
        s += "<node id=\"J" + std::to_string(j) +
             "\" type=\"JOINT\"><translate sid=\"location\">0 0.1 0</translate>"
             "<rotate sid=\"rotateZ\">0 0 1 0</rotate>";
    for (int j = 0; j < joints; ++j)
        s += "</node>";
    s += "<node id=\"body\"><instance_controller url=\"#skin\"/></node>";
    return s +
           "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#scene\"/></scene>";
}

} // namespace

std::string GeneratedCharacter(int triangles, int joints, float seconds) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">"
           "<asset><up_axis>Y_UP</up_axis></asset>" +
           Geometry(triangles) + Controller(triangles, joints) + Animations(joints, seconds) + Scene(joints) +
           "</COLLADA>\n";
}
