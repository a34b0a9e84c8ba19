#include "win32_standin.h"

#include <cstdarg>
#include <cstdio>

Win32Standin standin;

namespace {

constexpr HRESULT kFailure = static_cast<HRESULT>(0x80004005u);  // E_FAIL

// Handles are addresses of these: distinct, stable and never dereferenced.
char libraryToken, windowToken, otherWindowToken, cursorToken;

template <typename Handle>
Handle HandleOf(char& token) {
    return reinterpret_cast<Handle>(&token);
}

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text(const char* format, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return buffer;
}

std::string CallKey(const std::string& line) { return line.substr(0, line.find('(')); }

void DeliverSentMessages(const std::string& key) {
    const auto [first, last] = standin.sentDuringCall.equal_range(key);
    const std::vector<std::pair<const std::string, MSG>> messages(first, last);
    standin.sentDuringCall.erase(first, last);  // once only, even if the procedure calls again
    const WNDPROC procedure = standin.registeredClass.lpfnWndProc;
    for (const auto& [call, message] : messages) {
        if (procedure != nullptr) procedure(message.hwnd, message.message, message.wParam, message.lParam);
    }
}

void Record(const std::string& line) {
    standin.calls.push_back(line);
    if (!standin.sentDuringCall.empty()) DeliverSentMessages(CallKey(line));
}

// Counts the call and tells whether the test chose this occurrence to fail.
bool Fails(const std::string& line) {
    const std::string key = CallKey(line);
    const int occurrence = ++standin.callCounts[key];
    const auto chosen = standin.failures.find(key);
    return chosen != standin.failures.end() &&
           (chosen->second.count(0) != 0 || chosen->second.count(occurrence) != 0);
}

// Records the call and answers with the test's choice of HRESULT.
HRESULT RecordResult(const std::string& line) {
    Record(line);
    return Fails(line) ? kFailure : standin.successResult;
}

// "base+N" when pointer lies within size bytes from start, else empty.
std::string OffsetName(const char* base, const void* start, const void* pointer, std::size_t size) {
    const auto begin = reinterpret_cast<std::uintptr_t>(start);
    const auto at = reinterpret_cast<std::uintptr_t>(pointer);
    if (start == nullptr || at < begin || at - begin > size) return {};
    return Text("%s+%ju", base, static_cast<std::uintmax_t>(at - begin));
}

std::string NameOf(const void* pointer) {
    if (pointer == nullptr) return "null";
    if (pointer == &libraryToken) return "ddraw.dll";
    if (pointer == &windowToken) return "window";
    if (pointer == &otherWindowToken) return "other window";
    if (pointer == &cursorToken) return "arrow";
    for (const auto& object : standin.directDraws) if (pointer == &object) return object.name;
    for (const auto& object : standin.surfaces) if (pointer == &object) return object.name;
    for (const auto& object : standin.clippers) if (pointer == &object) return object.name;
    const std::string inSurface = OffsetName("surface", standin.surfaceMemory.data(), pointer,
                                             standin.surfaceMemory.size());
    if (!inSurface.empty()) return inSurface;
    return Text("%p", pointer);
}

std::string RectText(const RECT* rect) {
    if (rect == nullptr) return "null";
    return Text("(%d,%d,%d,%d)", rect->left, rect->top, rect->right, rect->bottom);
}

template <typename Object>
std::string Method(const Object* object, const char* method) {
    return (object->released ? "[released] " : "") + object->name + "." + method;
}

// Only the fields the flags make valid are read: the back-ends do not clear
// the record first.
std::string DescriptionText(const DDSURFACEDESC& description) {
    std::string text = Text("size=%u flags=0x%x", description.dwSize, description.dwFlags);
    if (description.dwFlags & DDSD_WIDTH) text += Text(" width=%u", description.dwWidth);
    if (description.dwFlags & DDSD_HEIGHT) text += Text(" height=%u", description.dwHeight);
    if (description.dwFlags & DDSD_BACKBUFFERCOUNT)
        text += Text(" backbuffers=%u", description.dwBackBufferCount);
    if (description.dwFlags & DDSD_CAPS) text += Text(" caps=0x%x", description.ddsCaps.dwCaps);
    return text;
}

HRESULT WINAPI StandinDirectDrawCreate(GUID* device, LPDIRECTDRAW* directDraw, IUnknown* outer) {
    const std::string line = Text("DirectDrawCreate(%s, %s, %s)", NameOf(device).c_str(),
                                  directDraw != nullptr ? "out" : "null", NameOf(outer).c_str());
    const HRESULT result = RecordResult(line);
    *directDraw = result < 0 ? nullptr : &standin.directDraws.emplace_back(IDirectDraw{"ddraw"});
    return result;
}

}  // namespace

void Win32Standin::FailCall(const std::string& call, int occurrence) { failures[call].insert(occurrence); }

void ResetStandin() { standin = Win32Standin{}; }

WNDPROC RegisteredWindowProc() { return standin.registeredClass.lpfnWndProc; }

std::string CallsAsText(std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < standin.calls.size(); ++i) text += "  " + standin.calls[i] + "\n";
    return text;
}

