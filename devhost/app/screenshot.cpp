#include "devhost/app/screenshot.h"

#include <cstdint>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

#include "mapstore/file_io.h"

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    auto* bytes = static_cast<uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// Copies a screen rectangle into top-down RGB rows.
bool CaptureScreenRect(const RECT& rect, std::vector<uint8_t>* rgb) {
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ok = ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        ::GdiFlush();
        ::SelectObject(memory, previous);
    }
    if (ok) {
        const auto* bgra = static_cast<const uint8_t*>(bits);
        rgb->resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            (*rgb)[i * 3 + 0] = bgra[i * 4 + 2];
            (*rgb)[i * 3 + 1] = bgra[i * 4 + 1];
            (*rgb)[i * 3 + 2] = bgra[i * 4 + 0];
        }
    }
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

bool SaveScreenshotOfWindows(const HWND* windows, int count, const std::string& utf8Path,
                             std::string* error) {
    RECT box = {0, 0, 0, 0};
    bool any = false;
    for (int i = 0; i < count; ++i) {
        RECT rect;
        if (windows[i] == nullptr || !::IsWindowVisible(windows[i]) || !::GetWindowRect(windows[i], &rect)) continue;
        if (!any) {
            box = rect;
            any = true;
        } else {
            ::UnionRect(&box, &box, &rect);
        }
    }
    std::vector<uint8_t> rgb;
    if (!any || !CaptureScreenRect(box, &rgb)) {
        *error = "cannot capture the window";
        return false;
    }
    std::vector<uint8_t> png;
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    if (!stbi_write_png_to_func(AppendBytes, &png, width, height, 3, rgb.data(), width * 3)) {
        *error = "cannot encode the PNG";
        return false;
    }
    std::FILE* file = OpenFileUtf8(utf8Path, "wb");
    if (file == nullptr) {
        *error = "cannot write " + utf8Path;
        return false;
    }
    bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) *error = "cannot write " + utf8Path;
    return ok;
}

bool SaveWindowScreenshot(HWND window, const std::string& utf8Path, std::string* error) {
    return SaveScreenshotOfWindows(&window, 1, utf8Path, error);
}
