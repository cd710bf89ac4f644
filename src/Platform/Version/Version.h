// Version resources: the VS_VERSIONINFO block of a file and the queries on it.
//
// The block is read from the version resource (RT_VERSION) of a PE file (32 or 64 bit), or
// from the section ".krx_version" of an ELF file, where our own programs and libraries carry
// one written at build time (cmake/KrxVersionInfo.cmake, Platform/Version/VersionBlock.h).
#pragma once

#include "Platform/Win/Kernel.h"

namespace krx {

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;
inline constexpr DWORD VS_FF_DEBUG = 0x01;
inline constexpr DWORD VS_FF_PRERELEASE = 0x02;
inline constexpr DWORD VOS__WINDOWS32 = 0x00000004;
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
inline constexpr DWORD VFT_APP = 1;
inline constexpr DWORD VFT_DLL = 2;

// The size of the file's version block; 0 when it has none (GetLastError:
// ERROR_FILE_NOT_FOUND, ERROR_BAD_FORMAT for a file that is neither PE nor ELF,
// ERROR_RESOURCE_TYPE_NOT_FOUND for one without a version block, ERROR_INVALID_DATA for a
// damaged one). `handle` (may be null) is set to 0.
DWORD GetFileVersionInfoSizeW(const Char *fileName, DWORD *handle);
// Copies the version block into `data` (`len` bytes). A block longer than `len` is cut and
// its length field made to fit, so that queries never read past `len`. FALSE with the
// errors above, or ERROR_INVALID_PARAMETER without a buffer.
BOOL GetFileVersionInfoW(const Char *fileName, DWORD handle, DWORD len, void *data);

// Finds a value in a block filled by GetFileVersionInfoW. `subBlock` is a backslash path,
// names compared without regard to case: "\" gives the VS_FIXEDFILEINFO (len 52),
// "\VarFileInfo\Translation" the language and code-page pairs (len in bytes),
// "\StringFileInfo\040904E4\FileVersion" a terminated text (len in characters with the
// terminator). *buffer points into the block. FALSE when there is no such value, or the
// block is damaged where the path leads.
BOOL VerQueryValueW(const void *block, const Char *subBlock, void **buffer, UINT *len);

} // namespace krx
