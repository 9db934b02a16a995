// The Direct3D-8-shaped vocabulary of the graphics device: numeric codes are D3D8's own, so
// game code reads like the design (vertex format 0x152, D3DCULL_CCW = 3, ...).
#pragma once
#include <cstdint>

#include "platform/gfxutil/math.h"

namespace gfx {

using gfxutil::Color;
using gfxutil::Matrix;
using gfxutil::Vector3;

// Result codes.
enum Result : int32_t {
  D3D_OK = 0,
  D3DERR_DEVICELOST = static_cast<int32_t>(0x88760868),
  D3DERR_DEVICENOTRESET = static_cast<int32_t>(0x88760869),
  D3DERR_INVALIDCALL = static_cast<int32_t>(0x8876086C),
  D3DERR_NOTAVAILABLE = static_cast<int32_t>(0x8876086A),
};

enum RenderState : uint32_t {
  D3DRS_ZENABLE = 7,
  D3DRS_FILLMODE = 8,
  D3DRS_SHADEMODE = 9,
  D3DRS_ZWRITEENABLE = 14,
  D3DRS_ALPHATESTENABLE = 15,
  D3DRS_SRCBLEND = 19,
  D3DRS_DESTBLEND = 20,
  D3DRS_CULLMODE = 22,
  D3DRS_ZFUNC = 23,
  D3DRS_ALPHAREF = 24,
  D3DRS_ALPHAFUNC = 25,
  D3DRS_DITHERENABLE = 26,
  D3DRS_ALPHABLENDENABLE = 27,
  D3DRS_FOGENABLE = 28,
  D3DRS_SPECULARENABLE = 29,
  D3DRS_FOGCOLOR = 34,
  D3DRS_FOGTABLEMODE = 35,
  D3DRS_FOGSTART = 36,    // float bits
  D3DRS_FOGEND = 37,      // float bits
  D3DRS_FOGDENSITY = 38,  // float bits
  D3DRS_RANGEFOGENABLE = 48,
  D3DRS_TEXTUREFACTOR = 60,
  D3DRS_LIGHTING = 137,
  D3DRS_AMBIENT = 139,
  D3DRS_FOGVERTEXMODE = 140,
  D3DRS_COLORVERTEX = 141,
  D3DRS_LOCALVIEWER = 142,
  D3DRS_NORMALIZENORMALS = 143,
  D3DRS_DIFFUSEMATERIALSOURCE = 145,
  D3DRS_SPECULARMATERIALSOURCE = 146,
  D3DRS_AMBIENTMATERIALSOURCE = 147,
  D3DRS_EMISSIVEMATERIALSOURCE = 148,
  D3DRS_VERTEXBLEND = 151,
  D3DRS_SOFTWAREVERTEXPROCESSING = 153,
  D3DRS_MAX = 256,
};

enum : uint32_t {
  D3DZB_FALSE = 0,
  D3DZB_TRUE = 1,
  D3DFILL_POINT = 1,
  D3DFILL_WIREFRAME = 2,
  D3DFILL_SOLID = 3,
  D3DSHADE_FLAT = 1,
  D3DSHADE_GOURAUD = 2,
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
  D3DBLEND_SRCALPHASAT = 11,
  D3DBLEND_BOTHSRCALPHA = 12,
  D3DBLEND_BOTHINVSRCALPHA = 13,  // SRCBLEND only; they set both factors
  D3DCULL_NONE = 1,
  D3DCULL_CW = 2,
  D3DCULL_CCW = 3,
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
  D3DFOG_NONE = 0,
  D3DFOG_EXP = 1,
  D3DFOG_EXP2 = 2,
  D3DFOG_LINEAR = 3,
  D3DVBF_DISABLE = 0,
  D3DVBF_1WEIGHTS = 1,
  D3DVBF_2WEIGHTS = 2,
  D3DVBF_3WEIGHTS = 3,
  D3DMCS_MATERIAL = 0,
  D3DMCS_COLOR1 = 1,
  D3DMCS_COLOR2 = 2,
};

enum TextureStageState : uint32_t {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_TEXCOORDINDEX = 11,
  D3DTSS_ADDRESSU = 13,
  D3DTSS_ADDRESSV = 14,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_MIPFILTER = 18,
  D3DTSS_MIPMAPLODBIAS = 19,  // float bits
  D3DTSS_MAXMIPLEVEL = 20,
  D3DTSS_MAXANISOTROPY = 21,
  D3DTSS_MAX = 32,
};

enum : uint32_t {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
  D3DTOP_MODULATE2X = 5,
  D3DTOP_MODULATE4X = 6,
  D3DTOP_ADD = 7,
  D3DTA_DIFFUSE = 0,
  D3DTA_CURRENT = 1,
  D3DTA_TEXTURE = 2,
  D3DTA_TFACTOR = 3,
  D3DTA_SELECTMASK = 0xF,
  D3DTEXF_NONE = 0,
  D3DTEXF_POINT = 1,
  D3DTEXF_LINEAR = 2,
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,
};

enum TransformState : uint32_t {
  D3DTS_VIEW = 2,
  D3DTS_PROJECTION = 3,
  D3DTS_WORLD = 256,
  D3DTS_WORLD1 = 257,
  D3DTS_WORLD2 = 258,
  D3DTS_WORLD3 = 259,
};
constexpr TransformState D3DTS_WORLDMATRIX(uint32_t i) { return static_cast<TransformState>(256 + i); }

// Flexible vertex format bits.
enum : uint32_t {
  D3DFVF_XYZ = 0x002,
  D3DFVF_XYZRHW = 0x004,
  D3DFVF_XYZB1 = 0x006,
  D3DFVF_XYZB2 = 0x008,
  D3DFVF_XYZB3 = 0x00A,
  D3DFVF_XYZB4 = 0x00C,
  D3DFVF_POSITION_MASK = 0x00E,
  D3DFVF_NORMAL = 0x010,
  D3DFVF_DIFFUSE = 0x040,
  D3DFVF_SPECULAR = 0x080,
  D3DFVF_TEX1 = 0x100,
  D3DFVF_TEXCOUNT_MASK = 0xF00,
};
// Byte size of one vertex of the format.
uint32_t FvfStride(uint32_t fvf);
// Number of blend weights (betas) stored after the position: 1 to 4 for XYZB1..XYZB4, else 0.
// D3DRS_VERTEXBLEND = n reads the first n of them; matrix n takes 1 minus their sum.
uint32_t FvfBlendWeights(uint32_t fvf);

enum : uint32_t { D3DCLEAR_TARGET = 1, D3DCLEAR_ZBUFFER = 2, D3DCLEAR_STENCIL = 4 };

enum PrimitiveType : uint32_t {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

enum DeviceType : uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };
enum : uint32_t {
  D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20,
  D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40,
  D3DCREATE_MIXED_VERTEXPROCESSING = 0x80,
};

// Back-buffer formats (D3DFORMAT codes).
enum Format : uint32_t {
  D3DFMT_UNKNOWN = 0,
  D3DFMT_R8G8B8 = 20,
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_D16 = 80,
};

struct ColorValue {
  float r = 0, g = 0, b = 0, a = 0;
};

struct Material {
  ColorValue Diffuse, Ambient, Specular, Emissive;
  float Power = 0;
};

enum LightType : uint32_t { D3DLIGHT_POINT = 1, D3DLIGHT_SPOT = 2, D3DLIGHT_DIRECTIONAL = 3 };

struct Light {
  uint32_t Type = D3DLIGHT_POINT;
  ColorValue Diffuse, Specular, Ambient;
  Vector3 Position, Direction;
  float Range = 0, Falloff = 0;
  float Attenuation0 = 0, Attenuation1 = 0, Attenuation2 = 0;
  float Theta = 0, Phi = 0;
};

struct Viewport {
  uint32_t X = 0, Y = 0, Width = 0, Height = 0;
  float MinZ = 0, MaxZ = 1;
};

struct PresentParameters {
  uint32_t BackBufferWidth = 0, BackBufferHeight = 0;
  uint32_t BackBufferFormat = D3DFMT_UNKNOWN;
  uint32_t BackBufferCount = 0;
  uint32_t MultiSampleType = 0;
  uint32_t SwapEffect = 0;
  bool Windowed = false;
  bool EnableAutoDepthStencil = false;
  uint32_t AutoDepthStencilFormat = 0;
  uint32_t Flags = 0;
  uint32_t FullScreen_RefreshRateInHz = 0;
  uint32_t FullScreen_PresentationInterval = 0;
};

struct Caps {
  uint32_t MaxVertexBlendMatrices = 4;
};

inline uint32_t FloatBits(float f) {
  uint32_t u;
  __builtin_memcpy(&u, &f, 4);
  return u;
}
inline float BitsFloat(uint32_t u) {
  float f;
  __builtin_memcpy(&f, &u, 4);
  return f;
}
// A D3DCOLOR as red, green, blue (and alpha) from 0 to 1.
inline void ColorToFloats(uint32_t c, float* out, bool withAlpha) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  if (withAlpha) out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

}  // namespace gfx
