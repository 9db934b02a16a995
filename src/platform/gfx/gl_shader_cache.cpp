#include "platform/gfx/gl_shader_cache.h"

#include <SDL.h>

#include <cstdio>

#include "platform/gfx/gl_backend.h"

namespace gfx {

namespace {

const char* const kVertexSource = R"(
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec4 a_weights;
layout(location = 2) in vec3 a_normal;
layout(location = 3) in vec4 a_diffuseBytes;
layout(location = 4) in vec4 a_specularBytes;
#define a_diffuse COLOR_ORDER(a_diffuseBytes)
#define a_specular COLOR_ORDER(a_specularBytes)
layout(location = 5) in vec2 a_texcoord;
#if BATCHED
layout(location = 6) in float a_slot;
flat out float v_slot;
#endif

uniform mat4 u_worldView[4];   // World_i * View, row-vector matrices read as their transpose
uniform mat3 u_normalMatrix;
uniform mat4 u_projection;
uniform vec4 u_screen;         // pretransformed: viewport X - o, Y - o, 2/W, 2/H
uniform vec2 u_pixelShift;     // D3D pixel centres: +2o/W, -2o/H in clip units per w
uniform bool u_zeroToOne;

uniform vec4 u_matDiffuse, u_matAmbient, u_matSpecular, u_matEmissive;
uniform float u_matPower;
uniform ivec4 u_matSource;     // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
uniform vec3 u_globalAmbient;
uniform vec4 u_lightDiffuse, u_lightSpecular, u_lightAmbient;
uniform vec3 u_lightPosition, u_lightDirection;  // view space; direction normalised
uniform vec4 u_lightAttenuation;                 // a0, a1, a2, range
uniform vec3 u_lightSpot;                        // cos(theta/2), cos(phi/2), falloff
uniform ivec4 u_lightFlags;                      // normalize normals, specular, local viewer, type

uniform vec4 u_fog;            // start, end, 1/(end - start), density
uniform bool u_rangeFog;

SHADE out vec4 v_diffuse;
SHADE out vec4 v_specular;
out vec2 v_texcoord;
out float v_fog;

vec4 Source(int s, vec4 material) {
  return s == 1 ? a_diffuse : (s == 2 ? a_specular : material);
}

void main() {
  v_texcoord = a_texcoord;
#if BATCHED
  v_slot = a_slot;
#endif
#if PRETRANSFORMED
  float w = a_position.w != 0.0 ? 1.0 / a_position.w : 1.0;
  vec3 ndc = vec3((a_position.x - u_screen.x) * u_screen.z - 1.0,
                  1.0 - (a_position.y - u_screen.y) * u_screen.w, a_position.z);
  if (!u_zeroToOne) ndc.z = 2.0 * ndc.z - 1.0;
  gl_Position = vec4(ndc * w, w);
  v_diffuse = a_diffuse;
  v_specular = a_specular;
#if FOG_MODE == 4
  v_fog = a_specular.a;
#else
  v_fog = 1.0;
#endif
#else
  vec4 p = vec4(a_position.xyz, 1.0);
#if BLEND_COUNT == 0
  vec4 pv = u_worldView[0] * p;
  vec3 n = u_normalMatrix * a_normal;
#else
  vec4 pv = vec4(0.0);
  vec3 n = vec3(0.0);
  float rest = 1.0;
  for (int i = 0; i < BLEND_COUNT; ++i) {
    float wi = a_weights[i];
    pv += wi * (u_worldView[i] * p);
    n += wi * (mat3(u_worldView[i]) * a_normal);
    rest -= wi;
  }
  pv += rest * (u_worldView[BLEND_COUNT] * p);
  n += rest * (mat3(u_worldView[BLEND_COUNT]) * a_normal);
#endif
  gl_Position = u_projection * pv;
  gl_Position.xy += u_pixelShift * gl_Position.w;
  if (!u_zeroToOne) gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;

#if LIGHTING
  vec4 cd = Source(u_matSource.x, u_matDiffuse);
  vec4 ca = Source(u_matSource.y, u_matAmbient);
  vec4 cs = Source(u_matSource.z, u_matSpecular);
  vec4 ce = Source(u_matSource.w, u_matEmissive);
#if !HAS_NORMAL
  n = vec3(0.0);
#endif
  if (u_lightFlags.x != 0) {
    float len = length(n);
    n = len > 0.0 ? n / len : n;
  }
  vec3 ambAcc = vec3(0.0), diffAcc = vec3(0.0), specAcc = vec3(0.0);
#if LIGHT
  vec3 L;
  float att = 1.0;
  if (u_lightFlags.w == 3) {  // directional
    L = -u_lightDirection;
  } else {
    vec3 toLight = u_lightPosition - pv.xyz;
    float d = length(toLight);
    L = d > 0.0 ? toLight / d : vec3(0.0);
    if (d > u_lightAttenuation.w) {
      att = 0.0;
    } else {
      float den = u_lightAttenuation.x + u_lightAttenuation.y * d + u_lightAttenuation.z * d * d;
      att = den > 0.0 ? min(1.0 / den, 3.0e38) : 3.0e38;
    }
    if (u_lightFlags.w == 2) {  // spot
      float rho = dot(-L, u_lightDirection);
      if (rho <= u_lightSpot.y) {
        att = 0.0;
      } else if (rho <= u_lightSpot.x) {
        float t = (rho - u_lightSpot.y) / max(u_lightSpot.x - u_lightSpot.y, 1e-6);
        att *= u_lightSpot.z == 1.0 ? t : pow(t, u_lightSpot.z);
      }
    }
  }
  ambAcc = u_lightAmbient.rgb * att;
  float ndl = clamp(dot(n, L), 0.0, 1.0);
  diffAcc = u_lightDiffuse.rgb * (ndl * att);
#if SPECULAR_FORM != 1
#if SPECULAR_FORM == 0
  if (u_lightFlags.y != 0 && ndl > 0.0) {
#else
  if (ndl > 0.0) {
#endif
    vec3 h = u_lightFlags.z != 0 ? normalize(L - normalize(pv.xyz)) : normalize(L - vec3(0.0, 0.0, 1.0));
    float nh = max(dot(n, h), 0.0);
    float sp = u_matPower > 0.0 ? pow(nh, u_matPower) : 1.0;
    specAcc = u_lightSpecular.rgb * (sp * att);
  }
#endif
#endif
  v_diffuse = clamp(vec4(ce.rgb + ca.rgb * (u_globalAmbient + ambAcc) + cd.rgb * diffAcc, cd.a), 0.0, 1.0);
  v_specular = clamp(vec4(cs.rgb * specAcc, a_specular.a), 0.0, 1.0);
#else
  v_diffuse = a_diffuse;
  v_specular = a_specular;
#endif

#if FOG_MODE == 4
  v_fog = a_specular.a;
#elif FOG_MODE != 0
  float fd = u_rangeFog ? length(pv.xyz) : abs(pv.z);
#if FOG_MODE == 3
  float f = (u_fog.y - fd) * u_fog.z;
#elif FOG_MODE == 1
  float f = exp(-u_fog.w * fd);
#else
  float f = exp(-(u_fog.w * fd) * (u_fog.w * fd));
#endif
  v_fog = clamp(f, 0.0, 1.0);
#else
  v_fog = 1.0;
#endif
#endif
}
)";

const char* const kFragmentSource = R"(
SHADE in vec4 v_diffuse;
SHADE in vec4 v_specular;
in vec2 v_texcoord;
in float v_fog;

uniform sampler2D u_texture;
#if BATCHED
uniform sampler2D u_texture1;
flat in float v_slot;
#endif
uniform ivec3 u_colorStage;    // op, arg1, arg2
uniform ivec3 u_alphaStage;
uniform bool u_stageOff;
uniform vec4 u_textureFactor;
uniform bool u_specularAdd;
uniform vec3 u_fogColor;
uniform ivec2 u_alphaTest;     // compare function, reference 0..255

out vec4 o_color;

vec4 Arg(int a, vec4 diffuse, vec4 tex) {
  int sel = a & 15;
  vec4 v = diffuse;                 // DIFFUSE, and CURRENT at stage 0
  if (sel == 2) v = tex;
  else if (sel == 3) v = u_textureFactor;
  else if (sel == 4) v = v_specular;
  if ((a & 16) != 0) v = vec4(1.0) - v;
  if ((a & 32) != 0) v = v.aaaa;
  return v;
}

vec4 Op(int op, vec4 a1, vec4 a2, vec4 diffuse, vec4 tex) {
  switch (op) {
    case 2: return a1;
    case 3: return a2;
    case 4: return a1 * a2;
    case 5: return clamp(2.0 * a1 * a2, 0.0, 1.0);
    case 6: return clamp(4.0 * a1 * a2, 0.0, 1.0);
    case 7: return clamp(a1 + a2, 0.0, 1.0);
    case 8: return clamp(a1 + a2 - 0.5, 0.0, 1.0);
    case 9: return clamp(2.0 * (a1 + a2 - 0.5), 0.0, 1.0);
    case 10: return clamp(a1 - a2, 0.0, 1.0);
    case 11: return clamp(a1 + a2 - a1 * a2, 0.0, 1.0);
    case 12: return mix(a2, a1, diffuse.a);
    case 13: return mix(a2, a1, tex.a);
    case 14: return mix(a2, a1, u_textureFactor.a);
    default: return a1 * a2;
  }
}

bool Compare(int func, int a, int ref) {
  switch (func) {
    case 1: return false;
    case 2: return a < ref;
    case 3: return a == ref;
    case 4: return a <= ref;
    case 5: return a > ref;
    case 6: return a != ref;
    case 7: return a >= ref;
    default: return true;
  }
}

void main() {
  vec4 diffuse = v_diffuse;
#if TEXTURED && BATCHED
  vec4 tex0 = texture(u_texture, v_texcoord), tex1 = texture(u_texture1, v_texcoord);
  vec4 tex = v_slot > 1.5 ? tex1 : tex0;
#elif TEXTURED
  vec4 tex = texture(u_texture, v_texcoord);
#else
  vec4 tex = vec4(0.0);
#endif
  vec4 color = diffuse;
#if COLOR_FORM == 0 || ALPHA_FORM == 0
  if (!u_stageOff) {
#if COLOR_FORM == 0
    color.rgb = Op(u_colorStage.x, Arg(u_colorStage.y, diffuse, tex), Arg(u_colorStage.z, diffuse, tex),
                   diffuse, tex).rgb;
#endif
#if ALPHA_FORM == 0
    if (u_alphaStage.x != 1) {
      color.a = Op(u_alphaStage.x, Arg(u_alphaStage.y, diffuse, tex), Arg(u_alphaStage.z, diffuse, tex),
                   diffuse, tex).a;
    }
#endif
  }
#endif
#if COLOR_FORM == 2
  color.rgb = tex.rgb;
#elif COLOR_FORM == 3
  color.rgb = tex.rgb * diffuse.rgb;
#endif
#if ALPHA_FORM == 3
  color.a = u_alphaStage.x == 4 ? tex.a * diffuse.a : tex.a;  // modulate, or the texture's alone
#endif
#if BATCHED
  if (v_slot < 0.5) color = diffuse;  // no texture: the stage is off
#endif
#if SPECULAR_FORM == 0
  if (u_specularAdd) color.rgb = clamp(color.rgb + v_specular.rgb, 0.0, 1.0);
#elif SPECULAR_FORM == 2
  color.rgb = clamp(color.rgb + v_specular.rgb, 0.0, 1.0);
#endif
#if FOG_MODE != 0
  color.rgb = mix(u_fogColor, color.rgb, v_fog);
#endif
#if ALPHA_TEST
  if (!Compare(u_alphaTest.x, int(color.a * 255.0 + 0.5), u_alphaTest.y)) discard;
#endif
  o_color = color;
}
)";

bool Compile(GLuint shader, const char* header, const char* body) {
  const char* sources[2] = {header, body};
  glShaderSource(shader, 2, sources, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048];
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    SDL_Log("gfx: shader compile failed: %s", log);
  }
  return ok != 0;
}

}  // namespace

