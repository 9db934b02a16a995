// Generates .x model trees for tests and benchmarks: a chain of bone frames and a tube mesh
// skinned along it (or not), with normals, texture coordinates, two materials and an animation
// per bone.
#pragma once
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/xfile/data_object.h"
#include "platform/xfile/parser.h"
#include "platform/xfile/xfile.h"

namespace xtest {

struct ModelParams {
  int rings = 20, segments = 16, bones = 4, keys = 5;
  bool skinned = true;
  bool animated = true;
  int meshes = 1;  // static models: this many tubes side by side, each in its own frame
};

class CModelGen {
 public:
  explicit CModelGen(const xfile::CXFile& x) : t_(x.Templates()) {}

  std::vector<std::unique_ptr<xfile::CDataObject>> Build(const ModelParams& p) {
    std::vector<std::unique_ptr<xfile::CDataObject>> top;
    auto header = New("Header");
    header->AppendWord(1), header->AppendWord(0), header->AppendDword(1);
    top.push_back(std::move(header));
    auto scene = New("Frame", "Scene");
    scene->AddChild(Transform(0, 0, 0));
    // Bone chain along +y.
    xfile::CDataObject* parent = scene.get();
    for (int b = 0; b < p.bones; ++b) {
      auto bone = New("Frame", "Bone" + std::to_string(b));
      bone->AddChild(Transform(0, b == 0 ? 0.0f : Height(p) / p.bones, 0));
      parent = parent->AddChild(std::move(bone));
    }
    for (int m = 0; m < p.meshes; ++m) {
      auto holder = New("Frame", "Body" + std::to_string(m));
      holder->AddChild(Transform(3.0f * m, 0, 0));
      holder->AddChild(Tube(p, "Tube" + std::to_string(m)));
      scene->AddChild(std::move(holder));
    }
    top.push_back(std::move(scene));
    if (p.animated && p.bones > 0) {
      auto set = New("AnimationSet", "Swing");
      for (int b = 0; b < p.bones; ++b) {
        auto anim = New("Animation", "Anim" + std::to_string(b));
        anim->AddUnresolvedReference("Bone" + std::to_string(b), nullptr);
        auto rot = New("AnimationKey");
        rot->AppendDword(0), rot->AppendDword(p.keys);
        for (int k = 0; k < p.keys; ++k) {
          const float a = 0.3f * std::sin(k * 0.7f + b);
          rot->AppendDword(160 * k), rot->AppendDword(4);
          rot->AppendFloat(std::cos(a / 2)), rot->AppendFloat(0), rot->AppendFloat(0),
              rot->AppendFloat(std::sin(a / 2));
        }
        anim->AddChild(std::move(rot));
        auto pos = New("AnimationKey");
        pos->AppendDword(2), pos->AppendDword(p.keys);
        for (int k = 0; k < p.keys; ++k) {
          pos->AppendDword(160 * k), pos->AppendDword(3);
          pos->AppendFloat(0), pos->AppendFloat(b == 0 ? 0.0f : Height(p) / p.bones),
              pos->AppendFloat(0.01f * k);
        }
        anim->AddChild(std::move(pos));
        set->AddChild(std::move(anim));
      }
      top.push_back(std::move(set));
    }
    // References were added by name: resolve them against the tree now.
    xfile::ResolveReferences(top);
    return top;
  }

 private:
  static float Height(const ModelParams& p) { return 0.25f * p.rings; }

  std::unique_ptr<xfile::CDataObject> New(const char* type, std::string name = {}) {
    return std::make_unique<xfile::CDataObject>(t_.FindByName(type), std::move(name));
  }

