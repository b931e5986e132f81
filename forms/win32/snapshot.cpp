#include "snapshot.h"
#include "win32forms.h"

#include <wincodec.h>
#include <windows.h>

#include <memory>
#include <vector>

namespace forms {
namespace {

/// Releases a COM interface when it goes out of scope.
struct Releaser {
    void operator()(IUnknown* unknown) const {
        if (unknown)
            unknown->Release();
    }
};
template <class T> using ComPtr = std::unique_ptr<T, Releaser>;

/// The window's inside as top-down 32-bit BGRA pixels: the pixels it shows,
/// read from its own device context once it is on top and drawn. PrintWindow
/// would also picture a covered window, but wine's draws no child windows,
/// and the pictures are made under wine; the render command keeps the window
/// it pictures uncovered.
bool capture(HWND window, int& width, int& height, std::vector<BYTE>& pixels) {
    RECT inside{};
    if (!GetClientRect(window, &inside))
        return false;
    width = inside.right - inside.left;
    height = inside.bottom - inside.top;
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as PNG rows go
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (memory && bitmap) {
        HGDIOBJ before = SelectObject(memory, bitmap);
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        HDC shown = GetDC(window);
        ok = shown && BitBlt(memory, 0, 0, width, height, shown, 0, 0, SRCCOPY) != FALSE;
        if (shown)
            ReleaseDC(window, shown);
        GdiFlush();
        if (ok) {
            const auto* first = static_cast<const BYTE*>(bits);
            pixels.assign(first, first + static_cast<size_t>(width) * height * 4);
            // GDI leaves the alpha byte 0; a picture of a window is opaque.
            for (size_t i = 3; i < pixels.size(); i += 4)
                pixels[i] = 0xFF;
        }
        SelectObject(memory, before);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

/// Encodes the pixels as PNG through the Windows Imaging Component.
std::string encodePng(const std::string& path, int width, int height, std::vector<BYTE>& pixels) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const bool uninitialize = SUCCEEDED(init);
    std::string error;
    {
        IWICImagingFactory* rawFactory = nullptr;
        IWICStream* rawStream = nullptr;
        IWICBitmapEncoder* rawEncoder = nullptr;
        IWICBitmapFrameEncode* rawFrame = nullptr;
        HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&rawFactory));
        ComPtr<IWICImagingFactory> factory(rawFactory);
        if (SUCCEEDED(hr))
            hr = factory->CreateStream(&rawStream);
        ComPtr<IWICStream> stream(rawStream);
        if (SUCCEEDED(hr))
            hr = stream->InitializeFromFilename(win32::wide(path).c_str(), GENERIC_WRITE);
        if (SUCCEEDED(hr))
            hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &rawEncoder);
        ComPtr<IWICBitmapEncoder> encoder(rawEncoder);
        if (SUCCEEDED(hr))
            hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
        if (SUCCEEDED(hr))
            hr = encoder->CreateNewFrame(&rawFrame, nullptr);
        ComPtr<IWICBitmapFrameEncode> frame(rawFrame);
        if (SUCCEEDED(hr))
            hr = frame->Initialize(nullptr);
        if (SUCCEEDED(hr))
            hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
        WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
        if (SUCCEEDED(hr))
            hr = frame->SetPixelFormat(&format);
        if (SUCCEEDED(hr))
            hr = frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                    static_cast<UINT>(pixels.size()), pixels.data());
        if (SUCCEEDED(hr))
            hr = frame->Commit();
        if (SUCCEEDED(hr))
            hr = encoder->Commit();
        if (FAILED(hr)) {
            char code[16];
            wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
            error = "cannot write " + path + " (" + code + ")";
        }
    }
    if (uninitialize)
        CoUninitialize();
    return error;
}

} // namespace

std::string savePicture(const Control& window, const std::string& path) {
    return savePicture(window.windowHandle(), path);
}

std::string savePicture(void* nativeWindow, const std::string& path) {
    HWND hwnd = static_cast<HWND>(nativeWindow);
    if (!hwnd || !IsWindow(hwnd))
        return "the window is gone";
    int width = 0, height = 0;
    std::vector<BYTE> pixels;
    if (!capture(hwnd, width, height, pixels))
        return "cannot picture the window";
    return encodePng(path, width, height, pixels);
}

} // namespace forms
