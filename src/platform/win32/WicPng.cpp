// Writing pixels to a PNG file through the imaging component.
#include "platform/win32/WicPng.h"

#include <windows.h>
#include <wrl/client.h>

#include "platform/win32/WinText.h"

using Microsoft::WRL::ComPtr;

namespace vell::win {

bool writeBgraPng(IWICImagingFactory* wic, const std::string& path, const uint8_t* data, int width, int height,
                  int stride) {
  if (!wic || !data || width < 1 || height < 1) return false;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  std::wstring name = widePath(path);
  if (FAILED(wic->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(name.c_str(), GENERIC_WRITE)) ||
      FAILED(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)))
    return false;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA) return false;
  return SUCCEEDED(frame->WritePixels(height, stride, static_cast<UINT>(stride) * height, const_cast<BYTE*>(data))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace vell::win
