// SDL2's functions, the library loaded when a window is first asked for: an unattended run never
// loads it, nor the display and sound libraries it links.
#include <SDL.h>

#include "base/shared_library.h"

namespace {

// The library's run-time name, found by the build.
constexpr const char* kSdl = ORVEL_SDL2_LIBRARY;

}  // namespace

// clang-format off
ORVEL_LIBRARY_FUNCTION(kSdl, SDL_Surface*, SDL_ConvertSurfaceFormat, (SDL_Surface* src, Uint32 pixel_format, Uint32 flags), (src, pixel_format, flags))
ORVEL_LIBRARY_FUNCTION(kSdl, SDL_Surface*, SDL_CreateRGBSurfaceWithFormatFrom, (void* pixels, int width, int height, int depth, int pitch, Uint32 format), (pixels, width, height, depth, pitch, format))
ORVEL_LIBRARY_FUNCTION(kSdl, SDL_Window*, SDL_CreateWindow, (const char* title, int x, int y, int w, int h, Uint32 flags), (title, x, y, w, h, flags))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_DestroyWindow, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, Uint8, SDL_EventState, (Uint32 type, int state), (type, state))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_FlushEvents, (Uint32 minType, Uint32 maxType), (minType, maxType))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_FreeSurface, (SDL_Surface* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kSdl, const char*, SDL_GetCurrentVideoDriver, (), ())
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_GetDesktopDisplayMode, (int displayIndex, SDL_DisplayMode* mode), (displayIndex, mode))
ORVEL_LIBRARY_FUNCTION(kSdl, const char*, SDL_GetError, (), ())
ORVEL_LIBRARY_FUNCTION(kSdl, Uint32, SDL_GetTicks, (), ())
ORVEL_LIBRARY_FUNCTION(kSdl, Uint32, SDL_GetWindowID, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, SDL_Surface*, SDL_GetWindowSurface, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_HideWindow, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_InitSubSystem, (Uint32 flags), (flags))
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_LockSurface, (SDL_Surface* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_PollEvent, (SDL_Event* event), (event))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_PumpEvents, (), ())
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_Quit, (), ())
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_QuitSubSystem, (Uint32 flags), (flags))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_RaiseWindow, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, SDL_bool, SDL_ResetHint, (const char* name), (name))
ORVEL_LIBRARY_FUNCTION(kSdl, SDL_bool, SDL_SetHint, (const char* name, const char* value), (name, value))
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_SetWindowInputFocus, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, void, SDL_UnlockSurface, (SDL_Surface* surface), (surface))
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_UpdateWindowSurface, (SDL_Window* window), (window))
ORVEL_LIBRARY_FUNCTION(kSdl, int, SDL_UpperBlit, (SDL_Surface* src, const SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect), (src, srcrect, dst, dstrect))
ORVEL_LIBRARY_FUNCTION(kSdl, Uint32, SDL_WasInit, (Uint32 flags), (flags))
// clang-format on