HWND StandinWindow() { return HandleOf<HWND>(windowToken); }
HWND OtherWindow() { return HandleOf<HWND>(otherWindowToken); }

// --- kernel ---

HMODULE LoadLibraryA(LPCSTR fileName) {
    const std::string line = Text("LoadLibraryA(\"%s\")", fileName);
    Record(line);
    return Fails(line) ? nullptr : HandleOf<HMODULE>(libraryToken);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    const std::string line = Text("GetProcAddress(%s, \"%s\")", NameOf(module).c_str(), procName);
    Record(line);
    if (Fails(line) || std::string(procName) != "DirectDrawCreate") return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(StandinDirectDrawCreate));
}

BOOL FreeLibrary(HMODULE module) {
    Record("FreeLibrary(" + NameOf(module) + ")");
    return TRUE;
}

void Sleep(DWORD milliseconds) { Record(Text("Sleep(%u)", milliseconds)); }

void ExitProcess(UINT exitCode) {
    Record(Text("ExitProcess(%u)", exitCode));
    throw StandinProcessExit{exitCode};
}

// --- window system ---

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    Record(Text("LoadCursorA(%s, %ju)", NameOf(instance).c_str(),
                static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(cursorName))));
    return HandleOf<HCURSOR>(cursorToken);
}

HCURSOR SetCursor(HCURSOR cursor) {
    Record("SetCursor(" + NameOf(cursor) + ")");
    return nullptr;
}

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    const WNDCLASSA& c = *windowClass;
    Record(Text("RegisterClassA(style=0x%x proc=%s clsExtra=%d wndExtra=%d instance=%s icon=%s "
                "cursor=%s brush=%s menu=%s class=\"%s\")",
                c.style, c.lpfnWndProc != nullptr ? "set" : "null", c.cbClsExtra, c.cbWndExtra,
                NameOf(c.hInstance).c_str(), NameOf(c.hIcon).c_str(), NameOf(c.hCursor).c_str(),
                NameOf(c.hbrBackground).c_str(), NameOf(c.lpszMenuName).c_str(), c.lpszClassName));
    if (standin.registerClassFails) return 0;
    standin.registeredClass = c;
    standin.registeredClassName = c.lpszClassName;
    return 0xC001;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    Record(Text("AdjustWindowRect(%s, 0x%x, %d)", RectText(rect).c_str(), style, menu));
    rect->left -= standin.frameInsets.left;
    rect->top -= standin.frameInsets.top;
    rect->right += standin.frameInsets.right;
    rect->bottom += standin.frameInsets.bottom;
    return TRUE;
}

int GetSystemMetrics(int index) {
    Record(Text("GetSystemMetrics(%d)", index));
    if (index == SM_CXSCREEN) return standin.screenWidth;
    if (index == SM_CYSCREEN) return standin.screenHeight;
    return 0;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    Record(Text("CreateWindowExA(0x%x, \"%s\", \"%s\", 0x%x, %d, %d, %d, %d, %s, %s, %s, %s)", exStyle,
                className, windowName, style, x, y, width, height, NameOf(parent).c_str(),
                NameOf(menu).c_str(), NameOf(instance).c_str(), NameOf(param).c_str()));
    standin.createdWindow = {exStyle, style, x, y, width, height};
    return standin.createWindowFails ? nullptr : StandinWindow();
}

BOOL ShowWindow(HWND window, int command) {
    Record(Text("ShowWindow(%s, %d)", NameOf(window).c_str(), command));
    return FALSE;
}

BOOL DestroyWindow(HWND window) {
    Record("DestroyWindow(" + NameOf(window) + ")");
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Record(Text("DefWindowProcA(%s, 0x%x, 0x%jx, 0x%jx)", NameOf(window).c_str(), message,
                static_cast<std::uintmax_t>(wParam), static_cast<std::intmax_t>(lParam)));
    return standin.defaultProcResult;
}

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    Record(Text("PeekMessageA(%s, %u, %u, %u)", NameOf(window).c_str(), filterMin, filterMax,
                removeMessage));
    for (auto pending = standin.pendingMessages.begin(); pending != standin.pendingMessages.end();
         ++pending) {
        if (window != nullptr && pending->hwnd != window) continue;
        *message = *pending;
        if (removeMessage & PM_REMOVE) standin.pendingMessages.erase(pending);
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG* message) {
    Record(Text("TranslateMessage(0x%x)", message->message));
    return FALSE;
}

// Like the real one: hands the message to the registered class's procedure.
LRESULT DispatchMessageA(const MSG* message) {
    Record(Text("DispatchMessageA(0x%x)", message->message));
    const WNDPROC procedure = RegisteredWindowProc();
    if (procedure == nullptr) return 0;
    return procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID paramPointer, UINT winIni) {
    Record(Text("SystemParametersInfoA(%u, %u, %s, %u)", action, param, NameOf(paramPointer).c_str(),
                winIni));
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
    Record(Text("ClientToScreen(%s, (%d,%d))", NameOf(window).c_str(), point->x, point->y));
    point->x += standin.clientOrigin.x;
    point->y += standin.clientOrigin.y;
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    Record("GetClientRect(" + NameOf(window) + ")");
    *rect = standin.clientRect;
    return TRUE;
}

