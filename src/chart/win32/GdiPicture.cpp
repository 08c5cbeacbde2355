#include "chart/win32/GdiPicture.h"

#include <objbase.h>
#include <wincodec.h>

namespace {

// Bytes per row of a 24-bit DIB: rows are padded to whole 32-bit words.
UINT StrideOf(int width) {
    return (static_cast<UINT>(width) * 3 + 3) & ~3u;
}

// Holds one reference to a COM object and releases it at the end of the scope.
template <typename Interface> class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (object != nullptr) {
            object->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface** Out() { return &object; }
    Interface* operator->() const { return object; }
    Interface* Get() const { return object; }

private:
    Interface* object = nullptr;
};

// COM for the calling thread while the encoder runs; the caller may have it already.
class ComScope {
public:
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result;
};

bool CopyStream(IStream* stream, std::vector<std::uint8_t>& out) {
    HGLOBAL memory = nullptr;
    STATSTG status{};
    if (FAILED(GetHGlobalFromStream(stream, &memory)) ||
        FAILED(stream->Stat(&status, STATFLAG_NONAME))) {
        return false;
    }
    const auto size = static_cast<std::size_t>(status.cbSize.QuadPart);
    const void* bytes = GlobalLock(memory);
    if (bytes == nullptr) {
        return false;
    }
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    out.assign(first, first + size);
    GlobalUnlock(memory);
    return true;
}

} // namespace

std::unique_ptr<GdiPicture> GdiPicture::Create(int width, int height, HFONT font) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down, as the encoder takes its rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        DeleteDC(dc);
        return nullptr;
    }
    std::unique_ptr<GdiPicture> picture(new GdiPicture(dc, bitmap, bits, width, height));
    if (font != nullptr) {
        picture->originalFont = SelectObject(dc, font);
    }
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    return picture;
}

GdiPicture::GdiPicture(HDC dc, HBITMAP bitmap, void* bits, int width, int height)
    : dc(dc), bitmap(bitmap), originalBitmap(SelectObject(dc, bitmap)), bits(bits), width(width),
      height(height), canvas(dc) {}

GdiPicture::~GdiPicture() {
    if (originalFont != nullptr) {
        SelectObject(dc, originalFont);
    }
    SelectObject(dc, originalBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

bool GdiPicture::EncodePng(std::vector<std::uint8_t>& png) {
    GdiFlush(); // the bits hold every drawing call made so far
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IStream> stream;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const UINT stride = StrideOf(width);
    const bool encoded =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(factory.Out()))) &&
        SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) &&
        SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.Out(), options.Out())) &&
        SUCCEEDED(frame->Initialize(options.Get())) &&
        SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) &&
        // The encoder may offer another format; the rows are only ever 24-bit BGR.
        IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
        SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), stride,
                                     stride * static_cast<UINT>(height),
                                     static_cast<BYTE*>(bits))) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    return encoded && CopyStream(stream.Get(), png);
}
