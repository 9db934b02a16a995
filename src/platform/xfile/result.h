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

}  // namespace xfile
