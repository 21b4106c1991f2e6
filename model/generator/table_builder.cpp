#include "model/generator/table_builder.h"

namespace morvane::modelgen {

namespace {

std::int32_t normalEntry(ModelTables& tables, Micro3 n) {
    const auto [it, inserted] =
        tables.normalIndex.emplace(n, static_cast<std::int32_t>(tables.normals.size()));
    if (inserted) {
        tables.normals.push_back(n);
    }
    return it->second;
}

void addRecord(ModelTables& tables, Micro3 a, Micro3 b, Micro3 c, Micro3 normal) {
    const auto first = static_cast<std::int32_t>(tables.vertices.size());
    tables.vertices.push_back(a);
    tables.vertices.push_back(b);
    tables.vertices.push_back(c);
    const std::int32_t n = normalEntry(tables, normal);
    tables.records.push_back({{first, first + 1, first + 2}, {n, n, n}});
}

}  // namespace

void addSourceTriangle(ModelTables& tables, const SourceTriangle& t) {
    const Micro3 p = t.corner[0];
    const Micro3 q = t.corner[1];
    const Micro3 r = t.corner[2];
    const Micro3 zero{0, 0, 0};
    const Micro3 n = roundToMicro(t.normal);
    const bool area = n != zero;
    addRecord(tables, p, q, r, n);
    addRecord(tables, p, r, p, zero);
    addRecord(tables, r, q, p, area ? Micro3{-n.x, -n.y, -n.z} : zero);
    addRecord(tables, p, r, p, zero);
}

ModelTables buildTables(const std::vector<SourceTriangle>& triangles) {
    ModelTables tables;
    for (const auto& t : triangles) {
        addSourceTriangle(tables, t);
    }
    return tables;
}

}  // namespace morvane::modelgen