// --- DirectDraw objects ---

HRESULT IDirectDrawClipper::SetHWnd(DWORD flags, HWND window) {
    return RecordResult(Text("%s(0x%x, %s)", Method(this, "SetHWnd").c_str(), flags, NameOf(window).c_str()));
}

ULONG IDirectDrawClipper::Release() {
    Record(Method(this, "Release()"));
    released = true;
    return 0;
}

HRESULT IDirectDrawSurface::Blt(RECT* destination, IDirectDrawSurface* source, RECT* sourceRect,
                                DWORD flags, DDBLTFX* effects) {
    return RecordResult(Text("%s(%s, %s, %s, 0x%x, %s)", Method(this, "Blt").c_str(),
                             RectText(destination).c_str(), NameOf(source).c_str(),
                             RectText(sourceRect).c_str(), flags, NameOf(effects).c_str()));
}

HRESULT IDirectDrawSurface::Flip(IDirectDrawSurface* target, DWORD flags) {
    return RecordResult(Text("%s(%s, 0x%x)", Method(this, "Flip").c_str(), NameOf(target).c_str(), flags));
}

HRESULT IDirectDrawSurface::GetAttachedSurface(DDSCAPS* caps, IDirectDrawSurface** attached) {
    HRESULT result =
        RecordResult(Text("%s(caps=0x%x)", Method(this, "GetAttachedSurface").c_str(), caps->dwCaps));
    if (backBuffers == 0) result = kFailure;
    *attached = result < 0 ? nullptr : &standin.surfaces.emplace_back(IDirectDrawSurface{"attached"});
    return result;
}

HRESULT IDirectDrawSurface::GetPixelFormat(DDPIXELFORMAT* format) {
    const HRESULT result =
        RecordResult(Text("%s(size=%u)", Method(this, "GetPixelFormat").c_str(), format->dwSize));
    if (result >= 0) {
        const DWORD size = format->dwSize;
        *format = standin.pixelFormat;
        format->dwSize = size;
    }
    return result;
}

HRESULT IDirectDrawSurface::Lock(RECT* rect, DDSURFACEDESC* description, DWORD flags, HANDLE event) {
    const HRESULT result = RecordResult(Text("%s(%s, size=%u, 0x%x, %s)", Method(this, "Lock").c_str(),
                                             RectText(rect).c_str(), description->dwSize, flags,
                                             NameOf(event).c_str()));
    if (result >= 0) {
        description->lpSurface = standin.surfaceMemory.data();
        description->lPitch = standin.lockPitch;
    }
    return result;
}

HRESULT IDirectDrawSurface::Restore() { return RecordResult(Method(this, "Restore()")); }

HRESULT IDirectDrawSurface::SetClipper(IDirectDrawClipper* clipper) {
    return RecordResult(Text("%s(%s)", Method(this, "SetClipper").c_str(), NameOf(clipper).c_str()));
}

HRESULT IDirectDrawSurface::Unlock(LPVOID surfaceData) {
    return RecordResult(Text("%s(%s)", Method(this, "Unlock").c_str(), NameOf(surfaceData).c_str()));
}

ULONG IDirectDrawSurface::Release() {
    Record(Method(this, "Release()"));
    released = true;
    return 0;
}

HRESULT IDirectDraw::CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) {
    const HRESULT result = RecordResult(
        Text("%s(0x%x, %s)", Method(this, "CreateClipper").c_str(), flags, NameOf(outer).c_str()));
    *clipper = result < 0 ? nullptr : &standin.clippers.emplace_back(IDirectDrawClipper{"clipper"});
    return result;
}

HRESULT IDirectDraw::CreateSurface(DDSURFACEDESC* description, IDirectDrawSurface** surface,
                                   IUnknown* outer) {
    const HRESULT result = RecordResult(Text("%s(%s, %s)", Method(this, "CreateSurface").c_str(),
                                             DescriptionText(*description).c_str(), NameOf(outer).c_str()));
    const bool primary = (description->dwFlags & DDSD_CAPS) != 0 &&
                         (description->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0;
    const DWORD backBuffers =
        (description->dwFlags & DDSD_BACKBUFFERCOUNT) != 0 ? description->dwBackBufferCount : 0;
    *surface = result < 0 ? nullptr
                          : &standin.surfaces.emplace_back(
                                IDirectDrawSurface{primary ? "primary" : "offscreen", false, backBuffers});
    return result;
}

HRESULT IDirectDraw::RestoreDisplayMode() { return RecordResult(Method(this, "RestoreDisplayMode()")); }

HRESULT IDirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
    return RecordResult(
        Text("%s(%s, 0x%x)", Method(this, "SetCooperativeLevel").c_str(), NameOf(window).c_str(), flags));
}

HRESULT IDirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel) {
    return RecordResult(
        Text("%s(%u, %u, %u)", Method(this, "SetDisplayMode").c_str(), width, height, bitsPerPixel));
}

ULONG IDirectDraw::Release() {
    Record(Method(this, "Release()"));
    released = true;
    return 0;
}

