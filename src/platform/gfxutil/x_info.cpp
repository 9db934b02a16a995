#include "platform/gfxutil/x_info.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "platform/gfxutil/skin_mesh.h"
#include "platform/xfile/xfile.h"

namespace gfxutil {

namespace {

using xfile::CDataObject;

bool Is(const CDataObject& o, const char* templateName) { return o.Template()->name == templateName; }

std::string NameOr(const std::string& s) { return s.empty() ? "-" : s; }

struct Walker {
  XInfo& info;
  Vector3 sum;
  std::vector<Vector3> points;

  void Frame(const CDataObject& f, int depth, Matrix parent) {
    info.frames.push_back({depth, NameOr(f.GetName())});
    Matrix local;
    // The frame's own matrix applies to everything in it, wherever it is written.
    for (size_t i = 0; i < f.GetChildCount(); ++i) {
      const auto& c = f.GetChild(i);
      if (!c.isReference && Is(*c.object, "FrameTransformMatrix")) {
        xfile::CDataCursor cur(*c.object);
        for (int r = 0; r < 4; ++r)
          for (int k = 0; k < 4; ++k) local.m[r][k] = cur.Float();
      }
    }
    const Matrix combined = local * parent;
    for (size_t i = 0; i < f.GetChildCount(); ++i) {
      const auto& c = f.GetChild(i);
      if (c.isReference) continue;
      if (Is(*c.object, "Frame"))
        Frame(*c.object, depth + 1, combined);
      else if (Is(*c.object, "Mesh"))
        Mesh(*c.object, f.GetName(), combined);
      else if (Is(*c.object, "AnimationSet"))
        Set(*c.object);
    }
  }

  void Mesh(const CDataObject& m, const std::string& frame, const Matrix& transform) {
    XInfo::Mesh out;
    out.frame = NameOr(frame);
    out.name = NameOr(m.GetName());
    xfile::CDataCursor c(m);
    out.vertices = c.Dword();
    c.Skip(static_cast<size_t>(out.vertices) * 12);
    out.faces = c.Dword();
    std::unique_ptr<CSkinMesh> skin;
    uint32_t materials = 0;
    std::vector<std::string> bones;
    if (LoadSkinMeshFromXof(m, 0, nullptr, nullptr, nullptr, &materials, &bones, nullptr, skin) == D3DX_OK) {
      out.triangles = skin->GetOriginalMesh()->GetNumFaces();
      out.materials = materials;
      out.bones = bones;
      // The vertices the model draws: the blended mesh for a skinned part.
      const CMesh* drawn = skin->GetOriginalMesh();
      std::unique_ptr<CMesh> blended;
      if (skin->GetNumBones() > 0) {
        BoneCombinationTable table;
        if (skin->ConvertToBlendedMesh(D3DXMESH_MANAGED, nullptr, nullptr, table, nullptr, nullptr,
                                       blended) == D3DX_OK)
          drawn = blended.get();
      }
      for (uint32_t v = 0; v < drawn->GetNumVertices(); ++v) {
        const Vector3 p = drawn->Position(v);
        if (p.x == 0 && p.y == 0 && p.z == 0) continue;
        points.push_back(Vec3TransformCoord(p, transform));
      }
    }
    info.meshes.push_back(std::move(out));
  }

  void Animation(const CDataObject& a, XInfo::AnimationSet& set) {
    XInfo::Animation out;
    out.frame = "-";
    for (size_t i = 0; i < a.GetChildCount(); ++i) {
      const auto& c = a.GetChild(i);
      if (c.isReference) {
        if (Is(*c.object, "Frame")) out.frame = NameOr(c.object->GetName());
        continue;
      }
      if (!Is(*c.object, "AnimationKey")) continue;
      xfile::CDataCursor cur(*c.object);
      const uint32_t type = cur.Dword();
      const uint32_t keys = cur.Dword();
      if (type == 0)
        out.rotation += keys;
      else if (type == 1)
        out.scale += keys;
      else if (type == 2)
        out.position += keys;
      else
        out.matrix += keys;
    }
    set.animations.push_back(out);
  }

