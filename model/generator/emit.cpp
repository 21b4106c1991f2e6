#include "model/generator/emit.h"

#include <stdexcept>

namespace morvane::modelgen {

std::string floatLiteral(std::int64_t micro) {
    std::string s = micro < 0 ? "-" : "";
    const std::int64_t a = micro < 0 ? -micro : micro;
    std::string frac = std::to_string(a % kMicro);
    frac.insert(0, 6 - frac.size(), '0');
    s += std::to_string(a / kMicro) + "." + frac + "f";
    return s;
}

namespace {

void emitVec3(std::ostream& out, const Micro3& v) {
    out << "    {" << floatLiteral(v.x) << ", " << floatLiteral(v.y) << ", " << floatLiteral(v.z)
        << "},\n";
}

}  // namespace

void emitSource(std::ostream& out, const ModelTables& tables) {
    if (tables.records.empty() || tables.normals.empty()) {
        throw std::logic_error("empty model tables");
    }
    out << "// Generated at build time by model_generator from the model's content rule.\n"
           "// Do not edit: change the generator instead.\n"
           "#include \"model/surface_model.h\"\n"
           "\n"
           "namespace {\n"
           "\n"
           "constexpr char modelName[] = \"00\";\n"
           "\n";
    out << "constinit const TriangleRecord modelTriangles[" << tables.records.size() << "] = {\n";
    for (const auto& r : tables.records) {
        out << "    {{" << r.vertex[0] << ", " << r.vertex[1] << ", " << r.vertex[2] << "}, {"
            << r.normal[0] << ", " << r.normal[1] << ", " << r.normal[2] << "}, {-1, -1, -1}},\n";
    }
    out << "};\n\n";
    out << "constinit const Vec3 modelVertices[" << tables.vertices.size() << "] = {\n";
    for (const auto& v : tables.vertices) {
        emitVec3(out, v);
    }
    out << "};\n\n";
    out << "constinit const Vec3 modelNormals[" << tables.normals.size() << "] = {\n";
    for (const auto& v : tables.normals) {
        emitVec3(out, v);
    }
    out << "};\n\n"
           "}  // namespace\n"
           "\n"
           "constinit const SurfaceModel builtinModel = {\n"
           "    modelName,\n"
           "    modelTriangles,\n"
           "    "
        << tables.records.size()
        << ",\n"
           "    modelVertices,\n"
           "    "
        << tables.vertices.size()
        << ",\n"
           "    modelNormals,\n"
           "    "
        << tables.normals.size()
        << ",\n"
           "    nullptr,\n"
           "    0,\n"
           "    1,\n"
           "};\n";
}

}  // namespace morvane::modelgen
