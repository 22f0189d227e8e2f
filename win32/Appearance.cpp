#include "Appearance.h"

#include "ResourceIds.h"

#include <windows.h>

namespace win32layer {

namespace {

// Released at exit, after the last window that used them.
class GdiObjects {
public:
    GdiObjects()
    {
        const int height = -::MulDiv(8, systemDpi(), 72);
        font = ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
        idle = load(DOZOZEDA_IDLE_BITMAP);
        busy = load(DOZOZEDA_BUSY_BITMAP);
    }
    GdiObjects(const GdiObjects&) = delete;
    GdiObjects& operator=(const GdiObjects&) = delete;
    ~GdiObjects()
    {
        for (HGDIOBJ object : {static_cast<HGDIOBJ>(font), static_cast<HGDIOBJ>(idle), static_cast<HGDIOBJ>(busy)}) {
            if (object)
                ::DeleteObject(object);
        }
    }

    HFONT font = nullptr;
    HBITMAP idle = nullptr;
    HBITMAP busy = nullptr;

private:
    static HBITMAP load(int id)
    {
        // A DIB section keeps the pictures' exact colours on any display.
        return static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0,
                                                 0, LR_CREATEDIBSECTION));
    }
};

const GdiObjects& gdiObjects()
{
    static const GdiObjects objects;
    return objects;
}

} // namespace

int systemDpi()
{
    static const int dpi = [] {
        const HDC screen = ::GetDC(nullptr);
        const int value = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

int toPixels(forms::Twips twips)
{
    return ::MulDiv(twips, systemDpi(), 1440);
}

HFONT controlFont()
{
    return gdiObjects().font;
}

HBITMAP bitmapOf(forms::PictureId picture)
{
    switch (picture) {
    case forms::PictureId::Idle:
        return gdiObjects().idle;
    case forms::PictureId::Busy:
        return gdiObjects().busy;
    case forms::PictureId::None:
        break;
    }
    return nullptr;
}

} // namespace win32layer