CShaderCache::CShaderCache(ContextToken token, std::string folder)
    : token_(std::move(token)), store_(std::move(folder)) {}

GlProgram* CShaderCache::Get(const ShaderKey& key) {
  const uint32_t i = key.Index();
  const auto found = programs_.find(i);
  if (found != programs_.end()) return found->second.get();
  return programs_.emplace(i, Build(key)).first->second.get();
}

bool CShaderCache::Link(GLuint id, const char* header, uint64_t savedKey) {
  GlObject vs = GlObject::MakeShader(GL_VERTEX_SHADER, token_);
  GlObject fs = GlObject::MakeShader(GL_FRAGMENT_SHADER, token_);
  if (!Compile(vs.Id(), header, kVertexSource) || !Compile(fs.Id(), header, kFragmentSource)) return false;
  ++compiled_;
  glAttachShader(id, vs.Id());
  glAttachShader(id, fs.Id());
  glBindFragDataLocation(id, 0, "o_color");
  store_.Prepare(id);
  glLinkProgram(id);
  glDetachShader(id, vs.Id());
  glDetachShader(id, fs.Id());
  GLint ok = 0;
  glGetProgramiv(id, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048];
    glGetProgramInfoLog(id, sizeof log, nullptr, log);
    SDL_Log("gfx: shader link failed: %s", log);
    return false;
  }
  store_.Save(savedKey, id);
  return true;
}

