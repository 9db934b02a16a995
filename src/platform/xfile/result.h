// DirectX File result codes (negative means failure), with the library's own numeric values.
#pragma once
#include <cstdint>

namespace xfile {

enum Result : int32_t {
  DXFILE_OK = 0,
  DXFILEERR_BADOBJECT = static_cast<int32_t>(0x88760352),
  DXFILEERR_BADVALUE = static_cast<int32_t>(0x88760353),
  DXFILEERR_BADTYPE = static_cast<int32_t>(0x88760354),
  DXFILEERR_NOTFOUND = static_cast<int32_t>(0x88760357),
  DXFILEERR_FILENOTFOUND = static_cast<int32_t>(0x88760359),
  DXFILEERR_BADFILETYPE = static_cast<int32_t>(0x8876035D),
  DXFILEERR_BADFILEVERSION = static_cast<int32_t>(0x8876035E),
  DXFILEERR_BADFILEFLOATSIZE = static_cast<int32_t>(0x8876035F),
  DXFILEERR_BADFILECOMPRESSIONTYPE = static_cast<int32_t>(0x88760360),
  DXFILEERR_BADFILE = static_cast<int32_t>(0x88760361),
  DXFILEERR_PARSEERROR = static_cast<int32_t>(0x88760362),
  DXFILEERR_NOTEMPLATE = static_cast<int32_t>(0x88760363),
  DXFILEERR_BADARRAYSIZE = static_cast<int32_t>(0x88760364),
  DXFILEERR_BADDATAREFERENCE = static_cast<int32_t>(0x88760365),
  DXFILEERR_NOMOREOBJECTS = static_cast<int32_t>(0x88760367),
};

inline bool Failed(int32_t r) { return r < 0; }

// The code's name ("DXFILEERR_BADFILE"), or nullptr for a code not listed above.
inline const char* ResultName(int32_t r) {
#define XFILE_RESULT_NAME(code) \
  { code, #code }
  static constexpr struct {
    int32_t code;
    const char* name;
  } kNames[] = {XFILE_RESULT_NAME(DXFILE_OK),
                XFILE_RESULT_NAME(DXFILEERR_BADOBJECT),
                XFILE_RESULT_NAME(DXFILEERR_BADVALUE),
                XFILE_RESULT_NAME(DXFILEERR_BADTYPE),
                XFILE_RESULT_NAME(DXFILEERR_NOTFOUND),
                XFILE_RESULT_NAME(DXFILEERR_FILENOTFOUND),
                XFILE_RESULT_NAME(DXFILEERR_BADFILETYPE),
                XFILE_RESULT_NAME(DXFILEERR_BADFILEVERSION),
                XFILE_RESULT_NAME(DXFILEERR_BADFILEFLOATSIZE),
                XFILE_RESULT_NAME(DXFILEERR_BADFILECOMPRESSIONTYPE),
                XFILE_RESULT_NAME(DXFILEERR_BADFILE),
                XFILE_RESULT_NAME(DXFILEERR_PARSEERROR),
                XFILE_RESULT_NAME(DXFILEERR_NOTEMPLATE),
                XFILE_RESULT_NAME(DXFILEERR_BADARRAYSIZE),
                XFILE_RESULT_NAME(DXFILEERR_BADDATAREFERENCE),
                XFILE_RESULT_NAME(DXFILEERR_NOMOREOBJECTS)};
#undef XFILE_RESULT_NAME
  for (const auto& n : kNames)
    if (n.code == r) return n.name;
  return nullptr;
}

}  // namespace xfile
