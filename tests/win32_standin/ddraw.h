// Stand-in for the platform's ddraw.h in host tests of the DirectDraw
// back-ends: the version-1 interfaces and the records, flags and values they
// use. The interfaces are plain records whose methods record each call (see
// win32_standin.h); no method is virtual because nothing derives from them.
#pragma once

#include <string>

#include "windows.h"

struct GUID;
struct IUnknown;
struct DDBLTFX;

inline constexpr HRESULT DD_OK = 0;

inline constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
inline constexpr DWORD DDSCL_NORMAL = 0x00000008;
inline constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;

inline constexpr DWORD DDSD_CAPS = 0x00000001;
inline constexpr DWORD DDSD_HEIGHT = 0x00000002;
inline constexpr DWORD DDSD_WIDTH = 0x00000004;
inline constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;

inline constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
inline constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
inline constexpr DWORD DDSCAPS_FLIP = 0x00000010;
inline constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
inline constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
inline constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;

inline constexpr DWORD DDPF_RGB = 0x00000040;
inline constexpr DWORD DDLOCK_WAIT = 0x00000001;
inline constexpr DWORD DDBLT_WAIT = 0x01000000;
inline constexpr DWORD DDFLIP_NOVSYNC = 0x00000008;
inline constexpr DWORD DDFLIP_DONOTWAIT = 0x00000020;

struct DDSCAPS {
    DWORD dwCaps;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

// The fields of the real record that the back-ends touch, in its order.
struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount;
    LPVOID lpSurface;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};

struct IDirectDrawClipper {
    std::string name;
    bool released = false;

    HRESULT SetHWnd(DWORD flags, HWND window);
    ULONG Release();
};

struct IDirectDrawSurface {
    std::string name;
    bool released = false;
    DWORD backBuffers = 0;  // GetAttachedSurface fails on a surface without any

    HRESULT Blt(RECT* destination, IDirectDrawSurface* source, RECT* sourceRect, DWORD flags,
                DDBLTFX* effects);
    HRESULT Flip(IDirectDrawSurface* target, DWORD flags);
    HRESULT GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** attached);
    HRESULT GetPixelFormat(DDPIXELFORMAT* format);
    HRESULT Lock(RECT* rect, DDSURFACEDESC* description, DWORD flags, HANDLE event);
    HRESULT Restore();
    HRESULT SetClipper(IDirectDrawClipper* clipper);
    HRESULT Unlock(LPVOID surfaceData);
    ULONG Release();
};

struct IDirectDraw {
    std::string name;
    bool released = false;

    HRESULT CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer);
    HRESULT CreateSurface(DDSURFACEDESC* description, IDirectDrawSurface** surface, IUnknown* outer);
    HRESULT RestoreDisplayMode();
    HRESULT SetCooperativeLevel(HWND window, DWORD flags);
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel);
    ULONG Release();
};

using LPDIRECTDRAW = IDirectDraw*;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;