  std::unique_ptr<xfile::CDataObject> Transform(float x, float y, float z) {
    auto m = New("FrameTransformMatrix");
    const float v[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    for (float f : v) m->AppendFloat(f);
    return m;
  }

  std::unique_ptr<xfile::CDataObject> Tube(const ModelParams& p, const std::string& name) {
    const int rings = p.rings, segs = p.segments;
    const int nv = (rings + 1) * segs;
    auto mesh = New("Mesh", name);
    mesh->AppendDword(nv);
    std::vector<float> nrm;
    for (int r = 0; r <= rings; ++r)
      for (int s = 0; s < segs; ++s) {
        const float a = 6.2831853f * s / segs;
        mesh->AppendFloat(std::cos(a)), mesh->AppendFloat(0.25f * r), mesh->AppendFloat(std::sin(a));
        nrm.push_back(std::cos(a)), nrm.push_back(0), nrm.push_back(std::sin(a));
      }
    const int nf = rings * segs * 2;
    mesh->AppendDword(nf);
    std::vector<uint32_t> tri;
    for (int r = 0; r < rings; ++r)
      for (int s = 0; s < segs; ++s) {
        const uint32_t a = r * segs + s, b = r * segs + (s + 1) % segs, c = a + segs, d = b + segs;
        const uint32_t t[6] = {a, c, b, b, c, d};
        tri.insert(tri.end(), t, t + 6);
      }
    for (size_t i = 0; i < tri.size(); i += 3)
      mesh->AppendDword(3), mesh->AppendDword(tri[i]), mesh->AppendDword(tri[i + 1]),
          mesh->AppendDword(tri[i + 2]);
    auto normals = New("MeshNormals");
    normals->AppendDword(nv);
    for (float f : nrm) normals->AppendFloat(f);
    normals->AppendDword(nf);
    for (size_t i = 0; i < tri.size(); i += 3)
      normals->AppendDword(3), normals->AppendDword(tri[i]), normals->AppendDword(tri[i + 1]),
          normals->AppendDword(tri[i + 2]);
    mesh->AddChild(std::move(normals));
    auto uv = New("MeshTextureCoords");
    uv->AppendDword(nv);
    for (int r = 0; r <= rings; ++r)
      for (int s = 0; s < segs; ++s) uv->AppendFloat(float(s) / segs), uv->AppendFloat(float(r) / rings);
    mesh->AddChild(std::move(uv));
    auto list = New("MeshMaterialList");
    list->AppendDword(2), list->AppendDword(nf);
    for (int f = 0; f < nf; ++f) list->AppendDword((f / (2 * segs)) % 2);
    for (int k = 0; k < 2; ++k) {
      auto mat = New("Material");
      const float c[11] = {k ? 0.2f : 0.9f, 0.5f, k ? 0.9f : 0.2f, 1, 8, 0.1f, 0.1f, 0.1f, 0, 0, 0};
      for (float f : c) mat->AppendFloat(f);
      if (k == 1) {
        auto tex = New("TextureFilename");
        tex->AppendString("skin\\stripes.bmp");
        mat->AddChild(std::move(tex));
      }
      list->AddChild(std::move(mat));
    }
    mesh->AddChild(std::move(list));
    if (p.skinned && p.bones > 0) {
      auto header = New("XSkinMeshHeader");
      header->AppendWord(2), header->AppendWord(4), header->AppendWord(static_cast<uint16_t>(p.bones));
      mesh->AddChild(std::move(header));
      // Each ring follows the two nearest bones, blended by height.
      for (int b = 0; b < p.bones; ++b) {
        std::vector<uint32_t> vs;
        std::vector<float> ws;
        for (int r = 0; r <= rings; ++r) {
          const float at = float(r) / (rings + 1) * p.bones - 0.5f;
          const int lo = static_cast<int>(std::floor(at));
          const float t = at - lo;
          float w = 0;
          if (b == std::max(lo, 0) && b == std::min(lo + 1, p.bones - 1))
            w = 1;
          else if (b == lo)
            w = 1 - t;
          else if (b == lo + 1)
            w = t;
          if (lo < 0 && b == 0) w = 1;
          if (lo + 1 >= p.bones && b == p.bones - 1) w = 1;
          if (w <= 0) continue;
          for (int s = 0; s < segs; ++s) vs.push_back(r * segs + s), ws.push_back(w);
        }
        if (vs.empty()) continue;
        auto sw = New("SkinWeights");
        sw->AppendString("Bone" + std::to_string(b));
        sw->AppendDword(static_cast<uint32_t>(vs.size()));
        for (uint32_t v : vs) sw->AppendDword(v);
        for (float w : ws) sw->AppendFloat(w);
        const float off[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -Height(p) / p.bones * b, 0, 1};
        for (float f : off) sw->AppendFloat(f);
        mesh->AddChild(std::move(sw));
      }
    }
    return mesh;
  }

  const xfile::CTemplateSet& t_;
};

}  // namespace xtest
