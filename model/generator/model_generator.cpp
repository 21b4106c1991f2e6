// Host tool run at build time: applies the model's content rule and writes
// the tables as a C++ source file, so the program carries them as constant
// data and does no work for them at start-up.
//
//   model_generator OUTPUT.cpp [--stats]
#include <chrono>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "model/generator/emit.h"
#include "model/generator/marching_tetrahedra.h"
#include "model/generator/table_builder.h"
#include "model/generator/tubes.h"

using namespace morvane::modelgen;

namespace {

void printStats(const std::vector<SourceTriangle>& tube, const SurfaceWalk& walk,
                const ModelTables& tables, double milliseconds) {
    int surfaceWithArea = 0;
    for (const auto& t : walk.triangles) {
        surfaceWithArea += hasArea(t) ? 1 : 0;
    }
    const int sourceWithArea = static_cast<int>(tube.size()) + surfaceWithArea;
    const int sourceTotal = static_cast<int>(tube.size() + walk.triangles.size());
    const std::set<Micro3> distinct(tables.vertices.begin(), tables.vertices.end());
    std::set<Micro3> distinctSurface;
    for (const auto& t : walk.triangles) {
        for (const auto& c : t.corner) {
            distinctSurface.insert(toMicro(c));
        }
    }
    std::cout << "records " << tables.records.size() << " (with area " << 2 * sourceWithArea
              << ", without " << tables.records.size() - 2 * sourceWithArea << ")\n"
              << "vertices " << tables.vertices.size() << ", distinct positions " << distinct.size()
              << " (surface " << distinctSurface.size() << ")\n"
              << "normals " << tables.normals.size() << "\n"
              << "source triangles " << sourceTotal << ": tubes " << tube.size() << ", surface "
              << walk.triangles.size() << " (with area " << surfaceWithArea << ", without "
              << walk.triangles.size() - surfaceWithArea << ")\n"
              << "surface cells " << walk.cells.size() << ", walks " << walk.seeds << "\n"
              << "generation " << milliseconds << " ms\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--stats") != 0)) {
        std::cerr << "usage: model_generator OUTPUT.cpp [--stats]\n";
        return 2;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        std::vector<SourceTriangle> source = tubeTriangles();
        const std::vector<SourceTriangle> tube = source;
        const SurfaceWalk walk = walkSurface();
        for (const auto& t : walk.triangles) {
            source.push_back(toSource(t));
        }
        const ModelTables tables = buildTables(source);
        std::ostringstream text;
        emitSource(text, tables);
        const auto stop = std::chrono::steady_clock::now();

        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out << text.str();
        out.close();
        if (!out) {
            std::cerr << "model_generator: cannot write " << argv[1] << "\n";
            return 1;
        }
        if (argc == 3) {
            printStats(tube, walk, tables,
                       std::chrono::duration<double, std::milli>(stop - start).count());
        }
    } catch (const std::exception& e) {
        std::cerr << "model_generator: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