  void Set(const CDataObject& s) {
    XInfo::AnimationSet set;
    set.name = NameOr(s.GetName());
    for (size_t i = 0; i < s.GetChildCount(); ++i) {
      const auto& c = s.GetChild(i);
      if (Is(*c.object, "Animation")) Animation(*c.object, set);
    }
    info.sets.push_back(std::move(set));
  }
};

// "DXFILEERR_PARSEERROR at line 7 (byte 161)": the code's name and where reading stopped.
std::string DescribeFailure(xfile::Result r, const xfile::ParseStop& stop) {
  char text[160];
  const char* name = xfile::ResultName(r);
  int n = name ? std::snprintf(text, sizeof text, "%s", name)
               : std::snprintf(text, sizeof text, "error %08" PRIX32, static_cast<uint32_t>(r));
  const size_t at = static_cast<size_t>(n);
  using W = xfile::ParseStop::Where;
  switch (stop.where) {
    case W::Header:
      std::snprintf(text + at, sizeof text - at, " in the 16-byte header");
      break;
    case W::Compression:
      std::snprintf(text + at, sizeof text - at, " in the compressed body (it does not expand)");
      break;
    case W::Body:
      if (stop.line)
        std::snprintf(text + at, sizeof text - at, " at line %" PRIu32 " (byte %zu%s)", stop.line,
                      stop.offset, stop.expanded ? " of the expanded body" : "");
      else
        std::snprintf(text + at, sizeof text - at, " at byte %zu%s", stop.offset,
                      stop.expanded ? " of the expanded body" : "");
      break;
    case W::References:
      std::snprintf(text + at, sizeof text - at, " after reading: a reference names no object");
      break;
    case W::None:
      break;
  }
  return text;
}

}  // namespace

bool DescribeXFile(const void* data, size_t size, XInfo& out, std::string& error) {
  out = XInfo{};
  auto reader = xfile::CXFile::Create();
  if (reader->RegisterStandardTemplates() != xfile::DXFILE_OK) {
    error = "templates";
    return false;
  }
  std::unique_ptr<xfile::CEnumObject> e;
  xfile::ParseStop stop;
  if (const xfile::Result r = reader->CreateEnumObjectFromMemory(data, size, e, &stop);
      r != xfile::DXFILE_OK) {
    error = DescribeFailure(r, stop);
    return false;
  }
  Walker w{out, {}, {}};
  for (const auto& o : e->Objects()) {
    if (Is(*o, "Frame"))
      w.Frame(*o, 0, Matrix{});
    else if (Is(*o, "Mesh"))
      w.Mesh(*o, "", Matrix{});
    else if (Is(*o, "AnimationSet"))
      w.Set(*o);
  }
  if (!w.points.empty()) {
    Vector3 sum;
    for (const Vector3& p : w.points) sum += p;
    out.center = sum * (1.0f / static_cast<float>(w.points.size()));
    float best = 0;
    for (const Vector3& p : w.points) best = std::max(best, Vec3LengthSq(p - out.center));
    out.radius = std::sqrt(best);
  }
  return true;
}

std::vector<std::string> FormatXInfo(const XInfo& info) {
  std::vector<std::string> lines;
  char buf[512];
  for (const auto& f : info.frames) {
    std::snprintf(buf, sizeof buf, "frame %d %s", f.depth, f.name.c_str());
    lines.push_back(buf);
  }
  for (const auto& m : info.meshes) {
    std::snprintf(buf, sizeof buf, "mesh %s %s vertices=%u faces=%u triangles=%u materials=%u bones=%zu",
                  m.frame.c_str(), m.name.c_str(), m.vertices, m.faces, m.triangles, m.materials,
                  m.bones.size());
    lines.push_back(buf);
    for (const auto& b : m.bones) lines.push_back("bone " + m.name + " " + b);
  }
  for (const auto& s : info.sets) {
    std::snprintf(buf, sizeof buf, "animationset %s animations=%zu", s.name.c_str(), s.animations.size());
    lines.push_back(buf);
    for (const auto& a : s.animations) {
      std::snprintf(buf, sizeof buf, "animation %s %s rotation=%u scale=%u position=%u matrix=%u",
                    s.name.c_str(), a.frame.c_str(), a.rotation, a.scale, a.position, a.matrix);
      lines.push_back(buf);
    }
  }
  std::snprintf(buf, sizeof buf, "sphere %g %g %g %g", info.center.x, info.center.y, info.center.z,
                info.radius);
  lines.push_back(buf);
  return lines;
}

}  // namespace gfxutil