std::unique_ptr<GlProgram> CShaderCache::Build(const ShaderKey& key) {
  char header[1024];
  std::snprintf(header, sizeof header,
                "%s#define PRETRANSFORMED %d\n#define LIGHTING %d\n#define LIGHT %d\n"
                "#define HAS_NORMAL %d\n#define BLEND_COUNT %u\n#define FOG_MODE %u\n#define TEXTURED %d\n"
                "#define ALPHA_TEST %d\n#define SHADE %s\n#define COLOR_FORM %u\n#define ALPHA_FORM %u\n"
                "#define SPECULAR_FORM %u\n#define BATCHED %d\n",
                backend::ShaderPrelude(), key.pretransformed ? 1 : 0, key.lighting ? 1 : 0, key.light ? 1 : 0,
                key.hasNormal ? 1 : 0, key.blendCount, key.fogMode, key.textured ? 1 : 0,
                key.alphaTest ? 1 : 0, key.flat ? "flat" : "", key.colorForm, key.alphaForm, key.specularForm,
                key.batched ? 1 : 0);
  auto p = std::make_unique<GlProgram>();
  p->program = GlObject::Make(GlKind::Program, token_);
  const GLuint id = p->program.Id();
  const char* const parts[] = {header, kVertexSource, kFragmentSource};
  const uint64_t savedKey = CProgramStore::Key(parts, 3);
  if (!store_.Load(savedKey, id) && !Link(id, header, savedKey)) return nullptr;
  ++built_;
  auto loc = [id](const char* name) { return glGetUniformLocation(id, name); };
  p->worldView = loc("u_worldView");
  p->normalMatrix = loc("u_normalMatrix");
  p->projection = loc("u_projection");
  p->screen = loc("u_screen");
  p->pixelShift = loc("u_pixelShift");
  p->zeroToOne = loc("u_zeroToOne");
  p->matDiffuse = loc("u_matDiffuse");
  p->matAmbient = loc("u_matAmbient");
  p->matSpecular = loc("u_matSpecular");
  p->matEmissive = loc("u_matEmissive");
  p->matPower = loc("u_matPower");
  p->matSource = loc("u_matSource");
  p->globalAmbient = loc("u_globalAmbient");
  p->lightDiffuse = loc("u_lightDiffuse");
  p->lightSpecular = loc("u_lightSpecular");
  p->lightAmbient = loc("u_lightAmbient");
  p->lightPosition = loc("u_lightPosition");
  p->lightDirection = loc("u_lightDirection");
  p->lightAttenuation = loc("u_lightAttenuation");
  p->lightSpot = loc("u_lightSpot");
  p->lightFlags = loc("u_lightFlags");
  p->fog = loc("u_fog");
  p->rangeFog = loc("u_rangeFog");
  p->fogColor = loc("u_fogColor");
  p->colorStage = loc("u_colorStage");
  p->alphaStage = loc("u_alphaStage");
  p->stageOff = loc("u_stageOff");
  p->textureFactor = loc("u_textureFactor");
  p->specularAdd = loc("u_specularAdd");
  p->alphaTest = loc("u_alphaTest");
  glUseProgram(id);
  glUniform1i(loc("u_texture"), 0);
  if (key.batched) glUniform1i(loc("u_texture1"), 1);
  return p;
}

}  // namespace gfx
