// JPEG, PNG and GIF decoding through the Windows Imaging Component: one decoder that tells
// the formats apart by itself.
#include <windows.h>
#include <wincodec.h>

#include "image/jpeg.h"
#include "image/picture_decoder.h"

namespace image {

namespace {

template <typename T>
struct Com {
    T* p = nullptr;
    ~Com() {
        if (p != nullptr) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// COM for this thread while the decoder runs, unless the thread has it already.
struct Apartment {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Apartment() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

}  // namespace

bool DecodePicture(const uint8_t* data, size_t size, Picture& out, std::string& error) {
    out = Picture{};
    if (size < 4 || size > 0x7FFFFFFF) {
        error = "the picture data is cut short";
        return false;
    }
    Apartment apartment;
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICBitmapSource> converted;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.out())))) {
        error = "the Windows Imaging Component is not available";
        return false;
    }
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))) ||
        FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out()))) {
        error = "the picture data is damaged";
        return false;
    }
    UINT w = 0, h = 0;
    frame->GetSize(&w, &h);
    if (!PictureSizeAllowed(w, h, "picture", error)) return false;
    if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, frame.p, converted.out()))) {
        error = "the picture's pixels can't be converted";
        return false;
    }
    out.width = static_cast<int>(w);
    out.height = static_cast<int>(h);
    out.pixels.assign(static_cast<size_t>(w) * h, 0);
    if (FAILED(converted->CopyPixels(nullptr, w * 4, static_cast<UINT>(out.pixels.size() * 4),
                                     reinterpret_cast<BYTE*>(out.pixels.data())))) {
        out = Picture{};
        error = "the picture data is damaged";
        return false;
    }
    return true;
}

bool DecodeJpeg(const uint8_t* data, size_t size, Picture& out, std::string& error) {
    return DecodePicture(data, size, out, error);
}

}  // namespace image
